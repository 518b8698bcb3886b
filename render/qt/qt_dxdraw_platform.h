// The drawing surface control's window-system side on Qt: the screen's pixel
// format, the control's window, the wait for the display refresh and the copy of a
// finished frame into the window.
#pragma once

#include <optional>

#include "dxdraw.h"
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
  void ShowFrame(const TDirectDrawSurface& back, const TRect& target) override;

  TRefreshPacer& Pacer() { return pacer_; }
  // While no frame loop runs (an extraction run presents once per data piece), a
  // present that comes within the refresh in which a frame was already shown is
  // dropped instead of waited for: the window still shows at most one frame per
  // refresh, and the caller never sleeps. The next present, or a paint request,
  // shows the latest frame.
  void SetDropLateFrames(bool drop) {
    dropLateFrames_ = drop;
    dropNext_ = false;
  }
  int FramesDropped() const { return dropped_; }
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
  TDXDrawWidget& widget_;
  TPixelFormat format_;
  TRefreshPacer pacer_;
  int waits_ = 0;
  bool dropLateFrames_ = false;
  bool dropNext_ = false;
  int dropped_ = 0;
  bool fixedRate_ = false;
};
