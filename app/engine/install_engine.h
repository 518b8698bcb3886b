// The installer's engine: the release's settings and the extraction run, apart from
// any window. The main window and the unattended install both drive it; what a run
// shows goes to a TRunView.
#pragma once

#include <cstdint>
#include <string>

#include "run_view.h"
#include "settings.h"
#include "unace.h"

// The volume counter: a plain count with the bound the settings give it.
struct TVolumeCounter {
  std::int32_t Position = 0;
  std::int32_t Max = 100;
};

// What the run keeps between its steps and, partly, between runs.
struct TRunState {
  std::string TargetDir;         // destination; the run appends a separator to it
  bool CancelRequested = false;  // set by a cancel; the owner clears it before a run
  std::int32_t btn_cancel = 0;   // the run's own cancel flag, cleared once the archive is open
  double FilePercent = 0;        // share of the current entry written so far
  std::int32_t FileSize = 0;     // unpacked size of the current entry
  std::int32_t ProgressBar1 = 0; // FilePercent as a whole number
  TVolumeCounter ProgressBar2;   // volumes moved on to in this run
};

// How the last run ended, for front ends that report it.
enum class TRunEnd {
  NotStarted,   // no destination
  Completed,    // the whole set was extracted
  Failed,       // a message was shown
  Cancelled,
};

class TInstallEngine {
 public:
  explicit TInstallEngine(std::string exeDir);

  const std::string& ExeDir() const { return exeDir_; }
  // Reads ExeDir + "install.ini"; throws EConvertError on a bad NUMFILES, with the
  // names already stored.
  void ReadSettings();
  const TSettings& Settings() const { return settings_; }

  TRunState& State() { return state_; }
  const TRunState& State() const { return state_; }

  // Extracts the whole set into State().TargetDir, then carries out the
  // post-install actions unless a cancel was asked.
  void RunInstall(TRunView& view);
  bool Running() const { return view_ != nullptr; }
  TRunEnd LastEnd() const { return lastEnd_; }
  // Entries written and bytes unpacked by the last run.
  std::uint64_t EntriesWritten() const { return entriesWritten_; }
  std::uint64_t BytesWritten() const { return setBytesDone_; }

  // A cancel from outside the run's own polling (Escape, a close request, a signal):
  // the run stops at its next piece or entry.
  void RequestCancel();

  // The archive library's two callbacks.
  int OnProcessData(std::int32_t count);
  int OnChangeVolume(const char* volumePath, int mode);

 private:
  bool CheckSetBeforeWriting();
  void ExtractEntries(TACEHandle handle);
  void PostInstallActions();
  void Report(const std::string& text);
  void StartEntry(const TACEHeaderData& header);
  TEntryProgress EntryScreen(const TACEHeaderData& header) const;

  std::string exeDir_;
  TSettings settings_;
  TRunState state_;
  TRunView* view_ = nullptr;
  TRunEnd lastEnd_ = TRunEnd::NotStarted;
  std::uint64_t setBytesTotal_ = 0;
  std::uint64_t setBytesDone_ = 0;
  std::uint64_t entriesWritten_ = 0;
  std::int32_t setVolumes_ = 0;
};

// The text shown when the destination's file system has too little room.
std::string NotEnoughSpaceText(const std::string& folder, std::uint64_t neededBytes, std::uint64_t freeBytes);
