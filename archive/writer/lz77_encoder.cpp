#include "lz77_encoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <climits>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "bit_writer.h"
#include "huffman_encoder.h"

namespace ace::writer {
namespace {

constexpr int kMainSymbols = 284;
constexpr int kLengthSymbols = 256;
constexpr int kMaxWidth = 11;
constexpr int kMaxMatch = 257;        // longest copy every distance form can express
constexpr int kGroupSymbols = 32767;  // the group count is a 15-bit field
constexpr std::size_t kLookahead = 2 * kMaxMatch + 8;
constexpr int kNearBits = 14;
constexpr std::uint64_t kHeadAhead = 8;  // positions between a bucket's prefetch and its use
// A distance history slot whose value the decoder knows but this piece does not: it
// lies beyond every window, so no copy is ever coded as a repeat of it.
constexpr std::uint32_t kUnknownDistance = 0xFFFFFFFFu;

struct LevelParams {
  int chain;  // candidates examined per position
  int nice;   // a match this long ends the search
  bool lazy;  // also try the next position before taking a match
  int hashBits;
  int skipAfter;  // literals in a row after which the search starts skipping ahead
  int lazyBelow;  // only matches shorter than this are checked against the next position
  int good;       // once a match this long is found, a quarter of the chain is enough
  int insertAll;  // matches longer than this enter only their ends into the chains
};

LevelParams ParamsFor(int level) {
  switch (level) {
    case 1: return {3, 24, false, 20, 32, 0, 8, 16};
    case 2: return {4, 32, true, 20, 48, 8, 8, 32};
    case 3: return {6, 48, true, 21, 64, 12, 12, 64};
    case 4: return {64, 192, true, 21, 256, 64, 64, kMaxMatch};
    default: return {192, kMaxMatch, true, 21, 1024, kMaxMatch, 128, kMaxMatch};
  }
}

int BitLength(std::uint32_t x) { return x == 0 ? 0 : 32 - std::countl_zero(x); }

int MatchLength(const std::uint8_t* a, const std::uint8_t* b, int max) {
  int n = 0;
  if constexpr (std::endian::native == std::endian::little) {
    while (n + 8 <= max) {
      std::uint64_t x, y;
      std::memcpy(&x, a + n, 8);
      std::memcpy(&y, b + n, 8);
      if (x != y) return n + std::countr_zero(x ^ y) / 8;
      n += 8;
    }
  }
  while (n < max && a[n] == b[n]) ++n;
  return n;
}

// Smallest copy length of a new distance d (the stored value, distance - 1).
int LengthBase(std::uint32_t d) { return d <= 255 ? 2 : (d <= 8191 ? 3 : 4); }
int RepeatBase(int k) { return k <= 1 ? 2 : 3; }

struct Symbol {
  std::uint16_t main;
  std::uint8_t length;      // length symbol, for main >= 256
  std::uint8_t extraBits;   // distance bits, for main >= 262
  std::uint32_t extra;
};

struct Match {
  int length = 0;
  std::uint32_t distance = 0;  // 1-based
  int repeat = -1;             // index into the distance history, or -1
  int gain = INT_MIN;          // estimated saving against literals, 1/16 bit
};

}  // namespace

struct Lz77Encoder::State {
  State(int bits, int level) : params(ParamsFor(level)) {
    window = std::uint64_t{1} << bits;
    mask = static_cast<std::uint32_t>(window - 1);
    const std::uint64_t step = std::max<std::uint64_t>(window, 1u << 18);
    capacity = static_cast<std::size_t>(window + step + 4 * kLookahead);
    buffer.resize(capacity);
    head.assign(std::size_t{1} << params.hashBits, 0);
    near.assign(std::size_t{1} << kNearBits, 0);
    prev.assign(static_cast<std::size_t>(window), 0);
    symbols.reserve(kGroupSymbols);
    Reset();
  }

