// Undoes the x86 CALL/JMP address rewriting of EXE sections. Streams: bytes before
// the scan position are final and leave at once; what is left at the end of a
// section (an opcode with fewer than four bytes after it, and what follows) stays
// as the carry for the next section.
#pragma once

#include <cstdint>
#include <vector>

#include "decoder.h"

namespace ace {

class ExeFilter {
 public:
  // Starts a section whose bytes (the carry first) land at entry offset `offset`.
  void Begin(std::uint64_t offset) {
    offset_ = offset;
    scan_ = 0;
  }
  // Filters the next bytes of the section; wide = 32-bit CALL operands.
  void Feed(const std::uint8_t* data, std::size_t size, bool wide, Output& out);
  // Ends the section: outputs what is final and keeps the rest as the carry.
  void End(Output& out);
  // The carry is output unchanged (start of an LZ77 section).
  void FlushCarry(Output& out);

  std::size_t carrySize() const { return work_.size(); }
  const std::vector<std::uint8_t>& carry() const { return work_; }

 private:
  void Scan(bool wide);
  void EmitFinal(Output& out);

  std::vector<std::uint8_t> work_;
  std::size_t scan_ = 0;
  std::uint64_t offset_ = 0;  // entry offset of work_[0]
};

}  // namespace ace
