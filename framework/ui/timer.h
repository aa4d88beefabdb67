#pragma once

#include <QObject>
#include <QTimer>

// A timer that raises Action every Period milliseconds.
// Mode: 0 off, 1 once (then Mode becomes 0), 2 repeating. It runs while Mode
// is not 0 and Enabled is true. Override Event_Action or connect to Action;
// the tick runs through the event boundary.
class Timer : public QObject {
  Q_OBJECT

public:
  static constexpr int ModeOff = 0;
  static constexpr int ModeSingle = 1;
  static constexpr int ModeMultiple = 2;

  explicit Timer(QObject* parent = nullptr);
  ~Timer() override;

  [[nodiscard]] int Period() const { return period_; }
  void SetPeriod(int milliseconds);
  [[nodiscard]] int Mode() const { return mode_; }
  void SetMode(int mode);
  [[nodiscard]] bool Enabled() const { return enabled_; }
  void SetEnabled(bool enabled);
  // Starts the current period again from now (when running).
  void Reset();
  [[nodiscard]] bool IsRunning() const { return timer_.isActive(); }

signals:
  void Action();

protected:
  virtual void Event_Action() {}

private:
  void apply();
  void tick();

  QTimer timer_;
  int period_ = 1000;
  int mode_ = ModeMultiple;
  bool enabled_ = true;
};
