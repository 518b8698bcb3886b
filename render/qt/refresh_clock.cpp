#include "refresh_clock.h"

#include <thread>

namespace {
const auto kProgramStart = std::chrono::steady_clock::now();
}

std::uint32_t MillisecondClock() {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - kProgramStart);
  return std::uint32_t(std::uint64_t(ms.count()));
}

TRefreshPacer::TRefreshPacer(double refreshHz) : epoch_(Clock::now()) { SetRefreshRate(refreshHz); }

void TRefreshPacer::SetRefreshRate(double hz) {
  // Screens that report nothing sensible are taken as the common 60 Hz.
  hz_ = (hz >= 20.0 && hz <= 1000.0) ? hz : 60.0;
  period_ = std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / hz_));
}

TRefreshPacer::Clock::time_point TRefreshPacer::PeriodStart(Clock::time_point t) const {
  if (t < epoch_) return epoch_;
  const auto periods = (t - epoch_) / period_;
  return epoch_ + periods * period_;
}

TRefreshPacer::Clock::time_point TRefreshPacer::ShowTime(Clock::time_point now) const {
  const Clock::time_point start = PeriodStart(now);
  if (!hasShown_ || lastShown_ < start) return now;
  return start + period_;
}

void TRefreshPacer::WaitForRefresh() {
  const Clock::time_point now = Clock::now();
  const Clock::time_point when = ShowTime(now);
  if (when > now) std::this_thread::sleep_until(when);
  Shown(std::max(when, now));
}
