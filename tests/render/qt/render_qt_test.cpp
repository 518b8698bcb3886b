// The Qt side of the rendering layer: refresh pacing, the idle slot on Qt's event
// loop, frames shown in the control's window (also on a high-density screen), and
// text drawn on surface memory.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "direct_draw.h"
#include "dxdraw.h"
#include "dxdraw_widget.h"
#include "qt_dxdraw_platform.h"
#include "qt_idle_slot.h"
#include "refresh_clock.h"

using namespace std::chrono;

TEST(RefreshPacer, WaitsOnlyWhenAFrameWasShownInThisRefresh) {
  TRefreshPacer pacer(50.0);  // 20 ms refreshes
  const auto now = TRefreshPacer::Clock::now();
  EXPECT_EQ(pacer.ShowTime(now), now) << "nothing shown yet: at once";
  pacer.Shown(now);
  const auto next = pacer.ShowTime(now + milliseconds(1));
  EXPECT_GT(next, now);
  EXPECT_LE(next - now, milliseconds(20)) << "the next refresh, not later";
  pacer.Shown(next);
  const auto later = next + milliseconds(45);
  EXPECT_EQ(pacer.ShowTime(later), later) << "a refresh has passed since the last frame: no wait";
}

TEST(RefreshPacer, NonsenseRatesFallBackTo60Hz) {
  TRefreshPacer pacer(0.0);
  EXPECT_DOUBLE_EQ(pacer.RefreshRate(), 60.0);
  pacer.SetRefreshRate(144.0);
  EXPECT_DOUBLE_EQ(pacer.RefreshRate(), 144.0);
}

TEST(IdleSlot, RunsItsHandlerFromTheEventLoopUntilEmptied) {
  QtIdleSlot slot;
  int runs = 0;
  slot.SetIdleHandler([&](bool& done) {
    done = false;
    if (++runs == 5) slot.SetIdleHandler(nullptr);
  });
  for (int i = 0; i < 200 && runs < 5; ++i) QTest::qWait(5);
  EXPECT_EQ(runs, 5);
  QTest::qWait(30);
  EXPECT_EQ(runs, 5) << "an empty slot runs nothing";
}

TEST(IdleSlot, WaitsTheDelayItIsGivenInsteadOfSpinning) {
  QtIdleSlot slot;
  int runs = 0;
  slot.SetDelaySource([] { return 1000; });  // far longer than the test waits
  slot.SetIdleHandler([&](bool& done) {
    done = false;
    ++runs;
  });
  QTest::qWait(100);
  EXPECT_EQ(runs, 1) << "after the first pass the slot waits for the delay";
  EXPECT_TRUE(slot.ApplicationActive());
}

namespace {
std::vector<std::uint8_t> Frame(int w, int h, std::uint32_t seed) {
  std::vector<std::uint8_t> bits(std::size_t(w) * h * 4);
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    const std::uint32_t v = (std::uint32_t(i) * 2654435761u) ^ seed;
    bits[i] = std::uint8_t(v);
    bits[i + 1] = std::uint8_t(v >> 8);
    bits[i + 2] = std::uint8_t(v >> 16);
    bits[i + 3] = 0;
  }
  return bits;
}
}  // namespace

TEST(HighDensity, FramesAreScaledByWholeDevicePixelsWithoutSmoothing) {
  QWidget window;
  TDXDrawWidget widget(&window);
  window.resize(40, 30);
  widget.setGeometry(0, 0, 40, 30);
  window.show();
  auto bits = Frame(40, 30, 7);
  widget.ShowFrame(TPixelView{bits.data(), 40, 30, 40 * 4, pixel_formats::Xrgb8888}, QPoint(0, 0));
  const QImage shot = widget.grab().toImage();
  const int scale = int(widget.devicePixelRatioF());
  ASSERT_GE(scale, 1);
  ASSERT_EQ(shot.width(), 40 * scale) << "the window keeps its logical size";
  for (int y = 0; y < 30; y += 7)
    for (int x = 0; x < 40; x += 9) {
      std::uint32_t raw;
      std::memcpy(&raw, &bits[(std::size_t(y) * 40 + x) * 4], 4);
      for (int dy = 0; dy < scale; ++dy)
        for (int dx = 0; dx < scale; ++dx)
          EXPECT_EQ(shot.pixel(x * scale + dx, y * scale + dy) & 0xFFFFFFu, raw & 0xFFFFFFu)
              << "pixel " << x << "," << y << " at scale " << scale;
    }
}

