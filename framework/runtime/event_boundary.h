#pragma once

#include <QScopedValueRollback>

#include <exception>
#include <utility>

// The event boundary. An exception that escapes a handler the program bound
// to an event is reported in a message box ("An error occurred: <what>.
// Voltix goes on.") and swallowed there, so the program keeps running.
//
// Only the outermost handler of a dispatch catches: a handler that runs inside
// another one (a change event raised because a handler set a control's value)
// lets the exception travel on to its caller, as a plain call would. Code that
// pumps events while a handler waits (a modal sheet's loop, the cooperative
// yield, a message box) opens a DispatchScope, so the handlers it dispatches
// are outermost again and nothing unwinds through the event loop.

// Reports the exception currently being handled (call it inside a catch block).
void ReportCurrentException();

namespace event_boundary {
// Number of handlers running in the current dispatch (0: none).
int& depth();
}  // namespace event_boundary

// Marks a stretch of code that dispatches events (nested loop, yield).
class DispatchScope {
public:
  DispatchScope() : depth_(event_boundary::depth(), 0) {}

private:
  QScopedValueRollback<int> depth_;
};

// Runs a handler at the event boundary. Returns what the handler returned, or
// `onError` when the outermost handler threw and the exception was reported.
template <class F, class R = decltype(std::declval<F&>()())>
R RunHandler(F&& handler, R onError = R{}) {
  int& depth = event_boundary::depth();
  const QScopedValueRollback<int> inside(depth, depth + 1);
  if (depth > 1) return handler();
  try {
    return handler();
  } catch (...) {
    ReportCurrentException();
  }
  return onError;
}

// The same for handlers without a result.
template <class F>
void RunVoidHandler(F&& handler) {
  RunHandler([&] {
    handler();
    return true;
  }, false);
}
