#include "main_window_art.h"

#include "fonts.h"
#include "noise.h"
#include "palette.h"
#include "relief.h"

#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <stdexcept>

namespace artgen {
namespace {

constexpr int kScale = 2;        // samples per scene pixel along each axis
constexpr int kMargin = 14;      // scene pixels computed around a region for shadows and slopes
constexpr std::uint64_t kStoneSeed = 0x57A9E11ull;

const QRect kTitlePanel(9, 7, 482, 84);

double Clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

// Distance from (x, y) to the rectangle, 0 inside.
double DistanceOutside(const QRect& r, double x, double y) {
  const double dx = std::max({r.left() - x, 0.0, x - (r.right() + 1.0)});
  const double dy = std::max({r.top() - y, 0.0, y - (r.bottom() + 1.0)});
  return std::sqrt(dx * dx + dy * dy);
}

// Distance from (x, y) to the rectangle's border, for points inside it.
double DistanceInside(const QRect& r, double x, double y) {
  return std::min({x - r.left(), r.right() + 1.0 - x, y - r.top(), r.bottom() + 1.0 - y});
}

// The carved shape of the frame: a bevelled outer rim, a sunken title panel and a
// moulding around the slide window (a chamfer down into the window, then a bead).
double FrameHeight(double x, double y) {
  double h = 0.0;
  const double rim = DistanceInside(kBackground, x, y);
  if (rim < 3.0) h -= (3.0 - rim) * 0.9;

  if (kTitlePanel.contains(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)))) {
    const double d = DistanceInside(kTitlePanel, x, y);
    h -= std::min(d, 3.0) * 1.0;
  }

  const double w = DistanceOutside(kSlideWindow, x, y);
  if (w <= 0.0) {
    h -= 4.0;
  } else if (w < 3.0) {
    h -= (3.0 - w) * 1.3;
  } else if (w < 7.5) {
    const double t = (w - 3.0) / 4.5;
    h += 1.7 * std::sin(t * 3.14159265358979323846);
  }
  return h;
}

Rgb StoneColour(double x, double y) {
  const double broad = FractalNoise(x / 70.0, y / 70.0, kStoneSeed + 1, 4, 0.5);
  const double grain = FractalNoise(x / 7.0, y / 7.0, kStoneSeed + 2, 3, 0.55);
  const double tint = FractalNoise(x / 55.0, y / 45.0, kStoneSeed + 3, 3, 0.5);
  double f = 1.0 + (broad - 0.5) * 0.30 + (grain - 0.5) * 0.16;
  Rgb c{124.0 * f, 119.0 * f, 112.0 * f};
  c.r += (tint - 0.5) * 16.0;
  c.b -= (tint - 0.5) * 16.0;

  // Grains of a coarse granite: dark mica flecks and pale quartz, each a few
  // samples across.
  const double fleck = LatticeValue(static_cast<std::int64_t>(std::floor(x * 1.5)),
                                    static_cast<std::int64_t>(std::floor(y * 1.5)), kStoneSeed + 4);
  if (fleck < 0.045) c = Mix(c, Rgb{52, 50, 50}, 0.55);
  else if (fleck > 0.978) c = Mix(c, Rgb{200, 196, 186}, 0.45);
  return c;
}

double StoneTexture(double x, double y) {
  const double rough = FractalNoise(x / 6.0, y / 6.0, kStoneSeed + 5, 3, 0.5) - 0.5;
  const double fine = LatticeValue(static_cast<std::int64_t>(std::floor(x * 2.0)),
                                   static_cast<std::int64_t>(std::floor(y * 2.0)), kStoneSeed + 6) - 0.5;
  double h = rough * 0.85 + fine * 0.10;
  const double pit = CellDistance(x / 5.5, y / 5.5, kStoneSeed + 7);
  if (pit < 0.13) h -= (0.13 - pit) / 0.13 * 0.45;
  return h;
}

bool InPanel(double x, double y) {
  return kTitlePanel.contains(static_cast<int>(std::floor(x)), static_cast<int>(std::floor(y)));
}

// The grain of the surface; the title panel is dressed smoother than the rest.
double SurfaceTexture(double x, double y) {
  return StoneTexture(x, y) * (InPanel(x, y) ? 0.55 : 1.0);
}