TEST(DXDrawWidget, ShowsFramesOfEverySurfaceFormat) {
  QWidget window;
  TDXDrawWidget widget(&window);
  widget.setGeometry(0, 0, 8, 4);
  window.show();
  // One red pixel in each format.
  std::uint8_t red565[2] = {0x00, 0xF8}, red555[2] = {0x00, 0x7C};
  std::uint8_t red888[3] = {0, 0, 0xFF};
  widget.ShowFrame(TPixelView{red565, 1, 1, 2, pixel_formats::Rgb565}, QPoint());
  EXPECT_EQ(widget.Frame().pixel(0, 0) & 0xFFFFFFu, 0xFF0000u);
  widget.ShowFrame(TPixelView{red555, 1, 1, 2, pixel_formats::Rgb555}, QPoint());
  EXPECT_EQ(widget.Frame().pixel(0, 0) & 0xFFFFFFu, 0xFF0000u);
  widget.ShowFrame(TPixelView{red888, 1, 1, 3, pixel_formats::Rgb888}, QPoint());
  EXPECT_EQ(widget.Frame().pixel(0, 0) & 0xFFFFFFu, 0xFF0000u);
  EXPECT_EQ(widget.FramesShown(), 3);
}

TEST(CanvasText, DrawsWhiteTextOnSurfaceMemoryAndKeepsTheUnusedByte) {
  TDXDrawWidget widget;
  QtDXDrawPlatform platform(widget, pixel_formats::Xrgb8888);
  std::vector<std::string> told;
  platform.OnDrawText = [&](int x, int y, const std::string& text) {
    told.push_back(std::to_string(x) + "," + std::to_string(y) + " " + text);
  };
  TDirectDraw display(pixel_formats::Xrgb8888, &platform);
  TDirectDrawSurface surface(display);
  surface.SetSize(120, 20);
  surface.Fill(0);
  TDirectDrawSurfaceCanvas& canvas = surface.Canvas();
  canvas.BrushClear = true;
  canvas.FontColor = RGB(255, 255, 255);
  canvas.TextOut(2, 2, "Press 'ESC'");
  canvas.Release();
  int white = 0, stray = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 120; ++x) {
      const std::uint32_t p = surface.Pixel(x, y);
      white += p == 0x00FFFFFFu;
      stray += (p >> 24) != 0;
    }
  EXPECT_GT(white, 20);
  EXPECT_EQ(stray, 0);
  EXPECT_EQ(surface.Pixel(119, 19), 0u) << "a transparent background leaves the rest";
  EXPECT_EQ(told, std::vector<std::string>{"2,2 Press 'ESC'"});
}

// A 64 by 48 control whose platform defers late presents, at 20 Hz (50 ms
// refreshes, so that the presents of a test share one), started at the beginning
// of a refresh.
struct TDeferringControl {
  QWidget window;
  TDXDrawWidget widget{&window};
  QtDXDrawPlatform platform{widget, pixel_formats::Xrgb8888};
  TDXDraw control{platform};

  TDeferringControl() {
    window.resize(64, 48);
    widget.setGeometry(0, 0, 64, 48);
    platform.FixRefreshRate(20.0);
    control.SetOptions({TDXDrawOption::doWaitVBlank, TDXDrawOption::doSystemMemory});
    control.Initialize();
    window.show();
    platform.SetDeferLateFrames(true);
    std::this_thread::sleep_until(platform.Pacer().NextRefresh(TRefreshPacer::Clock::now()));
  }
  std::uint32_t Shown() const { return widget.Frame().pixel(0, 0) & 0xFFFFFFu; }
};

