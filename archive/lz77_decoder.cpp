#include "lz77_stage.h"
#include "method_decoders.h"

namespace ace {
namespace {

// ACE 1.0 entries: one LZ77 stream, output equal to what enters the window.
class Lz77Decoder final : public EntryDecoder {
 public:
  Lz77Decoder(BitReader& br, LzWindow& window, const EntryParams& params)
      : br_(br), window_(window), params_(params), stage_(br, window),
        end_(window.pos() + params.size), flushed_(window.pos()) {}

  Status Step(std::size_t budget) override {
    std::uint64_t target = window_.pos() + budget;
    if (target > end_) target = end_;
    const auto stop = stage_.Run(target, end_, params_.historyStart, params_.dictionarySize, false);
    window_.ForEachSpan(flushed_, window_.pos(),
                        [this](const std::uint8_t* p, std::size_t n) { out_->Emit(p, n); });
    flushed_ = window_.pos();
    if (stop == Lz77Stage::Stop::Error || br_.overflow()) return Status::BadData;
    return window_.pos() == end_ ? Status::End : Status::Ok;
  }

 private:
  BitReader& br_;
  LzWindow& window_;
  EntryParams params_;
  Lz77Stage stage_;
  std::uint64_t end_;
  std::uint64_t flushed_;
};

}  // namespace

std::unique_ptr<EntryDecoder> MakeLz77Decoder(BitReader& br, LzWindow& window,
                                              const EntryParams& params) {
  return std::make_unique<Lz77Decoder>(br, window, params);
}

}  // namespace ace
