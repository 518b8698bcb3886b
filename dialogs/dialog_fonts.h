// The fonts of the dialogs, loaded once from the installed font files.
#pragma once

#include <QFont>

// The dialogs' 8-point sans serif: "MS Sans Serif" with character height 11 pixels
// (its 13-pixel strike). Falls back to the system sans serif at 11 pixels when the
// font file is missing.
QFont DialogFont();

// The NFO viewer's font: monospaced, 12 pixels high, holding every character of code
// page 437 with block and line characters that fill their whole cell. Falls back to
// the system's fixed font at 12 pixels when the font file is missing.
QFont Cp437Font();
