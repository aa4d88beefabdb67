#include "framework/runtime/runtime.h"

#include "framework/runtime/event_boundary.h"
#include "framework/runtime/held_input.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QStyleHints>
#include <QThread>
#include <QWidget>

#include <chrono>
#include <optional>
#include <utility>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point programStart = Clock::now();

// A quit asked while no event loop runs: QCoreApplication::exit would do
// nothing then, and the loop started afterwards would run on.
std::optional<int> pendingQuit;

UserAlertSink& alertSink() {
  static UserAlertSink sink;
  return sink;
}

}  // namespace

void RuntimeBackgroundTask() {
  // Reading the clock costs tens of nanoseconds; only every 64th call does.
  static unsigned calls = 0;
  if ((++calls & 63u) != 0) return;
  static Clock::time_point next{};
  const Clock::time_point now = Clock::now();
  if (now < next) return;
  next = now + std::chrono::milliseconds(8);
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr || QThread::currentThread() != app->thread()) return;
  // Handlers dispatched here are outermost: their exceptions stop here.
  DispatchScope scope;
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  InputMayBeHeld();
}

std::int32_t Ticks() {
  const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - programStart);
  return static_cast<std::int32_t>(elapsed.count() * 60 / 1000000);
}

std::int32_t GetDblTime() {
  int ms = 400;
  if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    ms = app->styleHints()->mouseDoubleClickInterval();
  }
  return static_cast<std::int32_t>((ms * 60 + 999) / 1000);
}

UserAlertSink SetUserAlertSink(UserAlertSink sink) { return std::exchange(alertSink(), std::move(sink)); }

void MsgBox(const std::string& text) {
  if (alertSink().messageBox) {
    alertSink().messageBox(text);
    return;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) == nullptr) return;
  QMessageBox box(QMessageBox::NoIcon, QApplication::applicationName(), QString::fromStdString(text), QMessageBox::Ok,
                  QApplication::activeWindow());
  DispatchScope scope;
  box.exec();
}

void Beep() {
  if (alertSink().beep) {
    alertSink().beep();
    return;
  }
  if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) QApplication::beep();
}

void Quit(int code) {
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return;
  if (QThread::currentThread() == app->thread() && QThread::currentThread()->loopLevel() == 0) {
    pendingQuit = code;
    return;
  }
  QCoreApplication::exit(code);
}

bool QuitPending() { return pendingQuit.has_value(); }

int RunEventLoop() {
  if (pendingQuit) return *std::exchange(pendingQuit, std::nullopt);
  return QCoreApplication::exec();
}

void ReturnFreeMemory() {
#if defined(__GLIBC__)
  malloc_trim(0);
#endif
}
