#include "framework/runtime/event_boundary.h"

#include <string>

#include "framework/runtime/runtime.h"

namespace event_boundary {
int& depth() {
  thread_local int d = 0;
  return d;
}
}  // namespace event_boundary

void ReportCurrentException() {
  std::string what = "an unknown error";
  try {
    throw;
  } catch (const std::exception& e) {
    what = e.what();
  } catch (...) {
  }
  // The report itself must not throw out of the boundary.
  try {
    MsgBox("An error occurred: " + what + ". Voltix goes on.");
  } catch (...) {
  }
}
