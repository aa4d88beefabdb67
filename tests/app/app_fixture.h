#pragma once

#include "app/main_wndo.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/controls.h"
#include "scene/pd3d_space.h"
#include "sheets/charge_sheets.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

#include <string>
#include <vector>

// A fresh main window, shown, with message boxes and beeps recorded instead
// of shown. The window is destroyed afterwards so the next test builds its own.
// The set-up sheets start afresh too: they outlive a window that never showed
// them, and would keep the texts an earlier test typed.
class AppTest : public ::testing::Test {
protected:
  void SetUp() override {
    DiscardChargeSheets();
    previousSink_ = SetUserAlertSink(UserAlertSink{
        [this](const std::string& text) { messages.push_back(text); }, [this] { ++beeps; }});
    w = MainWndo::Shared();
    // The window shows itself at the end of its creation.
    ASSERT_TRUE(w->isVisible());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w));
    view = w->MyPDSpace();
    ASSERT_NE(view, nullptr);
  }
  void TearDown() override {
    delete w;
    QApplication::processEvents();
    SetUserAlertSink(previousSink_);
  }

  template <class T>
  T& C(const char* name) {
    return w->ControlRef<T>(name);
  }
  [[nodiscard]] int ViewObjects() const { return view->Objects()->Count(); }
  // Lets what waits for the event loop run: the field pass or dot matrix
  // that Arrow Scale, Show, Scan and Dot Matrix changes ask for.
  static void Settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
  }

  MainWndo* w = nullptr;
  PD3DSpace* view = nullptr;
  std::vector<std::string> messages;
  int beeps = 0;

private:
  UserAlertSink previousSink_;
};
