// One pass of the whole read sequence over an archive held in memory: open, every
// header, every entry tested (and every third one skipped instead, so that the
// skipping paths run too).
#pragma once

#include <cstddef>
#include <cstdint>

namespace acefuzz {

struct RunResult {
  int entries = 0;  // entries met
  int tested = 0;   // of them, tested (the others skipped)
  int passed = 0;   // of those, tested with ACE_OK
};

// Returns the number of entries met.
int RunArchiveBytes(const std::uint8_t* data, std::size_t size);
// The same with a password for the encrypted entries (null: none).
RunResult RunArchiveBytes(const std::uint8_t* data, std::size_t size, const char* password);
// An input of the encrypted fuzz target: the archive, then the password, then one
// byte with the password's length (cut to what the input holds).
RunResult RunPasswordTail(const std::uint8_t* data, std::size_t size);

}  // namespace acefuzz
