// The display object and the surfaces, palettes and clippers made from it. A surface
// is a block of pixels of our own (width, height, row pitch, pixel format); every
// copy, fill and lock records its result code on the object instead of raising.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "dib.h"
#include "pixel_format.h"
#include "pixel_view.h"
#include "text_drawer.h"

class TDirectDraw;
class TDirectDrawSurface;
class TDirectDrawSurfaceCanvas;

// Result codes of the layer's platform calls.
enum TDDResult : int {
  DD_OK = 0,
  DDERR_GENERIC,
  DDERR_INVALIDPARAMS,
  DDERR_INVALIDRECT,
  DDERR_INVALIDPIXELFORMAT,
  DDERR_INVALIDOBJECT,       // the object has no platform counterpart (no surface)
  DDERR_SURFACEBUSY,         // a canvas holds the surface's device context
  DDERR_SURFACELOST,
  DDERR_OUTOFMEMORY,
  DDERR_BLTFASTCANTCLIP,     // an unclipped copy onto a surface with a clipper
  DDERR_NOPALETTEATTACHED,
  DDERR_UNSUPPORTED,
};

// Copy flags.
inline constexpr std::uint32_t DDBLTFAST_NOCOLORKEY = 0x00;
inline constexpr std::uint32_t DDBLTFAST_SRCCOLORKEY = 0x01;
inline constexpr std::uint32_t DDBLTFAST_WAIT = 0x10;
inline constexpr std::uint32_t DDBLT_COLORFILL = 0x400;
inline constexpr std::uint32_t DDBLT_KEYSRC = 0x8000;
inline constexpr std::uint32_t DDBLT_WAIT = 0x1000000;

// The copy-effects record of `Blit`: only the fill colour is used.
struct TDDBltFX {
  std::uint32_t dwSize = 100;
  std::uint32_t dwFillColor = 0;
};

// One entry of a platform palette: red, green, blue, flags.
struct TPaletteEntry {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;
  std::uint8_t Flags = 0;
  friend constexpr bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Base of the platform wrappers: keeps the result code of the last call.
class TDirectX {
 public:
  virtual ~TDirectX() = default;
  TDDResult ErrorCode() const { return FErrorCode; }
  void SetErrorCode(TDDResult code) { FErrorCode = code; }

 protected:
  // Stores a result and answers whether it was success.
  bool Check(TDDResult code) {
    FErrorCode = code;
    return code == DD_OK;
  }

 private:
  TDDResult FErrorCode = DD_OK;
};

// A 256-entry palette.
class TDirectDrawPalette : public TDirectX {
 public:
  explicit TDirectDrawPalette(TDirectDraw& owner);
  ~TDirectDrawPalette() override;
  TDirectDrawPalette(const TDirectDrawPalette&) = delete;
  TDirectDrawPalette& operator=(const TDirectDrawPalette&) = delete;

  bool SetEntries(int start, int count, const TPaletteEntry* entries);
  const TPaletteEntry& Entry(int index) const { return FEntries[index & 0xFF]; }
  TDirectDraw* DirectDraw() const { return FOwner; }

 private:
  friend class TDirectDraw;
  TDirectDraw* FOwner;
  TPaletteEntry FEntries[256] = {};
};

// A clipper bound to the control's window: copies through it are limited to the
// window's client area, which the clipper asks its source for on every copy.
class TDirectDrawClipper : public TDirectX {
 public:
  using TClientRectSource = std::function<TRect()>;
  TDirectDrawClipper(TDirectDraw& owner, TClientRectSource clientRect);
  ~TDirectDrawClipper() override;
  TDirectDrawClipper(const TDirectDrawClipper&) = delete;
  TDirectDrawClipper& operator=(const TDirectDrawClipper&) = delete;

  // The visible area in surface coordinates.
  TRect ClipRect() const;
  TDirectDraw* DirectDraw() const { return FOwner; }

 private:
  friend class TDirectDraw;
  TDirectDraw* FOwner;
  TClientRectSource FClientRect;
};

// The text canvas of a surface. While it holds the surface's device context, the
// surface refuses every copy from or to it.
class TDirectDrawSurfaceCanvas {
 public:
  explicit TDirectDrawSurfaceCanvas(TDirectDrawSurface& surface) : FSurface(surface) {}

