// The frame timer: ticks from the application's idle processing, never closer than
// Interval milliseconds, and (with ActiveOnly) only while the application is the
// active one. Every frame of the main screen is one tick.
#pragma once

#include <cstdint>
#include <functional>

// The application side of the timer: its one idle-handler slot and whether the
// application is active. The Qt layer implements it; tests use a fake.
class TIdleSlot {
 public:
  virtual ~TIdleSlot() = default;
  // Puts handler into the slot, replacing what was there; an empty handler empties it.
  // While the slot holds a handler the application runs it whenever it finds no
  // message; the handler clears `done` to be run again without waiting for one.
  virtual void SetIdleHandler(std::function<void(bool& done)> handler) = 0;
  virtual bool ApplicationActive() const = 0;
};

// A 32-bit millisecond clock; it wraps around after about 49.7 days.
using TMillisecondClock = std::function<std::uint32_t()>;

class TDXTimer {
 public:
  TDXTimer(TIdleSlot& slot, TMillisecondClock clock);
  ~TDXTimer();
  TDXTimer(const TDXTimer&) = delete;
  TDXTimer& operator=(const TDXTimer&) = delete;

  // Component loading: while loading, Enabled only stores its value; Loaded()
  // switches the timer on when it was stored enabled.
  void BeginLoading() { loading_ = true; }
  void Loaded();

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  int Interval() const { return interval_; }
  void SetInterval(int value);
  bool ActiveOnly = true;
  int MaxLag = 10;
  int FramesPerSecond() const { return framesPerSecond_; }

  std::function<void(TDXTimer& sender, int lagCount)> OnTimer;
  std::function<void(TDXTimer& sender)> OnActivate;
  std::function<void(TDXTimer& sender)> OnDeactivate;

  // Notifications of the application's activation, from the platform hook.
  void ApplicationActivated();
  void ApplicationDeactivated();

  // One pass of the idle processing (what the slot runs).
  void IdleStep(bool& done);
  // Milliseconds until IdleStep would tick next, so that an idle loop can wait that
  // long between messages instead of spinning; 0 when a tick is due.
  int MillisecondsUntilNextTick() const;

  bool Initialized() const { return initialized_; }  // switched on (attached or armed)
  bool Attached() const { return attached_; }        // ticks flow

 private:
  void SwitchOn();
  void SwitchOff();
  void Attach();
  void Detach();

  TIdleSlot& slot_;
  TMillisecondClock clock_;
  bool loading_ = false;
  bool enabled_ = true;
  int interval_ = 1000;
  int divisor_ = 1000;
  bool initialized_ = false;
  bool attached_ = false;
  std::uint32_t lastTick_ = 0;
  std::uint32_t periodStart_ = 0;
  std::uint32_t ticksInPeriod_ = 0;
  int framesPerSecond_ = 0;
};
