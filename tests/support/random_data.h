// Reproducible test data: the same seed gives the same bytes on every machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace test_support {

// Bytes from a Mersenne Twister (std::mt19937) seeded with `seed`; they do not compress.
std::vector<std::uint8_t> RandomBytes(std::size_t n, std::uint32_t seed);

}  // namespace test_support
