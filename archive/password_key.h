// The 160-bit key of an encrypted entry, made from its password. One compression
// step shaped like SHA-1's, but with its own padding (a single block, the length
// in bits as its last word) and a message expansion without the rotation, so a
// standard hash routine cannot stand in for it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ace {

// Bytes of a password that count; the rest is ignored.
constexpr std::size_t kPasswordBytes = 50;

using PasswordKey = std::array<std::uint32_t, 5>;

PasswordKey KeyFromPassword(std::string_view password);

}  // namespace ace
