#include "exe_filter.h"

namespace ace {
namespace {
constexpr std::size_t kChunk = 64 * 1024;
}

void ExeFilter::Scan(bool wide) {
  std::uint8_t* b = work_.data();
  const std::size_t n = work_.size();
  std::size_t i = scan_;
  while (i + 4 < n) {
    const std::uint8_t op = b[i];
    if (op == 0xE8 && wide) {
      std::uint32_t v = std::uint32_t(b[i + 1]) | std::uint32_t(b[i + 2]) << 8 |
                        std::uint32_t(b[i + 3]) << 16 | std::uint32_t(b[i + 4]) << 24;
      v -= std::uint32_t(offset_ + i);
      b[i + 1] = std::uint8_t(v);
      b[i + 2] = std::uint8_t(v >> 8);
      b[i + 3] = std::uint8_t(v >> 16);
      b[i + 4] = std::uint8_t(v >> 24);
      i += 5;
    } else if (op == 0xE8 || op == 0xE9) {
      std::uint16_t v = std::uint16_t(b[i + 1] | b[i + 2] << 8);
      v = std::uint16_t(v - std::uint16_t(offset_ + i));
      b[i + 1] = std::uint8_t(v);
      b[i + 2] = std::uint8_t(v >> 8);
      i += 3;
    } else {
      ++i;
    }
  }
  scan_ = i;
}

void ExeFilter::EmitFinal(Output& out) {
  std::size_t done = scan_ < work_.size() ? scan_ : work_.size();
  if (done == 0) return;
  out.Emit(work_.data(), done);
  work_.erase(work_.begin(), work_.begin() + std::ptrdiff_t(done));
  offset_ += done;
  scan_ -= done;
}

void ExeFilter::Feed(const std::uint8_t* data, std::size_t size, bool wide, Output& out) {
  while (size) {
    std::size_t k = size < kChunk ? size : kChunk;
    work_.insert(work_.end(), data, data + k);
    data += k;
    size -= k;
    Scan(wide);
    EmitFinal(out);
  }
}

void ExeFilter::End(Output& out) {
  std::size_t j = scan_;
  while (j < work_.size() && work_[j] != 0xE8 && work_[j] != 0xE9) ++j;
  scan_ = j;
  EmitFinal(out);
  scan_ = 0;
}

void ExeFilter::FlushCarry(Output& out) {
  if (!work_.empty()) out.Emit(work_.data(), work_.size());
  offset_ += work_.size();
  work_.clear();
  scan_ = 0;
}

}  // namespace ace
