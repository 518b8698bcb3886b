#include "decrypting_source.h"

#include <nettle/blowfish.h>

#include <cstring>

namespace ace {
namespace {

// A 32-bit half with its bytes in the opposite order: the archive's halves are
// little-endian, nettle's big-endian.
inline std::uint32_t ReversedHalf(const std::uint8_t* p) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return __builtin_bswap32(v);
}

// Blocks decrypted per call into nettle: enough to keep its loop busy, small
// enough for the stack.
constexpr std::size_t kChunk = 1024;

}  // namespace

EntryCipher::EntryCipher(const PasswordKey& key) : schedule_(std::make_unique<blowfish_ctx>()) {
  // The key bytes: K0..K4, each big-endian, so the schedule XORs P[i] with K[i mod 5].
  std::uint8_t bytes[20];
  for (std::size_t i = 0; i < 5; ++i) {
    bytes[4 * i] = std::uint8_t(key[i] >> 24);
    bytes[4 * i + 1] = std::uint8_t(key[i] >> 16);
    bytes[4 * i + 2] = std::uint8_t(key[i] >> 8);
    bytes[4 * i + 3] = std::uint8_t(key[i]);
  }
  // A zero answer marks a weak key (two equal S-box entries); the schedule is
  // complete all the same and decrypts what such a key encrypted.
  (void)blowfish_set_key(schedule_.get(), sizeof bytes, bytes);
}

EntryCipher::~EntryCipher() = default;

void EntryCipher::DecryptBlocks(std::uint8_t* data, std::size_t size,
                                std::uint8_t (&chain)[kCipherBlock]) const {
  alignas(8) std::uint8_t cipherText[kChunk];
  while (size > 0) {
    const std::size_t n = size < kChunk ? size : kChunk;
    for (std::size_t i = 0; i < n; i += 4) {
      const std::uint32_t v = ReversedHalf(data + i);
      std::memcpy(cipherText + i, &v, 4);
    }
    blowfish_decrypt(schedule_.get(), n, data, cipherText);
    // Plaintext = decrypted block XOR the ciphertext block before it; both sides
    // are byte-reversed by halves here, so the XOR comes first and one reversal
    // puts the result back in the archive's order.
    for (std::size_t i = 0; i < kCipherBlock; i += 4) {
      std::uint32_t d, c;
      std::memcpy(&d, data + i, 4);
      std::memcpy(&c, chain + i, 4);
      d = __builtin_bswap32(d ^ c);
      std::memcpy(data + i, &d, 4);
    }
    for (std::size_t i = kCipherBlock; i < n; i += 4) {
      std::uint32_t d, c;
      std::memcpy(&d, data + i, 4);
      std::memcpy(&c, cipherText + i - kCipherBlock, 4);
      d = __builtin_bswap32(d ^ c);
      std::memcpy(data + i, &d, 4);
    }
    std::memcpy(chain, cipherText + n - kCipherBlock, kCipherBlock);
    data += n;
    size -= n;
  }
}

bool DecryptingSource::DecryptOneBlock() {
  while (carried_ < kCipherBlock) {
    const std::size_t got = packed_.Read(carry_ + carried_, kCipherBlock - carried_);
    if (got == 0) return false;
    carried_ += got;
  }
  std::memcpy(ready_, carry_, kCipherBlock);
  carried_ = 0;
  cipher_->DecryptBlocks(ready_, kCipherBlock, chain_);
  readyPos_ = 0;
  return true;
}

std::size_t DecryptingSource::Read(std::uint8_t* out, std::size_t capacity) {
  std::size_t total = 0;
  while (capacity > 0) {
    if (readyPos_ < kCipherBlock) {
      const std::size_t k = kCipherBlock - readyPos_ < capacity ? kCipherBlock - readyPos_ : capacity;
      std::memcpy(out, ready_ + readyPos_, k);
      readyPos_ += k;
      out += k;
      capacity -= k;
      total += k;
      continue;
    }
    if (total > 0) break;
    if (capacity < 2 * kCipherBlock) {
      if (!DecryptOneBlock()) break;
      continue;
    }
    // The carried bytes go first, the packed data straight after them, and every
    // whole block is decrypted where it lies.
    std::memcpy(out, carry_, carried_);
    const std::size_t got = packed_.Read(out + carried_, capacity - carried_);
    if (got == 0) break;
    const std::size_t have = carried_ + got;
    const std::size_t whole = have / kCipherBlock * kCipherBlock;
    carried_ = have - whole;
    std::memcpy(carry_, out + whole, carried_);
    cipher_->DecryptBlocks(out, whole, chain_);
    out += whole;
    capacity -= whole;
    total += whole;
  }
  return total;
}

}  // namespace ace
