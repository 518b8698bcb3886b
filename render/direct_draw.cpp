// The display object, palettes, clippers, surfaces (creation, pixels, locking) and
// the surface canvas.
#include "direct_draw.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

#include "exceptions.h"

namespace {

template <typename T>
void Unlist(std::vector<T*>& list, T* item) {
  auto it = std::find(list.begin(), list.end(), item);
  if (it != list.end()) list.erase(it);
}

}  // namespace

// ---- display object ----

TDirectDraw::TDirectDraw(TPixelFormat displayFormat, TTextDrawer* textDrawer)
    : FDisplayFormat(displayFormat), FTextDrawer(textDrawer) {}

TDirectDraw::~TDirectDraw() {
  while (!FSurfaces.empty()) {
    TDirectDrawSurface* s = FSurfaces.back();
    FSurfaces.pop_back();
    s->DropSurface();
    s->FPalette = nullptr;
    s->FClipper = nullptr;
    s->FOwner = nullptr;
  }
  while (!FPalettes.empty()) {
    FPalettes.back()->FOwner = nullptr;
    FPalettes.pop_back();
  }
  while (!FClippers.empty()) {
    FClippers.back()->FOwner = nullptr;
    FClippers.back()->FClientRect = nullptr;
    FClippers.pop_back();
  }
}

// ---- palette ----

TDirectDrawPalette::TDirectDrawPalette(TDirectDraw& owner) : FOwner(&owner) { owner.FPalettes.push_back(this); }

TDirectDrawPalette::~TDirectDrawPalette() {
  if (!FOwner) return;
  for (TDirectDrawSurface* s : FOwner->FSurfaces)
    if (s->FPalette == this) s->FPalette = nullptr;
  Unlist(FOwner->FPalettes, this);
}

bool TDirectDrawPalette::SetEntries(int start, int count, const TPaletteEntry* entries) {
  if (!FOwner) return Check(DDERR_INVALIDOBJECT);
  if (start < 0 || count < 0 || start + count > 256 || (count > 0 && !entries)) return Check(DDERR_INVALIDPARAMS);
  std::copy(entries, entries + count, FEntries + start);
  return Check(DD_OK);
}

// ---- clipper ----

TDirectDrawClipper::TDirectDrawClipper(TDirectDraw& owner, TClientRectSource clientRect)
    : FOwner(&owner), FClientRect(std::move(clientRect)) {
  owner.FClippers.push_back(this);
}

TDirectDrawClipper::~TDirectDrawClipper() {
  if (!FOwner) return;
  for (TDirectDrawSurface* s : FOwner->FSurfaces)
    if (s->FClipper == this) s->FClipper = nullptr;
  Unlist(FOwner->FClippers, this);
}

TRect TDirectDrawClipper::ClipRect() const {
  if (!FClientRect) return TRect{};
  const TRect client = FClientRect();
  return TRect{0, 0, std::max(0, client.Width()), std::max(0, client.Height())};
}

// ---- canvas ----

TPixelView* TDirectDrawSurfaceCanvas::Handle() {
  if (FHeld) return &FTarget;
  if (!FSurface.HasSurface()) return nullptr;
  if (FSurface.FLockCount > 0) {
    FSurface.SetErrorCode(DDERR_SURFACEBUSY);
    return nullptr;
  }
  FTarget = FSurface.View(FPaletteTable);
  FHeld = true;
  return &FTarget;
}

void TDirectDrawSurfaceCanvas::Release() {
  if (!FHeld) return;
  FHeld = false;
  FTarget = TPixelView{};
}

void TDirectDrawSurfaceCanvas::TextOut(int x, int y, const std::string& text) {
  TPixelView* target = Handle();
  TTextDrawer* drawer = FSurface.FOwner ? FSurface.FOwner->TextDrawer() : nullptr;
  if (!target || !drawer) return;
  TCanvasFont font;
  font.Name = FontName;
  font.SizePoints = FontSizePoints;
  font.Color = FontColor;
  font.BrushClear = BrushClear;
  font.BrushColor = BrushColor;
  drawer->DrawText(*target, font, x, y, text);
}

// ---- surface ----

TDirectDrawSurface::TDirectDrawSurface(TDirectDraw& owner) : FOwner(&owner) {
  FFormat = owner.DisplayFormat();
  owner.FSurfaces.push_back(this);
}

TDirectDrawSurface::~TDirectDrawSurface() {
  if (FOwner) Unlist(FOwner->FSurfaces, this);
}

void TDirectDrawSurface::DropSurface() {
  if (FCanvas) FCanvas->Release();
  FBits.clear();
  FBits.shrink_to_fit();
  FHasSurface = false;
  FWidth = FHeight = FPitch = 0;
  FLockCount = 0;
}

