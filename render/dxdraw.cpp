// The drawing-surface control: initialisation, restore, presentation, palette,
// size changes and listener notifications.
#include "dxdraw.h"

#include <algorithm>
#include <exception>

#include "exceptions.h"

namespace {

using enum TDXDrawOption;

// Sets a flag for the life of a scope.
class TFlagScope {
 public:
  TFlagScope(bool& flag, bool value) : FFlag(flag), FOld(flag) { flag = value; }
  ~TFlagScope() { FFlag = FOld; }

 private:
  bool& FFlag;
  bool FOld;
};

struct TDepthScope {
  int& Depth;
  explicit TDepthScope(int& depth) : Depth(depth) { ++Depth; }
  ~TDepthScope() { --Depth; }
};

TRGBQuad MakeSystemPalette(int index) {
  struct TStatic {
    int Index;
    std::uint8_t R, G, B;
  };
  static constexpr TStatic kStatic[] = {
      {0, 0, 0, 0},         {1, 128, 0, 0},       {2, 0, 128, 0},     {3, 128, 128, 0},   {4, 0, 0, 128},
      {5, 128, 0, 128},     {6, 0, 128, 128},     {7, 192, 192, 192}, {8, 192, 220, 192}, {9, 166, 202, 240},
      {246, 255, 251, 240}, {247, 160, 160, 164}, {248, 128, 128, 128}, {249, 255, 0, 0}, {250, 0, 255, 0},
      {251, 255, 255, 0},   {252, 0, 0, 255},     {253, 255, 0, 255}, {254, 0, 255, 255}, {255, 255, 255, 255},
  };
  for (const TStatic& s : kStatic)
    if (s.Index == index) return TRGBQuad{s.B, s.G, s.R, 0};
  return TRGBQuad{};
}

bool IsStaticEntry(int index) { return index < 10 || index >= 246; }

}  // namespace

const TRGBQuad (&TDXDraw::SystemPalette())[256] {
  static const auto table = [] {
    struct TTable {
      TRGBQuad Entries[256];
    } t;
    for (int i = 0; i < 256; ++i) t.Entries[i] = MakeSystemPalette(i);
    return t;
  }();
  return table.Entries;
}

TDXDraw::TDXDraw(TDXDrawPlatform& platform) : FPlatform(platform) {
  FOptions = TDXDrawOptions{doAllowReboot, doWaitVBlank, doCenter, doHardware};
  std::copy(std::begin(SystemPalette()), std::end(SystemPalette()), ColorTable);
  std::copy(std::begin(SystemPalette()), std::end(SystemPalette()), DefaultColorTable);
  ComputeNowOptions();
  FPlatform.SetFrameBusyQuery([this] { return FSurface && (FSurface->CanvasHeld() || FSurface->Locked()); });
}

TDXDraw::~TDXDraw() {
  try {
    Finalize();
  } catch (...) {
    // A listener's error cannot leave a destructor; the objects are freed anyway.
  }
  try {
    Notify(dxntDestroying);
  } catch (...) {
  }
  FPlatform.SetFrameBusyQuery(nullptr);
}

void TDXDraw::SetOptions(TDXDrawOptions options) {
  FOptions = options;
  if (!FInitialized) ComputeNowOptions();
}

// The options in effect. Full-screen mode, page flipping and the 3-D options are
// not part of this control, so they never take effect, and neither do the options
// that only mean something with them.
void TDXDraw::ComputeNowOptions() {
  TDXDrawOptions o = FOptions;
  o.Exclude(doFullScreen);
  o.Exclude(do3D);
  // Without full-screen mode.
  o.Exclude(doNoWindowChange);
  o.Exclude(doAllowReboot);
  o.Exclude(doAllowPalette256);
  o.Exclude(doFlip);
  // Without 3-D.
  for (int i = int(doHardware); i <= int(doDither); ++i) o.Exclude(TDXDrawOption(i));
  FNowOptions = o;
}

int TDXDraw::SurfaceWidth() const { return FSurface && FSurface->HasSurface() ? FSurface->Width() : FSurfaceWidth; }
int TDXDraw::SurfaceHeight() const { return FSurface && FSurface->HasSurface() ? FSurface->Height() : FSurfaceHeight; }

void TDXDraw::AddListener(TDXDrawNotifyEvent callback, void* owner) {
  if (!callback) return;
  for (const TListener& l : FListeners)
    if (l.Callback == callback && l.Owner == owner) return;
  FListeners.push_back(TListener{callback, owner});
  if (FInitialized) {
    callback(owner, *this, dxntInitialize);
    if (FInitializeDepth == 0) callback(owner, *this, dxntRestore);
  }
}