  // The state of a new encoder. `prev` keeps its stale links: a chain reaches a
  // slot of `prev` only through a position entered since.
  void Reset() {
    std::fill(head.begin(), head.end(), 0u);
    std::fill(near.begin(), near.end(), 0u);
    tableBase = 0;
    pos = window + 1;
    bufferStart = pos;
    bufferLength = 0;
    inserted = pos;
    limit = pos;
    history = {0, 0, 0, 0};
    for (auto& p : mainPrice) p = 9 * 16;
    for (int s = 256; s < kMainSymbols; ++s) mainPrice[static_cast<std::size_t>(s)] = 7 * 16;
    for (auto& p : lengthPrice) p = 6 * 16;
    literalAverage = 8 * 16;
    symbols.clear();
    mainCount.fill(0);
    lengthCount.fill(0);
  }

  LevelParams params;
  std::uint64_t window;
  std::uint32_t mask;
  std::size_t capacity;
  std::vector<std::uint8_t> buffer;
  std::uint64_t bufferStart;  // stream position of buffer[0]
  std::size_t bufferLength = 0;
  std::uint64_t pos;       // next byte to encode
  std::uint64_t inserted;  // next position to enter into the hash chains
  std::uint64_t limit;     // first position copies may refer to
  std::uint64_t tableBase = 0;
  std::vector<std::uint32_t> head;
  std::vector<std::uint32_t> prev;
  std::vector<std::uint32_t> near;
  std::array<std::uint32_t, 4> history{};

  std::array<int, kMainSymbols> mainPrice{};
  std::array<int, kLengthSymbols> lengthPrice{};
  int literalAverage = 8 * 16;

  std::vector<Symbol> symbols;
  std::array<std::uint32_t, kMainSymbols> mainCount{};
  std::array<std::uint32_t, kLengthSymbols> lengthCount{};
  BitWriter* bits = nullptr;

  std::uint64_t BufferEnd() const { return bufferStart + bufferLength; }

  // Asks for the chain link and the bytes of position `p` ahead of their use; `p`
  // may be stale or outside the buffer, which only makes the hint useless.
  void Prefetch(std::uint64_t p) const {
    const std::uint64_t offset = p - bufferStart;
    if (offset < bufferLength) __builtin_prefetch(buffer.data() + offset);
    __builtin_prefetch(prev.data() + (p & mask));
  }
  void PrefetchHead(std::uint64_t p) {
    if (p + 4 <= BufferEnd()) __builtin_prefetch(head.data() + Hash(p));
  }
  std::uint8_t* At(std::uint64_t p) { return buffer.data() + (p - bufferStart); }

  // Chains link positions with equal four-byte hashes: three-byte copies are only
  // allowed up to distance 8192, and those come from `near`, which keeps the last
  // position of every three-byte hash.
  std::uint32_t Hash(std::uint64_t p) {
    std::uint32_t v;
    std::memcpy(&v, At(p), 4);
    return (v * 2654435761u) >> (32 - params.hashBits);
  }
  std::uint32_t Hash3(std::uint64_t p) {
    const std::uint8_t* b = At(p);
    const std::uint32_t v = (std::uint32_t{b[0]} << 16) | (std::uint32_t{b[1]} << 8) | b[2];
    return (v * 2654435761u) >> (32 - kNearBits);
  }

  void Rebase() {
    if (pos - tableBase < 0xE0000000u) return;
    const std::uint64_t delta = pos - tableBase - (window + 1);
    auto shift = [delta](std::uint32_t& v) { v = v > delta ? static_cast<std::uint32_t>(v - delta) : 0; };
    for (auto& v : head) shift(v);
    for (auto& v : near) shift(v);
    for (auto& v : prev) shift(v);
    tableBase += delta;
  }

  // Frees space at the end of the buffer, keeping the window behind `pos`.
  void MakeRoom() {
    if (bufferLength < capacity) return;
    const std::uint64_t keep = std::max(bufferStart, pos - window);
    const std::size_t drop = static_cast<std::size_t>(keep - bufferStart);
    assert(drop > 0);
    std::memmove(buffer.data(), buffer.data() + drop, bufferLength - drop);
    bufferStart = keep;
    bufferLength -= drop;
  }

