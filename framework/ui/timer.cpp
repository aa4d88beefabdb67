#include "framework/ui/timer.h"

#include "framework/runtime/event_boundary.h"

Timer::Timer(QObject* parent) : QObject(parent) {
  connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
  apply();
}

Timer::~Timer() = default;

void Timer::SetPeriod(int milliseconds) {
  period_ = std::max(0, milliseconds);
  apply();
}

void Timer::SetMode(int mode) {
  mode_ = (mode == ModeSingle || mode == ModeMultiple) ? mode : ModeOff;
  apply();
}

void Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  apply();
}

void Timer::Reset() {
  if (timer_.isActive()) timer_.start(period_);
}

void Timer::apply() {
  if (mode_ == ModeOff || !enabled_) {
    timer_.stop();
    return;
  }
  timer_.setSingleShot(mode_ == ModeSingle);
  timer_.start(period_);
}

void Timer::tick() {
  // A single-shot timer has done its work.
  if (mode_ == ModeSingle) mode_ = ModeOff;
  RunVoidHandler([this] {
    Event_Action();
    emit Action();
  });
}
