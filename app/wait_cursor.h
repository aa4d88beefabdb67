#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>

// Shows the wait cursor over a window while its work runs longer than a
// moment. Work is marked by Begin/End pairs, which may nest; the cursor
// appears once the outermost piece of work has run for the delay (checked
// whenever the event loop gets a turn), or at once through ShowNow before a
// step that is known to take long and gives the event loop no turn, and goes
// when the outermost piece ends. Only the window's own cursor changes: other
// windows (a message box, a sheet) keep theirs.
class WaitCursor {
public:
  WaitCursor(QWidget* window, int delayMs);
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
  ~WaitCursor();

  void Begin();
  void End();
  // Shows the cursor now if work is running.
  void ShowNow();
  [[nodiscard]] bool Shown() const { return shown_; }

private:
  void show();

  QPointer<QWidget> window_;
  QTimer timer_;
  int depth_ = 0;
  bool shown_ = false;
};