  // Enters every position before `upTo` whose four hash bytes are present.
  void InsertUpTo(std::uint64_t upTo) {
    const std::uint64_t end = std::min(upTo, BufferEnd() >= 3 ? BufferEnd() - 3 : 0);
    for (; inserted < end; ++inserted) {
      if (inserted + kHeadAhead < end) __builtin_prefetch(head.data() + Hash(inserted + kHeadAhead));
      const std::uint32_t h = Hash(inserted);
      const auto rel = static_cast<std::uint32_t>(inserted - tableBase);
      prev[static_cast<std::size_t>(inserted & mask)] = head[h];
      head[h] = rel;
      near[Hash3(inserted)] = rel;
    }
  }

  int NewDistanceCost(std::uint32_t d, int length) const {
    const int b = BitLength(d);
    return mainPrice[static_cast<std::size_t>(260 + b)] + (b >= 2 ? (b - 1) * 16 : 0) +
           lengthPrice[static_cast<std::size_t>(length - LengthBase(d))];
  }
  int RepeatCost(int k, int length) const {
    return mainPrice[static_cast<std::size_t>(256 + k)] +
           lengthPrice[static_cast<std::size_t>(length - RepeatBase(k))];
  }

  Match FindMatch(std::uint64_t p, std::uint64_t entryEnd) {
    Match best;
    const int maxLen = static_cast<int>(std::min<std::uint64_t>(kMaxMatch, entryEnd - p));
    if (maxLen < 2) return best;
    const std::uint8_t* cur = At(p);
    const std::uint64_t reach = std::min<std::uint64_t>(window, p - limit);

    for (int k = 0; k < 4; ++k) {
      const std::uint64_t dist = std::uint64_t{history[static_cast<std::size_t>(k)]} + 1;
      if (dist > reach) continue;
      bool seen = false;
      for (int j = 0; j < k; ++j) seen |= history[static_cast<std::size_t>(j)] == history[static_cast<std::size_t>(k)];
      if (seen) continue;
      const int len = MatchLength(cur, cur - dist, maxLen);
      if (len < RepeatBase(k)) continue;
      const int gain = len * literalAverage - RepeatCost(k, len);
      if (gain > best.gain) best = {len, static_cast<std::uint32_t>(dist), k, gain};
    }
    if (maxLen < 3 || best.length >= params.nice || best.length >= maxLen) return best;

    if (best.length < 3) {
      const std::uint32_t r3 = near[Hash3(p)];
      const std::uint64_t cand = tableBase + r3;
      if (r3 != 0 && cand < p && p - cand <= std::min<std::uint64_t>(reach, 8192)) {
        const int len = MatchLength(cur, At(cand), maxLen);
        const auto d = static_cast<std::uint32_t>(p - cand - 1);
        if (len >= 3 && len >= LengthBase(d)) {
          const int gain = len * literalAverage - NewDistanceCost(d, len);
          if (gain > best.gain) best = {len, static_cast<std::uint32_t>(p - cand), -1, gain};
        }
      }
    }
    if (maxLen < 4 || best.length >= params.nice || best.length >= maxLen) return best;

    int longest = std::max(best.length, 3);
    std::uint32_t rel = head[Hash(p)];
    for (int chain = params.chain; chain > 0 && rel != 0; --chain) {
      const std::uint64_t cand = tableBase + rel;
      if (cand >= p) break;
      const std::uint64_t dist = p - cand;
      if (dist > reach) break;
      // Fetch the next link first and start loading what it points at, so that the
      // memory waits overlap with the comparison of this candidate.
      const std::uint32_t next = prev[static_cast<std::size_t>(cand & mask)];
      Prefetch(tableBase + next);
      const std::uint8_t* c = At(cand);
      if (c[longest] == cur[longest] && c[0] == cur[0]) {
        const int len = MatchLength(cur, c, maxLen);
        if (len > longest) {
          const auto d = static_cast<std::uint32_t>(dist - 1);
          if (len >= LengthBase(d)) {
            const int gain = len * literalAverage - NewDistanceCost(d, len);
            if (gain > best.gain) {
              best = {len, static_cast<std::uint32_t>(dist), -1, gain};
              longest = len;
              if (len >= params.nice || len == maxLen) break;
              if (len >= params.good && chain > 4) chain >>= 2;
            }
          }
        }
      }
      if (next >= rel) break;
      rel = next;
    }
    return best;
  }

