#include "unit3.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QImage>
#include <QPlainTextEdit>
#include <QRawFont>
#include <QScreen>
#include <QScrollBar>
#include <QStatusBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextLayout>

#include <sys/stat.h>

#include <string>

#include "cp437.h"
#include "dialog_errors.h"
#include "qt_modal.h"
#include "test_support.h"

namespace {

using test_support::PressKey;
using test_support::TempFolder;
using test_support::WhenModal;

QPlainTextEdit* MemoOf(TForm3& form) {
  auto* memo = form.findChild<QPlainTextEdit*>("Memo1");
  EXPECT_NE(memo, nullptr);
  return memo;
}

std::string Lines(int count, int width) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += "line " + std::to_string(i) + ' ' + std::string(static_cast<std::size_t>(width), 'x') + "\r\n";
  }
  return text;
}

TEST(Viewer, WindowAndControlsAsDesigned) {
  TForm3 form;
  EXPECT_EQ(form.windowTitle(), "View .nfo");
  EXPECT_EQ(form.size(), QSize(655, 593));
  const Qt::WindowFlags flags = form.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMinimizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowMaximizeButtonHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowCloseButtonHint));

  auto* status = form.findChild<QStatusBar*>("StatusBar1");
  ASSERT_NE(status, nullptr);
  EXPECT_EQ(status->height(), 19);
  EXPECT_TRUE(status->isSizeGripEnabled());
  EXPECT_TRUE(status->currentMessage().isEmpty());

  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  EXPECT_TRUE(memo->isReadOnly());
  EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::NoWrap);
  EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(memo->palette().color(QPalette::Base), QColor(0, 64, 128));
  EXPECT_EQ(memo->palette().color(QPalette::Text), QColor(Qt::white));
  EXPECT_EQ(memo->toPlainText(), "Memo1");

  // The layout gives the status bar the bottom 19 pixels and the area the rest.
  form.show();
  QApplication::processEvents();
  EXPECT_EQ(memo->geometry(), QRect(0, 0, 655, 574));
  EXPECT_EQ(status->geometry(), QRect(0, 574, 655, 19));
  form.resize(500, 400);
  QApplication::processEvents();
  EXPECT_EQ(memo->geometry(), QRect(0, 0, 500, 381));
  form.hide();
}

TEST(ViewerFont, HoldsEveryCodePage437CharacterInOneCellSize) {
  TForm3 form;
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  const QFont font = memo->font();
  EXPECT_EQ(QFontInfo(font).family(), "Terminus");
  EXPECT_EQ(QFontInfo(font).pixelSize(), 12);
  EXPECT_TRUE(QFontInfo(font).fixedPitch());

  const QRawFont raw = QRawFont::fromFont(font);
  ASSERT_TRUE(raw.isValid());
  const QFontMetrics metrics(font);
  const int cell = metrics.horizontalAdvance(QChar('M'));
  for (int b = 1; b < 256; ++b) {
    const QChar c(Cp437Table()[static_cast<std::size_t>(b)]);
    EXPECT_TRUE(raw.supportsCharacter(c)) << "byte " << b;
    EXPECT_EQ(metrics.horizontalAdvance(c), cell) << "byte " << b;
  }
}

TEST(ViewerFont, BlocksTileWithoutGapsInTheTextArea) {
  TempFolder dir;
  TForm3 form;
  form.LoadFromFile(dir.WriteFile("blocks.nfo", "\xDB\xDB\xDB\xDB\r\n\xDB\xDB\xDB\xDB\r\n\xDB\xDB\xDB\xDB"));
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  QImage shot;
  WhenModal([&](QWidget* w) {
    // The text cursor is drawn over the first block; park it after the last one.
    memo->moveCursor(QTextCursor::End);
    QApplication::processEvents();
    shot = memo->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    w->close();
  });
  form.ShowModal();
  ASSERT_FALSE(shot.isNull());
  const QRgb white = qRgb(255, 255, 255);
  int left = shot.width(), top = shot.height(), right = -1, bottom = -1;
  for (int y = 0; y < shot.height(); ++y) {
    for (int x = 0; x < shot.width(); ++x) {
      if (shot.pixel(x, y) == white) {
        left = std::min(left, x); right = std::max(right, x);
        top = std::min(top, y); bottom = std::max(bottom, y);
      }
    }
  }
  ASSERT_GE(right, 0) << "no text drawn";
  const QFontMetrics metrics(memo->font());
  EXPECT_EQ(right - left + 1, 4 * metrics.horizontalAdvance(QChar(0x2588)));
  EXPECT_EQ(bottom - top + 1, 3 * metrics.height());
  int holes = 0;
  for (int y = top; y <= bottom; ++y)
    for (int x = left; x <= right; ++x) holes += shot.pixel(x, y) != white;
  EXPECT_EQ(holes, 0);
  // Everything around the blocks is the area's dark blue.
  EXPECT_EQ(shot.pixel(right + 3, bottom + 3), qRgb(0, 64, 128));
}

