// Progress on a terminal: one line on stderr, redrawn in place at most ten times a
// second, with the share done, the rate and the time left. Shared by the
// unattended install and the command-line tools; where stderr is not a terminal it
// stays quiet (or, for the install, leaves the printing to its caller).
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// "1.5 MiB", "312 KiB", "17 bytes".
std::string ByteCount(std::uint64_t bytes);

// "[37%] <middle>  5.0 MiB/s  0:04 left  <label>", cut to `columns` characters
// (keeping the end of the label) and leaving the last column free. The rate and the
// time left appear once half a second has passed.
std::string ProgressText(std::uint64_t done, std::uint64_t total, double seconds, const std::string& middle,
                         const std::string& label, std::size_t columns);

class TTerminalProgress {
 public:
  // Draws only when `out` is a terminal.
  explicit TTerminalProgress(std::FILE* out);
  TTerminalProgress(std::FILE* out, bool terminal);
  ~TTerminalProgress() { Finish(); }

  bool Terminal() const { return terminal_; }
  double Seconds() const;
  // Redraws the line, at most every 100 ms.
  void Update(std::uint64_t done, std::uint64_t total, const std::string& middle, const std::string& label);
  // The same with "<done> of <total>" in the middle.
  void UpdateBytes(std::uint64_t done, std::uint64_t total, const std::string& label);
  // Draws the figures last given, so that the line does not stop at a throttled
  // moment, and ends it: the next text starts on a line of its own.
  void Finish();

 private:
  void Keep(std::uint64_t done, std::uint64_t total, const std::string& label);
  void Draw();

  std::FILE* out_;
  bool terminal_;
  std::chrono::steady_clock::time_point start_;
  std::chrono::steady_clock::time_point lastDraw_{};
  bool lineOpen_ = false;
  // The figures last given.
  std::uint64_t done_ = 0, total_ = 0;
  std::string middle_, label_;
  bool middleIsBytes_ = false;  // the middle is "<done> of <total>", made when drawn
};
