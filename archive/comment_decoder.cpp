// Comments: a small LZP scheme over one Huffman code; copies come from the last
// position where the same two-byte sum was seen.
#include <array>

#include "bit_reader.h"
#include "headers.h"
#include "huffman.h"

namespace ace {

std::string DecodeComment(const std::uint8_t* data, std::size_t size) {
  MemorySource source(data, size);
  BitReader br(&source);
  const std::size_t n = br.Read(15);
  HuffmanTable code;
  if (!ReadCode(br, 11, 284, code)) return {};
  std::string out;
  out.reserve(n);
  std::array<std::size_t, 511> last{};
  while (out.size() < n) {
    std::size_t src = 0;
    if (out.size() >= 2) {
      const int h = std::uint8_t(out[out.size() - 1]) + std::uint8_t(out[out.size() - 2]);
      src = last[h];
      last[h] = out.size();
    }
    const int c = code.Decode(br);
    if (c < 0 || br.overflow()) return {};
    if (c < 256) {
      out.push_back(char(c));
    } else {
      if (out.empty()) return {};
      for (int k = 0; k < c - 254 && out.size() < n; ++k) {
        const char byte = out[src + std::size_t(k)];
        out.push_back(byte);
      }
    }
  }
  return out;
}

}  // namespace ace