TEST(ViewerLoad, AllLineBreakFormsShowTheSameLines) {
  TempFolder dir;
  TForm3 form;
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  for (const char* bytes : {"one\r\ntwo\r\nthree", "one\ntwo\nthree", "one\rtwo\rthree"}) {
    form.LoadFromFile(dir.WriteFile("a.nfo", bytes));
    EXPECT_EQ(memo->toPlainText(), "one\ntwo\nthree") << bytes;
    EXPECT_EQ(memo->blockCount(), 3);
  }
  form.LoadFromFile(dir.WriteFile("b.nfo", "one\n\rtwo"));
  EXPECT_EQ(memo->toPlainText(), "one\n\ntwo");
  EXPECT_EQ(memo->blockCount(), 3);
}

TEST(ViewerLoad, BytesAreShownAsCodePage437) {
  TempFolder dir;
  std::string bytes;
  QString expected;
  for (int b = 0xB0; b <= 0xDF; ++b) {
    bytes += static_cast<char>(b);
    expected += QChar(Cp437Table()[static_cast<std::size_t>(b)]);
  }
  bytes += "\t\x01\x80\xE1";
  expected += QString::fromUtf16(u"\t\u263A\u00C7\u00DF");
  TForm3 form;
  form.LoadFromFile(dir.WriteFile("art.nfo", bytes));
  ASSERT_NE(MemoOf(form), nullptr);
  EXPECT_EQ(MemoOf(form)->toPlainText(), expected);
  EXPECT_TRUE(MemoOf(form)->toPlainText().contains(QChar(0x2593)));  // dark shade, not a letter
}

TEST(ViewerLoad, TextEndsAtTheFirstNulAndAnEmptyFileEmptiesTheArea) {
  TempFolder dir;
  TForm3 form;
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  form.LoadFromFile(dir.WriteFile("nul.nfo", std::string("before\r\nmid\0after\r\nmore", 23)));
  EXPECT_EQ(memo->toPlainText(), "before\nmid");
  form.LoadFromFile(dir.WriteFile("empty.nfo", ""));
  EXPECT_EQ(memo->toPlainText(), "");
  form.LoadFromFile(dir.WriteFile("lead.nfo", std::string("\0text", 5)));
  EXPECT_EQ(memo->toPlainText(), "");
}

TEST(ViewerLoad, LongLinesAreNotWrapped) {
  TempFolder dir;
  TForm3 form;
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  const std::string line(200, 'W');
  form.LoadFromFile(dir.WriteFile("wide.nfo", line + "\r\nshort"));
  int maximum = -1, lineCount = -1;
  bool lastVisible = false;
  WhenModal([&](QWidget* w) {
    QApplication::processEvents();
    QScrollBar* bar = memo->horizontalScrollBar();
    maximum = bar->maximum();
    lineCount = memo->document()->firstBlock().layout()->lineCount();
    bar->setValue(bar->maximum());
    QTextCursor end(memo->document()->firstBlock());
    end.movePosition(QTextCursor::EndOfBlock);
    lastVisible = memo->viewport()->rect().contains(memo->cursorRect(end).center());
    w->close();
  });
  form.ShowModal();
  EXPECT_EQ(lineCount, 1);
  EXPECT_GT(maximum, 0);
  EXPECT_TRUE(lastVisible);
}

TEST(ViewerLoad, MissingFileFolderAndPipeCannotBeOpened) {
  TempFolder dir;
  TForm3 form;
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  form.LoadFromFile(dir.WriteFile("good.nfo", "kept"));

  const std::string missing = dir.Path().string() + "/missing.nfo";
  const std::string folder = dir.MakeFolder("folder.nfo");
  const std::string pipe = dir.Path().string() + "/pipe.nfo";
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  for (const std::string& path : {missing, folder, dir.Path().string() + "/", pipe}) {
    try {
      form.LoadFromFile(path);
      ADD_FAILURE() << "no error for " << path;
    } catch (const EFOpenError& e) {
      EXPECT_EQ(std::string(e.what()), "Cannot open file " + path);
    }
    EXPECT_EQ(memo->toPlainText(), "kept");
  }
}

TEST(ViewerLoad, TextBeyondTheCapacityIsRefusedAndTheOldTextStays) {
  TempFolder dir;
  TForm3 form;
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  form.LoadFromFile(dir.WriteFile("small.nfo", "small"));

  const std::string tooBig(TForm3::kMemoCapacity + 1, 'a');
  EXPECT_THROW(form.LoadFromFile(dir.WriteFile("big.nfo", tooBig)), EInvalidOperation);
  EXPECT_EQ(memo->toPlainText(), "small");

  // Within the capacity on disk, beyond it once every LF has become CR LF.
  const std::string doubles(TForm3::kMemoCapacity / 2 + 1, '\n');
  try {
    form.LoadFromFile(dir.WriteFile("lf.nfo", doubles));
    ADD_FAILURE() << "no error";
  } catch (const EInvalidOperation& e) {
    EXPECT_EQ(std::string(e.what()), "Text exceeds memo capacity");
  }
  EXPECT_EQ(memo->toPlainText(), "small");

  // What lies after the first NUL does not count.
  std::string cut = "head";
  cut += '\0';
  cut += tooBig;
  form.LoadFromFile(dir.WriteFile("cut.nfo", cut));
  EXPECT_EQ(memo->toPlainText(), "head");
}

