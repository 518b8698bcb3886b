#include "qt_dxdraw_platform.h"

#include <QScreen>
#include <QWindow>
#include <algorithm>
#include <chrono>

#include "canvas_text.h"

namespace {
using Clock = TRefreshPacer::Clock;
}  // namespace

QtDXDrawPlatform::QtDXDrawPlatform(TDXDrawWidget& widget, std::optional<TPixelFormat> format)
    : widget_(widget), format_(format ? *format : ScreenFormat(widget)) {
  if (const QScreen* screen = widget.screen()) pacer_.SetRefreshRate(screen->refreshRate());
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  // Tied to the widget as well, so that it cannot fire into a window that is gone.
  QObject::connect(&timer_, &QTimer::timeout, &widget_, [this] { ShowDeferred(); });
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
  if (deferLateFrames_) {
    const Clock::time_point now = Clock::now();
    showAt_ = pacer_.ShowTime(now);
    deferNext_ = showAt_ > now;
    if (!deferNext_) pacer_.Shown(now);
    return;
  }
  pacer_.WaitForRefresh();
}

void QtDXDrawPlatform::ShowFrame(const TPixelView& frame, const TRect& target) {
  if (deferNext_) {
    deferNext_ = false;
    ++deferred_;
    // A frame already pending keeps its timer: it will copy this newer state.
    if (!pending_) ArmTimer(showAt_);
    pending_ = frame;
    pendingTarget_ = target;
    return;
  }
  // Shown at once, this frame is the newest state: one that waits is superseded.
  DropPending();
  Copy(frame, target);
}

void QtDXDrawPlatform::DrawText(const TPixelView& target, const TCanvasFont& font, int x, int y,
                                const std::string& text) {
  if (OnDrawText) OnDrawText(x, y, text);
  DrawCanvasTextWithQt(target, font, x, y, text);
}

void QtDXDrawPlatform::BackSurfaceFreed() { DropPending(); }

void QtDXDrawPlatform::SetDeferLateFrames(bool defer) {
  if (!defer) FlushPendingFrame();
  deferLateFrames_ = defer;
  deferNext_ = false;
}

void QtDXDrawPlatform::FlushPendingFrame() {
  if (!pending_ || FrameBeingDrawn()) return;  // the timer tries again
  timer_.stop();
  pacer_.WaitForRefresh();
  const TPixelView frame = *pending_;
  pending_.reset();
  Copy(frame, pendingTarget_);
}

void QtDXDrawPlatform::ShowDeferred() {
  if (!pending_) return;
  const Clock::time_point now = Clock::now();
  const Clock::time_point when = pacer_.ShowTime(now);
  if (when > now) {  // woke just before the refresh
    ArmTimer(when);
    return;
  }
  if (FrameBeingDrawn()) {
    ArmTimer(pacer_.NextRefresh(now));
    return;
  }
  pacer_.Shown(now);
  const TPixelView frame = *pending_;
  pending_.reset();
  Copy(frame, pendingTarget_);
}

void QtDXDrawPlatform::ArmTimer(Clock::time_point when) {
  // Whole milliseconds, rounded up so as not to fire before the refresh; a timer that
  // still comes a little early is armed again for the rest.
  const auto left = std::chrono::ceil<std::chrono::milliseconds>(when - Clock::now());
  timer_.start(std::max(left, std::chrono::milliseconds(0)));
}

void QtDXDrawPlatform::DropPending() {
  pending_.reset();
  timer_.stop();
}

void QtDXDrawPlatform::Copy(const TPixelView& frame, const TRect& target) {
  widget_.ShowFrame(frame, QPoint(target.Left, target.Top));
}
