#include "framework/ui/application.h"

#include "framework/runtime/event_boundary.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {}

Application::~Application() = default;

bool Application::notify(QObject* receiver, QEvent* event) {
  // The last net: handlers the toolkit runs catch their own exceptions, but a
  // widget's own event code may throw too.
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    ReportCurrentException();
  }
  return true;
}
