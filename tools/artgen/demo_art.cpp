#include "demo_art.h"

#include "fonts.h"
#include "noise.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace artgen {
namespace {

constexpr int kW = 471;
constexpr int kH = 258;
constexpr double kPi = 3.14159265358979323846;

QColor Lerp(const QColor& a, const QColor& b, double t) {
  t = std::clamp(t, 0.0, 1.0);
  return QColor::fromRgbF(static_cast<float>(a.redF() + (b.redF() - a.redF()) * t),
                          static_cast<float>(a.greenF() + (b.greenF() - a.greenF()) * t),
                          static_cast<float>(a.blueF() + (b.blueF() - a.blueF()) * t));
}

QImage Blank() {
  QImage image(kW, kH, QImage::Format_RGB32);
  image.fill(Qt::black);
  return image;
}

void Prepare(QPainter& p) {
  p.setRenderHint(QPainter::Antialiasing, true);
  p.setRenderHint(QPainter::TextAntialiasing, true);
  p.setRenderHint(QPainter::SmoothPixmapTransform, true);
}

// Text with a soft dark halo, so it reads on any picture.
void HaloText(QPainter& p, const QFont& font, const QPointF& at, const QString& text, const QColor& colour,
              double halo) {
  QPainterPath path;
  path.addText(at, font, text);
  for (int i = 3; i >= 1; --i) {
    p.setPen(QPen(QColor(0, 0, 0, static_cast<int>(60 * halo)), i * 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  p.setPen(Qt::NoPen);
  p.setBrush(colour);
  p.drawPath(path);
}

// Width of the lettering's ink, from its origin (letter spacing after the last
// letter not counted).
double TextWidth(const QFont& font, const QString& text) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  return path.boundingRect().right();
}

void Stars(QImage& image, std::uint64_t seed, int count, double maxY) {
  Random random(seed);
  for (int i = 0; i < count; ++i) {
    const int x = random.Range(0, kW - 1);
    const int y = random.Range(0, static_cast<int>(maxY));
    const double b = random.Uniform();
    const int v = static_cast<int>(90 + 165 * b * b);
    const QRgb old = image.pixel(x, y);
    image.setPixel(x, y, qRgb(std::max(qRed(old), v), std::max(qGreen(old), v), std::max(qBlue(old), std::min(255, v + 20))));
    if (b > 0.93 && x > 0 && y > 0 && x < kW - 1 && y < kH - 1) {
      for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) {
        const QRgb o = image.pixel(x + dx, y + dy);
        image.setPixel(x + dx, y + dy, qRgb(std::max(qRed(o), v / 2), std::max(qGreen(o), v / 2), std::max(qBlue(o), v / 2 + 20)));
      }
    }
  }
}

// A ridge line of mountains: fractal heights across the picture.
QPainterPath Ridge(double base, double amplitude, double scale, std::uint64_t seed) {
  QPainterPath path;
  path.moveTo(0, kH);
  for (int x = 0; x <= kW; x += 1) {
    const double n = FractalNoise(x / scale, 0.5, seed, 5, 0.5);
    path.lineTo(x, base - (n - 0.5) * 2.0 * amplitude);
  }
  path.lineTo(kW, kH);
  path.closeSubpath();
  return path;
}

// ---- screen_default: the title card ---------------------------------------------

QImage TitleCard() {
  QImage image = Blank();
  {
    QPainter p(&image);
    Prepare(p);
    QLinearGradient sky(0, 0, 0, kH);
    sky.setColorAt(0.0, QColor(6, 8, 28));
    sky.setColorAt(0.55, QColor(18, 30, 72));
    sky.setColorAt(0.80, QColor(58, 52, 96));
    sky.setColorAt(1.0, QColor(120, 72, 84));
    p.fillRect(image.rect(), sky);
  }
  Stars(image, 0x57A125ull, 260, kH * 0.7);
  // The aurora: curtains of green and teal light that ripple across the sky.
  for (int y = 0; y < kH; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kW; ++x) {
      const double wave = 62 + 26 * std::sin(x / 63.0 + 0.8) + 14 * std::sin(x / 23.0) +
                          18 * (FractalNoise(x / 90.0, 3.0, 0xA11E, 3, 0.5) - 0.5);
      const double d = (y - wave) / 34.0;
      if (d < -1.6 || d > 2.4) continue;
      const double curtain = 0.55 + 0.45 * FractalNoise(x / 6.0, y / 80.0, 0xC0F7A1, 3, 0.6);
      const double strength = std::exp(-d * d * (d < 0 ? 3.0 : 0.9)) * curtain * 0.85;
      const QColor tint = Lerp(QColor(60, 240, 160), QColor(90, 140, 255), std::clamp(x / 471.0 + d * 0.2, 0.0, 1.0));
      const QRgb o = line[x];
      line[x] = qRgb(std::min(255, static_cast<int>(qRed(o) + tint.red() * strength * 0.6)),
                     std::min(255, static_cast<int>(qGreen(o) + tint.green() * strength * 0.6)),
                     std::min(255, static_cast<int>(qBlue(o) + tint.blue() * strength * 0.6)));
    }
  }
  QPainter p(&image);
  Prepare(p);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(34, 34, 62));
  p.drawPath(Ridge(196, 26, 70, 0x3001));
  p.setBrush(QColor(16, 16, 34));
  p.drawPath(Ridge(214, 18, 45, 0x3002));
  // The harbour: still water with the lights of the town mirrored in it.
  QLinearGradient water(0, 222, 0, kH);
  water.setColorAt(0, QColor(30, 28, 58));
  water.setColorAt(1, QColor(6, 6, 16));
  p.setBrush(water);
  p.drawRect(0, 222, kW, kH - 222);
  Random lights(0x119475ull);
  for (int i = 0; i < 34; ++i) {
    const double x = lights.Range(30, 440);
    const double y = 214 + lights.Uniform() * 7;
    const QColor c = Lerp(QColor(255, 190, 90), QColor(255, 230, 160), lights.Uniform());
    p.setBrush(c);
    p.drawEllipse(QPointF(x, y), 0.9, 0.9);
    QColor r = c;
    r.setAlpha(70);
    p.setBrush(r);
    p.drawRect(QRectF(x - 0.6, 224 + (y - 214), 1.2, 6 + lights.Uniform() * 14));
  }
  // Title and line.
  QFont title = TitleFont(36);
  title.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  const QString name = "LANTERN HARBOUR";
  const double w = TextWidth(title, name);
  QLinearGradient gold(0, 100, 0, 140);
  gold.setColorAt(0, QColor(255, 236, 170));
  gold.setColorAt(0.5, QColor(238, 182, 72));
  gold.setColorAt(1, QColor(170, 110, 36));
  QPainterPath path;
  path.addText(QPointF((kW - w) / 2.0, 140), title, name);
  for (int i = 4; i >= 1; --i) {
    p.setPen(QPen(QColor(0, 0, 20, 45), i * 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path.translated(0, 2));
  }
  p.setPen(Qt::NoPen);
  p.setBrush(gold);
  p.drawPath(path);
  p.setPen(QPen(QColor(120, 70, 20), 0.8));
  p.setBrush(Qt::NoBrush);
  p.drawPath(path);

  QFont sub = SansFont(14, false);
  sub.setLetterSpacing(QFont::AbsoluteSpacing, 3);
  const QString line = "A  DEMO  RELEASE   \u00B7   VERSION 1.0";
  HaloText(p, sub, QPointF((kW - TextWidth(sub, line)) / 2.0, 166), line, QColor(214, 222, 240), 1.0);
  p.setPen(QPen(QColor(238, 190, 90, 200), 1.0));
  p.drawLine(QPointF(kW / 2.0 - 120, 150.5), QPointF(kW / 2.0 + 120, 150.5));
  return image;
}

// ---- screen_features: a list on a dark panel --------------------------------------

void DarkPanel(QImage& image, const QColor& top, const QColor& bottom, std::uint64_t seed) {
  for (int y = 0; y < kH; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < kW; ++x) {
      const double n = FractalNoise(x / 40.0, y / 40.0, seed, 4, 0.55) - 0.5;
      const double dx = (x - kW * 0.35) / kW, dy = (y - kH * 0.3) / kH;
      const double glow = std::exp(-(dx * dx + dy * dy) * 4.0);
      const QColor c = Lerp(bottom, top, glow + n * 0.25);
      line[x] = c.rgb();
    }
  }
}

