// What the extraction run shows, and to whom: the run computes every figure of its
// progress screen itself and hands the finished values to a view. The main window
// draws them on its surface; the unattended install prints them.
#pragma once

#include <cstdint>
#include <string>

// The progress screen of one entry, as drawn before the entry is written.
struct TEntryProgress {
  std::string FileLine;         // "File: " + the entry's name
  std::string ArchiveLine;      // "Archive [n/N]: " + the volume's file name
  std::string CancelLine;       // the cancel hint
  int FileBarWidth = 0;         // 4 x ProgressBar1: 0 at the start of an entry
  int VolumeBarWidth = 0;       // (378 div NUMFILES) x (volume counter + 1)
  // The same facts as values, for views that do not draw.
  std::string EntryName;
  std::string VolumePath;
  std::int32_t VolumeNumber = 1;  // volume counter + 1
  std::int32_t VolumeCount = 0;   // NUMFILES
  std::int64_t EntrySize = 0;
  std::uint64_t SetBytesDone = 0;    // unpacked bytes of the set written before this entry
  std::uint64_t SetBytesTotal = 0;   // unpacked bytes of the whole set
  std::int32_t SetVolumes = 0;       // volumes the set really has
};

// One piece of the current entry has been written.
struct TPieceProgress {
  int FileBarWidth = 0;              // 4 x ProgressBar1
  std::int32_t Percent = 0;          // ProgressBar1: the entry's share, rounded
  std::int32_t Bytes = 0;            // the piece's size
  std::uint64_t SetBytesDone = 0;    // unpacked bytes of the set written so far
  std::uint64_t SetBytesTotal = 0;
};

class TRunView {
 public:
  virtual ~TRunView() = default;
  // Draws the whole progress screen for the next entry (not yet shown: the next
  // present shows it).
  virtual void ShowEntry(const TEntryProgress& entry) = 0;
  // Redraws the per-file bar for a piece.
  virtual void ShowPiece(const TPieceProgress& piece) = 0;
  // Lets pending input in; true when the user asked to cancel since the last call.
  virtual bool PollCancel() = 0;
  // Shows what has been drawn (once per piece).
  virtual void Present() = 0;
  // The run goes on with the volume whose file name is given.
  virtual void VolumeChanged(const std::string& volumeFileName) = 0;
  // A message the user must acknowledge before the run goes on.
  virtual void ShowMessage(const std::string& caption, const std::string& text) = 0;
  // A post-install action: open this file with the desktop's default program.
  virtual void OpenFile(const std::string& path) = 0;
  // The run asks for the main screen's slideshow to start again.
  virtual void ResetSlideshow() = 0;
};