void TDXDraw::RemoveListener(TDXDrawNotifyEvent callback, void* owner) {
  auto it = std::find_if(FListeners.begin(), FListeners.end(),
                         [&](const TListener& l) { return l.Callback == callback && l.Owner == owner; });
  if (it == FListeners.end()) return;
  FListeners.erase(it);
  if (FInitialized) callback(owner, *this, dxntFinalize);
}

void TDXDraw::Notify(TDXDrawNotifyType type) {
  // A listener may register or unregister others while it is told; work from a
  // copy and skip any that have gone meanwhile.
  const std::vector<TListener> listeners = FListeners;
  for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
    const bool present = std::any_of(FListeners.begin(), FListeners.end(), [&](const TListener& l) {
      return l.Callback == it->Callback && l.Owner == it->Owner;
    });
    if (present) it->Callback(it->Owner, *this, type);
  }
}

void TDXDraw::LoadPalette(const TRGBQuad (&table)[256]) {
  if (!FPalette) return;
  TPaletteEntry entries[256];
  const bool own256 = FNowOptions.Contains(doAllowPalette256);
  for (int i = 0; i < 256; ++i) {
    const TRGBQuad& e = (!own256 && IsStaticEntry(i)) ? SystemPalette()[i] : table[i];
    entries[i] = TPaletteEntry{e.Red, e.Green, e.Blue, 0x40};
  }
  FPalette->SetEntries(0, 256, entries);
  if (FDDraw && FDDraw->DisplayFormat().Indexed) {
    TRGBQuad screen[256];
    for (int i = 0; i < 256; ++i) screen[i] = TRGBQuad{entries[i].Blue, entries[i].Green, entries[i].Red, 0};
    FPlatform.ApplyPalette(screen);
  }
}

void TDXDraw::ApplyPalette(const TRGBQuad (&table)[256]) {
  if (!FInitialized || !FPalette) return;
  LoadPalette(table);
}

void TDXDraw::ApplyPalette() { ApplyPalette(ColorTable); }

TRect TDXDraw::ClientRect() const {
  return TRect{0, 0, std::max(0, FPlatform.ControlWidth()), std::max(0, FPlatform.ControlHeight())};
}

void TDXDraw::MakeBackSurface() {
  FreeBackSurface();
  auto surface = std::make_unique<TDirectDrawSurface>(*FDDraw);
  surface->SystemMemory = FOptions.Contains(doSystemMemory);
  const int w = std::max(FSurfaceWidth, 1), h = std::max(FSurfaceHeight, 1);
  if (!surface->CreateSurface(w, h)) {
    surface->SystemMemory = true;
    if (!surface->CreateSurface(w, h)) throw EDXDrawError(FormatMessageText("%s cannot be made", "Surface"));
  }
  if (surface->Format().Indexed) surface->AttachPalette(FPalette.get());
  surface->Fill(0);
  FSurface = std::move(surface);
}

void TDXDraw::FreeBackSurface() {
  if (!FSurface) return;
  FPlatform.BackSurfaceFreed();
  FSurface.reset();
}

void TDXDraw::FreeObjects() {
  FreeBackSurface();
  FPalette.reset();
  FClipper.reset();
  FPrimary = false;
  FDDraw.reset();
}

void TDXDraw::Initialize() {
  Finalize();
  if (!FPlatform.HasParentForm()) throw EDXDrawError("Form not found");
  FInitializeBegun = true;
  try {
    if (OnInitializing) OnInitializing(*this);
    FInitializing = true;
    Notify(dxntInitializing);

    const TPixelFormat display = FPlatform.DisplayFormat();
    if (display.BytesPerPixel() < 1 || display.BytesPerPixel() > 4)
      throw EDirectDrawError(FormatMessageText("%s cannot be initialized", "DirectDraw"));
    FDDraw = std::make_unique<TDirectDraw>(display, &FPlatform);

    if (AutoSize) {
      FSurfaceWidth = FPlatform.ControlWidth();
      FSurfaceHeight = FPlatform.ControlHeight();
    }
    // The screen surface belongs to the window system; it is there unless lost and
    // beyond repair.
    if (FPlatform.PrimaryLost() && !FPlatform.RestorePrimary())
      throw EDXDrawError(FormatMessageText("%s cannot be made", "Primary Surface"));
    FPrimary = true;
    FClipper = std::make_unique<TDirectDrawClipper>(*FDDraw, [this] { return ClientRect(); });
    FPalette = std::make_unique<TDirectDrawPalette>(*FDDraw);
    LoadPalette(ColorTable);
    MakeBackSurface();

    FInitialized = true;
    FInitializing = false;
  } catch (...) {
    try {
      Finalize();
    } catch (...) {
      // The first error is the one the caller sees.
    }
    throw;
  }

  {
    TDepthScope depth(FInitializeDepth);
    Notify(dxntSetSurfaceSize);
    Notify(dxntInitialize);
    FInitializeEventRaised = true;
    if (OnInitialize) OnInitialize(*this);
    Notify(dxntInitializeSurface);
    FInitializeSurfaceEventRaised = true;
    if (OnInitializeSurface) OnInitializeSurface(*this);
  }
  Restore();
}

