#include <cstring>
#include <memory>

#include "lz_window.h"
#include "method_decoders.h"

namespace ace {
namespace {

class StoredDecoder final : public EntryDecoder {
 public:
  static constexpr std::size_t kBufferSize = 256 * 1024;

  StoredDecoder(ByteSource& source, LzWindow& window, const EntryParams& params)
      : source_(source), window_(window), left_(params.size), keep_(params.keepHistory),
        buffer_(std::make_unique_for_overwrite<std::uint8_t[]>(kBufferSize)) {}

  Status Step(std::size_t budget) override {
    while (left_ > 0 && budget > 0) {
      std::size_t want = kBufferSize;
      if (want > left_) want = std::size_t(left_);
      if (want > budget) want = budget;
      const std::size_t got = source_.Read(buffer_.get(), want);
      if (got == 0) {
        ClearPassedOver();
        return Status::ReadFailed;
      }
      // Stored bytes join the history: a later solid entry may copy from them.
      // Bytes followed by a whole window's worth more of this entry would only be
      // overwritten, so the window just moves past them.
      if (keep_) {
        if (left_ - got >= LzWindow::kSize) {
          if (!passing_) passedFrom_ = window_.pos();
          passing_ = true;
          window_.set_pos(window_.pos() + got);
          passedTo_ = window_.pos();
        } else {
          window_.PutBytes(buffer_.get(), got);
        }
      }
      out_->Emit(buffer_.get(), got);
      left_ -= got;
      budget = budget > got ? budget - got : 0;
    }
    return left_ == 0 ? Status::End : Status::Ok;
  }

 private:
  // An entry that ends early leaves the positions passed over holding older bytes;
  // they are cleared so that nothing later can copy stale or unset memory.
  void ClearPassedOver() {
    if (!passing_) return;
    const std::uint64_t pos = window_.pos();
    std::uint64_t from = passedFrom_;
    if (pos - from > LzWindow::kSize) from = pos - LzWindow::kSize;
    std::uint8_t* data = window_.data();
    for (std::uint64_t p = from; p < passedTo_; ++p) data[std::uint32_t(p) & LzWindow::kMask] = 0;
    passing_ = false;
  }

  ByteSource& source_;
  LzWindow& window_;
  std::uint64_t left_;
  bool keep_;
  bool passing_ = false;
  std::uint64_t passedFrom_ = 0;  // window positions moved past without writing
  std::uint64_t passedTo_ = 0;
  std::unique_ptr<std::uint8_t[]> buffer_;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeStoredDecoder(ByteSource& source, LzWindow& window,
                                                const EntryParams& params) {
  return std::make_unique<StoredDecoder>(source, window, params);
}

}  // namespace ace
