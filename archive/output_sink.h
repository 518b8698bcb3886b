// Where an entry's decoded bytes go: the CRC, the file being written (if any) and
// the data callback, which learns of the progress in pieces.
//
// Piece size: the installer redraws and presents its window once per piece, and a
// present may wait for a display refresh (~16 ms). Reporting every buffer would let
// those waits pace the extraction, so a piece is reported only when at least 50 ms
// (steady clock) have passed since the last report of this archive, and when the
// entry ends. The pieces of an entry add up to its size; a non-empty entry always
// gets at least its final piece.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

#include "decoder.h"
#include "safe_writer.h"
#include "status.h"

namespace ace {

struct DataCallback {
  int (*function)(void* context, const std::uint8_t* data, std::int32_t count) = nullptr;
  void* context = nullptr;
};

class OutputSink final : public Output {
 public:
  static constexpr std::chrono::milliseconds kPieceInterval{50};
  static constexpr std::size_t kBufferSize = 256 * 1024;

  OutputSink(DataCallback callback, std::chrono::steady_clock::time_point* lastReport,
             std::chrono::milliseconds interval = kPieceInterval);

  // Starts an entry. file may be null (testing, or decoding into nothing); with
  // report false the data callback is not called.
  void Begin(PendingFile* file, bool report);
  void Emit(const std::uint8_t* data, std::size_t size) override;
  // Writes what is buffered and reports the final piece.
  Status Finish();

  // The callback answered 0, or a write failed: output is dropped from then on.
  bool stopped() const { return cancelled_ || writeError_ != Status::Ok; }
  bool cancelled() const { return cancelled_; }
  Status writeError() const { return writeError_; }
  std::uint32_t crc() const { return crc_; }
  std::uint64_t size() const { return total_; }

 private:
  void WriteBuffer();
  void Report();

  DataCallback callback_;
  std::chrono::steady_clock::time_point* lastReport_;
  std::chrono::milliseconds interval_;
  std::unique_ptr<std::uint8_t[]> buffer_;
  std::size_t used_ = 0;
  std::size_t pieceStart_ = 0;   // offset of the piece's first byte in buffer_
  bool pieceContiguous_ = true;  // all of the piece is still in buffer_
  std::uint64_t pieceBytes_ = 0;
  PendingFile* file_ = nullptr;
  bool report_ = false;
  bool cancelled_ = false;
  Status writeError_ = Status::Ok;
  std::uint32_t crc_ = 0;
  std::uint64_t total_ = 0;
};

}  // namespace ace