// Base stone everywhere: texture, colour and the frame's carved shape.
void PaintStone(Relief& relief) {
  relief.ForEach([&](int i, int j, double x, double y) {
    Rgb colour = StoneColour(x, y);
    // The panel sits in its own shade.
    if (InPanel(x, y)) colour = Mix(colour, Rgb{96, 92, 88}, 0.35);
    relief.Height(i, j) = FrameHeight(x, y) + SurfaceTexture(x, y);
    relief.Albedo(i, j) = colour;
    relief.Shine(i, j) = 0.05;
  });
}

struct Inlay {
  Rgb colour;
  double shine;
  double glow;
  double slope;     // depth per scene pixel from the edge
  double maxDepth;  // scene pixels
  double smoothing; // share of the stone's grain that the cut removes
};

// Cuts a V-groove along the shape in `mask` and fills it with the inlay's colour.
void Carve(Relief& relief, const std::vector<float>& mask, const Inlay& inlay) {
  const std::vector<double> sd = SignedDistance(mask, relief.Columns(), relief.Rows());
  const double perSample = 1.0 / relief.Scale();
  for (int j = 0; j < relief.Rows(); ++j) {
    for (int i = 0; i < relief.Columns(); ++i) {
      const double d = sd[static_cast<std::size_t>(j) * relief.Columns() + i] * perSample;
      if (d <= -1.0) continue;
      const double depth = std::min(std::max(d, 0.0) * inlay.slope, inlay.maxDepth);
      const double cover = Clamp01(d + 0.5);
      // The cut faces are smooth: the grain of the stone goes where the chisel went.
      relief.Height(i, j) -= depth + cover * inlay.smoothing *
                                         SurfaceTexture(relief.SceneX(i), relief.SceneY(j));
      relief.Albedo(i, j) = Mix(relief.Albedo(i, j), inlay.colour, cover);
      relief.Shine(i, j) += (inlay.shine - relief.Shine(i, j)) * cover;
      relief.Glow(i, j) += (inlay.glow - relief.Glow(i, j)) * cover;
    }
  }
}

QPainterPath CentredText(const QFont& font, const QString& text, const QRectF& box) {
  QPainterPath path;
  path.addText(0, 0, font, text);
  const QRectF bounds = path.boundingRect();
  // Centre on the box by the lettering's own ink, so capitals and lower case sit alike.
  path.translate(box.center().x() - bounds.center().x(), box.center().y() - bounds.center().y());
  return path;
}

QPainterPath Diamond(double cx, double cy, double rx, double ry) {
  QPainterPath p;
  p.moveTo(cx - rx, cy);
  p.lineTo(cx, cy - ry);
  p.lineTo(cx + rx, cy);
  p.lineTo(cx, cy + ry);
  p.closeSubpath();
  return p;
}

// The gilded title: the word, and a rule with a diamond to each side of it.
QPainterPath TitleShape() {
  QFont font = TitleFont(66);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 10);
  QPainterPath word = CentredText(font, "INSTALL", QRectF(kTitlePanel).adjusted(0, 2, 0, 2));
  QPainterPath shape = word;
  const QRectF ink = word.boundingRect();
  const double cy = ink.center().y();
  const double leftEnd = ink.left() - 18;
  const double rightEnd = ink.right() + 18;
  const double outer = 34;
  QPainterPath rules;
  rules.addRect(QRectF(kTitlePanel.left() + outer, cy - 1.6, leftEnd - 12 - (kTitlePanel.left() + outer), 3.2));
  rules.addRect(QRectF(rightEnd + 12, cy - 1.6, kTitlePanel.right() + 1 - outer - (rightEnd + 12), 3.2));
  shape.addPath(rules);
  shape.addPath(Diamond(leftEnd - 4, cy, 8, 8));
  shape.addPath(Diamond(rightEnd + 4, cy, 8, 8));
  shape.addPath(Diamond(kTitlePanel.left() + outer - 8, cy, 5, 5));
  shape.addPath(Diamond(kTitlePanel.right() + 1 - outer + 8, cy, 5, 5));
  shape.setFillRule(Qt::WindingFill);
  return shape;
}

