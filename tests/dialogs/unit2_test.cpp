#include "unit2.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "list_pictures.h"
#include "message_boxes.h"
#include "qt_modal.h"
#include "test_support.h"

namespace {

using test_support::WorkingDirectory;
using test_support::PressKey;
using test_support::TempFolder;
using test_support::WhenModal;
namespace fs = std::filesystem;

const std::map<std::string, QColor>& PictureColours() {
  static const std::map<std::string, QColor> colours = {
      {"FLOPPY", Qt::red},          {"HARD", Qt::green},        {"NETWORK", Qt::blue},
      {"CDROM", Qt::cyan},          {"RAM", Qt::yellow},        {"OPENFOLDER", QColor(255, 128, 0)},
      {"CLOSEDFOLDER", Qt::darkGreen}, {"CURRENTFOLDER", Qt::darkBlue}};
  return colours;
}

// Simple generated pictures: a frame in the see-through colour around a fill that
// tells which picture it is.
QImage TestPicture(std::string_view name) {
  const bool drive = name == "FLOPPY" || name == "HARD" || name == "NETWORK" || name == "CDROM" ||
                     name == "RAM";
  QImage image(16, drive ? 11 : 15, QImage::Format_RGB32);
  image.fill(Qt::magenta);
  const auto it = PictureColours().find(std::string(name));
  const QColor fill = it == PictureColours().end() ? QColor(Qt::black) : it->second;
  for (int y = 1; y < image.height() - 1; ++y)
    for (int x = 1; x < 15; ++x) image.setPixelColor(x, y, fill);
  return image;
}

// The name of the picture an item shows, told by its colour.
std::string PictureOf(const QListWidgetItem* item) {
  const QPixmap pixmap = item->data(kPictureRole).value<QPixmap>();
  if (pixmap.isNull()) return "none";
  const QImage image = pixmap.toImage();
  if (image.pixelColor(0, image.height() - 1).alpha() != 0) return "opaque key";
  for (const auto& [name, colour] : PictureColours()) {
    if (image.pixelColor(8, 5).rgb() == colour.rgb()) return name;
  }
  return "unknown";
}

struct Row {
  std::string text, picture;
  int indent;
  bool operator==(const Row&) const = default;
};
std::ostream& operator<<(std::ostream& out, const Row& r) {
  return out << "{" << r.text << ", " << r.picture << ", " << r.indent << "}";
}

std::vector<Row> RowsOf(QListWidget* list) {
  std::vector<Row> rows;
  for (int i = 0; i < list->count(); ++i) {
    QListWidgetItem* item = list->item(i);
    rows.push_back({item->text().toStdString(), PictureOf(item), item->data(kIndentRole).toInt()});
  }
  return rows;
}

// The expected path rows of `folder`: "/", then every component.
std::vector<Row> PathRows(const std::string& folder) {
  std::vector<Row> rows;
  std::vector<std::string> pieces;
  for (const auto& part : fs::path(folder)) {
    if (part != "/") pieces.push_back(part.string());
  }
  rows.push_back({"/", pieces.empty() ? "CURRENTFOLDER" : "OPENFOLDER", 2});
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    rows.push_back({pieces[i], i + 1 == pieces.size() ? "CURRENTFOLDER" : "OPENFOLDER",
                    4 * static_cast<int>(i + 1) + 2});
  }
  return rows;
}

int Separators(const std::string& folder) {
  return static_cast<int>(std::count(folder.begin(), folder.end(), '/'));
}

int RowOf(QListWidget* list, const std::string& text, int from = 0) {
  for (int i = from; i < list->count(); ++i) {
    if (list->item(i)->text().toStdString() == text) return i;
  }
  return -1;
}

void DoubleClick(QListWidget* list, int row) {
  ASSERT_GE(row, 0);
  list->scrollToItem(list->item(row));
  const QPoint at = list->visualItemRect(list->item(row)).center();
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, at);
}

class FolderDialog : public testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const TMessageBoxRequest& r) { boxes.push_back(r); });
    ASSERT_EQ(::chdir(temp.Path().string().c_str()), 0);
  }
  void TearDown() override { SetMessageBoxHook({}); }

  // Makes the dialog now, so that it reads the working directory set up by the test.
  TForm2& Dialog(const std::string& defaultDir = "untitled") {
    form = std::make_unique<TForm2>(target, defaultDir, TestPicture);
    return *form;
  }
  QListWidget* Dir1() { return form->findChild<QListWidget*>("dir1"); }
  QComboBox* Drive1() { return form->findChild<QComboBox*>("drive1"); }
  QToolButton* Button(const char* name) { return form->findChild<QToolButton*>(name); }
  TempFolder temp;
  std::string target = "untouched";
  std::unique_ptr<TForm2> form;
  std::vector<TMessageBoxRequest> boxes;
};

