// The packed stream of an encrypted entry, decrypted on its way to the decoder:
// Blowfish (from nettle) in CBC mode, with each 8-byte block read as two
// little-endian 32-bit halves. The stream is decrypted in place in the reader's
// own buffer, a whole number of blocks at a time; segment boundaries (volume
// changes) are not block boundaries, so a block cut by one is carried over.
// Unencrypted entries never pass through here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "byte_source.h"
#include "password_key.h"

struct blowfish_ctx;  // nettle's key schedule

namespace ace {

constexpr std::size_t kCipherBlock = 8;

// The key schedule of one password, made once and shared by the entries that use it.
class EntryCipher {
 public:
  explicit EntryCipher(const PasswordKey& key);
  ~EntryCipher();
  EntryCipher(const EntryCipher&) = delete;
  EntryCipher& operator=(const EntryCipher&) = delete;

  // Decrypts `size` bytes (a multiple of 8) in place. `chain` holds the ciphertext
  // block before them (all zero at the start of an entry) and is moved on to the
  // last one of them, byte-reversed by halves as the cipher works on it.
  void DecryptBlocks(std::uint8_t* data, std::size_t size, std::uint8_t (&chain)[kCipherBlock]) const;

 private:
  std::unique_ptr<blowfish_ctx> schedule_;
};

// Reads one entry's encrypted packed data from `packed` and hands it out
// decrypted. A tail shorter than a block (which a well-formed entry does not
// have) cannot be decrypted and is dropped: the stream ends before it.
class DecryptingSource final : public ByteSource {
 public:
  DecryptingSource(ByteSource& packed, std::shared_ptr<const EntryCipher> cipher)
      : packed_(packed), cipher_(std::move(cipher)) {}

  std::size_t Read(std::uint8_t* out, std::size_t capacity) override;

 private:
  // For a read too small to take whole blocks: one block decrypted into ready_.
  bool DecryptOneBlock();

  ByteSource& packed_;
  std::shared_ptr<const EntryCipher> cipher_;
  std::uint8_t chain_[kCipherBlock] = {};
  std::uint8_t carry_[kCipherBlock];      // ciphertext short of a whole block
  std::size_t carried_ = 0;
  std::uint8_t ready_[kCipherBlock];      // plaintext not yet handed out
  std::size_t readyPos_ = kCipherBlock;
};

}  // namespace ace