const Inlay kGold{{214, 160, 58}, 1.0, 0.0, 1.05, 3.2, 0.9};

void ApplyWindow(QImage& image, const QRect& imageRect) {
  const QRect w = kSlideWindow.intersected(imageRect);
  for (int y = w.top(); y <= w.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y - imageRect.top()));
    for (int x = w.left(); x <= w.right(); ++x) line[x - imageRect.left()] = qRgb(0, 0, 0);
  }
}

Inlay ButtonInlay(int state) {
  switch (state) {
    case 1: return {{70, 67, 64}, 0.05, 0.0, 1.0, 1.0, 0.5};      // engraved, grey
    case 2: return {{236, 178, 56}, 1.0, 0.12, 1.0, 1.0, 0.8};    // gilded
    default: return {{250, 244, 226}, 0.3, 0.55, 1.0, 1.0, 0.8};  // pale, lit from within
  }
}

QString ButtonText(const QRect& where) {
  if (where == kInstallButton) return "install";
  if (where == kNfoButton) return "READ NFO";
  return "QUIT";
}

// ---- the pixel-font labels ----------------------------------------------------

using Glyph = std::array<const char*, 8>;

const std::map<char, Glyph>& PixelGlyphs() {
  static const std::map<char, Glyph> glyphs = {
      {'F', {"######", "##....", "##....", "#####.", "##....", "##....", "##....", "##...."}},
      {'S', {".####.", "##..##", "##....", ".####.", "....##", "....##", "##..##", ".####."}},
      {'a', {"......", "......", ".####.", "....##", ".#####", "##..##", "##..##", ".#####"}},
      {'c', {"......", "......", ".####.", "##..##", "##....", "##....", "##..##", ".####."}},
      {'e', {"......", "......", ".####.", "##..##", "######", "##....", "##..##", ".####."}},
      {'h', {"##....", "##....", "#####.", "##..##", "##..##", "##..##", "##..##", "##..##"}},
      {'n', {"......", "......", "#####.", "##..##", "##..##", "##..##", "##..##", "##..##"}},
      {'o', {"......", "......", ".####.", "##..##", "##..##", "##..##", "##..##", ".####."}},
      {'r', {"......", "......", "##.###", "###...", "##....", "##....", "##....", "##...."}},
      {'s', {"......", "......", ".#####", "##....", ".####.", "....##", "....##", "#####."}},
      {'t', {".##..", ".##..", "#####", ".##..", ".##..", ".##..", ".##.#", "..##."}},
      {'u', {"......", "......", "##..##", "##..##", "##..##", "##..##", "##..##", ".#####"}},
  };
  return glyphs;
}

// A label of `width` by 10 on black: the word centred, in palette entry `ink`.
IndexedPicture PixelLabel(const std::string& name, const std::string& word, int width, std::uint8_t ink,
                          const std::vector<QRgb>& palette) {
  IndexedPicture p;
  p.name = name;
  p.width = width;
  p.height = 10;
  p.bits = 8;
  p.palette = palette;
  p.pixels.assign(static_cast<std::size_t>(width) * 10, 0);
  const int gap = 2;
  int total = -gap;
  for (char c : word) total += static_cast<int>(std::string(PixelGlyphs().at(c)[0]).size()) + gap;
  int x = (width - total) / 2;
  for (char c : word) {
    const Glyph& g = PixelGlyphs().at(c);
    const int w = static_cast<int>(std::string(g[0]).size());
    for (int row = 0; row < 8; ++row)
      for (int col = 0; col < w; ++col)
        if (g[static_cast<std::size_t>(row)][col] == '#')
          p.pixels[static_cast<std::size_t>(row + 1) * width + x + col] = ink;
    x += w + gap;
  }
  return p;
}

// ---- the maker's logo ----------------------------------------------------------

