// The NFO viewer: the release's NFO text, drawn as code page 437 characters, white
// on dark blue, read-only. Created once and only hidden when closed, so it keeps its
// text, scroll position, place and size between showings.
#pragma once

#include <QDialog>

#include <cstddef>
#include <string>

class QKeyEvent;
class QPlainTextEdit;
class QStatusBar;

class TForm3 : public QDialog {
 public:
  // The most text (in bytes, line breaks as CR LF) the text area takes.
  static constexpr std::size_t kMemoCapacity = 16u * 1024u * 1024u;

  explicit TForm3(QWidget* parent = nullptr);

  // Reads the file at `path` into the text area. Throws EFOpenError ("Cannot open
  // file <path>") when it is missing, is not a regular file or cannot be opened,
  // EInOutError when reading fails, and EInvalidOperation ("Text exceeds memo
  // capacity") when the text is larger than kMemoCapacity. On any error the area
  // keeps what it held. Text equal to what the area holds leaves the area, its
  // scroll position and its selection alone; other text replaces it and is shown
  // from the top. The text ends at the file's first NUL byte.
  void LoadFromFile(const std::string& path);

  // Shows the viewer modally; returns when it is closed (Escape or the close box).
  void ShowModal();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Escape closes the viewer; true when the key was used.
  bool FormKeyDown(QKeyEvent* event);

  QStatusBar* StatusBar1;
  QPlainTextEdit* Memo1;
  std::string MemoText;  // the bytes the area shows, line breaks as CR LF
  bool ShownBefore = false;
};
