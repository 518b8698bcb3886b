// The drawing-surface control against a fake window system: options, the steps of
// initialisation and their notifications, errors, presentation, restore, palette.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dxdraw.h"
#include "exceptions.h"
#include "fake_platform.h"

namespace {

using enum TDXDrawOption;

const TDXDrawOptions kMainWindowOptions{doAllowReboot,  doWaitVBlank,  doSystemMemory, doCenter,
                                        doHardware,     doRetainedMode, doDrawPrimitive, doSelectDriver,
                                        doTexture,      doRGB,          doMono,          doDither};

// Collects notifications and events in the order they happen.
struct TLog {
  std::vector<std::string> Lines;
  static void ListenerA(void* owner, TDXDraw&, TDXDrawNotifyType t) {
    static_cast<TLog*>(owner)->Lines.push_back("A" + std::to_string(int(t)));
  }
  static void ListenerB(void* owner, TDXDraw&, TDXDrawNotifyType t) {
    static_cast<TLog*>(owner)->Lines.push_back("B" + std::to_string(int(t)));
  }
  void Events(TDXDraw& d) {
    d.OnInitializing = [this](TDXDraw&) { Lines.push_back("OnInitializing"); };
    d.OnInitialize = [this](TDXDraw&) { Lines.push_back("OnInitialize"); };
    d.OnInitializeSurface = [this](TDXDraw&) { Lines.push_back("OnInitializeSurface"); };
    d.OnRestoreSurface = [this](TDXDraw&) { Lines.push_back("OnRestoreSurface"); };
    d.OnFinalizeSurface = [this](TDXDraw&) { Lines.push_back("OnFinalizeSurface"); };
    d.OnFinalize = [this](TDXDraw&) { Lines.push_back("OnFinalize"); };
  }
  std::string Joined() const {
    std::string s;
    for (const auto& l : Lines) s += (s.empty() ? "" : " ") + l;
    return s;
  }
};

class DXDrawTest : public ::testing::Test {
 protected:
  TLog Log;  // outlives the control, which tells its listeners when it goes
  TFakePlatform Platform;
  TDXDraw Draw{Platform};
  void SetUp() override { Draw.SetOptions(kMainWindowOptions); }
};

TEST(DXDrawOptions, MainWindowSetReducesToThree) {
  TFakePlatform p;
  TDXDraw d(p);
  d.SetOptions(kMainWindowOptions);
  EXPECT_EQ(d.NowOptions(), (TDXDrawOptions{doWaitVBlank, doSystemMemory, doCenter}));
  EXPECT_EQ(d.Options(), kMainWindowOptions);
}

TEST(DXDrawOptions, FullScreenFlipAnd3DNeverTakeEffect) {
  TFakePlatform p;
  TDXDraw d(p);
  d.SetOptions(TDXDrawOptions{doFullScreen, doNoWindowChange, doAllowPalette256, doFlip, do3D, doZBuffer,
                              doHardware, doStretch, doMono});
  EXPECT_EQ(d.NowOptions(), (TDXDrawOptions{doStretch}));
  for (int i = 0; i <= int(doDither); ++i) {
    TDXDrawOptions one{TDXDrawOption(i)};
    d.SetOptions(one);
    const bool kept = i == int(doWaitVBlank) || i == int(doSystemMemory) || i == int(doStretch) || i == int(doCenter);
    EXPECT_EQ(d.NowOptions().Contains(TDXDrawOption(i)), kept) << i;
  }
}

TEST(DXDrawPalette, ConstructionFillsBothTablesFromTheSystemPalette) {
  TFakePlatform p;
  TDXDraw d(p);
  EXPECT_EQ(d.ColorTable[9], (TRGBQuad{240, 202, 166, 0}));
  EXPECT_EQ(d.DefaultColorTable[7], (TRGBQuad{192, 192, 192, 0}));
  EXPECT_EQ(d.ColorTable[249], (TRGBQuad{0, 0, 255, 0}));
  EXPECT_EQ(d.ColorTable[255], (TRGBQuad{255, 255, 255, 0}));
  EXPECT_EQ(d.ColorTable[128], (TRGBQuad{}));
  EXPECT_EQ(d.DefaultColorTable[246], (TRGBQuad{240, 251, 255, 0}));
}

TEST_F(DXDrawTest, NothingBeforeInitialize) {
  EXPECT_FALSE(Draw.ReadyToDraw());
  Draw.Present();
  Draw.PaintRequest();
  Draw.Restore();
  Draw.ApplyPalette();
  EXPECT_EQ(Platform.Frames, 0);
  EXPECT_EQ(Platform.Waits, 0);
  EXPECT_EQ(Draw.Surface(), nullptr);
  EXPECT_FALSE(Draw.Initialized());
  Draw.Finalize();  // nothing begun: no notifications
  Draw.AddListener(&TLog::ListenerA, &Log);
  Draw.Finalize();
  EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(DXDrawTest, InitializeNotifiesInOrderLastRegisteredFirst) {
  Draw.AddListener(&TLog::ListenerA, &Log);
  Draw.AddListener(&TLog::ListenerB, &Log);
  Log.Events(Draw);
  Draw.Initialize();
  EXPECT_EQ(Log.Joined(),
            "OnInitializing B1 A1 B7 A7 B2 A2 OnInitialize B3 A3 OnInitializeSurface B6 A6 OnRestoreSurface");
  EXPECT_TRUE(Draw.Initialized());
  EXPECT_FALSE(Draw.Initializing());
  ASSERT_NE(Draw.Surface(), nullptr);
  EXPECT_EQ(Draw.Surface()->Width(), 502);
  EXPECT_EQ(Draw.Surface()->Height(), 402);
  EXPECT_TRUE(Draw.Surface()->SystemMemory);
  EXPECT_TRUE(Draw.Surface()->Format() == pixel_formats::Rgb565);
  EXPECT_TRUE(Draw.ReadyToDraw());
}

TEST_F(DXDrawTest, FinalizeOrderAndSecondInitialize) {
  Draw.AddListener(&TLog::ListenerA, &Log);
  Log.Events(Draw);
  Draw.Initialize();
  TDirectDrawSurface* first = Draw.Surface();
  first->Fill(0x1234);
  Log.Lines.clear();
  Draw.Initialize();
  EXPECT_EQ(Log.Joined(),
            "OnFinalizeSurface A5 OnFinalize A4 OnInitializing A1 A7 A2 OnInitialize A3 OnInitializeSurface A6 "
            "OnRestoreSurface");
  ASSERT_NE(Draw.Surface(), nullptr);
  EXPECT_EQ(Draw.Surface()->Pixel(10, 10), 0u);  // a new, black back surface

  Log.Lines.clear();
  Draw.Finalize();
  EXPECT_EQ(Log.Joined(), "OnFinalizeSurface A5 OnFinalize A4");
  EXPECT_FALSE(Draw.Initialized());
  EXPECT_EQ(Draw.Surface(), nullptr);
  EXPECT_EQ(Draw.SurfaceWidth(), 502);
  EXPECT_EQ(Draw.NowOptions(), (TDXDrawOptions{doWaitVBlank, doSystemMemory, doCenter}));
}

TEST_F(DXDrawTest, FinalizeSendsEveryNotificationDespiteErrors) {
  Draw.AddListener(&TLog::ListenerA, &Log);
  Draw.Initialize();
  Log.Lines.clear();
  Draw.OnFinalizeSurface = [](TDXDraw&) { throw Exception("surface handler failed"); };
  Draw.OnFinalize = [this](TDXDraw&) { Log.Lines.push_back("OnFinalize"); };
  try {
    Draw.Finalize();
    FAIL() << "no error";
  } catch (const Exception& e) {
    EXPECT_STREQ(e.what(), "surface handler failed");
  }
  EXPECT_EQ(Log.Joined(), "A5 OnFinalize A4");
  EXPECT_FALSE(Draw.Initialized());
  EXPECT_EQ(Draw.DDraw(), nullptr);
}

TEST_F(DXDrawTest, FormNotFound) {
  Platform.ParentForm = false;
  Draw.AddListener(&TLog::ListenerA, &Log);
  try {
    Draw.Initialize();
    FAIL() << "no error";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Form not found");
  }
  EXPECT_FALSE(Draw.Initialized());
  EXPECT_TRUE(Log.Lines.empty());
}

TEST_F(DXDrawTest, ErrorWhileMakingObjectsLeavesTheControlFinalised) {
  Platform.Format = TPixelFormat{};  // no usable display format
  Draw.AddListener(&TLog::ListenerA, &Log);
  try {
    Draw.Initialize();
    FAIL() << "no error";
  } catch (const EDirectDrawError& e) {
    EXPECT_STREQ(e.what(), "DirectDraw cannot be initialized");
  }
  EXPECT_EQ(Log.Joined(), "A1 A5 A4");
  EXPECT_FALSE(Draw.Initialized());
  EXPECT_FALSE(Draw.Initializing());

  Platform.Format = pixel_formats::Rgb565;
  Platform.Lost = true;
  Platform.CanRestore = false;
  try {
    Draw.Initialize();
    FAIL() << "no error";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Primary Surface cannot be made");
  }
  EXPECT_FALSE(Draw.Initialized());

  Platform.Lost = false;
  Platform.Width = 1 << 15;
  Platform.Height = 1 << 15;
  try {
    Draw.Initialize();
    FAIL() << "no error";
  } catch (const EDXDrawError& e) {
    EXPECT_STREQ(e.what(), "Surface cannot be made");
  }
  EXPECT_FALSE(Draw.Initialized());
}

TEST_F(DXDrawTest, ErrorFromOnInitializeLeavesInitialisedWithoutRestore) {
  Draw.AddListener(&TLog::ListenerA, &Log);
  Draw.OnInitialize = [](TDXDraw&) { throw Exception("Cannot open file install.dat"); };
  Draw.OnInitializeSurface = [this](TDXDraw&) { Log.Lines.push_back("OnInitializeSurface"); };
  EXPECT_THROW(Draw.Initialize(), Exception);
  EXPECT_TRUE(Draw.Initialized());
  EXPECT_FALSE(Draw.Initializing());
  EXPECT_EQ(Log.Joined(), "A1 A7 A2");
  EXPECT_TRUE(Draw.ReadyToDraw());
  // A listener registering now is initialised and restored at once.
  TLog late;
  Draw.AddListener(&TLog::ListenerB, &late);
  EXPECT_EQ(late.Joined(), "B2 B6");
  Draw.RemoveListener(&TLog::ListenerB, &late);
  EXPECT_EQ(late.Joined(), "B2 B6 B4");
}

TEST_F(DXDrawTest, ListenerRegisteringDuringInitialisationIsRestoredOnce) {
  TLog late;
  Draw.OnInitialize = [&late](TDXDraw& d) { d.AddListener(&TLog::ListenerB, &late); };
  Draw.Initialize();
  EXPECT_EQ(late.Joined(), "B2 B3 B6");
  late.Lines.clear();
  Draw.RemoveListener(&TLog::ListenerB, &late);
  EXPECT_EQ(late.Joined(), "B4");
  Draw.Restore();
  EXPECT_EQ(late.Joined(), "B4");
}

TEST_F(DXDrawTest, PresentWaitsThenShowsTheFrame) {
  Draw.Initialize();
  Draw.Surface()->Fill(0x0F0F);
  Draw.Present();
  EXPECT_EQ(Platform.Waits, 1);
  EXPECT_EQ(Platform.Frames, 1);
  EXPECT_EQ(Platform.LastTarget, (TRect{0, 0, 502, 402}));
  EXPECT_EQ(Platform.LastTopLeft, 0x0F0Fu);

  Draw.PaintRequest();
  EXPECT_EQ(Platform.Waits, 1);
  EXPECT_EQ(Platform.Frames, 2);
  EXPECT_TRUE(Draw.NowOptions().Contains(doWaitVBlank));
  Draw.Present();
  EXPECT_EQ(Platform.Waits, 2);
  EXPECT_EQ(Platform.Frames, 3);
}

TEST_F(DXDrawTest, CenteringTruncatesTowardsZero) {
  Draw.AutoSize = false;
  Draw.SetSurfaceSize(503, 397);
  Platform.Width = 500;
  Platform.Height = 402;
  Draw.Initialize();
  EXPECT_EQ(Draw.SurfaceWidth(), 503);
  Draw.Present();
  EXPECT_EQ(Platform.LastTarget, (TRect{-1, 2, 502, 399}));

  Draw.SetOptions(TDXDrawOptions{doSystemMemory});
  Draw.Initialize();
  Draw.Present();
  EXPECT_EQ(Platform.Waits, 1);
  EXPECT_EQ(Platform.LastTarget, (TRect{0, 0, 503, 397}));

  Draw.SetOptions(TDXDrawOptions{doStretch, doCenter});
  Draw.Initialize();
  Draw.Present();
  EXPECT_EQ(Platform.LastTarget, (TRect{0, 0, 500, 402}));
}

TEST_F(DXDrawTest, ZeroSizedControlStillGetsAOnePixelSurface) {
  Platform.Width = 0;
  Platform.Height = -3;
  Draw.Initialize();
  EXPECT_EQ(Draw.Surface()->Width(), 1);
  EXPECT_EQ(Draw.Surface()->Height(), 1);
}

TEST_F(DXDrawTest, HeldCanvasBlocksPresentUntilRelease) {
  Draw.Initialize();
  Draw.Surface()->Canvas().TextOut(0, 0, "Extracting");
  Draw.Present();
  EXPECT_EQ(Platform.Frames, 0);
  EXPECT_EQ(Draw.Surface()->ErrorCode(), DDERR_SURFACEBUSY);
  Draw.Surface()->Canvas().Release();
  Draw.Present();
  EXPECT_EQ(Platform.Frames, 1);
  EXPECT_EQ(Draw.Surface()->ErrorCode(), DD_OK);
}

TEST_F(DXDrawTest, CanvasTextIsDrawnByThePlatform) {
  Draw.Initialize();
  Draw.Surface()->Canvas().FontSizePoints = 9;
  Draw.Surface()->Canvas().TextOut(60, 130, "Extracting");
  Draw.Surface()->Canvas().Release();
  ASSERT_EQ(Platform.Texts.size(), 1u);
  EXPECT_EQ(Platform.Texts[0], "MS Sans Serif/9/Extracting");
}

TEST_F(DXDrawTest, FrameBeingDrawnWhileTheBackSurfaceIsLockedOrItsCanvasHeld) {
  EXPECT_FALSE(Platform.FrameBeingDrawn());
  Draw.Initialize();
  EXPECT_FALSE(Platform.FrameBeingDrawn());
  ASSERT_TRUE(Draw.Surface()->Lock());
  EXPECT_TRUE(Platform.FrameBeingDrawn());
  Draw.Surface()->Unlock();
  EXPECT_FALSE(Platform.FrameBeingDrawn());
  Draw.Surface()->Canvas().Handle();
  EXPECT_TRUE(Platform.FrameBeingDrawn());
  Draw.Surface()->Canvas().Release();
  EXPECT_FALSE(Platform.FrameBeingDrawn());
}

TEST(DXDrawGone, LeavesThePlatformWithoutAFrameToAskAbout) {
  TFakePlatform platform;
  {
    TDXDraw draw(platform);
    draw.Initialize();
    draw.Surface()->Canvas().Handle();
    EXPECT_TRUE(platform.FrameBeingDrawn());
  }
  EXPECT_FALSE(platform.FrameBeingDrawn());
}

TEST_F(DXDrawTest, ClipperFollowsTheWindowsClientArea) {
  Draw.Initialize();
  EXPECT_EQ(Draw.ClientRect(), (TRect{0, 0, 502, 402}));
  ASSERT_NE(Draw.Clipper(), nullptr);
  EXPECT_EQ(Draw.Clipper()->ClipRect(), (TRect{0, 0, 502, 402}));
  Platform.Width = 300;
  Platform.Height = -4;
  EXPECT_EQ(Draw.ClientRect(), (TRect{0, 0, 300, 0}));
  EXPECT_EQ(Draw.Clipper()->ClipRect(), (TRect{0, 0, 300, 0}));
}

TEST_F(DXDrawTest, LostScreenIsRestoredOrTheFrameSkipped) {
  Draw.AddListener(&TLog::ListenerA, &Log);
  Draw.Initialize();
  Log.Lines.clear();
  Draw.Surface()->Fill(5);
  Platform.Lost = true;
  Platform.CanRestore = false;
  EXPECT_FALSE(Draw.ReadyToDraw());
  Draw.Present();
  EXPECT_EQ(Platform.Frames, 0);
  EXPECT_TRUE(Log.Lines.empty());

  Platform.CanRestore = true;
  EXPECT_TRUE(Draw.ReadyToDraw());
  EXPECT_EQ(Log.Joined(), "A6");
  EXPECT_EQ(Draw.Surface()->Pixel(0, 0), 0u);  // restore clears the back surface
  Platform.Lost = true;
  Draw.Present();
  EXPECT_EQ(Platform.Frames, 1);
  EXPECT_EQ(Log.Joined(), "A6 A6");
}

TEST_F(DXDrawTest, NoNestedRestore) {
  int restores = 0;
  Draw.OnRestoreSurface = [&restores](TDXDraw& d) {
    ++restores;
    EXPECT_TRUE(d.Initializing());
    EXPECT_FALSE(d.ReadyToDraw());
    d.Restore();
  };
  Draw.Initialize();
  EXPECT_EQ(restores, 1);
  Draw.Restore();
  EXPECT_EQ(restores, 2);
}

TEST_F(DXDrawTest, SizeChanges) {
  Draw.AddListener(&TLog::ListenerA, &Log);
  Draw.SetBounds(300, 200);  // before initialisation only stored
  EXPECT_EQ(Draw.SurfaceWidth(), 300);
  EXPECT_EQ(Log.Joined(), "A7");
  Draw.Initialize();
  Log.Lines.clear();
  Draw.SetBounds(320, 240);
  EXPECT_EQ(Log.Joined(), "A5 A3 A6 A7");
  EXPECT_EQ(Draw.Surface()->Width(), 320);
  EXPECT_EQ(Draw.SurfaceHeight(), 240);
  Log.Lines.clear();
  Draw.SetBounds(320, 240);  // unchanged
  EXPECT_TRUE(Log.Lines.empty());
  Draw.AutoSize = false;
  Draw.SetBounds(10, 10);
  EXPECT_EQ(Draw.SurfaceWidth(), 320);
  EXPECT_EQ(Draw.Width(), 10);
}

TEST_F(DXDrawTest, DestructionTellsListeners) {
  auto d = std::make_unique<TDXDraw>(Platform);
  d->AddListener(&TLog::ListenerA, &Log);
  d->Initialize();
  Log.Lines.clear();
  d.reset();
  EXPECT_EQ(Log.Joined(), "A5 A4 A0");
}

TEST(DXDrawPalette, IndexedDisplayGetsTableWithStaticEntries) {
  TFakePlatform p;
  p.Format = pixel_formats::Indexed8;
  TDXDraw d(p);
  d.SetOptions(kMainWindowOptions);
  for (int i = 0; i < 256; ++i) d.ColorTable[i] = TRGBQuad{std::uint8_t(i), 1, 2, 0};
  d.Initialize();
  ASSERT_GT(p.PaletteLoads, 0);
  EXPECT_EQ(p.LastPalette[100], (TRGBQuad{100, 1, 2, 0}));
  EXPECT_EQ(p.LastPalette[9], (TRGBQuad{240, 202, 166, 0}));
  EXPECT_EQ(p.LastPalette[250], (TRGBQuad{0, 255, 0, 0}));
  EXPECT_EQ(d.Palette()->Entry(100), (TPaletteEntry{2, 1, 100, 0x40}));
  EXPECT_EQ(d.Surface()->Palette(), d.Palette());

  // Restore loads the default table first and the colour table last.
  for (int i = 0; i < 256; ++i) d.DefaultColorTable[i] = TRGBQuad{7, 7, 7, 0};
  std::vector<int> seen;
  d.OnRestoreSurface = [&](TDXDraw&) { seen.push_back(p.LastPalette[50].Blue); };
  d.Restore();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], 7);
  EXPECT_EQ(p.LastPalette[50].Blue, 50);

  const int loads = p.PaletteLoads;
  TFakePlatform rgb;
  TDXDraw other(rgb);
  other.Initialize();
  other.ApplyPalette();
  EXPECT_EQ(rgb.PaletteLoads, 0);
  EXPECT_EQ(p.PaletteLoads, loads);
}

}  // namespace
