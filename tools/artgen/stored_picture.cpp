#include "stored_picture.h"

#include "palette.h"

#include <stdexcept>
#include <unordered_map>

namespace artgen {
namespace {

void Put16(std::vector<std::uint8_t>& out, unsigned v) {
  out.push_back(static_cast<std::uint8_t>(v & 0xFF));
  out.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
}

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>((v >> (8 * i)) & 0xFF));
}

}  // namespace

int RowStride(int width, int bits) { return ((bits * width + 31) / 32) * 4; }

std::vector<std::uint8_t> StoredForm(const IndexedPicture& picture) {
  if (picture.bits != 8 && picture.bits != 4)
    throw std::invalid_argument("only 4 and 8 bits per pixel are stored");
  const std::size_t colours = std::size_t{1} << picture.bits;
  if (picture.palette.size() != colours)
    throw std::invalid_argument(picture.name + ": palette size does not match the bit count");
  if (picture.pixels.size() != static_cast<std::size_t>(picture.width) * picture.height)
    throw std::invalid_argument(picture.name + ": pixel count does not match the size");

  const int stride = RowStride(picture.width, picture.bits);
  std::vector<std::uint8_t> out;
  out.reserve(5 + 40 + colours * 4 + static_cast<std::size_t>(stride) * picture.height);
  out.push_back(4);
  for (char c : std::string("TDIB")) out.push_back(static_cast<std::uint8_t>(c));

  Put32(out, 40);
  Put32(out, static_cast<std::uint32_t>(picture.width));
  Put32(out, static_cast<std::uint32_t>(picture.height));   // positive: rows bottom-up
  Put16(out, 1);
  Put16(out, static_cast<unsigned>(picture.bits));
  Put32(out, 0);                                            // no compression
  Put32(out, static_cast<std::uint32_t>(stride * picture.height));
  Put32(out, 0);
  Put32(out, 0);
  Put32(out, 0);                                            // colours used: all
  Put32(out, 0);

  for (QRgb c : picture.palette) {
    out.push_back(static_cast<std::uint8_t>(qBlue(c)));
    out.push_back(static_cast<std::uint8_t>(qGreen(c)));
    out.push_back(static_cast<std::uint8_t>(qRed(c)));
    out.push_back(0);
  }

  for (int y = picture.height - 1; y >= 0; --y) {
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
    for (int x = 0; x < picture.width; ++x) {
      const std::uint8_t index = picture.At(x, y);
      if (index >= colours) throw std::invalid_argument(picture.name + ": index beyond the palette");
      if (picture.bits == 8) {
        row[static_cast<std::size_t>(x)] = index;
      } else {
        // Two pixels per byte, the left one in the high nibble.
        row[static_cast<std::size_t>(x / 2)] |= static_cast<std::uint8_t>((x % 2 == 0) ? index << 4 : index);
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

QImage ToImage(const IndexedPicture& picture) {
  QImage image(picture.width, picture.height, QImage::Format_RGB32);
  for (int y = 0; y < picture.height; ++y) {
    auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < picture.width; ++x) line[x] = picture.palette[picture.At(x, y)] | 0xFF000000u;
  }
  return image;
}

IndexedPicture MapToPalette(const std::string& name, const QImage& source, int bits,
                            const std::vector<QRgb>& palette, int first, int last) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  IndexedPicture out;
  out.name = name;
  out.width = image.width();
  out.height = image.height();
  out.bits = bits;
  out.palette = palette;
  out.pixels.resize(static_cast<std::size_t>(out.width) * out.height);
  // Stone repeats its colours a lot; each distinct colour is looked up once.
  std::unordered_map<QRgb, std::uint8_t> known;
  for (int y = 0; y < out.height; ++y) {
    const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
    for (int x = 0; x < out.width; ++x) {
      const QRgb colour = line[x] & 0xFFFFFFu;
      auto it = known.find(colour);
      if (it == known.end())
        it = known.emplace(colour, static_cast<std::uint8_t>(NearestIndex(palette, first, last, colour))).first;
      out.pixels[static_cast<std::size_t>(y) * out.width + x] = it->second;
    }
  }
  return out;
}

}  // namespace artgen