  // Takes the device context from the surface on first use; null without a surface
  // or when the surface is locked. The text is drawn by the display object's text
  // drawer; without one, text draws nothing.
  TPixelView* Handle();
  bool HandleAllocated() const { return FHeld; }
  // Gives the device context back; does nothing without one.
  void Release();
  void TextOut(int x, int y, const std::string& text);

  std::string FontName = "MS Sans Serif";
  int FontSizePoints = 8;
  TColor FontColor = RGB(0, 0, 0);
  bool BrushClear = false;
  TColor BrushColor = RGB(255, 255, 255);

 private:
  TDirectDrawSurface& FSurface;
  TPixelView FTarget;
  TRGBQuad FPaletteTable[256] = {};  // the target's colour table (indexed surfaces)
  bool FHeld = false;
};

// One surface. A surface object without pixels is valid: every operation on it does
// nothing, or answers false or 0.
class TDirectDrawSurface : public TDirectX {
 public:
  explicit TDirectDrawSurface(TDirectDraw& owner);
  ~TDirectDrawSurface() override;
  TDirectDrawSurface(const TDirectDrawSurface&) = delete;
  TDirectDrawSurface& operator=(const TDirectDrawSurface&) = delete;

  bool HasSurface() const { return FHasSurface; }
  int Width() const { return FHasSurface ? FWidth : 0; }
  int Height() const { return FHasSurface ? FHeight : 0; }
  int Pitch() const { return FHasSurface ? FPitch : 0; }
  const TPixelFormat& Format() const { return FFormat; }
  std::uint8_t* Bits() { return FHasSurface ? FBits.data() : nullptr; }
  const std::uint8_t* Bits() const { return FHasSurface ? FBits.data() : nullptr; }
  TRect ClientRect() const { return TRect{0, 0, Width(), Height()}; }
  // The surface's pixels (no colour table); an empty view without a surface.
  TPixelView View() { return TPixelView{Bits(), Width(), Height(), Pitch(), FFormat, nullptr}; }
  // The same with the colour table of a palette-indexed surface (its own palette or
  // the display's), written into `table`; RGB surfaces and indexed ones without a
  // palette get none.
  TPixelView View(TRGBQuad (&table)[256]);
  TDirectDraw* DirectDraw() const { return FOwner; }

  bool SystemMemory = false;

  // Source colour key, a raw pixel value in the surface's format.
  std::uint32_t ColorKey() const { return FColorKey; }
  void SetColorKey(std::uint32_t key) { FColorKey = key; }

  // Makes a new W by H surface in the display format (black); a width or height
  // that is not positive drops the surface. Raises EDirectDrawSurfaceError
  // "Surface cannot be made" when the pixels cannot be had.
  void SetSize(int width, int height);
  // Non-raising form used by the control: answers whether the surface exists.
  bool CreateSurface(int width, int height);

  // Clipped copy (see the clip order in the implementation).
  void Draw(int x, int y, const TRect& srcRect, TDirectDrawSurface* source, bool transparent);
  void Draw(int x, int y, TDirectDrawSurface* source, bool transparent) {
    Draw(x, y, source ? source->ClientRect() : TRect{}, source, transparent);
  }
  // Unclipped copy; false unless both rectangles lie wholly inside their surfaces.
  bool FastCopy(int x, int y, const TRect& srcRect, std::uint32_t flags, TDirectDrawSurface* source);
  // General copy, stretching when the sizes differ; null rectangles mean whole
  // surfaces, a null source is allowed with DDBLT_COLORFILL.
  bool Blit(const TRect* destRect, const TRect* srcRect, std::uint32_t flags, const TDDBltFX* effects,
            TDirectDrawSurface* source);
  // Additive blend of SrcRect of Source scaled onto DestRect.
  void DrawBlend(const TRect& destRect, const TRect& srcRect, TDirectDrawSurface* source, bool transparent,
                 int alpha);
  bool Fill(std::uint32_t value);
  // The raw pixel value a colour becomes on this surface; 0 without a surface.
  std::uint32_t MatchColor(TColor color);
  // Makes the surface from a picture: W and H of 0 are taken from SrcRect.
  void LoadPicture(const TPicture& picture, int width, int height, const TRect& srcRect);