bool TDirectDrawSurface::CreateSurface(int width, int height) {
  if (!FOwner) return Check(DDERR_INVALIDOBJECT);
  if (width <= 0 || height <= 0) return Check(DDERR_INVALIDPARAMS);
  DropSurface();
  const TPixelFormat format = FOwner->DisplayFormat();
  const std::int64_t pitch = (std::int64_t(width) * format.BytesPerPixel() + 3) / 4 * 4;
  const std::int64_t bytes = pitch * height;
  if (format.BytesPerPixel() <= 0 || bytes > TDirectDraw::kMaxSurfaceBytes) return Check(DDERR_OUTOFMEMORY);
  try {
    FBits.assign(std::size_t(bytes), 0);
  } catch (const std::bad_alloc&) {
    return Check(DDERR_OUTOFMEMORY);
  }
  FFormat = format;
  FWidth = width;
  FHeight = height;
  FPitch = int(pitch);
  FHasSurface = true;
  FColorKey = 0;
  return Check(DD_OK);
}

void TDirectDrawSurface::SetSize(int width, int height) {
  if (width <= 0 || height <= 0) {
    DropSurface();
    return;
  }
  if (CreateSurface(width, height)) return;
  if (!SystemMemory) {
    SystemMemory = true;
    if (CreateSurface(width, height)) return;
  }
  throw EDirectDrawSurfaceError(FormatMessageText("%s cannot be made", "Surface"));
}

TDirectDrawSurfaceCanvas& TDirectDrawSurface::Canvas() {
  if (!FCanvas) FCanvas = std::make_unique<TDirectDrawSurfaceCanvas>(*this);
  return *FCanvas;
}

std::uint32_t TDirectDrawSurface::Pixel(int x, int y) const {
  if (!FHasSurface || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return 0;
  const std::uint8_t* p = PixelAddress(x, y);
  std::uint32_t v = 0;
  for (int i = 0; i < FFormat.BytesPerPixel(); ++i) v |= std::uint32_t(p[i]) << (8 * i);
  return v;
}

void TDirectDrawSurface::SetPixel(int x, int y, std::uint32_t value) {
  if (!FHasSurface || x < 0 || y < 0 || x >= FWidth || y >= FHeight) return;
  std::uint8_t* p = PixelAddress(x, y);
  for (int i = 0; i < FFormat.BytesPerPixel(); ++i) p[i] = std::uint8_t(value >> (8 * i));
}

bool TDirectDrawSurface::Lock() {
  if (!FHasSurface) return Check(DDERR_INVALIDOBJECT);
  if (CanvasHeld()) return Check(DDERR_SURFACEBUSY);
  ++FLockCount;
  return Check(DD_OK);
}

void TDirectDrawSurface::Unlock() {
  if (FLockCount > 0) --FLockCount;
}

void TDirectDrawSurface::AttachPalette(TDirectDrawPalette* palette) {
  if (!FHasSurface) {
    Check(DDERR_INVALIDOBJECT);
    return;
  }
  // Only palette-indexed surfaces take a palette.
  if (palette && !FFormat.Indexed) {
    Check(DDERR_INVALIDPIXELFORMAT);
    return;
  }
  FPalette = palette;
  Check(DD_OK);
}

void TDirectDrawSurface::AttachClipper(TDirectDrawClipper* clipper) {
  FClipper = clipper;
  Check(DD_OK);
}

const TDirectDrawPalette* TDirectDrawSurface::MatchPalette() const {
  if (!FFormat.Indexed) return nullptr;
  if (FPalette) return FPalette;
  // Without a palette of its own an indexed surface follows the display's palette.
  if (FOwner && !FOwner->Palettes().empty()) return FOwner->Palettes().front();
  return nullptr;
}

TPixelView TDirectDrawSurface::View(TRGBQuad (&table)[256]) {
  TPixelView view = View();
  if (const TDirectDrawPalette* palette = MatchPalette()) {
    for (int i = 0; i < 256; ++i) {
      const TPaletteEntry& e = palette->Entry(i);
      table[i] = TRGBQuad{e.Blue, e.Green, e.Red, 0};
    }
    view.Palette = table;
  }
  return view;
}

std::uint32_t TDirectDrawSurface::ConvertColor(TColor color) const {
  const std::uint8_t r = GetRValue(color), g = GetGValue(color), b = GetBValue(color);
  if (!FFormat.Indexed) return FFormat.Pack(r, g, b);
  const TDirectDrawPalette* palette = MatchPalette();
  if (!palette) return 0;
  int best = 0;
  long bestDistance = -1;
  for (int i = 0; i < 256; ++i) {
    const TPaletteEntry& e = palette->Entry(i);
    const long dr = long(e.Red) - r, dg = long(e.Green) - g, db = long(e.Blue) - b;
    const long d = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || d < bestDistance) {
      best = i;
      bestDistance = d;
      if (d == 0) break;
    }
  }
  return std::uint32_t(best);
}
