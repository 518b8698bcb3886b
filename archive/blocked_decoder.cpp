// ACE 2.0 entries: mode sections (LZ77, DELTA, EXE, SOUND, PIC) separated by
// in-band mode instructions. The window always receives the LZ77-stage bytes and
// the SOUND/PIC bytes; the filters of EXE and DELTA sections work on copies.
#include <algorithm>
#include <memory>
#include <vector>

#include "delta_filter.h"
#include "exe_filter.h"
#include "lz77_stage.h"
#include "method_decoders.h"
#include "pic_decoder.h"
#include "sound_decoder.h"

namespace ace {
namespace {

enum Mode { kLz77 = 0, kDelta = 1, kExe = 2, kSound8 = 3, kSound32B = 6, kPic = 7 };

// An EXE section longer than this is filtered before its end is known, with the
// operand width of its own instruction, so that its bytes never leave the window
// unfiltered (well inside the window). ACE's EXE sections are far shorter.
constexpr std::uint64_t kExeHoldLimit = 3u << 20;
static_assert(kExeHoldLimit < LzWindow::kSize - (1u << 20));

class BlockedDecoder final : public EntryDecoder {
 public:
  BlockedDecoder(BitReader& br, LzWindow& window, const EntryParams& params)
      : br_(br), window_(window), params_(params), stage_(br, window),
        start_(window.pos()), end_(window.pos() + params.size), flushed_(window.pos()),
        sectionStart_(window.pos()), counter_(this) {}

  Status Step(std::size_t budget) override;

 private:
  // Counts the bytes handed to the real output (EXE offsets need them).
  struct Counter final : Output {
    explicit Counter(BlockedDecoder* d) : owner(d) {}
    void Emit(const std::uint8_t* p, std::size_t n) override {
      owner->emitted_ += n;
      owner->out_->Emit(p, n);
    }
    BlockedDecoder* owner;
  };

  bool ReadAndApplyMode();
  void FlushRaw();
  void FeedExe(bool wide);
  bool FinishDelta();
  Status Finish();

