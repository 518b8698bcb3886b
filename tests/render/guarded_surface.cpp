#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <sstream>
#include <stdexcept>

#include "blend_test_support.h"

namespace blend_test {

TGuardedSurface::TGuardedSurface(int width, int height, TPixelFormat format, int rowPadding, bool bottomUp,
                                 bool againstEnd)
    : width_(width), height_(height), format_(format), pitch_(width * format.BytesPerPixel() + rowPadding),
      bottomUp_(bottomUp) {
  const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
  blockSize_ = std::size_t(height - 1) * std::size_t(pitch_) + std::size_t(width) * std::size_t(BytesPerPixel());
  const std::size_t dataPages = (blockSize_ + page - 1) / page;
  mappingSize_ = (dataPages + 2) * page;
  void* m = mmap(nullptr, mappingSize_, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) throw std::runtime_error("mmap failed");
  mapping_ = static_cast<std::uint8_t*>(m);
  std::uint8_t* data = mapping_ + page;
  if (mprotect(data, dataPages * page, PROT_READ | PROT_WRITE) != 0) throw std::runtime_error("mprotect failed");
  block_ = againstEnd ? data + dataPages * page - blockSize_ : data;
  std::memset(block_, 0, blockSize_);
}

TGuardedSurface::~TGuardedSurface() { munmap(mapping_, mappingSize_); }

TPixelView TGuardedSurface::Surface() const {
  TPixelView s;
  s.Bits = bottomUp_ ? block_ + std::size_t(height_ - 1) * std::size_t(pitch_) : block_;
  s.Width = width_;
  s.Height = height_;
  s.Pitch = bottomUp_ ? -pitch_ : pitch_;
  s.Format = format_;
  s.Palette = Palette.data();
  return s;
}

std::uint8_t* TGuardedSurface::Pixel(int x, int y) const {
  const int row = bottomUp_ ? height_ - 1 - y : y;
  return block_ + std::size_t(row) * std::size_t(pitch_) + std::size_t(x) * std::size_t(BytesPerPixel());
}

std::uint32_t TGuardedSurface::Get(int x, int y) const {
  const std::uint8_t* p = Pixel(x, y);
  std::uint32_t v = 0;
  for (int i = 0; i < BytesPerPixel(); ++i) v |= std::uint32_t(p[i]) << (8 * i);
  return v;
}

void TGuardedSurface::Set(int x, int y, std::uint32_t raw) {
  std::uint8_t* p = Pixel(x, y);
  for (int i = 0; i < BytesPerPixel(); ++i) p[i] = std::uint8_t(raw >> (8 * i));
}

void TGuardedSurface::Fill(std::uint32_t raw) {
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) Set(x, y, raw);
}

void TGuardedSurface::Randomise(std::mt19937& rng) {
  for (std::size_t i = 0; i < blockSize_; ++i) block_[i] = std::uint8_t(rng());
  for (TRGBQuad& q : Palette) q = {std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 0};
}

TPixelView SurfaceIn(const TGuardedSurface& surface, std::vector<std::uint8_t>& copy) {
  TPixelView s = surface.Surface();
  s.Bits = copy.data() + (s.Bits - surface.Block());
  return s;
}

std::string FirstDifference(const TGuardedSurface& actual, const std::vector<std::uint8_t>& expected) {
  if (expected.size() != actual.BlockSize()) return "block sizes differ";
  const TPixelView s = actual.Surface();
  const int bytes = actual.BytesPerPixel();
  const std::size_t pitch = std::size_t(s.Pitch < 0 ? -s.Pitch : s.Pitch);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (actual.Block()[i] == expected[i]) continue;
    const int memoryRow = int(i / pitch);
    const int y = s.Pitch < 0 ? actual.Height() - 1 - memoryRow : memoryRow;
    const std::size_t inRow = i % pitch;
    std::ostringstream out;
    if (inRow >= std::size_t(actual.Width()) * std::size_t(bytes)) {
      out << "row padding of row " << y << " changed at byte " << inRow;
      return out.str();
    }
    const int x = int(inRow / std::size_t(bytes));
    std::uint32_t want = 0;
    const std::size_t start = i - inRow % std::size_t(bytes);
    for (int b = 0; b < bytes; ++b) want |= std::uint32_t(expected[start + std::size_t(b)]) << (8 * b);
    out << std::hex << "first difference at pixel (" << std::dec << x << ", " << y << "): got 0x" << std::hex
        << actual.Get(x, y) << ", expected 0x" << want;
    return out.str();
  }
  return {};
}

}  // namespace blend_test
