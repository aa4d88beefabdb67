#include "framework/runtime/event_boundary.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/application.h"
#include "framework/ui/window.h"

#include <gtest/gtest.h>

#include <QMouseEvent>
#include <QTimer>
#include <QWidget>

#include <stdexcept>
#include <string>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace {

// An exception that reaches Application::notify has unwound through the
// toolkit's event delivery, which is built without cleanups, so that
// delivery's own temporaries are never freed. Only this last-resort net sees
// it (the program's handlers catch at their own boundary); the sanitizer's
// leak check leaves those temporaries out.
#if defined(__SANITIZE_ADDRESS__)
using UnwindingThroughToolkit = __lsan::ScopedDisabler;
#else
struct UnwindingThroughToolkit {
  UnwindingThroughToolkit() {}
};
#endif

// A widget whose own event code throws, as a faulty handler would.
class ThrowingWidget : public QWidget {
protected:
  void mousePressEvent(QMouseEvent*) override { throw std::runtime_error("press went wrong"); }
};

}  // namespace

TEST(ApplicationTest, ExceptionFromAWidgetsEventIsReportedAndTheProgramGoesOn) {
  auto* app = qobject_cast<Application*>(QCoreApplication::instance());
  ASSERT_NE(app, nullptr) << "tests run under the program's own application object";

  std::vector<std::string> messages;
  const UserAlertSink previous = SetUserAlertSink({[&](const std::string& text) { messages.push_back(text); }, {}});

  ThrowingWidget widget;
  const UnwindingThroughToolkit unwinding;
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  EXPECT_NO_THROW(QApplication::sendEvent(&widget, &press));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find("press went wrong"), std::string::npos) << messages[0];

  // Later events are delivered as usual.
  QMouseEvent second(QEvent::MouseButtonPress, QPointF(2, 2), QPointF(2, 2), Qt::LeftButton, Qt::LeftButton,
                     Qt::NoModifier);
  QApplication::sendEvent(&widget, &second);
  EXPECT_EQ(messages.size(), 2u);

  SetUserAlertSink(previous);
}

TEST(ApplicationTest, ReportWithoutAnExceptionInFlightSaysSoInsteadOfEndingTheProgram) {
  std::vector<std::string> messages;
  const UserAlertSink previous = SetUserAlertSink({[&](const std::string& text) { messages.push_back(text); }, {}});
  ReportCurrentException();
  try {
    throw 42;
  } catch (...) {
    ReportCurrentException();
  }
  SetUserAlertSink(previous);
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0], "An error occurred: an unknown error. Voltix goes on.");
  EXPECT_EQ(messages[1], messages[0]);
}

TEST(ApplicationTest, AQuitAskedBeforeTheEventLoopEndsItAtOnceWithItsCode) {
  ASSERT_FALSE(QuitPending());
  Quit(3);
  EXPECT_TRUE(QuitPending());
  // A window built after the request is not shown.
  Window window;
  window.Construct();
  EXPECT_FALSE(window.isVisible());

  bool loopRan = false;
  QTimer probe;
  probe.setSingleShot(true);
  QObject::connect(&probe, &QTimer::timeout, [&] {
    loopRan = true;
    QCoreApplication::exit(7);
  });
  probe.start(0);
  EXPECT_EQ(RunEventLoop(), 3);
  EXPECT_FALSE(loopRan);
  EXPECT_FALSE(QuitPending());
  probe.stop();

  // Asked while the loop runs, it ends that loop, and nothing is kept for the next.
  QTimer quit;
  quit.setSingleShot(true);
  QObject::connect(&quit, &QTimer::timeout, [] { Quit(5); });
  quit.start(0);
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [] { QCoreApplication::exit(99); });
  guard.start(10000);
  EXPECT_EQ(RunEventLoop(), 5);
  EXPECT_FALSE(QuitPending());
  Window shown;
  shown.Construct();
  EXPECT_TRUE(shown.isVisible());
}
