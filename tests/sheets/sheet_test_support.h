#pragma once

#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <gtest/gtest.h>

#include <functional>

#include "sheets/charge_sheets.h"
#include "sheets/sheet_layouts.h"

// Each test starts with the sheets as a new process has them: none made yet,
// so that the first use of each makes it with its first texts and choices.
class FreshSheetsTest : public ::testing::Test {
protected:
  void SetUp() override {
    DiscardChargeSheets();
    InstallChargeSheets();
  }
};

// The window the sheets are shown within, like the main window. It lives for
// the whole run, so the shared sheets attached to it do too.
inline QWidget& HostWindow() {
  static QWidget* host = [] {
    auto* w = new QWidget;
    w->setWindowTitle("Host");
    w->resize(800, 600);
    w->show();
    (void)QTest::qWaitForWindowExposed(w);
    return w;
  }();
  return *host;
}

struct ShowResult {
  bool active = false;     // the sheet became the active window
  bool ran = false;        // whileShown ran
  bool returned = false;   // ShowModalWithin returned
  bool leftShown = false;  // whileShown left the sheet visible
};

// Shows the sheet modally within the host window and runs whileShown once the
// sheet is active. Should whileShown leave the sheet shown, it is hidden
// afterwards (and leftShown says so), so the call always comes back.
inline ShowResult RunShown(SheetWindow& sheet, const std::function<void()>& whileShown) {
  QWidget& host = HostWindow();  // first, before any timer of ours can fire
  ShowResult result;
  QTimer::singleShot(0, &sheet, [&] {
    result.active = QTest::qWaitFor([&] { return QApplication::activeWindow() == &sheet; }, 2000);
    whileShown();
    result.ran = true;
    QApplication::processEvents();
    if (sheet.isVisible()) {
      result.leftShown = true;
      sheet.Hide();
    }
  });
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, &sheet, [&] { sheet.Hide(); });
  watchdog.start(20000);
  // As the main window shows it: through the charge model's view of a sheet.
  static_cast<ChargeSheet&>(sheet).ShowModalWithin(&host);
  result.returned = true;
  // The toolkit hands the activation back to the parent when the sheet goes.
  (void)QTest::qWaitFor([&] { return QApplication::activeWindow() == &host; }, 2000);
  return result;
}

// Every sheet, in the order of its kind.
inline std::vector<SheetWindow*> AllSheets() {
  return {&SingleSheet::Instance(), &LineSheet::Instance(),     &PlaneSheet::Instance(),
          &SphereSheet::Instance(), &CylinderSheet::Instance(), &RingSheet::Instance()};
}

inline PushButton& DoneButtonOf(SheetWindow& sheet) {
  for (const char* name : {"PBDone", "Donebutton", "DoneButton"}) {
    if (auto* b = sheet.ControlAs<PushButton>(name)) return *b;
  }
  throw NilObjectException();
}

inline PushButton& CancelButtonOf(SheetWindow& sheet) {
  for (const char* name : {"PBCancel", "CancelButton"}) {
    if (auto* b = sheet.ControlAs<PushButton>(name)) return *b;
  }
  throw NilObjectException();
}