QImage PaintLogoTrueColour() {
  const QRect area(0, 0, 480, 26);
  Relief relief(area, 3, 4);
  relief.ForEach([&](int i, int j, double, double) {
    relief.Height(i, j) = 0.0;
    relief.Albedo(i, j) = Rgb{0, 0, 0};
  });
  QFont font = TitleFont(25);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 9);
  const QPainterPath word = CentredText(font, "TARNWELL", QRectF(0, 0, 480, 26));
  const QRectF ink = word.boundingRect();
  QPainterPath shape = word;
  shape.addRect(QRectF(14, 12, ink.left() - 30 - 14, 2.2));
  shape.addRect(QRectF(ink.right() + 30, 12, 480 - 14 - (ink.right() + 30), 2.2));
  shape.addPath(Diamond(ink.left() - 19, 13.1, 5, 5));
  shape.addPath(Diamond(ink.right() + 19, 13.1, 5, 5));
  shape.setFillRule(Qt::WindingFill);
  const std::vector<float> mask = relief.Mask([&](QPainter& p) { p.drawPath(shape); });
  // Raised rather than cut: the letters stand up out of the black like cast metal.
  const std::vector<double> sd = SignedDistance(mask, relief.Columns(), relief.Rows());
  for (int j = 0; j < relief.Rows(); ++j) {
    for (int i = 0; i < relief.Columns(); ++i) {
      const double d = sd[static_cast<std::size_t>(j) * relief.Columns() + i] / relief.Scale();
      const double cover = Clamp01(d + 0.5);
      relief.Height(i, j) = std::min(std::max(d, 0.0) * 1.1, 1.4);
      relief.Albedo(i, j) = Mix(Rgb{0, 0, 0}, Rgb{206, 150, 54}, cover);
      relief.Shine(i, j) = cover;
    }
  }
  return relief.Shade();
}

IndexedPicture QuantiseWithBlack(const std::string& name, const QImage& image) {
  std::vector<QRgb> nonBlack;
  for (QRgb p : CollectPixels(std::span<const QImage>(&image, 1)))
    if ((p & 0xFFFFFFu) != 0) nonBlack.push_back(p);
  std::vector<QRgb> palette{qRgb(0, 0, 0)};
  for (QRgb c : MedianCut(nonBlack, 15)) palette.push_back(c);
  while (palette.size() < 16) palette.push_back(palette.back());
  return MapToPalette(name, image, 4, palette, 0, 15);
}

}  // namespace

std::vector<QRgb> SystemColours() {
  std::vector<QRgb> p(256, qRgb(0, 0, 0));
  const std::array<std::pair<int, QRgb>, 16> fixed = {{
      {0, qRgb(0, 0, 0)},       {1, qRgb(128, 0, 0)},     {2, qRgb(0, 128, 0)},     {3, qRgb(128, 128, 0)},
      {4, qRgb(0, 0, 128)},     {5, qRgb(128, 0, 128)},   {6, qRgb(0, 128, 128)},   {7, qRgb(192, 192, 192)},
      {248, qRgb(128, 128, 128)}, {249, qRgb(255, 0, 0)}, {250, qRgb(0, 255, 0)},   {251, qRgb(255, 255, 0)},
      {252, qRgb(0, 0, 255)},   {253, qRgb(255, 0, 255)}, {254, qRgb(0, 255, 255)}, {255, qRgb(255, 255, 255)},
  }};
  for (const auto& [index, colour] : fixed) p[static_cast<std::size_t>(index)] = colour;
  return p;
}

QImage PaintBackgroundTrueColour() {
  Relief relief(kBackground, kScale, kMargin);
  PaintStone(relief);
  const QPainterPath title = TitleShape();
  Carve(relief, relief.Mask([&](QPainter& p) { p.drawPath(title); }), kGold);
  QImage image = relief.Shade();
  ApplyWindow(image, kBackground);
  return image;
}

