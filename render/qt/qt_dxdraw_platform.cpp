#include "qt_dxdraw_platform.h"

#include <QScreen>
#include <QWindow>

QtDXDrawPlatform::QtDXDrawPlatform(TDXDrawWidget& widget, std::optional<TPixelFormat> format)
    : widget_(widget), format_(format ? *format : ScreenFormat(widget)) {
  if (const QScreen* screen = widget.screen()) pacer_.SetRefreshRate(screen->refreshRate());
}

TPixelFormat QtDXDrawPlatform::ScreenFormat(const QWidget& widget) {
  const QScreen* screen = widget.screen();
  const int depth = screen ? screen->depth() : 32;
  if (depth == 16) return pixel_formats::Rgb565;
  if (depth == 15) return pixel_formats::Rgb555;
  return pixel_formats::Xrgb8888;
}

bool QtDXDrawPlatform::HasParentForm() const { return widget_.parentWidget() != nullptr; }
int QtDXDrawPlatform::ControlWidth() const { return widget_.width(); }
int QtDXDrawPlatform::ControlHeight() const { return widget_.height(); }

void QtDXDrawPlatform::WaitForVerticalBlank() {
  // Qt offers no vertical-blank wait for widgets on any platform (xcb, wayland,
  // offscreen): the refresh is modelled from the screen's reported rate and waited
  // for with a sleep, never by spinning.
  if (const QScreen* screen = widget_.screen(); screen && !fixedRate_) pacer_.SetRefreshRate(screen->refreshRate());
  ++waits_;
  if (dropLateFrames_) {
    const auto now = TRefreshPacer::Clock::now();
    dropNext_ = pacer_.ShowTime(now) > now;
    if (!dropNext_) pacer_.Shown(now);
    return;
  }
  pacer_.WaitForRefresh();
}

void QtDXDrawPlatform::ShowFrame(const TDirectDrawSurface& back, const TRect& target) {
  if (dropNext_) {
    dropNext_ = false;
    ++dropped_;
    return;
  }
  widget_.ShowFrame(back.Bits(), back.Width(), back.Height(), back.Pitch(), back.Format(),
                    QPoint(target.Left, target.Top));
}
