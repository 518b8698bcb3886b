#include "small_pictures.h"

#include "noise.h"
#include "palette.h"
#include "relief.h"

#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <map>
#include <stdexcept>
#include <string>

namespace artgen {
namespace {

// Letters of the pixel maps below, and the palette entry each stands for.
const std::map<char, std::uint8_t>& Keys() {
  static const std::map<char, std::uint8_t> keys = {
      {'k', 0}, {'1', 1}, {'2', 2}, {'3', 3}, {'4', 4}, {'5', 5}, {'a', 6}, {'b', 7},
      {'c', 8}, {'d', 9}, {'g', 10}, {'r', 11}, {'B', 12}, {'u', 13}, {'s', 14}, {'.', 15},
  };
  return keys;
}

IndexedPicture FromMap(const std::string& name, const std::vector<std::string>& rows) {
  IndexedPicture p;
  p.name = name;
  p.width = static_cast<int>(rows.front().size());
  p.height = static_cast<int>(rows.size());
  p.bits = 4;
  p.palette = SmallPalette();
  for (const std::string& row : rows) {
    if (static_cast<int>(row.size()) != p.width) throw std::logic_error(name + ": ragged pixel map");
    for (char c : row) p.pixels.push_back(Keys().at(c));
  }
  return p;
}

// The drives share one stone casing, lit from the top left; each gets its own face.
std::vector<std::string> DriveCasing() {
  return {
      "................",
      "5555555555555551",
      "5444444444444421",
      "5433333333333321",
      "5433333333333321",
      "5433333333333321",
      "5433333333333321",
      "5433333333333321",
      "5422222222222221",
      "1111111111111111",
      "................",
  };
}

void Put(std::vector<std::string>& rows, int x, int y, const std::string& run) {
  rows[static_cast<std::size_t>(y)].replace(static_cast<std::size_t>(x), run.size(), run);
}

}  // namespace

std::vector<QRgb> SmallPalette() {
  return {
      qRgb(0, 0, 0),       qRgb(62, 58, 54),    qRgb(100, 95, 88),  qRgb(142, 136, 126),
      qRgb(186, 180, 168), qRgb(224, 218, 206), qRgb(120, 76, 18),  qRgb(192, 138, 40),
      qRgb(238, 194, 82),  qRgb(255, 234, 158), qRgb(56, 184, 64),  qRgb(204, 48, 36),
      qRgb(34, 54, 128),   qRgb(84, 132, 212),  qRgb(176, 204, 236), qRgb(255, 255, 255),
  };
}

std::vector<IndexedPicture> PaintDialogPictures() {
  std::vector<IndexedPicture> out;

  // A diskette half in its slot, the slot's shadow, the eject button.
  std::vector<std::string> floppy = DriveCasing();
  Put(floppy, 4, 2, "BuuuuuuB");
  Put(floppy, 4, 3, "BuBBBBuB");
  Put(floppy, 3, 4, "kkkkkkkkkk");
  Put(floppy, 3, 5, "4444444444");
  Put(floppy, 11, 7, "1k");
  out.push_back(FromMap("FLOPPY", floppy));

  // Two cooling grooves and a green lamp.
  std::vector<std::string> hard = DriveCasing();
  Put(hard, 3, 3, "2222222222");
  Put(hard, 3, 4, "5555555555");
  Put(hard, 3, 5, "2222222222");
  Put(hard, 3, 6, "5555555555");
  Put(hard, 12, 7, "g");
  Put(hard, 2, 7, "aa");
  out.push_back(FromMap("HARD", hard));

  // A shorter casing on a cable.
  std::vector<std::string> network = {
      "................",
      "5555555555555551",
      "5444444444444421",
      "5433333333333g21",
      "5422222222222221",
      "1111111111111111",
      ".......Bu.......",
      ".......Bu.......",
      "..BBBBBBuBBBBB..",
      "..uuuuuuuuuuuu..",
      "................",
  };
  Put(network, 3, 3, "kkkkkk");
  out.push_back(FromMap("NETWORK", network));

  // A disc in front of a small casing with its tray slot and lamp.
  std::vector<std::string> cdrom(11, std::string(16, '.'));
  const char* casing[] = {"5555555551", "5444444421", "5433333321", "54kkkkkk21",
                          "5433333321", "543333g321", "5422222221", "1111111111"};
  for (int row = 0; row < 8; ++row) Put(cdrom, 6, row + 2, casing[row]);
  const char* disc[] = {"...kkkkk...", ".kk555sskk.", ".k555sss4k.", "k5555ss444k",
                        "k55s333u44k", "k5ss3.3uu4k", "kssu333u44k", "ksuuu4444sk",
                        ".ku44444sk.", ".kk44443kk.", "...kkkkk..."};
  for (int row = 0; row < 11; ++row) {
    const std::string line = disc[row];
    for (std::size_t col = 0; col < line.size(); ++col) {
      // Outside the disc's outline the casing shows through; the hole shows the background.
      const bool outside = (row == 0 || row == 10) ? (col < 3 || col > 7)
                           : (row == 1 || row == 2 || row == 8 || row == 9) ? (col == 0 || col == 10)
                                                                                : false;
      if (!outside) cdrom[static_cast<std::size_t>(row)][col] = line[col];
    }
  }
  out.push_back(FromMap("CDROM", cdrom));

  // A memory chip on gold legs.
  std::vector<std::string> ram = {
      "................",
      "..b.b.b.b.b.b...",
      "..b.b.b.b.b.b...",
      ".kkkkkkkkkkkkk..",
      ".k1111111111k1..",
      ".2k111111111k1..",
      ".k1111111111k1..",
      ".kkkkkkkkkkkkk..",
      "..b.b.b.b.b.b...",
      "..a.a.a.a.a.a...",
      "................",
  };
  out.push_back(FromMap("RAM", ram));

  const std::vector<std::string> closed = {
      "................",
      "................",
      "..aaaaa.........",
      ".acdddca........",
      ".acccccaaaaaaaa.",
      ".adddddddddddda.",
      ".adcccccccccccba",
      ".adcccccccccccba",
      ".adcccccccccccba",
      ".adcccccccccccba",
      ".adcccccccccccba",
      ".adcccccccccccba",
      ".abbbbbbbbbbbbba",
      "..aaaaaaaaaaaaaa",
      "................",
  };
  const std::vector<std::string> open = {
      "................",
      "................",
      "..aaaaa.........",
      ".acdddca........",
      ".acbbbbaaaaaaa..",
      ".acbbbbbbbbbbba.",
      ".acbbbbbbbbbbba.",
      ".acaaaaaaaaaaaaa",
      ".acadddddddddda.",
      ".acdcccccccccca.",
      ".aadcccccccccba.",
      ".adcccccccccba..",
      ".adcccccccccba..",
      ".aaaaaaaaaaaaa..",
      "................",
  };
  std::vector<std::string> current = open;
  Put(current, 4, 3, "555555");
  Put(current, 4, 4, "53333k");
  Put(current, 4, 5, "555555k");
  Put(current, 4, 6, "533335k");
  out.push_back(FromMap("OPENFOLDER", open));
  out.push_back(FromMap("CLOSEDFOLDER", closed));
  out.push_back(FromMap("CURRENTFOLDER", current));
  return out;
}

IndexedPicture PaintMainIcon() {
  const QRect area(0, 0, 32, 32);
  Relief relief(area, 4, 2);
  // The tile: a bevelled square of stone, and an arrow down into a tray, cut and gilded.
  QPainterPath arrow;
  arrow.moveTo(12.5, 4.5);
  arrow.lineTo(19.5, 4.5);
  arrow.lineTo(19.5, 13.5);
  arrow.lineTo(24.5, 13.5);
  arrow.lineTo(16, 22.5);
  arrow.lineTo(7.5, 13.5);
  arrow.lineTo(12.5, 13.5);
  arrow.closeSubpath();
  QPainterPath tray;
  tray.moveTo(5, 20);
  tray.lineTo(8, 20);
  tray.lineTo(8, 24.5);
  tray.lineTo(24, 24.5);
  tray.lineTo(24, 20);
  tray.lineTo(27, 20);
  tray.lineTo(27, 27.5);
  tray.lineTo(5, 27.5);
  tray.closeSubpath();
  QPainterPath shape = arrow;
  shape.addPath(tray);
  shape.setFillRule(Qt::WindingFill);
  const std::vector<float> mask = relief.Mask([&](QPainter& p) { p.drawPath(shape); });
  const std::vector<double> sd = SignedDistance(mask, relief.Columns(), relief.Rows());
  relief.ForEach([&](int i, int j, double x, double y) {
    const double edge = std::min({x, y, 32.0 - x, 32.0 - y});
    double h = edge < 2.5 ? -(2.5 - edge) * 1.2 : 0.0;
    const double grain = (FractalNoise(x / 3.0, y / 3.0, 0x1C0Bull, 2, 0.5) - 0.5) * 0.5;
    h += grain;
    const double d = sd[static_cast<std::size_t>(j) * relief.Columns() + i] / relief.Scale();
    const double cover = std::clamp(d + 0.5, 0.0, 1.0);
    h -= std::min(std::max(d, 0.0) * 1.0, 1.6);
    relief.Height(i, j) = h;
    const double shade = 1.0 + (y < 16 ? 0.04 : -0.04);
    relief.Albedo(i, j) = Mix(Rgb{128 * shade, 122 * shade, 114 * shade}, Rgb{222, 164, 52}, cover);
    relief.Shine(i, j) = 0.05 + 0.95 * cover;
  });
  const QImage image = relief.Shade();
  std::vector<QRgb> pixels;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) pixels.push_back(image.pixel(x, y));
  std::vector<QRgb> palette = MedianCut(pixels, 16);
  while (palette.size() < 16) palette.push_back(palette.back());
  return MapToPalette("MAINICON", image, 4, palette, 0, 15);
}

}  // namespace artgen
