// The LZ77 machinery of both compressed methods: code groups, the four-entry
// distance history and the copy commands against the window.
#pragma once

#include <cstdint>

#include "bit_reader.h"
#include "huffman.h"
#include "lz_window.h"
#include "status.h"

namespace ace {

// The most recently used raw distances, newest first.
class DistanceHistory {
 public:
  void Push(std::uint32_t d) {
    h_[3] = h_[2];
    h_[2] = h_[1];
    h_[1] = h_[0];
    h_[0] = d;
  }
  // Takes entry k and moves it to the front.
  std::uint32_t Repeat(int k) {
    std::uint32_t d = h_[k];
    for (int i = k; i > 0; --i) h_[i] = h_[i - 1];
    h_[0] = d;
    return d;
  }
  std::uint32_t at(int k) const { return h_[k]; }

 private:
  std::uint32_t h_[4] = {0, 0, 0, 0};
};

class Lz77Stage {
 public:
  static constexpr int kModeSymbol = 283;

  enum class Stop { Limit, ModeSymbol, Error };

  Lz77Stage(BitReader& br, LzWindow& window) : br_(br), window_(window) {}

  // Decodes main symbols into the window until window.pos() reaches `softStop`, a
  // mode symbol has been read (only when modesAllowed), or an error. No copy may
  // take the window beyond `hardStop`; copies may not reach before `historyStart`
  // nor further back than `dictionarySize`.
  Stop Run(std::uint64_t softStop, std::uint64_t hardStop, std::uint64_t historyStart,
           std::uint32_t dictionarySize, bool modesAllowed);

  // Reads one main symbol (starting a new code group when needed); -1 on error.
  int ReadMainSymbol();
  std::uint32_t groupCount() const { return groupCount_; }

 private:
  bool ReadGroup();

  BitReader& br_;
  LzWindow& window_;
  HuffmanTable main_;
  HuffmanTable lengths_;
  std::uint32_t groupCount_ = 0;
  DistanceHistory history_;
};

}  // namespace ace
