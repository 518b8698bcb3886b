#include "sound_decoder.h"

#include <bit>
#include <cstdlib>
#include <type_traits>

#include "cpu_dispatch.h"

namespace ace {
namespace {

int SByte(int x) { return int(std::int8_t(std::uint8_t(x & 0xFF))); }


// bitlen(|sbyte(b)|) for every byte b: what a prediction error costs.
constexpr std::array<std::uint8_t, 256> MakeErrorCost() {
  std::array<std::uint8_t, 256> t{};
  for (int b = 0; b < 256; ++b) {
    const int y = b < 128 ? b : 256 - b;
    t[std::size_t(b)] = std::uint8_t(std::bit_width(unsigned(y)));
  }
  return t;
}
constexpr auto kErrorCost = MakeErrorCost();

template <int k>
using ChannelNumber = std::integral_constant<int, k>;

}  // namespace

SoundDecoder::SoundDecoder(int mode) : mode_(mode), channels_(mode == 3 ? 1 : mode == 4 ? 2 : 3) {}

bool SoundDecoder::ReadGroup(BitCursor& br) {
  br.Commit();
  BitReader& reader = br.reader();
  bool ok = true;
  for (int m = 0; ok && m < 3 * channels_; ++m) ok = ReadCode(reader, 10, 289, models_[m]);
  if (ok) groupCount_ = reader.Read(15);
  br.Load();
  return ok && groupCount_ != 0 && !br.overflow();
}

inline int SoundDecoder::ReadSymbol(BitCursor& br, int model) {
  if (groupCount_ == 0 && !ReadGroup(br)) [[unlikely]] return -1;
  --groupCount_;
  return models_[model].Decode(br);
}

__attribute__((always_inline)) inline SoundDecoder::Result SoundDecoder::NextByte(
    BitCursor& br, Channel& c, int ch, int& out) {
  int v = 0;
  switch (c.state) {
    case Channel::kNormal: {
      const int s = ReadSymbol(br, 3 * ch + c.model);
      if (s < 0) return Result::Error;
      if (s == kModeSymbol) return Result::ModeInstruction;
      if (s >= 32) {
        v = s - 32;
        c.adapt = ((7 * c.adapt) >> 3) + v;
        c.model = c.adapt > 40 ? 1 : 0;
      } else if (s == 0) {
        c.state = Channel::kAfter;
      } else {
        c.state = Channel::kRun;
        c.run = s - 1;
      }
      break;
    }
    case Channel::kRun:
      if (c.run == 0) {
        c.state = Channel::kAfter;
      } else {
        --c.run;
      }
      break;
    case Channel::kAfter: {
      const int s = ReadSymbol(br, 3 * ch + 2);
      if (s < 0) return Result::Error;
      if (s == kModeSymbol) return Result::ModeInstruction;
      v = s;
      c.state = Channel::kNormal;
      break;
    }
  }
  const int residual = (v >> 1) ^ -(v & 1);  // odd codes are the negative ones
  const int q = (8 * c.last + c.coef[0] * c.delta[0] + c.coef[1] * c.delta[1] +
                 c.coef[2] * c.delta[2] + c.coef[3] * c.delta[3]) >> 3;
  const int predicted = c.cost[0] > c.cost[1] ? c.last : q;
  out = (residual + predicted) & 0xFF;
  Update(c, q, out);
  return Result::Byte;
}

__attribute__((always_inline)) inline void SoundDecoder::Update(Channel& c, int q, int outByte) {
  const int s = SByte(outByte);
  ++c.count;
  const int u = 8 * SByte(q - s);
  for (int k = 0; k < 4; ++k) {
    c.errMinus[k] += std::abs(u - c.delta[k]);
    c.errPlus[k] += std::abs(u + c.delta[k]);
  }
  c.errZero += std::abs(u);
  const int t = SByte(s - c.last);
  c.cost[0] += kErrorCost[std::size_t((q - s) & 0xFF)];  // u / 8 is sbyte(q - s)
  c.cost[1] += kErrorCost[std::size_t((c.last - s) & 0xFF)];
  c.last = s;
  if (c.count % 32 == 0) {
    // The sums in the order that decides ties: minus, plus for each coefficient,
    // then the one of no change.
    int z = 0;
    int least = c.errMinus[0];
    for (int k = 1; k < 9; ++k) {
      const int sum = k == 8 ? c.errZero : (k & 1) ? c.errPlus[k >> 1] : c.errMinus[k >> 1];
      if (sum < least) {
        least = sum;
        z = k;
      }
    }
    c.errMinus.fill(0);
    c.errPlus.fill(0);
    c.errZero = 0;
    if (z < 8) {
      const int k = z >> 1;
      if ((z & 1) == 0) {
        if (c.coef[k] >= -16) --c.coef[k];
      } else if (c.coef[k] <= 16) {
        ++c.coef[k];
      }
    }
    if (c.count % 256 == 0) {
      for (int i = 0; i < 2; ++i) {
        c.cost[i] -= c.snap[i];
        c.snap[i] = c.cost[i];
      }
    }
  }
  c.delta[3] = c.delta[2];
  c.delta[2] = c.delta[1];
  c.delta[1] = t - c.delta[0];
  c.delta[0] = t;
}

// The bytes of a section go to the channels in a pattern of four that the mode
// fixes: one decoding loop per pattern, with the channels' states in locals, so
// that one byte's update reaches the next prediction of its channel in registers
// rather than through memory.
template <int kC0, int kC1, int kC2, int kC3>
__attribute__((always_inline)) inline SoundDecoder::Result SoundDecoder::DecodeInPattern(
    BitCursor& bits, std::uint64_t index, std::uint8_t* __restrict out, std::size_t capacity,
    std::size_t& produced) {
  Channel c0 = state_[0], c1 = state_[1], c2 = state_[2];
  std::size_t n = 0;
  Result r = Result::Byte;
  auto step = [&](auto channel) __attribute__((always_inline)) {
    constexpr int kChannel = decltype(channel)::value;
    Channel& c = kChannel == 0 ? c0 : kChannel == 1 ? c1 : c2;
    if (n == capacity) return false;
    int value = 0;
    r = NextByte(bits, c, kChannel, value);
    if (r != Result::Byte) return false;
    out[n++] = std::uint8_t(value);
    return true;
  };
  // Enters the pattern where the first byte falls in it.
  switch (index & 3) {
    for (;;) {
      case 0:
        if (!step(ChannelNumber<kC0>{})) goto done;
        [[fallthrough]];
      case 1:
        if (!step(ChannelNumber<kC1>{})) goto done;
        [[fallthrough]];
      case 2:
        if (!step(ChannelNumber<kC2>{})) goto done;
        [[fallthrough]];
      default:
        if (!step(ChannelNumber<kC3>{})) goto done;
    }
  }
done:
  state_[0] = c0;
  state_[1] = c1;
  state_[2] = c2;
  produced = n;
  return r;
}

// One channel: the plain loop, which decodes faster than the pattern's four copies.
__attribute__((always_inline)) inline SoundDecoder::Result SoundDecoder::DecodeOneChannel(
    BitCursor& bits, std::uint8_t* __restrict out, std::size_t capacity, std::size_t& produced) {
  Channel c = state_[0];
  std::size_t n = 0;
  Result r = Result::Byte;
  while (n < capacity) {
    int value = 0;
    r = NextByte(bits, c, 0, value);
    if (r != Result::Byte) break;
    out[n++] = std::uint8_t(value);
  }
  state_[0] = c;
  produced = n;
  return r;
}

ACE_DISPATCHED SoundDecoder::Result SoundDecoder::Decode(BitReader& br, std::uint64_t index,
                                          std::uint8_t* __restrict out, std::size_t capacity,
                                          std::size_t& produced) {
  BitCursor bits(br);
  // Which channel each byte of a group of four belongs to.
  switch (mode_) {
    case 3: return DecodeOneChannel(bits, out, capacity, produced);
    case 4: return DecodeInPattern<0, 1, 0, 1>(bits, index, out, capacity, produced);
    case 5: return DecodeInPattern<0, 1, 0, 2>(bits, index, out, capacity, produced);
    default: return DecodeInPattern<1, 0, 2, 0>(bits, index, out, capacity, produced);
  }
}

}  // namespace ace