QImage FeaturesSlide() {
  QImage image = Blank();
  DarkPanel(image, QColor(34, 48, 92), QColor(6, 8, 22), 0xFEA7);
  QPainter p(&image);
  Prepare(p);
  QFont heading = TitleFont(30);
  heading.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  HaloText(p, heading, QPointF(36, 50), "Features", QColor(240, 196, 92), 1.0);
  p.setPen(QPen(QColor(240, 196, 92, 150), 1.0));
  p.drawLine(QPointF(36, 60.5), QPointF(300, 60.5));
  const char* lines[] = {
      "Sail the whole northern coast, forty harbours",
      "Hand-painted lighthouses, storms and auroras",
      "Trade lamp oil, charts and stories",
      "A crew of twelve, each with a tale to tell",
      "Original music by the harbour band",
  };
  QFont body = SansFont(15, false);
  for (int i = 0; i < 5; ++i) {
    const double y = 92 + i * 31;
    QPainterPath diamond;
    diamond.moveTo(44, y - 5);
    diamond.lineTo(49, y - 10);
    diamond.lineTo(54, y - 5);
    diamond.lineTo(49, y);
    diamond.closeSubpath();
    p.setPen(QPen(QColor(120, 76, 20), 0.8));
    p.setBrush(QColor(240, 196, 92));
    p.drawPath(diamond);
    HaloText(p, body, QPointF(66, y), lines[i], QColor(226, 232, 246), 0.8);
  }
  return image;
}

