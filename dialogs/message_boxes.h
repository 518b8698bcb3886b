// The program's message boxes: the general error report, the extraction run's error
// box and the folder dialog's warning. Every box is modal and returns when its one
// OK button is pressed.
#pragma once

#include <functional>
#include <string>

struct TMessageBoxRequest {
  std::string Caption;
  std::string Text;  // the program's exact text; a '\r' in it is shown as a line break
  enum Icon { Error, Warning } Kind;
};

// Routes every box to `hook` instead of the screen (tests, headless runs). An empty
// hook restores real boxes.
void SetMessageBoxHook(std::function<void(const TMessageBoxRequest&)> hook);

// Appends "." when the message's last byte sorts after '.' (unsigned byte order).
std::string WithFullStop(const std::string& message);

// The general error report: caption "Install", error icon, one OK button,
// WithFullStop(message).
void ShowErrorReport(const std::string& message);

// Caption "Error", error icon, one OK button; each '\r' in `text` is a line break.
void ShowErrorBox(const std::string& text);

// Caption "Warning", warning icon, one OK button that is both the default and the
// cancel button.
void ShowWarningBox(const std::string& text);
