#pragma once

#include <QApplication>

// The application object. An exception that escapes an event handler is caught
// here at the latest, reported through MsgBox ("An error occurred: <what>.
// Voltix goes on.") and the event counts as handled, so the program keeps
// running. The executable makes exactly one.
class Application : public QApplication {
  Q_OBJECT

public:
  Application(int& argc, char** argv);
  ~Application() override;

  bool notify(QObject* receiver, QEvent* event) override;
};
