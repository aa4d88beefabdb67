// Voltix: start-up into the main window, the event loop, and shut-down.

#include "app/appl.h"
#include "app/file_types.h"
#include "app/main_wndo.h"
#include "framework/runtime/event_boundary.h"
#include "framework/runtime/runtime.h"

int main(int argc, char** argv) {
  int code = 0;
  {
    FileTypes::_Initialize();
    Appl app(argc, argv);
    try {
      MainWndo::Shared();
      // Ends at once when the window's opening asked to quit (no OpenGL).
      code = RunEventLoop();
    } catch (...) {
      ReportCurrentException();
    }
    ShutDownProgram();
  }
  return code;
}
