// Time for the frame loop: the 32-bit millisecond clock of the frame timer, and the
// wait for the display's next refresh.
#pragma once

#include <chrono>
#include <cstdint>

// Milliseconds since the program started, wrapping after about 49.7 days.
std::uint32_t MillisecondClock();

// Paces presentation to the display's refresh without spinning. Refreshes are taken
// to fall on a fixed grid of the refresh period; a frame may be shown once per
// refresh, so a present waits (sleeps) until the next refresh only when a frame was
// already shown since the last one. Presents that come less often than the display
// refreshes never wait.
class TRefreshPacer {
 public:
  using Clock = std::chrono::steady_clock;
  explicit TRefreshPacer(double refreshHz = 60.0);
  void SetRefreshRate(double hz);
  double RefreshRate() const { return hz_; }

  // The instant to wait for before showing a frame at `now`: `now` itself when no
  // frame was shown in the current refresh period, else the next refresh.
  Clock::time_point ShowTime(Clock::time_point now) const;
  // The first refresh after `t`.
  Clock::time_point NextRefresh(Clock::time_point t) const { return PeriodStart(t) + period_; }
  // Records that a frame was shown at `when`.
  void Shown(Clock::time_point when) { lastShown_ = when; hasShown_ = true; }
  // Sleeps until ShowTime(now), then records the frame.
  void WaitForRefresh();

 private:
  Clock::time_point PeriodStart(Clock::time_point t) const;
  double hz_;
  Clock::duration period_;
  Clock::time_point epoch_;
  Clock::time_point lastShown_{};
  bool hasShown_ = false;
};