QImage PaintButtonTrueColour(const QRect& where, const QString& text, int state) {
  Relief relief(where, kScale, kMargin);
  PaintStone(relief);
  QFont font = TitleFont(18);
  font.setLetterSpacing(QFont::AbsoluteSpacing, text == "install" ? 0.8 : 1.4);
  QPainterPath path = CentredText(font, text, QRectF(where).adjusted(0, 0, 0, 0));
  const double room = where.width() - 10.0;
  if (path.boundingRect().width() > room) {
    const double f = room / path.boundingRect().width();
    font.setPixelSize(static_cast<int>(18 * f));
    font.setLetterSpacing(QFont::AbsoluteSpacing, 1.0);
    path = CentredText(font, text, QRectF(where));
  }
  // Held down, the lettering sinks a pixel towards the lower right.
  if (state == 3) path.translate(1, 1);
  const std::vector<float> mask = relief.Mask([&](QPainter& p) { p.drawPath(path); });
  if (state == 2) {
    // Under the pointer the gold throws a faint warm light on the stone around it.
    const std::vector<double> sd = SignedDistance(mask, relief.Columns(), relief.Rows());
    for (int j = 0; j < relief.Rows(); ++j)
      for (int i = 0; i < relief.Columns(); ++i) {
        const double d = -sd[static_cast<std::size_t>(j) * relief.Columns() + i] / relief.Scale();
        if (d <= 0.0 || d > 6.0) continue;
        // It fades out before the picture's edge, which must stay the background's stone.
        const double edge = DistanceInside(where, relief.SceneX(i), relief.SceneY(j));
        const double t = 0.32 * std::exp(-d / 1.8) * Clamp01((edge - 2.5) / 3.0);
        if (t <= 0.0) continue;
        relief.Albedo(i, j) = Mix(relief.Albedo(i, j), Rgb{200, 150, 70}, t);
        relief.Glow(i, j) = std::max(relief.Glow(i, j), t * 0.5);
      }
  }
  Carve(relief, mask, ButtonInlay(state));
  return relief.Shade();
}

std::vector<IndexedPicture> PaintMainWindowPictures() {
  const QImage bg = PaintBackgroundTrueColour();
  const std::array<QRect, 3> buttons = {kInstallButton, kNfoButton, kQuitButton};
  std::vector<QImage> buttonImages;
  for (const QRect& where : buttons)
    for (int state = 1; state <= 3; ++state) buttonImages.push_back(PaintButtonTrueColour(where, ButtonText(where), state));

  // One palette for all the 8-bit pictures: the system colours, and 240 colours cut
  // from the stone outside the window and from the buttons.
  std::vector<QRgb> samples;
  for (int y = 0; y < bg.height(); ++y)
    for (int x = 0; x < bg.width(); ++x)
      if (!kSlideWindow.contains(x, y)) samples.push_back(bg.pixel(x, y));
  for (QRgb p : CollectPixels(buttonImages)) samples.push_back(p);
  std::vector<QRgb> own = MedianCut(samples, 240);
  if (own.empty()) throw std::runtime_error("the background painted no colours");
  while (own.size() < 240) own.push_back(own.back());
  std::vector<QRgb> palette = SystemColours();
  std::copy(own.begin(), own.end(), palette.begin() + 8);

  std::vector<IndexedPicture> out;
  IndexedPicture bgPicture = MapToPalette("bg", bg, 8, palette, 8, 247);
  for (int y = kSlideWindow.top(); y <= kSlideWindow.bottom(); ++y)
    for (int x = kSlideWindow.left(); x <= kSlideWindow.right(); ++x)
      bgPicture.pixels[static_cast<std::size_t>(y) * bgPicture.width + x] = 0;
  out.push_back(std::move(bgPicture));

  const std::array<const char*, 3> stems = {"info_install", "info_nfo", "info_quit"};
  for (std::size_t b = 0; b < 3; ++b)
    for (int state = 1; state <= 3; ++state)
      out.push_back(MapToPalette(std::string(stems[b]) + std::to_string(state),
                                 buttonImages[b * 3 + static_cast<std::size_t>(state - 1)], 8, palette, 8, 247));

  // Labels: dark grey, white, yellow, all from the system colours.
  const std::array<std::uint8_t, 3> inks = {248, 255, 251};
  for (int state = 1; state <= 3; ++state)
    out.push_back(PixelLabel("info_features" + std::to_string(state), "Features", 91, inks[state - 1], palette));
  for (int state = 1; state <= 3; ++state)
    out.push_back(PixelLabel("info_screenshot" + std::to_string(state), "Screenshot", 116, inks[state - 1], palette));

  out.push_back(QuantiseWithBlack("tarnwell", PaintLogoTrueColour()));
  return out;
}

}  // namespace artgen
