// One pass of the whole read sequence over an archive held in memory: open, every
// header, every entry tested (and every third one skipped instead, so that the
// skipping paths run too).
#pragma once

#include <cstddef>
#include <cstdint>

namespace acefuzz {

// Returns the number of entries met.
int RunArchiveBytes(const std::uint8_t* data, std::size_t size);

}  // namespace acefuzz
