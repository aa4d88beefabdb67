#pragma once

#include "framework/ui/timer.h"

#include <QPointer>

#include <cstdint>

class PD3DSpace;

// The frame timer of a view: each tick calls the view's UpdateFrame.
// Made idle (Mode 0, Period 40); the view sets its period and mode.
class PDTimer : public Timer {
  Q_OBJECT
public:
  PDTimer() = default;

  QPointer<PD3DSpace> MyPD3DSpace;
  std::int32_t ticker = 0;
  std::int32_t tickerMon = 0;

  void Event_Action() override;
  void Constructor(PD3DSpace* space);
};
