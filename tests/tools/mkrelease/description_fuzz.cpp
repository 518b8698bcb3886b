// Feeds arbitrary text to the release description reader: it must either give a
// description or refuse with ReleaseError, never crash or throw anything else.
#include "description.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto d = mkrelease::ParseDescription(text, "/base", "fuzz");
    if (d.title.empty() || d.payload.empty() || d.nfo.empty()) __builtin_trap();  // required keys
    if (d.level < 0 || d.level > 5) __builtin_trap();
    if (!d.pictures == !d.sheet) __builtin_trap();  // exactly one of them
  } catch (const mkrelease::ReleaseError&) {
  }
  try {
    mkrelease::ParseSize(text);
  } catch (const mkrelease::ReleaseError&) {
  }
  return 0;
}