// During a run a present inside a refresh that already showed a frame waits for the
// refresh's end; whatever settles it, the window ends up with the newest drawn state
// (or keeps the old frame when the surface is gone) and nothing is left to fire.
TEST(QtPlatform, LatePresentsAreDeferredToTheEndOfTheirRefresh) {
  using Settle = std::function<void(TDXDraw&, QtDXDrawPlatform&)>;
  const struct {
    const char* by;
    Settle settle;
    bool showsNewest;
  } rows[] = {
      {"the refresh ending",
       [](TDXDraw&, QtDXDrawPlatform& p) { (void)QTest::qWaitFor([&] { return !p.FramePending(); }, 2000); },
       true},
      {"a flush", [](TDXDraw&, QtDXDrawPlatform& p) { p.FlushPendingFrame(); }, true},
      {"turning the mode off", [](TDXDraw&, QtDXDrawPlatform& p) { p.SetDeferLateFrames(false); }, true},
      {"a paint request", [](TDXDraw& c, QtDXDrawPlatform&) { c.PaintRequest(); }, true},
      {"freeing the surface", [](TDXDraw& c, QtDXDrawPlatform&) { c.Finalize(); }, false},
  };
  const std::uint32_t A = 0x102030, B = 0x405060, C = 0x708090, D = 0xA0B0C0;
  for (const auto& row : rows) {
    SCOPED_TRACE(row.by);
    TDeferringControl t;
    ASSERT_TRUE(t.control.Initialized());
    TDXDraw& control = t.control;
    QtDXDrawPlatform& platform = t.platform;
    TDXDrawWidget& widget = t.widget;
    const auto draw = [&](std::uint32_t colour) { control.Surface()->Fill(colour); };
    const auto shown = [&] { return t.Shown(); };
    const int before = widget.FramesShown();
    draw(A);
    control.Present();
    ASSERT_EQ(shown(), A) << "the first frame of a refresh is shown at once";
    draw(B);
    control.Present();
    draw(C);
    control.Present();
    draw(D);  // drawn after the last present
    EXPECT_EQ(shown(), A) << "not before the refresh ends";
    EXPECT_TRUE(platform.FramePending());
    EXPECT_EQ(platform.FramesDeferred(), 2);

    row.settle(control, platform);
    EXPECT_FALSE(platform.FramePending());
    EXPECT_EQ(shown(), row.showsNewest ? D : A);
    const int settled = widget.FramesShown();
    EXPECT_EQ(settled - before, row.showsNewest ? 2 : 1) << "one frame for the three late states";
    QTest::qWait(150);             // three refreshes: no timer left to show anything
    platform.FlushPendingFrame();  // nothing pending: nothing shown
    EXPECT_EQ(widget.FramesShown(), settled);
    EXPECT_EQ(shown(), row.showsNewest ? D : A);
  }
}

// A deferred frame is not copied while the back surface is being drawn into (its
// canvas held, or locked): neither the timer nor a flush shows half a frame.
TEST(QtPlatform, DeferredFrameWaitsWhileTheBackSurfaceIsBeingDrawn) {
  TDeferringControl t;
  ASSERT_TRUE(t.control.Initialized());
  TDXDraw& control = t.control;
  QtDXDrawPlatform& platform = t.platform;
  const auto shown = [&] { return t.Shown(); };
  control.Surface()->Fill(0x102030);
  control.Present();
  ASSERT_EQ(shown(), 0x102030u);
  control.Surface()->Fill(0x405060);
  control.Present();
  ASSERT_TRUE(platform.FramePending());

  for (const bool locked : {false, true}) {
    SCOPED_TRACE(locked ? "locked" : "canvas held");
    if (locked) ASSERT_TRUE(control.Surface()->Lock());
    else ASSERT_NE(control.Surface()->Canvas().Handle(), nullptr);
    platform.FlushPendingFrame();
    QTest::qWait(120);  // past the end of the refresh
    EXPECT_TRUE(platform.FramePending());
    EXPECT_EQ(shown(), 0x102030u);
    if (locked) control.Surface()->Unlock();
    else control.Surface()->Canvas().Release();
  }
  EXPECT_TRUE(QTest::qWaitFor([&] { return !platform.FramePending(); }, 2000));
  EXPECT_EQ(shown(), 0x405060u);
  platform.SetDeferLateFrames(false);
}

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
