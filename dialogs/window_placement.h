// Where the program's windows first appear.
#pragma once

class QWidget;

// Moves the window so that it stands centred on its screen: (screen size - window
// size) / 2 on each axis, halves taken toward zero, never above or left of the
// screen's corner.
void CentreOnScreen(QWidget& window);
