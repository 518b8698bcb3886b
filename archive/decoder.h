// What every method's decoder shares: the entry being decoded, where its output
// goes, and the step interface the driver calls until the entry is complete.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "status.h"

namespace ace {

class LzWindow;
class BitReader;

// Receives the entry's output bytes in order.
class Output {
 public:
  virtual ~Output() = default;
  virtual void Emit(const std::uint8_t* data, std::size_t size) = 0;
};

struct EntryParams {
  std::uint64_t size = 0;             // ORIG_SIZE
  std::uint32_t dictionarySize = 0;   // bytes
  std::uint64_t historyStart = 0;     // oldest window position a copy may reach
  bool keepHistory = true;            // false: no later entry can copy from this one
  // When set, blocked entries add the bytes decoded in each mode (0..7) here.
  std::array<std::uint64_t, 8>* modeBytes = nullptr;
};

class EntryDecoder {
 public:
  virtual ~EntryDecoder() = default;
  // Decodes about `budget` more bytes (more by at most one row or copy). Returns Ok
  // while the entry is incomplete, End when it is complete, or an error.
  virtual Status Step(std::size_t budget) = 0;
  void set_output(Output* out) { out_ = out; }

 protected:
  Output* out_ = nullptr;
};

}  // namespace ace