  void Push(const Symbol& s) {
    symbols.push_back(s);
    ++mainCount[s.main];
    if (s.main >= 256) ++lengthCount[s.length];
    if (symbols.size() == kGroupSymbols) EmitGroup();
  }

  void PutLiteral(std::uint8_t b) { Push({b, 0, 0, 0}); }

  void PutMatch(const Match& m) {
    const auto d = m.distance - 1;
    int k = m.repeat;
    if (k < 0) {
      for (int j = 0; j < 4; ++j)
        if (history[static_cast<std::size_t>(j)] == d && m.length >= RepeatBase(j)) {
          k = j;
          break;
        }
    }
    if (k >= 0) {
      const std::uint32_t v = history[static_cast<std::size_t>(k)];
      for (int j = k; j > 0; --j) history[static_cast<std::size_t>(j)] = history[static_cast<std::size_t>(j - 1)];
      history[0] = v;
      Push({static_cast<std::uint16_t>(256 + k), static_cast<std::uint8_t>(m.length - RepeatBase(k)), 0, 0});
      return;
    }
    const int b = BitLength(d);
    Symbol s{static_cast<std::uint16_t>(260 + b), static_cast<std::uint8_t>(m.length - LengthBase(d)), 0, 0};
    if (b >= 2) {
      s.extraBits = static_cast<std::uint8_t>(b - 1);
      s.extra = d - (1u << (b - 1));
    }
    history = {d, history[0], history[1], history[2]};
    Push(s);
  }

  void EmitGroup() {
    if (symbols.empty()) return;
    const std::vector<std::uint8_t> mainWidths = ComputeWidths(mainCount, kMaxWidth);
    const std::vector<std::uint8_t> lengthWidths = ComputeWidths(lengthCount, kMaxWidth);
    const PrefixCode mainCode = WriteWidthTable(*bits, mainWidths, kMaxWidth);
    const PrefixCode lengthCode = WriteWidthTable(*bits, lengthWidths, kMaxWidth);
    bits->Put(static_cast<std::uint32_t>(symbols.size()), 15);
    for (const Symbol& s : symbols) {
      bits->Put(mainCode.bits[s.main], mainCode.width[s.main]);
      if (s.main >= 256) {
        bits->Put(s.extra, s.extraBits);
        bits->Put(lengthCode.bits[s.length], lengthCode.width[s.length]);
      }
    }
    // Price the next group's decisions with this group's code.
    std::uint64_t literalBits = 0, literals = 0;
    for (int s = 0; s < kMainSymbols; ++s) {
      const auto i = static_cast<std::size_t>(s);
      mainPrice[i] = (mainWidths[i] ? mainWidths[i] : 12) * 16;
      if (s < 256) {
        literalBits += std::uint64_t{mainCount[i]} * mainWidths[i];
        literals += mainCount[i];
      }
    }
    for (int s = 0; s < kLengthSymbols; ++s) {
      const auto i = static_cast<std::size_t>(s);
      lengthPrice[i] = (lengthWidths[i] ? lengthWidths[i] : 12) * 16;
    }
    literalAverage = literals ? static_cast<int>(literalBits * 16 / literals) : 8 * 16;
    literalAverage = std::clamp(literalAverage, 2 * 16, 11 * 16);
    symbols.clear();
    mainCount.fill(0);
    lengthCount.fill(0);
  }

