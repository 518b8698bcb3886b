#include "window_placement.h"

#include <QScreen>
#include <QWidget>
#include <algorithm>

void CentreOnScreen(QWidget& window) {
  const QScreen* screen = window.screen();
  if (!screen) return;
  const QRect area = screen->geometry();
  const QSize outer = window.frameGeometry().size();
  window.move(area.x() + std::max(0, (area.width() - outer.width()) / 2),
              area.y() + std::max(0, (area.height() - outer.height()) / 2));
}