TEST(ViewerShow, EscapeClosesFromTheTextAreaAndOtherKeysDoNot) {
  TempFolder dir;
  TForm3 form;
  form.LoadFromFile(dir.WriteFile("a.nfo", Lines(50, 10)));
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);
  bool stillOpenAfterDown = false;
  int cursorLine = -1;
  WhenModal([&](QWidget* w) {
    PressKey(memo, Qt::Key_Down);
    PressKey(memo, Qt::Key_Return);  // no default button: nothing closes
    stillOpenAfterDown = w->isVisible();
    cursorLine = memo->textCursor().blockNumber();
    PressKey(memo, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_TRUE(stillOpenAfterDown);
  EXPECT_EQ(cursorLine, 1);
  EXPECT_FALSE(form.isVisible());
  EXPECT_EQ(memo->toPlainText().count('\n'), 50);  // read-only: Return typed nothing
}

TEST(ViewerShow, UnchangedTextKeepsScrollAndSelectionChangedTextStartsAtTheTop) {
  TempFolder dir;
  TForm3 form;
  const std::string path = dir.WriteFile("a.nfo", Lines(400, 300));
  form.LoadFromFile(path);
  QPlainTextEdit* memo = MemoOf(form);
  ASSERT_NE(memo, nullptr);

  int scrolledTo = -1, sideways = -1;
  WhenModal([&](QWidget* w) {
    QApplication::processEvents();
    memo->verticalScrollBar()->setValue(120);
    memo->horizontalScrollBar()->setValue(40);
    QTextCursor selection(memo->document()->findBlockByNumber(125));
    selection.movePosition(QTextCursor::NextWord, QTextCursor::KeepAnchor);
    memo->setTextCursor(selection);
    memo->verticalScrollBar()->setValue(120);
    memo->horizontalScrollBar()->setValue(40);
    scrolledTo = memo->verticalScrollBar()->value();
    sideways = memo->horizontalScrollBar()->value();
    PressKey(memo, Qt::Key_Escape);
  });
  form.ShowModal();
  ASSERT_EQ(scrolledTo, 120);
  ASSERT_EQ(sideways, 40);
  const QString selected = memo->textCursor().selectedText();
  ASSERT_FALSE(selected.isEmpty());

  // Same file again, and again with other line breaks but the same text.
  form.LoadFromFile(path);
  std::string sameWithLf = Lines(400, 300);
  for (std::size_t at; (at = sameWithLf.find("\r\n")) != std::string::npos;) sameWithLf.erase(at, 1);
  form.LoadFromFile(dir.WriteFile("lf.nfo", sameWithLf));
  int seenOnReopen = -1;
  WhenModal([&](QWidget*) {
    QApplication::processEvents();
    seenOnReopen = memo->verticalScrollBar()->value();
    PressKey(memo, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_EQ(seenOnReopen, 120);
  EXPECT_EQ(memo->horizontalScrollBar()->value(), 40);
  EXPECT_EQ(memo->textCursor().selectedText(), selected);

  // A changed file is shown from the top, with no selection.
  form.LoadFromFile(dir.WriteFile("a.nfo", Lines(400, 300) + "tail"));
  int afterChange = -1, sidewaysAfterChange = -1;
  WhenModal([&](QWidget*) {
    QApplication::processEvents();
    afterChange = memo->verticalScrollBar()->value();
    sidewaysAfterChange = memo->horizontalScrollBar()->value();
    PressKey(memo, Qt::Key_Escape);
  });
  form.ShowModal();
  EXPECT_EQ(afterChange, 0);
  EXPECT_EQ(sidewaysAfterChange, 0);
  EXPECT_FALSE(memo->textCursor().hasSelection());
  EXPECT_EQ(memo->textCursor().position(), 0);
}

TEST(ViewerShow, CentredTheFirstTimeThenWhereTheUserLeftIt) {
  TForm3 form;
  QPoint first;
  WhenModal([&](QWidget* w) {
    first = w->pos();
    w->move(17, 23);
    w->resize(400, 300);
    w->close();
  });
  form.ShowModal();
  // The offscreen platform draws no frame, so the outer size is the client size.
  const QRect screen = form.screen()->geometry();
  EXPECT_EQ(first, QPoint(screen.x() + std::max(0, (screen.width() - 655) / 2),
                          screen.y() + std::max(0, (screen.height() - 593) / 2)));
  QPoint second;
  QSize secondSize;
  WhenModal([&](QWidget* w) {
    second = w->pos();
    secondSize = w->size();
    w->close();
  });
  form.ShowModal();
  EXPECT_EQ(second, QPoint(17, 23));
  EXPECT_EQ(secondSize, QSize(400, 300));
}

}  // namespace
