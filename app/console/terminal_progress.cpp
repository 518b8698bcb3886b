#include "terminal_progress.h"

#include <algorithm>
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

std::string ProgressText(std::uint64_t done, std::uint64_t total, double seconds, const std::string& middle,
                         const std::string& label, std::size_t columns) {
  const double share = total ? std::min(1.0, double(done) / double(total)) : 0.0;
  std::string figures = "[" + Fixed(share * 100.0, 0) + "%]";
  if (!middle.empty()) figures += " " + middle;
  // The rate means little in the first moments.
  if (seconds >= 0.5 && done > 0) {
    const double rate = double(done) / seconds;
    figures += "  " + ByteCount(std::uint64_t(rate)) + "/s";
    if (total > done) figures += "  " + Duration(double(total - done) / rate) + " left";
  }
  std::string line = label.empty() ? figures : figures + "  " + label;
  if (line.size() > columns && columns > 1) {
    // Keep the figures and the end of the label, which tells the most; the last
    // column stays free so that the terminal does not wrap.
    const std::size_t room = columns > figures.size() + 7 ? columns - figures.size() - 6 : 0;
    line = figures + (room ? "  ..." + label.substr(label.size() - std::min(room, label.size())) : "");
    line.resize(std::min(line.size(), columns - 1));
  }
  return line;
}

TTerminalProgress::TTerminalProgress(std::FILE* out) : TTerminalProgress(out, ::isatty(::fileno(out)) == 1) {}

TTerminalProgress::TTerminalProgress(std::FILE* out, bool terminal)
    : out_(out), terminal_(terminal), start_(std::chrono::steady_clock::now()) {}

double TTerminalProgress::Seconds() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

// Called for every piece of data: off a terminal, and between redraws, it only
// keeps the figures.
void TTerminalProgress::Keep(std::uint64_t done, std::uint64_t total, const std::string& label) {
  done_ = done;
  total_ = total;
  label_ = label;
  if (lineOpen_ && std::chrono::steady_clock::now() - lastDraw_ < kRedrawEvery) return;
  Draw();
}

void TTerminalProgress::Update(std::uint64_t done, std::uint64_t total, const std::string& middle,
                               const std::string& label) {
  if (!terminal_) return;
  middle_ = middle;
  middleIsBytes_ = false;
  Keep(done, total, label);
}

void TTerminalProgress::UpdateBytes(std::uint64_t done, std::uint64_t total, const std::string& label) {
  if (!terminal_) return;
  middleIsBytes_ = true;
  Keep(done, total, label);
}

void TTerminalProgress::Draw() {
  lastDraw_ = std::chrono::steady_clock::now();
  if (middleIsBytes_) middle_ = ByteCount(done_) + " of " + ByteCount(total_);
  const std::string line = ProgressText(done_, total_, Seconds(), middle_, label_, TerminalColumns(out_));
  std::fprintf(out_, "\r%s\033[K", line.c_str());
  std::fflush(out_);
  lineOpen_ = true;
}

void TTerminalProgress::Finish() {
  if (!lineOpen_) return;
  Draw();
  std::fputc('\n', out_);
  std::fflush(out_);
  lineOpen_ = false;
}