// ---- screen_screenshots: a framed shot of the harbour at dusk ---------------------

QImage ScreenshotSlide() {
  QImage image = Blank();
  DarkPanel(image, QColor(40, 36, 52), QColor(8, 8, 14), 0x5C12);
  QImage shot(300, 188, QImage::Format_RGB32);
  {
    QPainter s(&shot);
    Prepare(s);
    QLinearGradient sky(0, 0, 0, 120);
    sky.setColorAt(0, QColor(58, 64, 120));
    sky.setColorAt(0.6, QColor(214, 120, 96));
    sky.setColorAt(1, QColor(252, 196, 120));
    s.fillRect(0, 0, 300, 120, sky);
    QRadialGradient sun(210, 112, 40);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(0.25, QColor(255, 220, 140, 230));
    sun.setColorAt(1, QColor(255, 180, 100, 0));
    s.setPen(Qt::NoPen);
    s.setBrush(sun);
    s.drawEllipse(QPointF(210, 112), 40, 40);
    QLinearGradient sea(0, 118, 0, 188);
    sea.setColorAt(0, QColor(190, 120, 110));
    sea.setColorAt(0.3, QColor(60, 70, 120));
    sea.setColorAt(1, QColor(16, 22, 50));
    s.setBrush(sea);
    s.drawRect(0, 118, 300, 70);
    // Glints of the sun on the water.
    Random glints(0x611Aull);
    for (int i = 0; i < 70; ++i) {
      const double y = 120 + glints.Uniform() * 50;
      const double spread = (y - 118) * 0.9 + 6;
      const double x = 210 + (glints.Uniform() - 0.5) * spread;
      s.setBrush(QColor(255, 226, 170, 150 + glints.Range(0, 100)));
      s.drawRect(QRectF(x, y, 3 + glints.Uniform() * 6, 0.9));
    }
    // The headland with its lighthouse and beam.
    QPainterPath land;
    land.moveTo(0, 188);
    land.lineTo(0, 98);
    land.cubicTo(30, 92, 60, 100, 96, 112);
    land.cubicTo(120, 120, 130, 130, 150, 188);
    land.closeSubpath();
    s.setBrush(QColor(26, 22, 34));
    s.drawPath(land);
    QPainterPath beam;
    beam.moveTo(52, 64);
    beam.lineTo(300, 30);
    beam.lineTo(300, 70);
    beam.closeSubpath();
    QLinearGradient beamFade(52, 0, 300, 0);
    beamFade.setColorAt(0, QColor(255, 244, 200, 150));
    beamFade.setColorAt(1, QColor(255, 244, 200, 0));
    s.setBrush(beamFade);
    s.drawPath(beam);
    s.setBrush(QColor(232, 226, 214));
    s.drawPolygon(QPolygonF({QPointF(46, 98), QPointF(49, 68), QPointF(55, 68), QPointF(58, 98)}));
    s.setBrush(QColor(180, 40, 40));
    s.drawRect(QRectF(47.2, 78, 9.6, 5));
    s.drawRect(QRectF(46.2, 89, 11.6, 5));
    s.setBrush(QColor(255, 236, 150));
    s.drawRect(QRectF(48, 61, 8, 7));
    s.setBrush(QColor(40, 30, 40));
    s.drawPolygon(QPolygonF({QPointF(46, 61), QPointF(52, 55), QPointF(58, 61)}));
    // A boat under sail.
    s.setBrush(QColor(30, 24, 34));
    s.drawPolygon(QPolygonF({QPointF(150, 140), QPointF(186, 140), QPointF(180, 147), QPointF(156, 147)}));
    s.setBrush(QColor(240, 220, 190));
    s.drawPolygon(QPolygonF({QPointF(167, 138), QPointF(167, 108), QPointF(184, 138)}));
    s.drawPolygon(QPolygonF({QPointF(165, 138), QPointF(165, 114), QPointF(154, 138)}));
    // The game's own interface along the bottom.
    s.setBrush(QColor(12, 14, 26, 210));
    s.drawRect(0, 166, 300, 22);
    s.setPen(QColor(240, 196, 92));
    QFont ui = SansFont(10, true);
    s.setFont(ui);
    s.drawText(QPointF(8, 181), "GOLD 1,240");
    s.drawText(QPointF(92, 181), "CREW 9/12");
    s.drawText(QPointF(170, 181), "WIND NE 4");
    s.setPen(QColor(200, 210, 230));
    s.drawText(QPointF(244, 181), "DAY 17");
  }
  QPainter p(&image);
  Prepare(p);
  const QRect frame(24, 42, 300, 188);
  // A bevelled frame around the shot, with a drop shadow.
  p.setPen(Qt::NoPen);
  for (int i = 6; i >= 1; --i) {
    p.setBrush(QColor(0, 0, 0, 26));
    p.drawRoundedRect(frame.adjusted(-4 - i + 4, -4 - i + 6, 4 + i + 4, 4 + i + 6), 4, 4);
  }
  p.setBrush(QColor(150, 116, 58));
  p.drawRect(frame.adjusted(-4, -4, 4, 4));
  p.setBrush(QColor(236, 196, 110));
  p.drawRect(frame.adjusted(-4, -4, 3, -frame.height() - 1));
  p.drawRect(frame.adjusted(-4, -4, -frame.width() - 1, 3));
  p.setBrush(QColor(90, 64, 24));
  p.drawRect(frame.adjusted(-1, -1, 1, 1));
  p.drawImage(frame.topLeft(), shot);

  QFont heading = TitleFont(26);
  HaloText(p, heading, QPointF(24, 30), "Screenshots", QColor(240, 196, 92), 1.0);
  QFont caption = SansFont(13, false);
  const char* captions[] = {"Dusk at", "Gullrock Point.", "", "The old light", "still guides", "the fleet home."};
  for (int i = 0; i < 6; ++i)
    HaloText(p, caption, QPointF(346, 84 + i * 19), captions[i], QColor(214, 220, 236), 0.8);
  QFont small = SansFont(11, false);
  HaloText(p, small, QPointF(346, 222), "1 of 12", QColor(150, 156, 176), 0.6);
  return image;
}