TEST_F(FolderDialog, WindowAndControlsAsDesigned) {
  TForm2& dialog = Dialog();
  EXPECT_EQ(dialog.windowTitle(), "Install to..");
  EXPECT_EQ(dialog.size(), QSize(301, 213));
  EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
  const Qt::WindowFlags flags = dialog.windowFlags();
  EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
  EXPECT_TRUE(flags.testFlag(Qt::WindowTitleHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowSystemMenuHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
  EXPECT_FALSE(flags.testFlag(Qt::WindowMinMaxButtonsHint));
  EXPECT_EQ(QFontInfo(dialog.font()).family(), "MS Sans Serif");
  // The 8-point face: character height 11 in a 13-pixel cell.
  EXPECT_EQ(QFontMetrics(dialog.font()).ascent(), 11);
  EXPECT_EQ(QFontMetrics(dialog.font()).height(), 13);

  ASSERT_NE(Drive1(), nullptr);
  ASSERT_NE(Dir1(), nullptr);
  EXPECT_EQ(Drive1()->geometry(), QRect(13, 14, 188, 19));
  EXPECT_EQ(Dir1()->geometry(), QRect(13, 38, 188, 161));
  EXPECT_FALSE(Drive1()->isEditable());
  struct Expected { const char* name; const char* caption; QRect place; };
  for (const Expected& e : {Expected{"SpeedButton1", "OK", QRect(214, 6, 81, 25)},
                            Expected{"SpeedButton3", "New folder", QRect(214, 36, 81, 25)},
                            Expected{"SpeedButton2", "Cancel", QRect(214, 65, 81, 25)}}) {
    QToolButton* b = Button(e.name);
    ASSERT_NE(b, nullptr) << e.name;
    EXPECT_EQ(b->text(), e.caption);
    EXPECT_EQ(b->geometry(), e.place);
    EXPECT_EQ(b->focusPolicy(), Qt::NoFocus);
    EXPECT_TRUE(b->autoRaise());
  }
  dialog.show();
  QApplication::processEvents();
  ASSERT_GT(Dir1()->count(), 0);
  EXPECT_EQ(Dir1()->visualItemRect(Dir1()->item(0)).height(), 16);
  dialog.hide();
}

TEST_F(FolderDialog, ListsThePathThenTheVisibleSubfoldersSorted) {
  const std::string here = temp.MakeFolder("release/games");
  for (const char* name : {"gamma", "Alpha", "ZULU", "beta", "Delta", "epsilon", ".hidden", ".config"}) {
    temp.MakeFolder(std::string("release/games/") + name);
  }
  temp.WriteFile("release/games/a-file", "not a folder");
  fs::create_directory_symlink(here + "/beta", here + "/linked");
  fs::create_symlink(here + "/nowhere", here + "/dangling");
  ASSERT_EQ(::chdir(here.c_str()), 0);
  TForm2& dialog = Dialog();
  (void)dialog;

  std::vector<Row> expected = PathRows(here);
  const int sub = 4 * Separators(here) + 6;
  for (const char* name : {"Alpha", "beta", "Delta", "epsilon", "gamma", "linked", "ZULU"}) {
    expected.push_back({name, "CLOSEDFOLDER", sub});
  }
  EXPECT_EQ(RowsOf(Dir1()), expected);
  EXPECT_EQ(Dir1()->currentRow(), static_cast<int>(PathRows(here).size()) - 1);
}

TEST_F(FolderDialog, RootIsTheCurrentFolderItemWithSubfoldersBelowIt) {
  ASSERT_EQ(::chdir("/"), 0);
  TForm2& dialog = Dialog();
  (void)dialog;
  std::vector<Row> rows = RowsOf(Dir1());
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], (Row{"/", "CURRENTFOLDER", 2}));
  ASSERT_GT(rows.size(), 1u);  // / always has folders (e.g. tmp)
  for (std::size_t i = 1; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].picture, "CLOSEDFOLDER");
    EXPECT_EQ(rows[i].indent, 10);
    EXPECT_NE(rows[i].text[0], '.');
  }
  EXPECT_NE(RowOf(Dir1(), fs::temp_directory_path().filename().string()), -1);
}

