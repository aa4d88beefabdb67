#pragma once

// A control that its window opens through this call when the window opens
// its controls, instead of raising the control's Open signal: for a control
// that keeps its own record of being open (a 3D view also opens when it is
// first shown), so that it opens once, whichever comes first.
class OpensWithWindow {
public:
  virtual void OpenWithWindow() = 0;

protected:
  ~OpensWithWindow() = default;
};
