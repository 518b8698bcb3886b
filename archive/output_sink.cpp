#include "output_sink.h"

#include <cstring>

#include "crc32.h"

namespace ace {

OutputSink::OutputSink(DataCallback callback, std::chrono::steady_clock::time_point* lastReport,
                       std::chrono::milliseconds interval)
    : callback_(callback), lastReport_(lastReport), interval_(interval),
      buffer_(new std::uint8_t[kBufferSize]) {}

void OutputSink::Begin(PendingFile* file, bool report) {
  file_ = file;
  report_ = report && callback_.function != nullptr;
  used_ = 0;
  pieceStart_ = 0;
  pieceContiguous_ = true;
  pieceBytes_ = 0;
  cancelled_ = false;
  writeError_ = Status::Ok;
  crc_ = kCrcStart;
  total_ = 0;
}

void OutputSink::WriteBuffer() {
  if (file_ && used_ && writeError_ == Status::Ok) writeError_ = file_->Write(buffer_.get(), used_);
  used_ = 0;
  pieceStart_ = 0;
  if (pieceBytes_) pieceContiguous_ = false;
}

void OutputSink::Report() {
  if (pieceBytes_ == 0) return;
  // The data address is given only while the whole piece is still in memory;
  // callers are expected to use the count.
  const std::uint8_t* data = pieceContiguous_ ? buffer_.get() + pieceStart_ : nullptr;
  const int answer = callback_.function(callback_.context, data, std::int32_t(pieceBytes_));
  *lastReport_ = std::chrono::steady_clock::now();
  pieceBytes_ = 0;
  pieceStart_ = used_;
  pieceContiguous_ = true;
  if (answer == 0) cancelled_ = true;
}

void OutputSink::Emit(const std::uint8_t* data, std::size_t size) {
  if (stopped()) return;
  crc_ = CrcUpdate(crc_, data, size);
  total_ += size;
  if (!file_ && !report_) return;  // counted and checked; nobody takes the bytes
  if (used_ == 0 && size >= kBufferSize / 2) {
    // Large pieces go straight to the file, without a copy into the buffer.
    if (file_ && writeError_ == Status::Ok) writeError_ = file_->Write(data, size);
    pieceBytes_ += size;
    pieceContiguous_ = false;
    size = 0;
  }
  while (size) {
    if (used_ == kBufferSize) WriteBuffer();
    const std::size_t k = size < kBufferSize - used_ ? size : kBufferSize - used_;
    std::memcpy(buffer_.get() + used_, data, k);
    used_ += k;
    data += k;
    size -= k;
    pieceBytes_ += k;
  }
  if (report_ && pieceBytes_ < 0x40000000 &&
      std::chrono::steady_clock::now() - *lastReport_ >= interval_) {
    Report();
  } else if (report_ && pieceBytes_ >= 0x40000000) {
    Report();  // keeps every count within the callback's 32-bit range
  }
}

Status OutputSink::Finish() {
  if (!stopped()) WriteBuffer();
  if (writeError_ != Status::Ok) return writeError_;
  if (report_ && !cancelled_) Report();
  return cancelled_ ? Status::Cancelled : Status::Ok;
}

}  // namespace ace
