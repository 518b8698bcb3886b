#include <memory>
#include <vector>

#include "method_decoders.h"

namespace ace {
namespace {

class StoredDecoder final : public EntryDecoder {
 public:
  StoredDecoder(ByteSource& source, LzWindow& window, const EntryParams& params)
      : source_(source), window_(window), left_(params.size), keep_(params.keepHistory),
        buffer_(256 * 1024) {}

  Status Step(std::size_t budget) override {
    while (left_ > 0 && budget > 0) {
      std::size_t want = buffer_.size();
      if (want > left_) want = std::size_t(left_);
      if (want > budget) want = budget;
      const std::size_t got = source_.Read(buffer_.data(), want);
      if (got == 0) return Status::ReadFailed;
      // Stored bytes join the history: a later solid entry may copy from them.
      if (keep_) window_.PutBytes(buffer_.data(), got);
      out_->Emit(buffer_.data(), got);
      left_ -= got;
      budget = budget > got ? budget - got : 0;
    }
    return left_ == 0 ? Status::End : Status::Ok;
  }

 private:
  ByteSource& source_;
  LzWindow& window_;
  std::uint64_t left_;
  bool keep_;
  std::vector<std::uint8_t> buffer_;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeStoredDecoder(ByteSource& source, LzWindow& window,
                                                const EntryParams& params) {
  return std::make_unique<StoredDecoder>(source, window, params);
}

}  // namespace ace
