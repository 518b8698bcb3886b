// The pictures stored with the main window: the stone background, the three
// buttons in three states, the two pixel-font label sets and the maker's logo.
#pragma once

#include "stored_picture.h"

#include <QImage>
#include <QRect>

#include <vector>

namespace artgen {

// Where things sit on the 500 by 400 background (scene pixels, right/bottom exclusive).
inline const QRect kBackground(0, 0, 500, 400);
inline const QRect kSlideWindow(15, 102, 471, 258);
inline const QRect kInstallButton(7, 368, 83, 29);
inline const QRect kNfoButton(101, 368, 98, 29);
inline const QRect kQuitButton(212, 368, 53, 29);

// The 16 colours every 256-colour display keeps (entries 0..7 and 248..255 of the
// shared palette); the artwork's own colours fill 8..247.
std::vector<QRgb> SystemColours();

// The 17 pictures of the main window's list, in list order: bg, info_install1..3,
// info_nfo1..3, info_quit1..3, info_features1..3, info_screenshot1..3, tarnwell.
std::vector<IndexedPicture> PaintMainWindowPictures();

// The true-colour paintings before palette mapping (previews, checks of the mapping).
QImage PaintBackgroundTrueColour();
QImage PaintButtonTrueColour(const QRect& where, const QString& text, int state);

}  // namespace artgen
