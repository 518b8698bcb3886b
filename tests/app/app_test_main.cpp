// The main of the main window's tests: a real QApplication on the offscreen
// platform, and message boxes captured instead of shown.
#include <gtest/gtest.h>

#include <QApplication>

#include "app_test_support.h"
#include "message_boxes.h"

std::vector<TMessageBoxRequest>& CapturedBoxes() {
  static std::vector<TMessageBoxRequest> boxes;
  return boxes;
}

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QApplication::setApplicationName("Install");
  SetMessageBoxHook([](const TMessageBoxRequest& box) { CapturedBoxes().push_back(box); });
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
