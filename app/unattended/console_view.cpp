#include "console_view.h"

#include <algorithm>
#include <cctype>

namespace {

std::string VolumeText(std::int32_t volume, std::int32_t volumes) {
  return "volume " + std::to_string(volume) + "/" + std::to_string(volumes);
}

}  // namespace

std::string ProgressLine(const std::string& entryName, std::int32_t volume, std::int32_t volumes,
                         std::uint64_t done, std::uint64_t total, double seconds, std::size_t columns) {
  return ProgressText(done, total, seconds, VolumeText(volume, volumes), entryName, columns);
}

std::string MessageLine(const std::string& caption, const std::string& text) {
  std::string prefix = caption;
  for (char& c : prefix) c = char(std::tolower(static_cast<unsigned char>(c)));
  std::string body = text;
  std::replace(body.begin(), body.end(), '\r', ' ');
  return prefix + ": " + body;
}

TConsoleRunView::TConsoleRunView(std::FILE* out, bool terminal, std::FILE* files, std::function<bool()> stopAsked)
    : out_(out), progress_(out, terminal), files_(files), stopAsked_(std::move(stopAsked)) {}

void TConsoleRunView::ShowEntry(const TEntryProgress& entry) {
  // Names are stored with backslashes; a Linux user reads them with slashes.
  entryName_ = entry.EntryName;
  std::replace(entryName_.begin(), entryName_.end(), '\\', '/');
  volume_ = entry.VolumeNumber;
  volumes_ = entry.SetVolumes > 0 ? entry.SetVolumes : entry.VolumeCount;
  done_ = entry.SetBytesDone;
  total_ = entry.SetBytesTotal;
  if (progress_.Terminal()) return Redraw();
  std::fprintf(out_, "%s\n", ProgressLine(entryName_, volume_, volumes_, done_, total_, Seconds(), SIZE_MAX).c_str());
}

void TConsoleRunView::ShowPiece(const TPieceProgress& piece) {
  done_ = piece.SetBytesDone;
  total_ = piece.SetBytesTotal;
  Redraw();  // drawn on a terminal only
}

void TConsoleRunView::VolumeChanged(const std::string&) {
  ++volume_;
  Redraw();  // drawn on a terminal only
}

bool TConsoleRunView::PollCancel() {
  if (stopReported_ || !stopAsked_ || !stopAsked_()) return false;
  stopReported_ = true;
  return true;
}

void TConsoleRunView::Redraw() {
  progress_.Update(done_, total_, VolumeText(volume_, volumes_), entryName_);
}

void TConsoleRunView::FinishLine() { progress_.Finish(); }

void TConsoleRunView::ShowMessage(const std::string& caption, const std::string& text) {
  FinishLine();
  ++messages_;
  std::fprintf(out_, "%s\n", MessageLine(caption, text).c_str());
  std::fflush(out_);
}

void TConsoleRunView::OpenFile(const std::string& path) {
  FinishLine();
  std::fprintf(files_, "would open: %s\n", path.c_str());
  std::fflush(files_);
}
