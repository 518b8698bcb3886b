// The drawing surface control's window-system side on Qt: the screen's pixel
// format, the control's window, the wait for the display refresh and the copy of a
// finished frame into the window, and the text of surface canvases.
#pragma once

#include <QTimer>
#include <functional>
#include <optional>
#include <string>

#include "dxdraw_platform.h"
#include "dxdraw_widget.h"
#include "refresh_clock.h"

class QtDXDrawPlatform : public TDXDrawPlatform {
 public:
  // format: the surfaces' pixel format; empty = the screen's own.
  explicit QtDXDrawPlatform(TDXDrawWidget& widget, std::optional<TPixelFormat> format = std::nullopt);

  bool HasParentForm() const override;
  TPixelFormat DisplayFormat() const override { return format_; }
  int ControlWidth() const override;
  int ControlHeight() const override;
  // A Qt window's contents cannot be lost the way a display-memory surface can.
  bool PrimaryLost() override { return false; }
  bool RestorePrimary() override { return true; }
  void WaitForVerticalBlank() override;
  void ShowFrame(const TPixelView& frame, const TRect& target) override;
  void BackSurfaceFreed() override;
  // Text with QPainter on the surface's memory (see canvas_text.h).
  void DrawText(const TPixelView& target, const TCanvasFont& font, int x, int y, const std::string& text) override;
  // Told of every line of text just before it is drawn (tests that follow what a
  // screen shows).
  std::function<void(int x, int y, const std::string& text)> OnDrawText;

  TRefreshPacer& Pacer() { return pacer_; }
  // While no frame loop runs (an extraction run presents once per data piece), a
  // present that comes within the refresh in which a frame was already shown is
  // neither waited for nor lost: it is deferred to the end of that refresh, when a
  // timer copies the back surface as it is then (the latest drawn state) into the
  // window. Further late presents fold into the pending one (one timer), and a frame
  // shown at once supersedes it. The window still shows at most one frame per
  // refresh and the caller never sleeps. Turning the mode off flushes.
  void SetDeferLateFrames(bool defer);
  bool DeferLateFrames() const { return deferLateFrames_; }
  // Shows a pending frame now and cancels its timer; with nothing pending it does
  // nothing. When this refresh already showed a frame it sleeps until the next one
  // first. For the moments the screen must be up to date at once: before a message
  // box opens during a run, and when the run ends.
  void FlushPendingFrame();
  bool FramePending() const { return pending_.has_value(); }
  // Presents that were deferred instead of shown at once.
  int FramesDeferred() const { return deferred_; }
  // Paces to this rate instead of the screen's (tests that run many frames).
  void FixRefreshRate(double hz) {
    fixedRate_ = true;
    pacer_.SetRefreshRate(hz);
  }
  int VerticalBlankWaits() const { return waits_; }

  // The pixel format of the screen that holds the widget (16-bit screens keep 5-6-5
  // or 5-5-5, everything deeper is drawn in 32-bit).
  static TPixelFormat ScreenFormat(const QWidget& widget);

 private:
  void Copy(const TPixelView& frame, const TRect& target);
  void ArmTimer(TRefreshPacer::Clock::time_point when);
  void ShowDeferred();  // the timer's end of the refresh
  void DropPending();

  TDXDrawWidget& widget_;
  TPixelFormat format_;
  TRefreshPacer pacer_;
  int waits_ = 0;
  bool deferLateFrames_ = false;
  bool deferNext_ = false;                     // the present under way goes to the timer
  TRefreshPacer::Clock::time_point showAt_{};  // ... which fires at this refresh
  // The deferred frame: the view of the control's back surface (let go of when it is
  // freed) and where it goes in the window.
  std::optional<TPixelView> pending_;
  TRect pendingTarget_{};
  QTimer timer_;
  int deferred_ = 0;
  bool fixedRate_ = false;
};
