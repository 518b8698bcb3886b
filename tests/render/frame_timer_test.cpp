#include <gtest/gtest.h>

#include <vector>

#include "frame_timer.h"

namespace {

// The application side, driven by hand: a clock the test sets, an idle slot that
// runs its handler when the test says an idle pass happens.
class FakeApplication : public TIdleSlot {
 public:
  void SetIdleHandler(std::function<void(bool&)> handler) override {
    handler_ = std::move(handler);
    ++slotChanges;
  }
  bool ApplicationActive() const override { return active; }

  bool HasHandler() const { return bool(handler_); }
  // One pass of the message loop that found no message.
  void IdlePass() {
    if (!handler_) return;
    bool done = true;
    handler_(done);
    lastDone = done;
  }

  std::uint32_t now = 1000;
  bool active = true;
  bool lastDone = true;
  int slotChanges = 0;

 private:
  std::function<void(bool&)> handler_;
};

struct Harness {
  FakeApplication app;
  TDXTimer timer{app, [this] { return app.now; }};
  std::vector<int> lags;
  Harness() {
    timer.SetInterval(10);
    timer.OnTimer = [this](TDXTimer&, int lag) { lags.push_back(lag); };
  }
  void PassAt(std::uint32_t t) {
    app.now = t;
    app.IdlePass();
  }
};

}  // namespace

TEST(FrameTimer, TicksNoCloserThanTheInterval) {
  Harness h;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  ASSERT_TRUE(h.timer.Attached());
  for (std::uint32_t t = 1003; t <= 1012; t += 3) h.PassAt(t);  // 3 ms apart: 3, 6, 9, 12
  EXPECT_EQ(h.lags, std::vector<int>{1}) << "only the pass at +12 ms ticks";
  EXPECT_FALSE(h.app.lastDone) << "the idle step keeps the loop running";
  h.PassAt(1012 + 9);
  EXPECT_EQ(h.lags.size(), 1u) << "9 ms after the last tick is too early";
  h.PassAt(1012 + 35);
  EXPECT_EQ(h.lags.back(), 3) << "35 ms after the last tick gives LagCount 3";
}

TEST(FrameTimer, IntervalZeroTicksEveryPassWithElapsedAsLag) {
  Harness h;
  h.timer.SetInterval(0);
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.PassAt(1000);
  h.PassAt(1007);
  EXPECT_EQ(h.lags, (std::vector<int>{1, 7}));
}

TEST(FrameTimer, NegativeIntervalIsStoredAsZero) {
  Harness h;
  h.timer.SetInterval(-5);
  EXPECT_EQ(h.timer.Interval(), 0);
}

TEST(FrameTimer, SwitchingOffAndOnRestartsTheTimeBase) {
  Harness h;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.PassAt(1010);
  ASSERT_EQ(h.lags.size(), 1u);
  h.timer.SetEnabled(false);
  EXPECT_FALSE(h.app.HasHandler());
  h.app.now = 5000;  // a long modal dialog
  h.timer.SetEnabled(true);
  h.PassAt(5005);
  EXPECT_EQ(h.lags.size(), 1u) << "no tick sooner than the interval after switching on";
  h.PassAt(5010);
  ASSERT_EQ(h.lags.size(), 2u);
  EXPECT_EQ(h.lags.back(), 1) << "the lag counts from the switch, not from the old tick";
}

TEST(FrameTimer, ActiveOnlyStopsAndResumesWithoutABurst) {
  Harness h;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.app.active = false;
  h.timer.ApplicationDeactivated();
  EXPECT_FALSE(h.timer.Attached());
  EXPECT_TRUE(h.timer.Initialized()) << "armed, waiting for activation";
  h.PassAt(3000);
  EXPECT_TRUE(h.lags.empty());
  h.app.now = 60000;
  h.app.active = true;
  h.timer.ApplicationActivated();
  h.PassAt(60010);
  EXPECT_EQ(h.lags, std::vector<int>{1}) << "no catch-up lag for the time spent inactive";
}

TEST(FrameTimer, SwitchedOnWhileInactiveWaitsForActivation) {
  Harness h;
  h.timer.SetEnabled(false);
  h.app.active = false;
  h.timer.SetEnabled(true);
  EXPECT_FALSE(h.timer.Attached());
  h.app.active = true;
  h.timer.ApplicationActivated();
  EXPECT_TRUE(h.timer.Attached());
}

TEST(FrameTimer, WithoutActiveOnlyActivationChangesNothing) {
  Harness h;
  h.timer.ActiveOnly = false;
  h.app.active = false;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  EXPECT_TRUE(h.timer.Attached());
  h.timer.ApplicationDeactivated();
  EXPECT_TRUE(h.timer.Attached());
}

TEST(FrameTimer, ActivationEventsComeBeforeTheReaction) {
  Harness h;
  bool attachedDuringDeactivate = false;
  h.timer.OnDeactivate = [&](TDXTimer& t) { attachedDuringDeactivate = t.Attached(); };
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.timer.ApplicationDeactivated();
  EXPECT_TRUE(attachedDuringDeactivate);
}

TEST(FrameTimer, ClockWrapAroundCausesNoPause) {
  Harness h;
  h.app.now = 0xFFFFFFF8u;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.PassAt(0x00000002u);  // 10 ms later, across the wrap
  EXPECT_EQ(h.lags, std::vector<int>{1});
  EXPECT_EQ(h.timer.MillisecondsUntilNextTick(), 10);
}

TEST(FrameTimer, FramesPerSecondAfterAFullSecond) {
  Harness h;
  h.timer.SetInterval(0);
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  std::uint32_t t = 1000;
  for (int i = 0; i < 599; ++i) h.PassAt(++t);
  EXPECT_EQ(h.timer.FramesPerSecond(), 0) << "not before a full second";
  // 600 ticks over the first 1000 ms: ticks at 1001..1599 and one at 2000.
  h.PassAt(2000);
  EXPECT_EQ(h.timer.FramesPerSecond(), 600);
}

TEST(FrameTimer, LoadingStoresEnabledAndLoadedSwitchesOn) {
  FakeApplication app;
  TDXTimer timer(app, [&] { return app.now; });
  timer.BeginLoading();
  timer.SetEnabled(false);
  timer.SetEnabled(true);
  EXPECT_FALSE(timer.Initialized());
  timer.Loaded();
  EXPECT_TRUE(timer.Attached());
}

TEST(FrameTimer, MaxLagKeepsTheLargestLag) {
  Harness h;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.PassAt(1000 + 250);  // lag 25
  EXPECT_EQ(h.timer.MaxLag, 25);
  EXPECT_EQ(h.lags.back(), 25) << "LagCount is never limited by MaxLag";
}

TEST(FrameTimer, DestructionEmptiesTheSlot) {
  FakeApplication app;
  {
    TDXTimer timer(app, [&] { return app.now; });
    timer.SetEnabled(false);
    timer.SetEnabled(true);
    EXPECT_TRUE(app.HasHandler());
  }
  EXPECT_FALSE(app.HasHandler());
}

TEST(FrameTimer, NextTickDelayLetsALoopWaitInsteadOfSpinning) {
  Harness h;
  h.timer.SetEnabled(false);
  h.timer.SetEnabled(true);
  h.app.now = 1004;
  EXPECT_EQ(h.timer.MillisecondsUntilNextTick(), 6);
  h.app.now = 1010;
  EXPECT_EQ(h.timer.MillisecondsUntilNextTick(), 0);
  h.app.now = 990;  // the clock stepped back
  EXPECT_EQ(h.timer.MillisecondsUntilNextTick(), 10);
}
