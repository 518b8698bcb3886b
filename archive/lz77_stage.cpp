#include "lz77_stage.h"

#include <cstring>

#include "cpu_dispatch.h"

namespace ace {

bool Lz77Stage::ReadGroup() {
  if (!ReadCode(br_, 11, 284, main_)) return false;
  if (!ReadCode(br_, 11, 256, lengths_)) return false;
  groupCount_ = br_.Read(15);
  return groupCount_ != 0 && !br_.overflow();
}

int Lz77Stage::ReadMainSymbol() {
  if (groupCount_ == 0 && !ReadGroup()) return -1;
  --groupCount_;
  return main_.Decode(br_);
}

ACE_DISPATCHED Lz77Stage::Stop Lz77Stage::Run(std::uint64_t softStop, std::uint64_t hardStop,
                               std::uint64_t historyStart, std::uint32_t dictionarySize,
                               bool modesAllowed) {
  // The bit reader's state, the position, the group count and the distance history
  // live in locals: stores through the byte pointer could otherwise alias every
  // member and force reloads on each literal.
  std::uint8_t* __restrict data = window_.data();
  std::uint64_t pos = window_.pos();
  std::uint32_t groupCount = groupCount_;
  DistanceHistory history = history_;
  BitCursor bits(br_);
  Stop result = Stop::Limit;
  // With a dictionary at least kSlack short of the window, a copy may write a few
  // bytes past its match (see CopyWithSlack) where this entry's own later output
  // overwrites them: no match can reach them before that, and nothing is left
  // changed after it.
  const bool withSlack = dictionarySize <= LzWindow::kSize - LzWindow::kSlack;
  while (pos < softStop && !bits.overflow()) {
    if (groupCount == 0) {
      bits.Commit();
      const bool ok = ReadGroup();
      bits.Load();
      if (!ok) {
        result = Stop::Error;
        break;
      }
      groupCount = groupCount_;
    }
    --groupCount;
    bits.TopUp();
    const int s = main_.Decode(bits);
    if (s < 0) {
      result = Stop::Error;
      break;
    }
    if (s < 256) {
      data[std::uint32_t(pos++) & LzWindow::kMask] = std::uint8_t(s);
      continue;
    }
    std::uint32_t d;
    std::uint32_t length;
    if (s < 260) {
      const int k = s - 256;
      d = history.Repeat(k);
      const int t = lengths_.Decode(bits);
      if (t < 0) {
        result = Stop::Error;
        break;
      }
      length = std::uint32_t(t) + (k <= 1 ? 2 : 3);
    } else if (s < kModeSymbol) {
      const int b = s - 260;
      d = b < 2 ? std::uint32_t(b) : (1u << (b - 1)) + bits.Read(b - 1);
      const int t = lengths_.Decode(bits);
      if (t < 0) {
        result = Stop::Error;
        break;
      }
      length = std::uint32_t(t) + (d <= 255 ? 2 : d <= 8191 ? 3 : 4);
      history.Push(d);
    } else {
      result = modesAllowed ? Stop::ModeSymbol : Stop::Error;
      break;
    }
    const std::uint64_t distance = std::uint64_t(d) + 1;
    if (distance > dictionarySize || distance > pos - historyStart ||
        distance > LzWindow::kSize || length > hardStop - pos) {
      result = Stop::Error;
      break;
    }
    if (withSlack && length + 16 <= hardStop - pos) {
      LzWindow::CopyWithSlack(data, std::uint32_t(pos) & LzWindow::kMask, std::uint32_t(distance), length);
    } else {
      LzWindow::CopyWithin(data, std::uint32_t(pos) & LzWindow::kMask, std::uint32_t(distance), length);
    }
    pos += length;
  }
  if (result == Stop::Limit && bits.overflow()) result = Stop::Error;
  bits.Commit();
  window_.set_pos(pos);
  groupCount_ = groupCount;
  history_ = history;
  return result;
}

}  // namespace ace
