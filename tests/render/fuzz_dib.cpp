// Feeds arbitrary bytes to the stored-picture reader and expands every pixel of
// whatever it accepts.
#include <cstddef>
#include <cstdint>
#include <span>

#include "dib.h"
#include "exceptions.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const TPicture picture = ReadStoredPicture(std::span<const std::uint8_t>(data, size));
    const TDIB* dib = picture.Dib();
    if (!dib) return 0;
    std::uint32_t sum = 0;
    // Every pixel of ordinary pictures; of the largest ones (up to 16 M pixels) a
    // spread of rows, so that one input stays well inside the time limit under the
    // sanitizers while every column and the first and last rows are still read.
    const int rows = dib->Height(), columns = dib->Width();
    const int rowStep = std::int64_t(rows) * columns > (1 << 20) ? 61 : 1;
    for (int y = 0; y < rows; y = (y + rowStep < rows || y == rows - 1) ? y + rowStep : rows - 1)
      for (int x = 0; x < columns; ++x) {
        sum += dib->PixelColor(x, y);
        if (dib->BitCount() <= 8) sum += std::uint32_t(dib->PixelIndex(x, y));
      }
    volatile std::uint32_t sink = sum;
    (void)sink;
  } catch (const Exception&) {
    // Refusing a bad record is the expected answer.
  }
  return 0;
}
