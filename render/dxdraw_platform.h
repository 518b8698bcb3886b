// The window-system side of the drawing-surface control: the screen's pixel format,
// the control's size, the screen surface's loss and repair, the vertical-blank wait,
// the copy of a finished frame into the window and the text of surface canvases.
#pragma once

#include <functional>
#include <utility>

#include "pixel_format.h"
#include "pixel_view.h"
#include "text_drawer.h"

class TDXDrawPlatform : public TTextDrawer {
 public:
  ~TDXDrawPlatform() override = default;
  virtual bool HasParentForm() const = 0;
  virtual TPixelFormat DisplayFormat() const = 0;  // the screen's format
  virtual int ControlWidth() const = 0;
  virtual int ControlHeight() const = 0;
  virtual bool PrimaryLost() = 0;                 // the screen surface was lost
  virtual bool RestorePrimary() = 0;              // try to get it back
  virtual void WaitForVerticalBlank() = 0;        // sleep until the next refresh
  // Copies the back surface's pixels into the window at `target` (window
  // coordinates). The view stays valid, and shows whatever is drawn into the back
  // surface later, until BackSurfaceFreed: a side that shows the frame later may
  // keep it until then.
  virtual void ShowFrame(const TPixelView& frame, const TRect& target) = 0;
  // The back surface is about to be freed (finalisation, a new surface size): a side
  // that kept its view for a later copy must let it go now.
  virtual void BackSurfaceFreed() {}
  // Loads the palette into the screen; called on 256-colour displays only.
  virtual void ApplyPalette(const TRGBQuad (&entries)[256]) {}

  // Whether the back surface is being drawn into right now (locked, or its canvas
  // held), so that a frame kept for later must not be copied yet. The control
  // answers it; without a control, never.
  bool FrameBeingDrawn() const { return FFrameBusy && FFrameBusy(); }
  void SetFrameBusyQuery(std::function<bool()> query) { FFrameBusy = std::move(query); }

 private:
  std::function<bool()> FFrameBusy;
};
