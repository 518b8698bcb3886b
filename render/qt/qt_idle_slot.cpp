#include "qt_idle_slot.h"

#include <QGuiApplication>

QtIdleSlot::QtIdleSlot(QObject* parent) : QObject(parent) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &QtIdleSlot::RunHandler);
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
    connect(app, &QGuiApplication::applicationStateChanged, this, &QtIdleSlot::ApplicationStateChanged);
}

void QtIdleSlot::SetIdleHandler(std::function<void(bool&)> handler) {
  handler_ = std::move(handler);
  if (handler_) Schedule(0);
  else timer_.stop();
}

void QtIdleSlot::Schedule(int delayMs) { timer_.start(std::max(delayMs, 0)); }

void QtIdleSlot::RunHandler() {
  if (!handler_) return;
  bool done = true;
  auto handler = handler_;  // the handler may empty or replace the slot
  handler(done);
  if (!handler_ || done) return;
  Schedule(delaySource_ ? delaySource_() : 0);
}

void QtIdleSlot::ApplicationStateChanged(Qt::ApplicationState state) {
  const bool active = state == Qt::ApplicationActive;
  if (active == active_) return;
  active_ = active;
  if (OnActivationChanged) OnActivationChanged(active);
}
