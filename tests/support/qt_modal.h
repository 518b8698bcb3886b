// Acting on modal windows from inside the event loop that shows them, and keys
// sent the way a user's keys arrive.
#pragma once

#include <QWidget>

#include <functional>

namespace test_support {

// Runs `action` on the next modal widget that becomes active and is not `except`,
// from inside the event loop that shows it. Polls through the event loop; gives up
// (and fails the test) only after thousands of polls, so that a window that never
// appears ends the test instead of hanging it.
void WhenModal(std::function<void(QWidget*)> action, QWidget* except = nullptr);

// Sends a key press and release to `target` through the application, so that event
// filters see it exactly as they would see a real key.
void PressKey(QWidget* target, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

}  // namespace test_support