  // Reads entry bytes until the lookahead is full or the entry is all in.
  void Fill(std::uint64_t entryEnd, const ByteReader& read) {
    while (BufferEnd() < entryEnd && BufferEnd() - pos < kLookahead) {
      MakeRoom();
      const std::size_t room = std::min<std::uint64_t>(capacity - bufferLength, entryEnd - BufferEnd());
      const std::size_t got = read(buffer.data() + bufferLength, room);
      if (got == 0) throw std::runtime_error("the data ended before its announced size");
      if (got > room) throw std::logic_error("reader overfilled its buffer");
      bufferLength += got;
    }
  }
};

Lz77Encoder::Lz77Encoder(int dictionaryBits, int level) {
  if (dictionaryBits < 10 || dictionaryBits > 22) throw std::invalid_argument("dictionary bits must be 10..22");
  s_ = std::make_unique<State>(dictionaryBits, std::clamp(level, 1, 5));
}

Lz77Encoder::~Lz77Encoder() = default;

void Lz77Encoder::Restart() { s_->Reset(); }

void Lz77Encoder::StartIndependentEntry() { s_->limit = s_->pos; }

void Lz77Encoder::AddHistory(std::span<const std::uint8_t> bytes) {
  State& s = *s_;
  while (!bytes.empty()) {
    s.Rebase();
    s.MakeRoom();
    const std::size_t n = std::min(bytes.size(), s.capacity - s.bufferLength);
    std::memcpy(s.buffer.data() + s.bufferLength, bytes.data(), n);
    s.bufferLength += n;
    bytes = bytes.subspan(n);
    s.pos += n;
    s.InsertUpTo(s.pos);
  }
}

void Lz77Encoder::EncodePiece(std::uint64_t size, const ByteReader& read, bool entryStart, bool entryEnd,
                              PackedBits& out) {
  State& s = *s_;
  if (entryStart) {
    s.history = {0, 0, 0, 0};
  } else {
    s.history.fill(kUnknownDistance);
  }
  out.bytes.clear();
  out.bits = 0;
  BitWriter writer(out.bytes);
  s.bits = &writer;
  const std::uint64_t end = s.pos + size;
  const bool lazy = s.params.lazy;

  Match cached;
  std::uint64_t cachedAt = 0;  // position `cached` was searched for (0: none)
  int literalRun = 0;
  while (s.pos < end) {
    s.Rebase();
    s.Fill(end, read);
    s.InsertUpTo(s.pos);
    s.PrefetchHead(s.pos + kHeadAhead);
    Match m = cachedAt == s.pos ? cached : s.FindMatch(s.pos, end);
    if (m.length == 0 || m.gain <= 0) {
      s.PutLiteral(*s.At(s.pos));
      ++s.pos;
      // Data that does not compress is passed over faster and faster: the bytes
      // skipped are neither searched nor entered into the chains.
      if (++literalRun > s.params.skipAfter) {
        const int skip = std::min(15, (literalRun - s.params.skipAfter) >> 4);
        for (int k = 0; k < skip && s.pos < end && s.pos < s.BufferEnd(); ++k) {
          s.PutLiteral(*s.At(s.pos));
          ++s.pos;
        }
        s.inserted = std::max(s.inserted, s.pos);
      }
    } else {
      literalRun = 0;
      if (lazy && m.length < s.params.lazyBelow && s.pos + 1 < end) {
        s.InsertUpTo(s.pos + 1);
        const Match next = s.FindMatch(s.pos + 1, end);
        const int literalCost = s.mainPrice[*s.At(s.pos)];
        if (next.length > 0 && next.gain + s.literalAverage - literalCost > m.gain) {
          s.PutLiteral(*s.At(s.pos));
          ++s.pos;
          // A literal leaves the distance history alone, so `next` still holds.
          cached = next;
          cachedAt = s.pos;
          continue;
        }
      }
      s.PutMatch(m);
      if (m.length > s.params.insertAll) {
        s.InsertUpTo(s.pos + 8);
        s.inserted = std::max(s.inserted, s.pos + static_cast<std::uint64_t>(m.length) - 8);
      }
      s.pos += static_cast<std::uint64_t>(m.length);
    }
  }
  s.EmitGroup();
  // A piece that ends inside its entry hands on its last bits unpadded: the next
  // piece's code group goes on right after them.
  const int pending = writer.PendingBits();
  writer.PadToWord();
  s.bits = nullptr;
  out.bits = std::uint64_t{out.bytes.size()} * 8 - (entryEnd || pending == 0 ? 0 : static_cast<std::uint64_t>(32 - pending));
}

}  // namespace ace::writer
