// libFuzzer entry: the walk over the headers, then the whole open/read/test
// sequence, over one input file.
#include <cstddef>
#include <cstdint>

#include "run_bytes.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  acefuzz::RunArchiveBytes(data, size);
  return 0;
}
