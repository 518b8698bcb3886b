// The drawing-surface control: owns the display object, the back surface that all
// drawing goes into, the clipper and the palette, and presents finished frames
// through the window-system side (TDXDrawPlatform). Window mode only.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "direct_draw.h"
#include "dxdraw_platform.h"
#include "pixel_format.h"

enum class TDXDrawOption : int {
  doFullScreen,
  doNoWindowChange,
  doAllowReboot,
  doWaitVBlank,
  doAllowPalette256,
  doSystemMemory,
  doStretch,
  doCenter,
  doFlip,
  do3D,
  doHardware,
  doRetainedMode,
  doDrawPrimitive,
  doSelectDriver,
  doZBuffer,
  doTexture,
  doRGB,
  doMono,
  doDither,
};

// A set of options, bit 0 = doFullScreen.
class TDXDrawOptions {
 public:
  constexpr TDXDrawOptions() = default;
  constexpr TDXDrawOptions(std::initializer_list<TDXDrawOption> options) {
    for (TDXDrawOption o : options) Include(o);
  }
  constexpr bool Contains(TDXDrawOption o) const { return (FBits >> int(o)) & 1u; }
  constexpr void Include(TDXDrawOption o) { FBits |= 1u << int(o); }
  constexpr void Exclude(TDXDrawOption o) { FBits &= ~(1u << int(o)); }
  constexpr std::uint32_t Bits() const { return FBits; }
  friend constexpr bool operator==(const TDXDrawOptions&, const TDXDrawOptions&) = default;

 private:
  std::uint32_t FBits = 0;
};

// Listener notifications, in the codes the control sends.
enum TDXDrawNotifyType : int {
  dxntDestroying = 0,
  dxntInitializing = 1,
  dxntInitialize = 2,
  dxntInitializeSurface = 3,
  dxntFinalize = 4,
  dxntFinalizeSurface = 5,
  dxntRestore = 6,
  dxntSetSurfaceSize = 7,
};

class TDXDraw;
using TDXDrawNotifyEvent = void (*)(void* owner, TDXDraw& sender, TDXDrawNotifyType type);
using TDXDrawEvent = std::function<void(TDXDraw& sender)>;

class TDXDraw {
 public:
  explicit TDXDraw(TDXDrawPlatform& platform);
  ~TDXDraw();
  TDXDraw(const TDXDraw&) = delete;
  TDXDraw& operator=(const TDXDraw&) = delete;

  // Options as stored, and as in effect (see the implementation for the rules).
  TDXDrawOptions Options() const { return FOptions; }
  void SetOptions(TDXDrawOptions options);
  TDXDrawOptions NowOptions() const { return FNowOptions; }

  bool AutoInitialize = false;
  bool AutoSize = true;

  // The back surface's size; its real size while it exists.
  int SurfaceWidth() const;
  int SurfaceHeight() const;
  void SetSurfaceSize(int width, int height);

  // The window's client area as the window system reports it (origin 0, 0; no
  // negative sizes): what the clipper limits copies to.
  TRect ClientRect() const;

  // The control's bounds; with AutoSize they size the back surface.
  int Width() const { return FWidth; }
  int Height() const { return FHeight; }
  void SetBounds(int width, int height);

  void Initialize();
  void Finalize();
  bool ReadyToDraw();
  void Present();
  // The window asks for a repaint: present once without the vertical-blank wait.
  void PaintRequest();
  void Restore();
  void ApplyPalette();
  void ApplyPalette(const TRGBQuad (&table)[256]);

  TRGBQuad ColorTable[256];
  TRGBQuad DefaultColorTable[256];

  // The back surface, or null before initialisation.
  TDirectDrawSurface* Surface() const { return FSurface.get(); }
  TDirectDraw* DDraw() const { return FDDraw.get(); }
  TDirectDrawPalette* Palette() const { return FPalette.get(); }
  TDirectDrawClipper* Clipper() const { return FClipper.get(); }
  bool Initialized() const { return FInitialized; }
  bool Initializing() const { return FInitializing; }
  TDXDrawPlatform& Platform() const { return FPlatform; }

  // Listeners are told in the order last registered first. Registering with an
  // initialised control initialises the listener at once (and restores it unless
  // the control is inside its own initialisation); removing it finalises it.
  void AddListener(TDXDrawNotifyEvent callback, void* owner);
  void RemoveListener(TDXDrawNotifyEvent callback, void* owner);

  TDXDrawEvent OnInitializing, OnInitialize, OnInitializeSurface, OnRestoreSurface, OnFinalizeSurface, OnFinalize;

  // The 20 static colours of the system palette at 0..9 and 246..255, black between.
  static const TRGBQuad (&SystemPalette())[256];

 private:
  struct TListener {
    TDXDrawNotifyEvent Callback;
    void* Owner;
  };
  void Notify(TDXDrawNotifyType type);
  void ComputeNowOptions();
  void MakeBackSurface();
  void FreeBackSurface();
  void LoadPalette(const TRGBQuad (&table)[256]);
  void FreeObjects();

  TDXDrawPlatform& FPlatform;
  TDXDrawOptions FOptions;
  TDXDrawOptions FNowOptions;
  int FWidth = 100, FHeight = 100;
  int FSurfaceWidth = 640, FSurfaceHeight = 480;

  std::unique_ptr<TDirectDraw> FDDraw;
  std::unique_ptr<TDirectDrawSurface> FSurface;
  std::unique_ptr<TDirectDrawClipper> FClipper;
  std::unique_ptr<TDirectDrawPalette> FPalette;
  bool FPrimary = false;  // the screen surface has been made

  bool FInitializeBegun = false;
  bool FInitialized = false;
  bool FInitializing = false;
  bool FInitializeEventRaised = false;
  bool FInitializeSurfaceEventRaised = false;
  int FInitializeDepth = 0;
  std::vector<TListener> FListeners;
};
