// PNG previews for people to look at: the composed main screen, magnified views of
// the buttons, labels and small pictures, and the progress screen over its slide.
#pragma once

#include <QString>

namespace artgen {

// Writes the previews into `dir` (which must exist); throws std::runtime_error on a
// file that cannot be written.
void WritePreviews(const QString& dir);

}  // namespace artgen