// ---- screen_install: dark and calm behind the progress screen ---------------------
// Drawn over it (picture coordinates): text at (45, 28), (45, 128) and (45, 213),
// bars of 378 by 36 at (45, 48) and (45, 148).

QImage InstallSlide() {
  QImage image = Blank();
  DarkPanel(image, QColor(20, 26, 50), QColor(4, 5, 12), 0x1257);
  QPainter p(&image);
  Prepare(p);
  // Troughs the bars settle into: a shade darker than the panel, a fine rim.
  for (int top : {48, 148}) {
    const QRectF trough(42.5, top - 2.5, 383, 40);
    p.setPen(QPen(QColor(70, 84, 124), 1.0));
    p.setBrush(QColor(2, 3, 8));
    p.drawRoundedRect(trough, 3, 3);
    p.setPen(QPen(QColor(0, 0, 0), 1.0));
    p.drawLine(QPointF(44, top - 1.5), QPointF(424, top - 1.5));
  }
  // A quiet title in the free corner, well away from the lines of text.
  QFont faint = TitleFont(28);
  faint.setLetterSpacing(QFont::AbsoluteSpacing, 6);
  const QString word = "INSTALLING";
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(60, 74, 116, 110));
  QPainterPath path;
  path.addText(QPointF(0, 0), faint, word);
  path.translate(kW - 22 - path.boundingRect().right(), 244);
  p.drawPath(path);
  return image;
}

