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
    for (int y = 0; y < dib->Height(); ++y)
      for (int x = 0; x < dib->Width(); ++x) {
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
