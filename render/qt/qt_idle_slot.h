// The application's idle-handler slot on Qt's event loop.
//
// Qt has no idle hook that runs between messages without spinning, so the slot runs
// its handler from a precise single-shot timer: at once while the handler asks to
// run again (clears `done`), after the delay that the delay source names when the
// handler is waiting for its interval, and not at all when the slot is empty. Timers
// run inside modal loops too, as idle processing does; a plain processEvents() pass
// made while the slot is empty never runs it.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "frame_timer.h"

class QtIdleSlot : public QObject, public TIdleSlot {
  Q_OBJECT
 public:
  explicit QtIdleSlot(QObject* parent = nullptr);

  void SetIdleHandler(std::function<void(bool& done)> handler) override;
  bool ApplicationActive() const override { return active_; }

  // How long the handler wants to wait before its next run (milliseconds).
  void SetDelaySource(std::function<int()> source) { delaySource_ = std::move(source); }
  // Called with true/false when the application gains or loses activation.
  std::function<void(bool active)> OnActivationChanged;

 private:
  void RunHandler();
  void Schedule(int delayMs);
  void ApplicationStateChanged(Qt::ApplicationState state);

  std::function<void(bool&)> handler_;
  std::function<int()> delaySource_;
  QTimer timer_;
  bool active_ = true;  // active from creation until the window system says otherwise
};