void TDXDraw::Finalize() {
  if (!FInitializeBegun) return;
  if (FSurface && FSurface->HasSurface()) {
    FSurfaceWidth = FSurface->Width();
    FSurfaceHeight = FSurface->Height();
  }
  FInitializing = true;
  std::exception_ptr error;
  auto guarded = [&](auto&& step) {
    try {
      step();
    } catch (...) {
      if (!error) error = std::current_exception();
    }
  };
  if (FInitializeSurfaceEventRaised && OnFinalizeSurface) guarded([&] { OnFinalizeSurface(*this); });
  guarded([&] { Notify(dxntFinalizeSurface); });
  if (FInitializeEventRaised && OnFinalize) guarded([&] { OnFinalize(*this); });
  guarded([&] { Notify(dxntFinalize); });

  FreeObjects();
  FInitialized = false;
  FInitializing = false;
  FInitializeBegun = false;
  FInitializeEventRaised = false;
  FInitializeSurfaceEventRaised = false;
  ComputeNowOptions();
  if (error) std::rethrow_exception(error);
}

void TDXDraw::Restore() {
  if (!FInitialized || FInitializing) return;
  TFlagScope busy(FInitializing, true);
  if (FPlatform.PrimaryLost() && !FPlatform.RestorePrimary()) return;
  if (!FSurface || !FSurface->HasSurface()) return;
  FSurface->Fill(0);
  if (FSurface->Format().Indexed) FSurface->AttachPalette(FPalette.get());
  LoadPalette(DefaultColorTable);
  Notify(dxntRestore);
  if (OnRestoreSurface) OnRestoreSurface(*this);
  LoadPalette(ColorTable);
}

bool TDXDraw::ReadyToDraw() {
  if (!FInitialized || FInitializing || !FSurface || !FSurface->HasSurface()) return false;
  if (FPlatform.PrimaryLost()) {
    Restore();
    return FInitialized && !FPlatform.PrimaryLost();
  }
  return true;
}

void TDXDraw::Present() {
  if (!FInitialized || FInitializing || !FSurface || !FSurface->HasSurface()) return;
  if (FPlatform.PrimaryLost()) {
    Restore();
    if (!FInitialized || !FSurface || FPlatform.PrimaryLost()) return;
  }
  if (FSurface->CanvasHeld() || FSurface->Locked()) {
    FSurface->SetErrorCode(DDERR_SURFACEBUSY);
    return;
  }
  const int cw = FPlatform.ControlWidth(), ch = FPlatform.ControlHeight();
  TRect target;
  if (FNowOptions.Contains(doStretch)) {
    target = TRect{0, 0, cw, ch};
  } else {
    int x = 0, y = 0;
    if (FNowOptions.Contains(doCenter)) {
      x = (cw - FSurface->Width()) / 2;
      y = (ch - FSurface->Height()) / 2;
    }
    target = Bounds(x, y, FSurface->Width(), FSurface->Height());
  }
  if (FNowOptions.Contains(doWaitVBlank)) FPlatform.WaitForVerticalBlank();
  FPlatform.ShowFrame(FSurface->View(), target);
  FSurface->SetErrorCode(DD_OK);
}

void TDXDraw::PaintRequest() {
  const TDXDrawOptions saved = FNowOptions;
  FNowOptions.Exclude(doWaitVBlank);
  try {
    Present();
  } catch (...) {
    FNowOptions = saved;
    throw;
  }
  FNowOptions = saved;
}

void TDXDraw::SetBounds(int width, int height) {
  FWidth = width;
  FHeight = height;
  if (AutoSize) SetSurfaceSize(width, height);
}

void TDXDraw::SetSurfaceSize(int width, int height) {
  if (width == SurfaceWidth() && height == SurfaceHeight()) return;
  if (FInitializing) return;
  if (!FInitialized) {
    FSurfaceWidth = width;
    FSurfaceHeight = height;
  } else {
    {
      TFlagScope busy(FInitializing, true);
      Notify(dxntFinalizeSurface);
      if (OnFinalizeSurface) OnFinalizeSurface(*this);
      FSurfaceWidth = width;
      FSurfaceHeight = height;
      MakeBackSurface();
      Notify(dxntInitializeSurface);
      if (OnInitializeSurface) OnInitializeSurface(*this);
    }
    Restore();
    if (FSurface) FSurface->Fill(0);
  }
  Notify(dxntSetSurfaceSize);
}
