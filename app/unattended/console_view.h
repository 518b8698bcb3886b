// The unattended install's view of a run: progress and messages as text on stderr.
// On a terminal one progress line is redrawn in place; elsewhere (a log, a pipe)
// each entry gets a line of its own.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "run_view.h"
#include "terminal_progress.h"

// The progress line: the share of the whole set, the volume, the rate, the time
// left and the current file, cut to `columns` characters.
std::string ProgressLine(const std::string& entryName, std::int32_t volume, std::int32_t volumes,
                         std::uint64_t done, std::uint64_t total, double seconds, std::size_t columns);
// A message box as a line: the caption in lower case as the prefix; line breaks
// become spaces.
std::string MessageLine(const std::string& caption, const std::string& text);

class TConsoleRunView final : public TRunView {
 public:
  // out: progress and messages; terminal: redraw one line in place there. files:
  // where the files the window would open are named, one per line.
  TConsoleRunView(std::FILE* out, bool terminal, std::FILE* files, std::function<bool()> stopAsked);

  void ShowEntry(const TEntryProgress& entry) override;
  void ShowPiece(const TPieceProgress& piece) override;
  bool PollCancel() override;
  void Present() override {}
  void VolumeChanged(const std::string& volumeFileName) override;
  void ShowMessage(const std::string& caption, const std::string& text) override;
  void OpenFile(const std::string& path) override;
  void ResetSlideshow() override {}

  // Ends the progress line (on a terminal) so that the next text starts afresh.
  void FinishLine();
  double Seconds() const { return progress_.Seconds(); }
  int MessagesShown() const { return messages_; }

 private:
  void Redraw();

  std::FILE* out_;
  TTerminalProgress progress_;
  std::FILE* files_;
  std::function<bool()> stopAsked_;
  bool stopReported_ = false;
  int messages_ = 0;
  // The figures of the line.
  std::string entryName_;
  std::int32_t volume_ = 1, volumes_ = 0;
  std::uint64_t done_ = 0, total_ = 0;
};
