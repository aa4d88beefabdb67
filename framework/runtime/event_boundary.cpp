#include "framework/runtime/event_boundary.h"

#include <exception>
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
  // Rethrowing with none in flight would end the program; report it instead.
  if (const std::exception_ptr current = std::current_exception()) {
    try {
      std::rethrow_exception(current);
    } catch (const std::exception& e) {
      what = e.what();
    } catch (...) {
    }
  }
  // The report itself must not throw out of the boundary.
  try {
    MsgBox("An error occurred: " + what + ". Voltix goes on.");
  } catch (...) {
  }
}