TEST_F(FolderDialog, OkHandsOverTheFolderCancelAndEscapeLeaveTheTarget) {
  const std::string here = temp.MakeFolder("pick");
  ASSERT_EQ(::chdir(here.c_str()), 0);
  TForm2& dialog = Dialog();

  WhenModal([&](QWidget*) { Button("SpeedButton2")->click(); });
  dialog.ShowModal();
  EXPECT_EQ(target, "untouched");
  EXPECT_FALSE(dialog.isVisible());

  // Escape, with the focus on either list.
  for (QWidget* focus : {static_cast<QWidget*>(Dir1()), static_cast<QWidget*>(Drive1())}) {
    bool hadFocus = false;
    WhenModal([&](QWidget* w) {
      QApplication::setActiveWindow(w);  // focus exists only in the active window
      focus->setFocus();
      hadFocus = QApplication::focusWidget() == focus;
      QTest::keyClick(focus, Qt::Key_Escape);
    });
    dialog.ShowModal();
    EXPECT_TRUE(hadFocus);
    EXPECT_EQ(target, "untouched");
    EXPECT_FALSE(dialog.isVisible());
  }

  // Enter is no "OK": in the list it opens the selected folder, which is the current one.
  WhenModal([&](QWidget* w) {
    QTest::keyClick(Dir1(), Qt::Key_Return);
    EXPECT_TRUE(w->isVisible());
    QTest::mouseClick(Button("SpeedButton1"), Qt::LeftButton);
  });
  dialog.ShowModal();
  EXPECT_EQ(target, here);
  EXPECT_EQ(WorkingDirectory(), here);
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FolderDialog, TabMovesBetweenTheTwoListsOnly) {
  TForm2& dialog = Dialog();
  std::vector<QWidget*> seen;
  WhenModal([&](QWidget* w) {
    QApplication::setActiveWindow(w);  // focus exists only in the active window
    Drive1()->setFocus();
    seen.push_back(QApplication::focusWidget());
    for (int i = 0; i < 3 && seen.back() != nullptr; ++i) {
      QTest::keyClick(seen.back(), Qt::Key_Tab);
      seen.push_back(QApplication::focusWidget());
    }
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  const std::vector<QWidget*> expected = {Drive1(), Dir1(), Drive1(), Dir1()};
  EXPECT_EQ(seen, expected);

}

TEST_F(FolderDialog, OkAtTheRootHandsOverTheRoot) {
  ASSERT_EQ(::chdir("/"), 0);
  TForm2& dialog = Dialog();
  WhenModal([&](QWidget*) { Button("SpeedButton1")->click(); });
  dialog.ShowModal();
  EXPECT_EQ(target, "/");
}

TEST_F(FolderDialog, MovesThroughTheTreeByDoubleClickAndEnter) {
  const std::string top = temp.MakeFolder("top");
  temp.MakeFolder("top/middle/bottom");
  temp.MakeFolder("top/other");
  ASSERT_EQ(::chdir(top.c_str()), 0);
  TForm2& dialog = Dialog();
  WhenModal([&](QWidget*) {
    QListWidget* list = Dir1();
    // A single click only selects.
    const int middle = RowOf(list, "middle");
    ASSERT_GE(middle, 0);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier,
                      list->visualItemRect(list->item(middle)).center());
    EXPECT_EQ(list->currentRow(), middle);
    EXPECT_EQ(WorkingDirectory(), top);

    DoubleClick(list, middle);
    EXPECT_EQ(WorkingDirectory(), top + "/middle");
    EXPECT_EQ(RowsOf(list).back(), (Row{"bottom", "CLOSEDFOLDER", 4 * Separators(top + "/middle") + 6}));

    // Enter on the selected subfolder.
    list->setFocus();
    list->setCurrentRow(RowOf(list, "bottom"));
    QTest::keyClick(list, Qt::Key_Return);
    EXPECT_EQ(WorkingDirectory(), top + "/middle/bottom");
    EXPECT_EQ(RowsOf(list), PathRows(top + "/middle/bottom"));  // no subfolders

    // A path item stands for the path down to it.
    DoubleClick(list, RowOf(list, "top"));
    EXPECT_EQ(WorkingDirectory(), top);
    EXPECT_EQ(list->item(list->currentRow())->text(), "top");
    EXPECT_NE(RowOf(list, "other"), -1);

    // The keypad's Enter does the same as Return.
    list->setCurrentRow(RowOf(list, "other"));
    QTest::keyClick(list, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(WorkingDirectory(), top + "/other");

    // The first item is the root.
    DoubleClick(list, 0);
    EXPECT_EQ(WorkingDirectory(), "/");
    EXPECT_EQ(list->item(0)->text(), "/");
    EXPECT_EQ(PictureOf(list->item(0)), "CURRENTFOLDER");
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  EXPECT_EQ(target, "untouched");
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FolderDialog, FolderNamesAreBytesNotText) {
  // A name that is not valid UTF-8 must reach the file system unchanged.
  const std::string odd = "caf\xE9";
  temp.MakeFolder(odd);
  TForm2& dialog = Dialog();
  WhenModal([&](QWidget*) {
    const int row = Dir1()->count() - 1;
    ASSERT_EQ(PictureOf(Dir1()->item(row)), "CLOSEDFOLDER");
    DoubleClick(Dir1(), row);
    Button("SpeedButton1")->click();
  });
  dialog.ShowModal();
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(target, temp.Path().string() + "/" + odd);
  EXPECT_EQ(WorkingDirectory(), temp.Path().string() + "/" + odd);
}

TEST_F(FolderDialog, ReopeningAfterCancelShowsTheLastFolderWhereItWas) {
  const std::string start = temp.MakeFolder("start");
  temp.MakeFolder("start/deeper");
  ASSERT_EQ(::chdir(start.c_str()), 0);
  TForm2& dialog = Dialog();
  QPoint firstPlace;
  WhenModal([&](QWidget* w) {
    firstPlace = w->pos();
    DoubleClick(Dir1(), RowOf(Dir1(), "deeper"));
    w->move(31, 47);
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  const QRect screen = dialog.screen()->geometry();
  EXPECT_EQ(firstPlace, QPoint(screen.x() + std::max(0, (screen.width() - 301) / 2),
                               screen.y() + std::max(0, (screen.height() - 213) / 2)));
  // The working directory is the folder the list showed last.
  EXPECT_EQ(WorkingDirectory(), start + "/deeper");

  std::vector<Row> rows;
  QPoint secondPlace;
  WhenModal([&](QWidget* w) {
    rows = RowsOf(Dir1());
    secondPlace = w->pos();
    Button("SpeedButton1")->click();
  });
  dialog.ShowModal();
  EXPECT_EQ(rows, PathRows(start + "/deeper"));
  EXPECT_EQ(secondPlace, QPoint(31, 47));
  EXPECT_EQ(target, start + "/deeper");
}

TEST_F(FolderDialog, AFolderThatCannotBeEnteredIsReportedAndTheListStays) {
  const std::string here = temp.MakeFolder("here");
  temp.MakeFolder("here/vanishes");
  temp.MakeFolder("here/becomes-a-file");
  temp.MakeFolder("here/stays");
  ASSERT_EQ(::chdir(here.c_str()), 0);
  TForm2& dialog = Dialog();
  const std::vector<Row> before = RowsOf(Dir1());
  ASSERT_NE(RowOf(Dir1(), "vanishes"), -1);

  fs::remove(here + "/vanishes");
  fs::remove(here + "/becomes-a-file");
  temp.WriteFile("here/becomes-a-file", "x");
  WhenModal([&](QWidget* w) {
    DoubleClick(Dir1(), RowOf(Dir1(), "vanishes"));
    DoubleClick(Dir1(), RowOf(Dir1(), "becomes-a-file"));
    EXPECT_TRUE(w->isVisible());
    Button("SpeedButton1")->click();
  });
  dialog.ShowModal();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].Caption, "Install");
  EXPECT_EQ(boxes[0].Kind, TMessageBoxRequest::Error);
  EXPECT_EQ(boxes[0].Text, "File not found.");
  EXPECT_EQ(boxes[1].Text, "I/O error " + std::to_string(ENOTDIR) + ".");
  EXPECT_EQ(RowsOf(Dir1()), before);
  EXPECT_EQ(WorkingDirectory(), here);
  EXPECT_EQ(target, here);
}

class NewFolder : public FolderDialog {
 protected:
  // Presses "New folder" and answers the prompt: with `text` and OK, or, when `text`
  // is null, with Cancel. Returns what the prompt was filled with.
  struct Prompt { QString caption, label, edit, selected; int maxLength = 0; bool okDefault = false; };
  Prompt NewFolderWith(const char* text, bool viaEscape = false) {
    Prompt seen;
    WhenModal([&, text, viaEscape](QWidget* w) {
      seen.caption = w->windowTitle();
      if (auto* label = w->findChild<QLabel*>("Prompt")) seen.label = label->text();
      auto* edit = w->findChild<QLineEdit*>("Edit");
      auto* ok = w->findChild<QPushButton*>("OkButton");
      auto* cancel = w->findChild<QPushButton*>("CancelButton");
      ASSERT_TRUE(edit && ok && cancel);
      seen.edit = edit->text();
      seen.selected = edit->selectedText();
      seen.maxLength = edit->maxLength();
      seen.okDefault = ok->isDefault();
      if (text != nullptr) {
        edit->setText(QString::fromUtf8(text));
        QTest::keyClick(edit, Qt::Key_Return);
      } else if (viaEscape) {
        edit->setText("typed but cancelled");
        QTest::keyClick(edit, Qt::Key_Escape);
      } else {
        edit->setText("typed but cancelled");
        cancel->click();
      }
    }, form.get());
    Button("SpeedButton3")->click();
    return seen;
  }
};

TEST_F(NewFolder, PromptIsFilledWithTheDefaultNameAllSelected) {
  TForm2& dialog = Dialog("My Release");
  Prompt seen;
  WhenModal([&](QWidget*) {
    seen = NewFolderWith("x");
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  EXPECT_EQ(seen.caption, "New folder");
  EXPECT_EQ(seen.label, "Enter name");
  EXPECT_EQ(seen.edit, "My Release");
  EXPECT_EQ(seen.selected, "My Release");
  EXPECT_EQ(seen.maxLength, 255);
  EXPECT_TRUE(seen.okDefault);
  EXPECT_TRUE(fs::is_directory(temp.Path() / "x"));
}

TEST_F(NewFolder, CancelledPromptStillCreatesTheDefaultFolderAndMovesIntoIt) {
  TForm2& dialog = Dialog("untitled");
  WhenModal([&](QWidget*) {
    NewFolderWith(nullptr);
    EXPECT_EQ(WorkingDirectory(), temp.Path().string() + "/untitled");
    EXPECT_EQ(RowsOf(Dir1()), PathRows(temp.Path().string() + "/untitled"));
    // Back up and do it again, by Escape this time: the folder exists now.
    DoubleClick(Dir1(), RowOf(Dir1(), temp.Path().filename().string()));
    NewFolderWith(nullptr, true);
    EXPECT_EQ(WorkingDirectory(), temp.Path().string());
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  EXPECT_TRUE(fs::is_directory(temp.Path() / "untitled"));
  EXPECT_FALSE(fs::exists(temp.Path() / "typed but cancelled"));
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Caption, "Warning");
  EXPECT_EQ(boxes[0].Text, "Cannot create directory");
  EXPECT_EQ(boxes[0].Kind, TMessageBoxRequest::Warning);
  EXPECT_EQ(target, "untouched");  // the new folder stays, nothing is handed over
}

TEST_F(NewFolder, ACancelledPromptUsesTheDefaultNameByteForByte) {
  const std::string odd = "r\xE9lease \xFF";
  TForm2& dialog = Dialog(odd);
  WhenModal([&](QWidget*) {
    NewFolderWith(nullptr);
    Button("SpeedButton1")->click();
  });
  dialog.ShowModal();
  EXPECT_TRUE(boxes.empty());
  EXPECT_TRUE(fs::is_directory(temp.Path() / odd));
  EXPECT_EQ(target, temp.Path().string() + "/" + odd);
}

TEST_F(NewFolder, AnEmptyNameIsTheCurrentFolderItselfAndIsRefused) {
  TForm2& dialog = Dialog();
  const std::vector<Row> before = RowsOf(Dir1());
  WhenModal([&](QWidget*) {
    NewFolderWith("");
    Button("SpeedButton1")->click();
  });
  dialog.ShowModal();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Cannot create directory");
  EXPECT_EQ(RowsOf(Dir1()), before);
  EXPECT_EQ(target, temp.Path().string());
}

TEST_F(NewFolder, ANameWithASlashMakesOnlyTheLastFolder) {
  TForm2& dialog = Dialog();
  WhenModal([&](QWidget*) {
    NewFolderWith("parent/child");  // parent missing: refused, nothing made
    EXPECT_FALSE(fs::exists(temp.Path() / "parent"));
    EXPECT_EQ(WorkingDirectory(), temp.Path().string());
    fs::create_directory(temp.Path() / "parent");
    NewFolderWith("parent/child");
    EXPECT_EQ(WorkingDirectory(), temp.Path().string() + "/parent/child");
    EXPECT_EQ(RowsOf(Dir1()), PathRows(temp.Path().string() + "/parent/child"));
    Button("SpeedButton1")->click();
  });
  dialog.ShowModal();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].Text, "Cannot create directory");
  EXPECT_TRUE(fs::is_directory(temp.Path() / "parent" / "child"));
  EXPECT_EQ(target, temp.Path().string() + "/parent/child");
}

TEST_F(NewFolder, AnExistingFolderOrFileIsRefused) {
  temp.MakeFolder("taken");
  temp.WriteFile("file", "");
  TForm2& dialog = Dialog();
  const std::vector<Row> before = RowsOf(Dir1());
  WhenModal([&](QWidget*) {
    NewFolderWith("taken");
    NewFolderWith("file");
    NewFolderWith("file/below");
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  EXPECT_EQ(boxes.size(), 3u);
  for (const auto& box : boxes) EXPECT_EQ(box.Text, "Cannot create directory");
  EXPECT_EQ(RowsOf(Dir1()), before);
  EXPECT_EQ(WorkingDirectory(), temp.Path().string());
}

TEST_F(NewFolder, PromptUsesTheDialogUnitsOfItsFont) {
  TForm2& dialog = Dialog();
  QSize size;
  QRect edit, ok, cancel, screen;
  QPoint place;
  WhenModal([&](QWidget*) {
    WhenModal([&](QWidget* prompt) {
      size = prompt->size();
      place = prompt->pos();
      screen = prompt->screen()->geometry();
      edit = prompt->findChild<QLineEdit*>("Edit")->geometry();
      ok = prompt->findChild<QPushButton*>("OkButton")->geometry();
      cancel = prompt->findChild<QPushButton*>("CancelButton")->geometry();
      prompt->close();
    }, form.get());
    Button("SpeedButton3")->click();
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  // The 8-point font's letters average 6 pixels in a 13-pixel line.
  const QFontMetrics m(dialog.font());
  const int cx = m.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52;
  const int cy = m.height();
  const auto X = [&](int u) { return static_cast<int>(std::lround(u * cx / 4.0)); };
  const auto Y = [&](int u) { return static_cast<int>(std::lround(u * cy / 8.0)); };
  EXPECT_EQ(size, QSize(X(180), Y(63)));
  EXPECT_EQ(edit.topLeft(), QPoint(X(8), Y(19)));
  EXPECT_EQ(edit.width(), X(164));
  EXPECT_EQ(ok, QRect(X(38), Y(41), X(50), Y(14)));
  EXPECT_EQ(cancel, QRect(X(92), Y(41), X(50), Y(14)));
  EXPECT_EQ(place, QPoint(screen.x() + (screen.width() - size.width()) / 2,
                          screen.y() + (screen.height() - size.height()) / 2));
  EXPECT_TRUE(fs::is_directory(temp.Path() / "untitled"));  // closing the prompt = Cancel
}

TEST_F(FolderDialog, DriveListSelectsTheDriveOfTheCurrentFolder) {
  TForm2& dialog = Dialog();
  int selected = -2, items = 0;
  QString text;
  WhenModal([&](QWidget*) {
    selected = Drive1()->currentIndex();
    items = Drive1()->count();
    text = Drive1()->currentText();
    // Choosing the drive that is already current does nothing.
    emit Drive1()->activated(selected);
    EXPECT_EQ(WorkingDirectory(), temp.Path().string());
    Button("SpeedButton2")->click();
  });
  dialog.ShowModal();
  ASSERT_GT(items, 0);
  ASSERT_GE(selected, 0);
  // The selected drive's mount point is where the temporary folder lies.
  const std::string mountPoint = text.toStdString().substr(0, text.toStdString().find(' '));
  EXPECT_TRUE(mountPoint == "/" || temp.Path().string().rfind(mountPoint + "/", 0) == 0) << mountPoint;
}

}  // namespace
