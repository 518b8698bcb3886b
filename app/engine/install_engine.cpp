#include "install_engine.h"

#include <algorithm>

#include "ace_messages.h"
#include "file_system.h"
#include "paths.h"
#include "progress_screen.h"
#include "run_messages.h"

namespace {

int VolumeCallback(void* context, const char* volumePath, int mode) {
  return static_cast<TInstallEngine*>(context)->OnChangeVolume(volumePath, mode);
}

int DataCallback(void* context, const std::uint8_t*, std::int32_t count) {
  return static_cast<TInstallEngine*>(context)->OnProcessData(count);
}

// Bar widths are drawn as ints; values far outside the 378-pixel pictures draw
// nothing either way.
int ClampWidth(std::int64_t width) { return int(std::clamp<std::int64_t>(width, -1, 1 << 20)); }

// Room asked for beyond the unpacked bytes: a block for each entry (its last,
// partly filled block and its folder entry) and a little for the file system.
constexpr std::uint64_t kBlockMargin = 4096;
constexpr std::uint64_t kFixedMargin = 1u << 20;

// The view of the current run, set for exactly the run's duration.
class TViewScope {
 public:
  TViewScope(TRunView*& slot, TRunView& view) : slot_(slot) { slot_ = &view; }
  ~TViewScope() { slot_ = nullptr; }

 private:
  TRunView*& slot_;
};

}  // namespace

std::string NotEnoughSpaceText(const std::string& folder, std::uint64_t neededBytes, std::uint64_t freeBytes) {
  constexpr std::uint64_t kMB = 1u << 20;
  return "Not enough free space in " + folder + ": the release needs " + std::to_string((neededBytes + kMB - 1) / kMB) +
         " MB, " + std::to_string(freeBytes / kMB) + " MB are free.";
}

TInstallEngine::TInstallEngine(std::string exeDir) : exeDir_(AddSlash(exeDir)) {}

void TInstallEngine::ReadSettings() {
  ::ReadSettings(exeDir_, settings_);
  state_.ProgressBar2.Max = settings_.VolumeCounterMax;
}

void TInstallEngine::RequestCancel() {
  state_.CancelRequested = true;
  state_.btn_cancel = 1;
}

void TInstallEngine::Report(const std::string& text) {
  // A code without a text in its table shows nothing (the normal end of the set, a
  // volume already reported as missing).
  if (text.empty()) return;
  lastEnd_ = TRunEnd::Failed;
  view_->ShowMessage(kRunErrorCaption, text);
}

void TInstallEngine::RunInstall(TRunView& view) {
  TRunState& s = state_;
  lastEnd_ = TRunEnd::NotStarted;
  entriesWritten_ = setBytesDone_ = setBytesTotal_ = 0;
  setVolumes_ = 0;
  if (s.TargetDir.empty()) return;
  TViewScope scope(view_, view);
  lastEnd_ = TRunEnd::Completed;

  if (!IsFile(settings_.Source)) {
    Report(MissingArchiveText());
    return view.ResetSlideshow();
  }
  if (!IsFolder(s.TargetDir)) {
    MakeFolders(s.TargetDir);
    if (!IsFolder(s.TargetDir)) {
      Report(MissingFolderText());
      return view.ResetSlideshow();
    }
  }
  s.TargetDir = AddSlash(s.TargetDir);
  s.ProgressBar2.Position = 0;

  TACEOpenArchiveData open;
  open.ArchivePath = settings_.Source.c_str();
  open.Mode = 1;
  open.Reserved = 4;
  open.VolumeCallback = &VolumeCallback;
  open.DataCallback = &DataCallback;
  open.CallbackContext = this;
  TACEHandle handle = ACEOpenArchive(&open);
  if (open.Status != 0) {
    ACECloseArchive(handle);  // frees what the library made
    lastEnd_ = TRunEnd::Failed;
    Report(ace::OpenErrorText(open.Status, settings_.Source));
    return;
  }
  if (!CheckSetBeforeWriting()) {
    ACECloseArchive(handle);
    return view.ResetSlideshow();
  }
  ExtractEntries(handle);
  ACECloseArchive(handle);
  if (lastEnd_ == TRunEnd::Cancelled) return view.ResetSlideshow();
  if (!s.CancelRequested) PostInstallActions();
  else lastEnd_ = TRunEnd::Cancelled;
  view.ResetSlideshow();
}

