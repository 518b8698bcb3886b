// libFuzzer entry for encrypted entries: the whole open/read/test sequence with a
// password taken from the input's tail (see RunPasswordTail). Its seeds are the
// corpus's encrypted archives with their right passwords, so mutations reach the
// decoders through the decryption, and mutated passwords give wrong-key streams.
#include <cstddef>
#include <cstdint>

#include "run_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  acefuzz::RunPasswordTail(data, size);
  return 0;
}