  BitReader& br_;
  LzWindow& window_;
  EntryParams params_;
  Lz77Stage stage_;
  std::uint64_t start_;
  std::uint64_t end_;
  std::uint64_t flushed_;
  std::uint64_t sectionStart_;
  std::uint64_t emitted_ = 0;
  int mode_ = kLz77;
  int exeX_ = 0;
  unsigned deltaDist_ = 0;
  std::uint32_t deltaLen_ = 0;
  std::uint8_t deltaSum_ = 0;
  std::vector<std::uint8_t> deltaRaw_;
  std::vector<std::uint8_t> deltaOut_;
  ExeFilter exe_;
  std::unique_ptr<SoundDecoder> sound_;
  std::unique_ptr<PicDecoder> pic_;
  Counter counter_;
};

void BlockedDecoder::FlushRaw() {
  window_.ForEachSpan(flushed_, window_.pos(),
                      [this](const std::uint8_t* p, std::size_t n) { counter_.Emit(p, n); });
  flushed_ = window_.pos();
}

void BlockedDecoder::FeedExe(bool wide) {
  window_.ForEachSpan(flushed_, window_.pos(), [this, wide](const std::uint8_t* p, std::size_t n) {
    exe_.Feed(p, n, wide, counter_);
  });
  flushed_ = window_.pos();
}

bool BlockedDecoder::FinishDelta() {
  deltaRaw_.resize(deltaLen_);
  std::size_t k = 0;
  window_.ForEachSpan(sectionStart_, sectionStart_ + deltaLen_,
                      [this, &k](const std::uint8_t* p, std::size_t n) {
                        std::copy(p, p + n, deltaRaw_.begin() + std::ptrdiff_t(k));
                        k += n;
                      });
  DeltaFilter::Apply(deltaRaw_.data(), deltaLen_, deltaDist_, deltaSum_, deltaOut_);
  counter_.Emit(deltaOut_.data(), deltaOut_.size());
  flushed_ = sectionStart_ + deltaLen_;
  return true;
}

bool BlockedDecoder::ReadAndApplyMode() {
  const int m = int(br_.Read(8));
  unsigned dist = 0;
  std::uint32_t len = 0;
  int x = 0;
  if (m == kDelta) {
    dist = br_.Read(8);
    len = br_.Read(17);
  } else if (m == kExe) {
    x = int(br_.Read(8));
  }
  if (m > kPic || br_.overflow()) return false;
  const std::uint64_t pos = window_.pos();
  if (params_.modeBytes) (*params_.modeBytes)[mode_] += pos - sectionStart_;
  // Repeating the current mode before any output is never written by ACE.
  if (pos == start_ && m == mode_) return false;
  // Finish the section that the instruction ends.
  if (mode_ == kExe) {
    FeedExe((m == kExe ? x : exeX_) != 0);
    exe_.End(counter_);
  } else if (mode_ != kDelta) {
    FlushRaw();
  }
  if (m >= kSound8 && m != mode_ && mode_ <= kExe && stage_.groupCount() != 0) return false;
  switch (m) {
    case kLz77:
      exe_.FlushCarry(counter_);
      break;
    case kDelta:
      if (dist == 0 || len == 0 || len % dist != 0 || len > end_ - pos || exe_.carrySize() != 0) {
        return false;
      }
      deltaDist_ = dist;
      deltaLen_ = len;
      break;
    case kExe:
      exeX_ = x;
      exe_.Begin(emitted_);
      break;
    case kPic:
      if (mode_ != kPic) {
        pic_ = std::make_unique<PicDecoder>();
        if (!pic_->Start(br_, end_ - pos)) return false;
      }
      break;
    default:
      if (m != mode_) sound_ = std::make_unique<SoundDecoder>(m);
      break;
  }
  mode_ = m;
  sectionStart_ = pos;
  return true;
}

Status BlockedDecoder::Finish() {
  if (params_.modeBytes) (*params_.modeBytes)[mode_] += window_.pos() - sectionStart_;
  if (mode_ == kExe) {
    FeedExe(exeX_ != 0);
    exe_.End(counter_);
  } else if (mode_ == kDelta) {
    if (window_.pos() != sectionStart_ + deltaLen_) return Status::BadData;
  } else {
    FlushRaw();
  }
  // Bytes still carried at the end would leave the entry short.
  if (exe_.carrySize() != 0 || br_.overflow()) return Status::BadData;
  return Status::End;
}

Status BlockedDecoder::Step(std::size_t budget) {
  std::uint64_t target = window_.pos() + budget;
  if (target > end_) target = end_;
  while (window_.pos() < target) {
    switch (mode_) {
      case kLz77:
      case kExe: {
        const auto stop =
            stage_.Run(target, end_, params_.historyStart, params_.dictionarySize, true);
        if (stop == Lz77Stage::Stop::Error) return Status::BadData;
        if (stop == Lz77Stage::Stop::ModeSymbol) {
          if (!ReadAndApplyMode()) return Status::BadData;
        } else if (mode_ == kLz77) {
          FlushRaw();
        } else if (window_.pos() - flushed_ > kExeHoldLimit) {
          FeedExe(exeX_ != 0);
        }
        break;
      }
      case kDelta: {
        const std::uint64_t sectionEnd = sectionStart_ + deltaLen_;
        const std::uint64_t soft = target < sectionEnd ? target : sectionEnd;
        const auto stop =
            stage_.Run(soft, sectionEnd, params_.historyStart, params_.dictionarySize, true);
        if (stop != Lz77Stage::Stop::Limit) return Status::BadData;
        if (window_.pos() == sectionEnd) {
          FinishDelta();
          if (sectionEnd < end_) {
            // A DELTA section is always followed by a mode instruction.
            if (stage_.ReadMainSymbol() != Lz77Stage::kModeSymbol) return Status::BadData;
            if (!ReadAndApplyMode()) return Status::BadData;
          }
        }
        break;
      }
      case kPic: {
        bool modeChange = false;
        while (window_.pos() < target) {
          const auto r = pic_->NextRow(br_);
          if (r == PicDecoder::Result::Error) return Status::BadData;
          if (r == PicDecoder::Result::ModeInstruction) {
            modeChange = true;
            break;
          }
          if (pic_->width() > end_ - window_.pos()) return Status::BadData;
          window_.PutBytes(pic_->row(), pic_->width());
        }
        if (modeChange) {
          if (!ReadAndApplyMode()) return Status::BadData;
        } else {
          FlushRaw();
        }
        break;
      }
      default: {
        bool modeChange = false;
        while (window_.pos() < target) {
          std::uint8_t buffer[4096];
          std::size_t produced = 0;
          const std::uint64_t want = std::min<std::uint64_t>(sizeof buffer, target - window_.pos());
          const auto r = sound_->Decode(br_, window_.pos() - sectionStart_, buffer, std::size_t(want),
                                        produced);
          window_.PutBytes(buffer, produced);
          if (r == SoundDecoder::Result::Error) return Status::BadData;
          if (r == SoundDecoder::Result::ModeInstruction) {
            modeChange = true;
            break;
          }
        }
        if (modeChange) {
          if (!ReadAndApplyMode()) return Status::BadData;
        } else {
          FlushRaw();
        }
        break;
      }
    }
    if (br_.overflow()) return Status::BadData;
  }
  return window_.pos() == end_ ? Finish() : Status::Ok;
}

}  // namespace

std::unique_ptr<EntryDecoder> MakeBlockedDecoder(BitReader& br, LzWindow& window,
                                                 const EntryParams& params) {
  return std::make_unique<BlockedDecoder>(br, window, params);
}

}  // namespace ace
