#include "console_view.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr auto kRedrawEvery = std::chrono::milliseconds(100);

std::string Fixed(double value, int decimals) {
  char text[32];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Duration(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  char text[32];
  if (s >= 3600) std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else std::snprintf(text, sizeof text, "%ld:%02ld", s / 60, s % 60);
  return text;
}

std::size_t TerminalColumns(std::FILE* out) {
  winsize size{};
  if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

}  // namespace

std::string ByteCount(std::uint64_t bytes) {
  if (bytes >= (1u << 30)) return Fixed(double(bytes) / double(1u << 30), 1) + " GiB";
  if (bytes >= (1u << 20)) return Fixed(double(bytes) / double(1u << 20), 1) + " MiB";
  if (bytes >= (1u << 10)) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string ProgressLine(const std::string& entryName, std::int32_t volume, std::int32_t volumes,
                         std::uint64_t done, std::uint64_t total, double seconds, std::size_t columns) {
  const double share = total ? std::min(1.0, double(done) / double(total)) : 0.0;
  std::string figures = "[" + Fixed(share * 100.0, 0) + "%] volume " + std::to_string(volume) + "/" +
                        std::to_string(volumes);
  // The rate means little in the first moments.
  if (seconds >= 0.5 && done > 0) {
    const double rate = double(done) / seconds;
    figures += "  " + ByteCount(std::uint64_t(rate)) + "/s";
    if (total > done) figures += "  " + Duration(double(total - done) / rate) + " left";
  }
  std::string line = figures + "  " + entryName;
  if (line.size() > columns && columns > 1) {
    // Keep the figures and the end of the name, which tells the most; the last
    // column stays free so that the terminal does not wrap.
    const std::size_t room = columns > figures.size() + 7 ? columns - figures.size() - 6 : 0;
    line = figures + (room ? "  ..." + entryName.substr(entryName.size() - std::min(room, entryName.size())) : "");
    line.resize(std::min(line.size(), columns - 1));
  }
  return line;
}

std::string MessageLine(const std::string& caption, const std::string& text) {
  std::string prefix = caption;
  for (char& c : prefix) c = char(std::tolower(static_cast<unsigned char>(c)));
  std::string body = text;
  std::replace(body.begin(), body.end(), '\r', ' ');
  return prefix + ": " + body;
}

TConsoleRunView::TConsoleRunView(std::FILE* out, bool terminal, std::FILE* files, std::function<bool()> stopAsked)
    : out_(out), terminal_(terminal), files_(files), stopAsked_(std::move(stopAsked)), start_(std::chrono::steady_clock::now()) {}

double TConsoleRunView::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void TConsoleRunView::ShowEntry(const TEntryProgress& entry) {
  // Names are stored with backslashes; a Linux user reads them with slashes.
  entryName_ = entry.EntryName;
  std::replace(entryName_.begin(), entryName_.end(), '\\', '/');
  volume_ = entry.VolumeNumber;
  volumes_ = entry.SetVolumes > 0 ? entry.SetVolumes : entry.VolumeCount;
  done_ = entry.SetBytesDone;
  total_ = entry.SetBytesTotal;
  if (terminal_) return Redraw(false);
  std::fprintf(out_, "%s\n", ProgressLine(entryName_, volume_, volumes_, done_, total_, Seconds(), SIZE_MAX).c_str());
}

void TConsoleRunView::ShowPiece(const TPieceProgress& piece) {
  done_ = piece.SetBytesDone;
  total_ = piece.SetBytesTotal;
  if (terminal_) Redraw(false);
}

void TConsoleRunView::VolumeChanged(const std::string&) { ++volume_; }

bool TConsoleRunView::PollCancel() {
  if (stopReported_ || !stopAsked_ || !stopAsked_()) return false;
  stopReported_ = true;
  return true;
}

void TConsoleRunView::Redraw(bool force) {
  const auto now = std::chrono::steady_clock::now();
  if (!force && lineOpen_ && now - lastDraw_ < kRedrawEvery) return;
  lastDraw_ = now;
  const std::string line = ProgressLine(entryName_, volume_, volumes_, done_, total_, Seconds(), TerminalColumns(out_));
  std::fprintf(out_, "\r%s\033[K", line.c_str());
  std::fflush(out_);
  lineOpen_ = true;
}

void TConsoleRunView::FinishLine() {
  if (!lineOpen_) return;
  Redraw(true);
  std::fputc('\n', out_);
  lineOpen_ = false;
}

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