// Before the first entry is written: every volume must be there and readable, and
// the destination must have room for what the set unpacks to. Learns the totals
// that the progress of the whole set is measured against.
bool TInstallEngine::CheckSetBeforeWriting() {
  TACESetSummary summary;
  const int code = ACEScanArchive(settings_.Source.c_str(), &summary);
  if (code == ACE_ERR_FILES || (code == ACE_ERR_OPEN && summary.MissingVolume[0])) {
    Report(MissingVolumeText(summary.MissingVolume));
    return false;
  }
  // Other faults of the headers are reported where the run meets them, after the
  // entries before them are written.
  setBytesTotal_ = std::uint64_t(summary.UnpackedTotal);
  setVolumes_ = summary.Volumes;
  const std::uint64_t needed = setBytesTotal_ + std::uint64_t(summary.Entries) * kBlockMargin + kFixedMargin;
  if (const auto free = FreeBytes(state_.TargetDir); free && *free < needed) {
    Report(NotEnoughSpaceText(state_.TargetDir, needed, *free));
    return false;
  }
  return true;
}

TEntryProgress TInstallEngine::EntryScreen(const TACEHeaderData& header) const {
  const TRunState& s = state_;
  TEntryProgress e;
  e.FileLine = FileLine(header.EntryName);
  e.ArchiveLine = ArchiveLine(s.ProgressBar2.Position, settings_.NumFiles, header.VolumeName);
  e.CancelLine = kCancelHint;
  e.FileBarWidth = ClampWidth(FileBarWidth(s.ProgressBar1));
  e.VolumeBarWidth = ClampWidth(VolumeBarWidth(settings_.NumFiles, s.ProgressBar2.Position));
  e.EntryName = header.EntryName;
  e.VolumePath = header.VolumeName;
  e.VolumeNumber = s.ProgressBar2.Position + 1;
  e.VolumeCount = settings_.NumFiles;
  e.EntrySize = header.OriginalSize;
  e.SetBytesDone = setBytesDone_;
  e.SetBytesTotal = setBytesTotal_;
  e.SetVolumes = setVolumes_;
  return e;
}

void TInstallEngine::StartEntry(const TACEHeaderData& header) {
  state_.FilePercent = 0;
  state_.FileSize = header.EntrySize;
  state_.ProgressBar1 = 0;
}

void TInstallEngine::ExtractEntries(TACEHandle handle) {
  TRunState& s = state_;
  TACEHeaderData header;
  int code = ACEReadHeader(handle, &header);
  StartEntry(header);
  s.btn_cancel = 0;
  while (code == 0) {
    view_->ShowEntry(EntryScreen(header));
    if (view_->PollCancel()) RequestCancel();
    // An old file at the entry's path is not deleted first: the library writes the
    // entry beside it and replaces it only once the entry is complete and checked,
    // so a failed or cancelled entry leaves the old file as it was.
    const std::uint64_t doneBefore = setBytesDone_;
    const int result = ACEProcessFile(handle, ACE_EXTRACT, s.TargetDir.c_str());
    if (s.btn_cancel == 1) {
      lastEnd_ = TRunEnd::Cancelled;
      return;
    }
    if (result != 0 && s.FileSize != 0) {
      Report(ace::ProcessErrorText(result));
      break;
    }
    if (result == 0) {
      ++entriesWritten_;
      // Entries written in pieces have counted themselves; make the sum exact.
      setBytesDone_ = doneBefore + std::uint64_t(std::max<std::int64_t>(header.OriginalSize, 0));
    }
    code = ACEReadHeader(handle, &header);
    StartEntry(header);
  }
  if (code != 0) Report(ace::HeaderErrorText(code));
}

int TInstallEngine::OnProcessData(std::int32_t count) {
  TRunState& s = state_;
  s.FilePercent = AddPieceToPercent(s.FilePercent, count, s.FileSize);
  s.ProgressBar1 = RoundHalfEven(s.FilePercent);
  setBytesDone_ += std::uint64_t(std::max<std::int32_t>(count, 0));
  TPieceProgress piece;
  piece.FileBarWidth = ClampWidth(FileBarWidth(s.ProgressBar1));
  piece.Percent = s.ProgressBar1;
  piece.Bytes = count;
  piece.SetBytesDone = setBytesDone_;
  piece.SetBytesTotal = setBytesTotal_;
  if (view_) {
    view_->ShowPiece(piece);
    if (view_->PollCancel()) RequestCancel();
  }
  const bool goOn = s.btn_cancel == 0;
  if (view_) view_->Present();
  return goOn ? 1 : 0;
}

int TInstallEngine::OnChangeVolume(const char* volumePath, int mode) {
  if (mode == ACE_VOLUME_NEXT) {
    if (view_) view_->VolumeChanged(FileNamePart(volumePath));
    ++state_.ProgressBar2.Position;
    return 1;
  }
  if (mode == ACE_VOLUME_MISSING && view_) Report(MissingVolumeText(volumePath));
  return 0;
}

void TInstallEngine::PostInstallActions() {
  const std::string& target = state_.TargetDir;
  if (IsFile(target + settings_.Execute)) view_->OpenFile(target + settings_.Execute);
  for (const std::string* name : {&settings_.RegFile1, &settings_.RegFile2}) {
    if (name->empty()) continue;
    CopyFileOver(exeDir_ + *name, target + *name);
    view_->OpenFile(target + *name);
  }
}