// ---- the progress bars ------------------------------------------------------------

QImage Bar(const QColor& light, const QColor& mid, const QColor& dark, std::uint64_t seed) {
  QImage image(378, 36, QImage::Format_RGB32);
  for (int y = 0; y < 36; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    const double t = y / 35.0;
    // A rounded tube: bright just under the top edge, a band of shine, darker below
    // and a little reflected light along the bottom.
    double shade;
    if (t < 0.08) shade = 0.55 + t / 0.08 * 0.45;
    else if (t < 0.42) shade = 1.0 - (t - 0.08) * 0.5;
    else shade = 0.83 - (t - 0.42) * 0.9 + std::exp(-std::pow((t - 0.9) / 0.06, 2.0)) * 0.25;
    const double shine = std::exp(-std::pow((t - 0.2) / 0.09, 2.0));
    for (int x = 0; x < 378; ++x) {
      // Slanted stripes that catch the light, and a fine brushed grain.
      const double stripe = 0.5 + 0.5 * std::sin((x + y * 0.9) * 2.0 * kPi / 18.0);
      const double grain = FractalNoise(x / 3.0, y / 20.0, seed, 2, 0.5) - 0.5;
      double s = shade * (0.93 + 0.07 * stripe) + grain * 0.05;
      QColor c = s < 0.6 ? Lerp(dark, mid, s / 0.6) : Lerp(mid, light, (s - 0.6) / 0.4);
      c = Lerp(c, QColor(255, 255, 255), shine * 0.55);
      if (y == 0 || y == 35) c = Lerp(c, QColor(0, 0, 0), 0.6);
      if (x == 0) c = Lerp(c, QColor(0, 0, 0), 0.5);
      if (x == 1) c = Lerp(c, QColor(255, 255, 255), 0.2);
      line[x] = c.rgb();
    }
  }
  return image;
}

}  // namespace

std::vector<std::pair<QString, QImage>> PaintDemoPictures() {
  return {
      {"screen_default", TitleCard()},
      {"screen_features", FeaturesSlide()},
      {"screen_screenshots", ScreenshotSlide()},
      {"screen_install", InstallSlide()},
      {"progbar1", Bar(QColor(255, 226, 130), QColor(220, 150, 40), QColor(96, 52, 8), 0xBA51)},
      {"progbar2", Bar(QColor(150, 220, 255), QColor(40, 120, 210), QColor(8, 30, 80), 0xBA52)},
  };
}

}  // namespace artgen
