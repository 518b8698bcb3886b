#include "message_boxes.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QWidget>

#include <vector>

#include "qt_modal.h"
#include "test_support.h"

namespace {

using test_support::PressKey;
using test_support::WhenModal;

TEST(WithFullStop, AppendsOnlyAfterBytesThatSortAfterTheFullStop) {
  EXPECT_EQ(WithFullStop("Disk full"), "Disk full.");
  EXPECT_EQ(WithFullStop("Process stopped..."), "Process stopped...");
  EXPECT_EQ(WithFullStop(""), "");
  // '!' (0x21), ')' (0x29) and '-' (0x2D) sort before '.', '/' (0x2F) and digits after.
  EXPECT_EQ(WithFullStop("Stop!"), "Stop!");
  EXPECT_EQ(WithFullStop("(code 5)"), "(code 5)");
  EXPECT_EQ(WithFullStop("a-"), "a-");
  EXPECT_EQ(WithFullStop("c:/"), "c:/.");
  EXPECT_EQ(WithFullStop("I/O error 21"), "I/O error 21.");
  // Bytes above 0x7F are compared unsigned, so they sort after '.'.
  EXPECT_EQ(WithFullStop("caf\xE9"), "caf\xE9.");
  // Only the last byte counts.
  EXPECT_EQ(WithFullStop(".x"), ".x.");
  EXPECT_EQ(WithFullStop("x ."), "x .");
}

class HookedBoxes : public testing::Test {
 protected:
  void SetUp() override {
    SetMessageBoxHook([this](const TMessageBoxRequest& r) { shown.push_back(r); });
  }
  void TearDown() override { SetMessageBoxHook({}); }
  std::vector<TMessageBoxRequest> shown;
};

TEST_F(HookedBoxes, EachKindHasItsCaptionIconAndText) {
  ShowErrorReport("Cannot open file /x/y.nfo");
  ShowErrorBox("Can't find file to extract.\rProcess stopped...");
  ShowWarningBox("Cannot create directory");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].Caption, "Install");
  EXPECT_EQ(shown[0].Text, "Cannot open file /x/y.nfo.");
  EXPECT_EQ(shown[0].Kind, TMessageBoxRequest::Error);
  EXPECT_EQ(shown[1].Caption, "Error");
  EXPECT_EQ(shown[1].Text, "Can't find file to extract.\rProcess stopped...");
  EXPECT_EQ(shown[1].Kind, TMessageBoxRequest::Error);
  EXPECT_EQ(shown[2].Caption, "Warning");
  EXPECT_EQ(shown[2].Text, "Cannot create directory");
  EXPECT_EQ(shown[2].Kind, TMessageBoxRequest::Warning);
}

TEST_F(HookedBoxes, OnlyTheGeneralReportAddsAFullStop) {
  ShowErrorBox("Write error");
  ShowWarningBox("Cannot create directory");
  ShowErrorReport("Write error");
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].Text, "Write error");
  EXPECT_EQ(shown[1].Text, "Cannot create directory");
  EXPECT_EQ(shown[2].Text, "Write error.");
}

TEST(HookReset, AnEmptyHookShowsRealBoxesAgain) {
  int hooked = 0;
  SetMessageBoxHook([&](const TMessageBoxRequest&) { ++hooked; });
  ShowWarningBox("one");
  SetMessageBoxHook({});
  bool sawRealBox = false;
  WhenModal([&](QWidget* w) {
    sawRealBox = qobject_cast<QMessageBox*>(w) != nullptr;
    w->close();
  });
  ShowWarningBox("two");
  EXPECT_EQ(hooked, 1);
  EXPECT_TRUE(sawRealBox);
}

struct SeenBox {
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  int buttons = 0;
  bool okIsDefault = false, okIsEscape = false;
  QWidget* parent = nullptr;
  bool applicationModal = false;
};

SeenBox Inspect(QWidget* w) {
  SeenBox seen;
  auto* box = qobject_cast<QMessageBox*>(w);
  if (box == nullptr) return seen;
  seen.title = box->windowTitle();
  seen.text = box->text();
  seen.icon = box->icon();
  seen.buttons = static_cast<int>(box->buttons().size());
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  seen.okIsDefault = ok != nullptr && box->defaultButton() == ok;
  seen.okIsEscape = ok != nullptr && box->escapeButton() == ok;
  seen.parent = box->parentWidget();
  seen.applicationModal = box->windowModality() == Qt::ApplicationModal;
  return seen;
}

TEST(RealBoxes, ErrorBoxIsModalOverTheActiveWindowAndEndsOnOk) {
  QWidget owner;
  owner.setWindowTitle("owner");
  owner.show();
  QApplication::setActiveWindow(&owner);
  SeenBox seen;
  bool closedByOk = false;
  WhenModal([&](QWidget* w) {
    seen = Inspect(w);
    auto* box = qobject_cast<QMessageBox*>(w);
    ASSERT_NE(box, nullptr);
    box->button(QMessageBox::Ok)->click();
    closedByOk = true;
  });
  ShowErrorBox("Can't find directory to extract.\rProcess stopped...");
  EXPECT_TRUE(closedByOk);
  EXPECT_EQ(seen.title, "Error");
  EXPECT_EQ(seen.text, "Can't find directory to extract.\nProcess stopped...");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, 1);
  EXPECT_TRUE(seen.applicationModal);
  EXPECT_EQ(seen.parent, &owner);
}

TEST(RealBoxes, GeneralReportShowsTheFullStopAndTheErrorIcon) {
  SeenBox seen;
  WhenModal([&](QWidget* w) {
    seen = Inspect(w);
    PressKey(w, Qt::Key_Return);
  });
  ShowErrorReport("Cannot open file /tmp/a.nfo");
  EXPECT_EQ(seen.title, "Install");
  EXPECT_EQ(seen.text, "Cannot open file /tmp/a.nfo.");
  EXPECT_EQ(seen.icon, QMessageBox::Critical);
  EXPECT_EQ(seen.buttons, 1);
}

TEST(RealBoxes, WarningOkIsDefaultAndCancelButton) {
  for (int key : {Qt::Key_Return, Qt::Key_Escape}) {
    SeenBox seen;
    WhenModal([&](QWidget* w) {
      seen = Inspect(w);
      PressKey(w, key);
    });
    ShowWarningBox("Cannot create directory");  // returns only once the key closed it
    EXPECT_EQ(seen.title, "Warning");
    EXPECT_EQ(seen.text, "Cannot create directory");
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, 1);
    EXPECT_TRUE(seen.okIsDefault);
    EXPECT_TRUE(seen.okIsEscape);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
  }
}

TEST(RealBoxes, CrLfIsOneBreakAndTextIsNotInterpretedAsRichText) {
  QString text;
  WhenModal([&](QWidget* w) {
    text = Inspect(w).text;
    if (auto* box = qobject_cast<QMessageBox*>(w)) {
      auto* label = box->findChild<QLabel*>("qt_msgbox_label");
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
    w->close();
  });
  ShowErrorBox("<b>a</b>\r\nb");
  EXPECT_EQ(text, "<b>a</b>\nb");
}

}  // namespace