  TDirectDrawSurfaceCanvas& Canvas();
  bool CanvasHeld() const { return FCanvas && FCanvas->HandleAllocated(); }

  // Raw pixel access (no checks beyond the surface's bounds; 0 outside).
  std::uint32_t Pixel(int x, int y) const;
  void SetPixel(int x, int y, std::uint32_t value);

  // Locking for direct pixel work; fails while the canvas holds the surface.
  bool Lock();
  void Unlock();
  bool Locked() const { return FLockCount > 0; }

  void AttachPalette(TDirectDrawPalette* palette);
  TDirectDrawPalette* Palette() const { return FPalette; }
  void AttachClipper(TDirectDrawClipper* clipper);
  TDirectDrawClipper* Clipper() const { return FClipper; }
  // Set once a copy has found a clipper on this surface; copies then clip through it.
  bool GeneralCopy() const { return FGeneralCopy; }

  // The raw value of a colour in this surface's format (palette match for indexed).
  std::uint32_t ConvertColor(TColor color) const;

 private:
  friend class TDirectDraw;
  friend class TDirectDrawSurfaceCanvas;
  friend class TDirectDrawPalette;
  friend class TDirectDrawClipper;

  void DropSurface();
  bool Busy() const { return CanvasHeld() || FLockCount > 0; }
  const TDirectDrawPalette* MatchPalette() const;
  std::uint8_t* PixelAddress(int x, int y) { return FBits.data() + std::size_t(y) * std::size_t(FPitch) + std::size_t(x) * std::size_t(FFormat.BytesPerPixel()); }
  const std::uint8_t* PixelAddress(int x, int y) const { return FBits.data() + std::size_t(y) * std::size_t(FPitch) + std::size_t(x) * std::size_t(FFormat.BytesPerPixel()); }

  TDirectDraw* FOwner;
  bool FHasSurface = false;
  int FWidth = 0, FHeight = 0, FPitch = 0;
  TPixelFormat FFormat;
  std::vector<std::uint8_t> FBits;
  std::uint32_t FColorKey = 0;
  bool FGeneralCopy = false;
  int FLockCount = 0;
  TDirectDrawPalette* FPalette = nullptr;
  TDirectDrawClipper* FClipper = nullptr;
  std::unique_ptr<TDirectDrawSurfaceCanvas> FCanvas;
};

// The display object. It knows every surface, palette and clipper made from it;
// when it goes, any that remain lose their platform side (surfaces their pixels)
// in the order surfaces, palettes, clippers, each list from its last-made object
// back. The objects themselves stay with their owners.
class TDirectDraw : public TDirectX {
 public:
  // textDrawer draws the text of the surfaces' canvases; it must outlive the object.
  explicit TDirectDraw(TPixelFormat displayFormat, TTextDrawer* textDrawer = nullptr);
  ~TDirectDraw() override;
  TDirectDraw(const TDirectDraw&) = delete;
  TDirectDraw& operator=(const TDirectDraw&) = delete;

  const TPixelFormat& DisplayFormat() const { return FDisplayFormat; }
  TTextDrawer* TextDrawer() const { return FTextDrawer; }
  const std::vector<TDirectDrawSurface*>& Surfaces() const { return FSurfaces; }
  const std::vector<TDirectDrawPalette*>& Palettes() const { return FPalettes; }
  const std::vector<TDirectDrawClipper*>& Clippers() const { return FClippers; }

  // The largest surface the display object hands out, in bytes.
  static constexpr std::int64_t kMaxSurfaceBytes = std::int64_t(1) << 28;

 private:
  friend class TDirectDrawSurface;
  friend class TDirectDrawPalette;
  friend class TDirectDrawClipper;
  TPixelFormat FDisplayFormat;
  TTextDrawer* FTextDrawer;
  std::vector<TDirectDrawSurface*> FSurfaces;
  std::vector<TDirectDrawPalette*> FPalettes;
  std::vector<TDirectDrawClipper*> FClippers;
};
