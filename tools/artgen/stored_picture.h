// Indexed pictures and their stored form: the one-byte class-name length, "TDIB",
// then a device-independent bitmap record (40-byte header, palette of blue, green,
// red, 0 entries, pixel rows bottom-up, each padded to a multiple of 4 bytes).
#pragma once

#include <QImage>
#include <QRgb>

#include <cstdint>
#include <string>
#include <vector>

namespace artgen {

struct IndexedPicture {
  std::string name;
  int width = 0;
  int height = 0;
  int bits = 8;                       // 8 or 4
  std::vector<QRgb> palette;          // exactly 1 << bits entries
  std::vector<std::uint8_t> pixels;   // width * height palette indices, top row first

  std::uint8_t At(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

int RowStride(int width, int bits);

// The stored form of the picture, class name included.
std::vector<std::uint8_t> StoredForm(const IndexedPicture& picture);

// The picture as a true-colour image, for previews and for composing.
QImage ToImage(const IndexedPicture& picture);

// Maps a true-colour image onto the palette, choosing among entries first..last.
IndexedPicture MapToPalette(const std::string& name, const QImage& image, int bits,
                            const std::vector<QRgb>& palette, int first, int last);

}  // namespace artgen
