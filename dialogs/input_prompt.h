// A small modal text prompt: a label, a one-line edit field and "OK" / "Cancel".
#pragma once

#include <string>

class QWidget;

// Asks for a line of text. The edit field starts with `defaultText`, all of it
// selected, and holds at most 255 characters. Returns the edited text when "OK" is
// pressed (or Enter), and `defaultText` unchanged in every other case (Cancel,
// Escape, closing).
std::string InputBox(const std::string& caption, const std::string& prompt,
                     const std::string& defaultText, QWidget* parent = nullptr);
