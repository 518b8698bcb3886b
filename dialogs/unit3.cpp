#include "unit3.h"
#include "window_placement.h"

#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextCursor>
#include <QVBoxLayout>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cp437.h"
#include "dialog_errors.h"
#include "dialog_fonts.h"

namespace {

// Owns a file descriptor for the length of one load.
class FileHandle {
 public:
  explicit FileHandle(int fd) : fd_(fd) {}
  ~FileHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The file's bytes up to its first NUL (the text area ends its text there). Reading
// stops at that NUL, and as soon as the text is known to be too large for the area.
std::string ReadTextBytes(const std::string& path) {
  const std::string cannotOpen = "Cannot open file " + path;
  // Non-blocking, so that a named pipe in the NFO's place cannot hang the program;
  // only regular files are read.
  FileHandle file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (file.get() < 0) throw EFOpenError(cannotOpen);
  struct stat info {};
  if (::fstat(file.get(), &info) != 0 || !S_ISREG(info.st_mode)) throw EFOpenError(cannotOpen);

  std::string text;
  char buffer[64 * 1024];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      throw EInOutError(InOutErrorText(code), code);
    }
    if (got == 0) break;
    const auto* nul = static_cast<const char*>(std::memchr(buffer, '\0', static_cast<std::size_t>(got)));
    const std::size_t keep = nul ? static_cast<std::size_t>(nul - buffer) : static_cast<std::size_t>(got);
    // Normalising never shortens the text, so raw bytes beyond the capacity already
    // mean a text beyond it.
    if (text.size() + keep > TForm3::kMemoCapacity) {
      throw EInvalidOperation("Text exceeds memo capacity");
    }
    text.append(buffer, keep);
    if (nul) break;
  }
  return text;
}

}  // namespace

TForm3::TForm3(QWidget* parent)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint),
      MemoText("Memo1") {
  setObjectName("Form3");
  setWindowTitle("View .nfo");
  setFont(DialogFont());
  setSizeGripEnabled(false);  // the status bar carries the grip
  resize(655, 593);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName("Memo1");
  Memo1->setReadOnly(true);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
  Memo1->setWordWrapMode(QTextOption::NoWrap);
  Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  Memo1->setFont(Cp437Font());
  QPalette colours = Memo1->palette();
  for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
    colours.setColor(group, QPalette::Base, QColor(0, 64, 128));
    colours.setColor(group, QPalette::Text, Qt::white);
  }
  Memo1->setPalette(colours);
  Memo1->setTabStopDistance(8 * QFontMetricsF(Memo1->font()).horizontalAdvance(QChar('x')));
  Memo1->setPlainText(QStringLiteral("Memo1"));

  StatusBar1 = new QStatusBar(this);
  StatusBar1->setObjectName("StatusBar1");
  StatusBar1->setSizeGripEnabled(true);
  StatusBar1->setFixedHeight(19);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Memo1, 1);
  layout->addWidget(StatusBar1, 0);

  // Key preview: the viewer sees every key before the text area does.
  for (QWidget* w : findChildren<QWidget*>()) w->installEventFilter(this);
  installEventFilter(this);
  setFocusProxy(Memo1);
}

void TForm3::LoadFromFile(const std::string& path) {
  std::string text = NormaliseLineBreaks(ReadTextBytes(path));
  if (text.size() > kMemoCapacity) throw EInvalidOperation("Text exceeds memo capacity");
  if (text == MemoText) return;
  Memo1->setPlainText(Cp437ToDisplayText(text));
  MemoText = std::move(text);
  Memo1->moveCursor(QTextCursor::Start);
  Memo1->horizontalScrollBar()->setValue(0);
  Memo1->verticalScrollBar()->setValue(0);
}

void TForm3::ShowModal() {
  if (!ShownBefore) {
    ShownBefore = true;
    CentreOnScreen(*this);
  }
  Memo1->setFocus();
  exec();
}

bool TForm3::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(event))) {
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

bool TForm3::FormKeyDown(QKeyEvent* event) {
  if (event->key() != Qt::Key_Escape) return false;
  reject();
  return true;
}
