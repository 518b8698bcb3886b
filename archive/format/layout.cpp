#include "layout.h"

#include "crc32.h"

namespace ace {

std::uint16_t HeaderCrc(const std::uint8_t* block, std::size_t size) {
  return std::uint16_t(Crc32(block, size) & 0xFFFF);
}

void SealBlock(std::vector<std::uint8_t>& block) {
  const std::size_t size = block.size() - kBlockPrefix;
  block[2] = static_cast<std::uint8_t>(size);
  block[3] = static_cast<std::uint8_t>(size >> 8);
  const std::uint16_t crc = HeaderCrc(block.data() + kBlockPrefix, size);
  block[0] = static_cast<std::uint8_t>(crc);
  block[1] = static_cast<std::uint8_t>(crc >> 8);
}

}  // namespace ace
