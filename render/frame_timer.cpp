#include "frame_timer.h"

#include <algorithm>
#include <cmath>

TDXTimer::TDXTimer(TIdleSlot& slot, TMillisecondClock clock) : slot_(slot), clock_(std::move(clock)) {}

TDXTimer::~TDXTimer() { SwitchOff(); }

void TDXTimer::Loaded() {
  loading_ = false;
  if (enabled_) SwitchOn();
}

void TDXTimer::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  if (loading_) return;
  if (value) SwitchOn();
  else SwitchOff();
}

void TDXTimer::SetInterval(int value) {
  if (interval_ == std::max(value, 0)) return;
  interval_ = std::max(value, 0);
  divisor_ = std::max(value, 1);
}

void TDXTimer::SwitchOn() {
  SwitchOff();
  if (!ActiveOnly || slot_.ApplicationActive()) Attach();
  initialized_ = true;
}

void TDXTimer::SwitchOff() {
  if (!initialized_) return;
  Detach();
  initialized_ = false;
}

void TDXTimer::Attach() {
  // Every entry into the running state starts the time base afresh, so time spent
  // switched off or inactive produces no catch-up lag.
  lastTick_ = clock_();
  periodStart_ = lastTick_;
  attached_ = true;
  slot_.SetIdleHandler([this](bool& done) { IdleStep(done); });
}

void TDXTimer::Detach() {
  if (!attached_) return;
  attached_ = false;
  slot_.SetIdleHandler(nullptr);
}

void TDXTimer::ApplicationActivated() {
  if (OnActivate) OnActivate(*this);
  if (initialized_ && ActiveOnly && !attached_) Attach();
}

void TDXTimer::ApplicationDeactivated() {
  if (OnDeactivate) OnDeactivate(*this);
  if (initialized_ && ActiveOnly) Detach();
}

void TDXTimer::IdleStep(bool& done) {
  done = false;
  const std::uint32_t now = clock_();
  // The difference is taken in 32 bits and compared signed, so the clock's
  // wrap-around gives a small positive value and never a pause.
  const std::int32_t elapsed = std::int32_t(now - lastTick_);
  if (elapsed < interval_) return;
  lastTick_ = now;
  const int lag = elapsed / divisor_;
  const int lagCount = std::max(lag, 1);
  if (MaxLag > 0) MaxLag = std::max(MaxLag, lag);

  ++ticksInPeriod_;
  const std::uint32_t span = std::max<std::uint32_t>(now - periodStart_, 1);
  if (span >= 1000) {
    framesPerSecond_ = int(std::nearbyint(double(ticksInPeriod_) * 1000.0 / double(span)));
    ticksInPeriod_ = 0;
    periodStart_ = now;
  }
  if (OnTimer) OnTimer(*this, lagCount);
}

int TDXTimer::MillisecondsUntilNextTick() const {
  if (!attached_) return interval_;
  const std::int32_t elapsed = std::int32_t(clock_() - lastTick_);
  if (elapsed >= interval_) return 0;
  // A clock that stepped back gives a negative elapsed time; wait one interval at most.
  return std::min(interval_ - elapsed, interval_);
}
