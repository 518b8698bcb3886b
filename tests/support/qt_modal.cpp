#include "qt_modal.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

namespace test_support {
namespace {

void Poll(std::function<void(QWidget*)> action, QWidget* except, int triesLeft) {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal != nullptr && modal != except && modal->isVisible()) {
    action(modal);
    return;
  }
  if (triesLeft == 0) {
    ADD_FAILURE() << "no modal window appeared";
    // Leave every modal loop, so that the test can end.
    while (QWidget* w = QApplication::activeModalWidget()) {
      w->close();
      if (QApplication::activeModalWidget() == w) break;
    }
    return;
  }
  QTimer::singleShot(5, [action = std::move(action), except, triesLeft] { Poll(action, except, triesLeft - 1); });
}

}  // namespace

void WhenModal(std::function<void(QWidget*)> action, QWidget* except) {
  QTimer::singleShot(0, [action = std::move(action), except] { Poll(action, except, 4000); });
}

void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers) {
  QKeyEvent press(QEvent::KeyPress, key, modifiers);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, modifiers);
  QApplication::sendEvent(target, &release);
}

}  // namespace test_support
