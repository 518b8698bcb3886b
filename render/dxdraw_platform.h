// The window-system side of the drawing-surface control: the screen's pixel format,
// the control's size, the screen surface's loss and repair, the vertical-blank wait
// and the copy of a finished frame into the window.
#pragma once

#include "pixel_format.h"

class TDirectDrawSurface;

class TDXDrawPlatform {
 public:
  virtual ~TDXDrawPlatform() = default;
  virtual bool HasParentForm() const = 0;
  virtual TPixelFormat DisplayFormat() const = 0;  // the screen's format
  virtual int ControlWidth() const = 0;
  virtual int ControlHeight() const = 0;
  virtual bool PrimaryLost() = 0;                 // the screen surface was lost
  virtual bool RestorePrimary() = 0;              // try to get it back
  virtual void WaitForVerticalBlank() = 0;        // sleep until the next refresh
  // Copies the back surface into the window at `target` (window coordinates).
  virtual void ShowFrame(const TDirectDrawSurface& back, const TRect& target) = 0;
  // The back surface is about to be freed (finalisation, a new surface size): a side
  // that kept a reference to it for a later copy must let it go now.
  virtual void BackSurfaceFreed() {}
  // Loads the palette into the screen; called on 256-colour displays only.
  virtual void ApplyPalette(const TRGBQuad (&entries)[256]) {}
};
