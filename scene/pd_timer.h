#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <cstdint>

class PD3DSpace;

// The frame timer of a view: each tick calls the view's UpdateFrame.
// Mode 0: does not fire; Mode 2: fires every Period milliseconds.
class PDTimer : public QObject {
  Q_OBJECT
public:
  PDTimer();

  QPointer<PD3DSpace> MyPD3DSpace;
  std::int32_t ticker = 0;
  std::int32_t tickerMon = 0;

  [[nodiscard]] std::int32_t Period() const { return period_; }
  void SetPeriod(std::int32_t ms);
  [[nodiscard]] bool Enabled() const { return enabled_; }
  void SetEnabled(bool on);
  [[nodiscard]] std::int32_t Mode() const { return mode_; }
  void SetMode(std::int32_t mode);
  // Restarts the current period.
  void Reset();
  [[nodiscard]] bool IsRunning() const { return timer_.isActive(); }

  virtual void Event_Action();
  void Constructor(PD3DSpace* space);

private:
  void Apply();
  QTimer timer_;
  std::int32_t period_ = 1000;
  bool enabled_ = true;
  std::int32_t mode_ = 0;
};
