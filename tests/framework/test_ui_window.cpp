#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTimer>

#include <stdexcept>
#include <string>
#include <vector>

#include "framework/3d/rb3dspace.h"
#include "framework/runtime/event_boundary.h"
#include "framework/runtime/runtime.h"
#include "framework/ui/controls.h"
#include "framework/ui/menus.h"
#include "framework/ui/opens_with_window.h"
#include "framework/ui/window.h"

namespace {

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  } while (t.elapsed() < ms);
}

// Waits until the condition holds or the time is up.
template <class F>
bool waitFor(F condition, int ms = 2000) {
  QElapsedTimer t;
  t.start();
  while (!condition()) {
    if (t.elapsed() > ms) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

// Records message boxes and beeps while alive.
struct AlertRecorder {
  std::vector<std::string> messages;
  int beeps = 0;
  UserAlertSink previous;
  AlertRecorder() {
    previous = SetUserAlertSink({[this](const std::string& t) { messages.push_back(t); }, [this] { ++beeps; }});
  }
  ~AlertRecorder() { SetUserAlertSink(previous); }
};

class EFField : public EditField {
public:
  explicit EFField(int index) { SetIndex(index); }
};

// A control with an Open signal that its window opens through its own call.
class OpenedSlider : public Slider, public OpensWithWindow {
public:
  explicit OpenedSlider(std::vector<std::string>& log) : log_(log) {}
  void OpenWithWindow() override { log_.push_back("Opener_OpenWithWindow"); }

private:
  std::vector<std::string>& log_;
};

// A window that logs its creation steps.
class LoggingWindow : public Window {
public:
  std::vector<std::string> log;

protected:
  void Layout() override {
    log.push_back("Layout");
    SetTitle("Log");
    SetSize(200, 120);
  }
  void CreateControls() override {
    log.push_back("CreateControls");
    for (int i = 1; i <= 3; ++i) AddControl(new EFField(i), "EF", {10 + 50 * i, 10, 44, 22});
    auto* s = AddControl(new Slider, "SLScale", {10, 50, 100, 16});
    connect(s, &Slider::Open, this, [this] { log.push_back("SLScale_Open"); });
    AddControl(new PushButton("Done"), "PBDone", {10, 80, 69, 20});
    auto* opener = AddControl(new OpenedSlider(log), "Opener", {100, 80, 90, 16});
    connect(opener, &Slider::Open, this, [this] { log.push_back("Opener_Open"); });
  }
  void AddMenuHandlers() override { log.push_back("AddMenuHandlers"); }
  void Event_Open() override { log.push_back("Open"); }
};

// A 3D view that counts its open events.
class CountingView : public Rb3DSpace {
public:
  int opens = 0;

protected:
  void Event_Open() override { ++opens; }
};

class ViewWindow : public Window {
public:
  CountingView* view = nullptr;

protected:
  void CreateControls() override { view = AddControl(new CountingView, "View", {0, 0, 100, 100}, LockAll); }
};

// A minimal sheet: Done and Cancel hide it and record the outcome.
class TestSheet : public Window {
public:
  bool DoneFlag = false;
  int activations = 0;

protected:
  void Layout() override {
    SetFrame(FrameSheet);
    SetTitle("Sheet");
    SetSize(200, 100);
    SetMinSize(64, 64);
  }
  void CreateControls() override {
    AddControl(new EFField(0), "EF", {10, 10, 44, 22})->setText("12.5");
    auto* cancel = AddControl(new PushButton("Cancel"), "PBCancel", {10, 60, 69, 20});
    cancel->SetCancel(true);
    connect(cancel, &PushButton::Action, this, [this] {
      DoneFlag = false;
      Hide();
    });
    auto* done = AddControl(new PushButton("Done"), "PBDone", {110, 60, 69, 20});
    done->SetDefault(true);
    connect(done, &PushButton::Action, this, [this] {
      DoneFlag = true;
      Hide();
    });
  }
  void Event_Activate() override {
    ++activations;
    auto& ef = ControlRef<EditField>("EF", 0);
    ef.SetSelStart(0);
    ef.SetSelLength(static_cast<int>(ef.Text().size()));
    ef.SetFocus();
  }
};

}  // namespace

TEST(UiWindow, CreationOrderAndControlLookupByNameAndIndex) {
  LoggingWindow w;
  w.Construct();
  // A control that opens with its window does so through its own call, in
  // creation order, and its Open signal is not raised besides.
  EXPECT_EQ(w.log, (std::vector<std::string>{"Layout", "CreateControls", "SLScale_Open", "Opener_OpenWithWindow",
                                             "AddMenuHandlers", "Open"}));
  EXPECT_EQ(w.Title(), "Log");
  EXPECT_EQ(w.ControlCount(), 6);

  // Array elements by name and index; a missing index finds nothing.
  EXPECT_EQ(w.Control("EF", 0), nullptr);
  for (int i = 1; i <= 3; ++i) {
    auto* ef = w.ControlAs<EditField>("EF", i);
    ASSERT_NE(ef, nullptr);
    EXPECT_EQ(ef->Index(), i);
    EXPECT_EQ(ef->geometry(), QRect(10 + 50 * i, 10, 44, 22));
  }
  EXPECT_EQ(w.Control("EF", 4), nullptr);
  // An array is not found by its name alone, a single control is.
  EXPECT_EQ(w.Control("EF"), nullptr);
  EXPECT_NE(w.ControlAs<PushButton>("PBDone"), nullptr);
  EXPECT_EQ(w.Control("PBDone", 0), nullptr);
  EXPECT_EQ(w.Control("Nothing"), nullptr);
  // A typed look-up of the wrong class finds nothing; going on through nil throws.
  EXPECT_EQ(w.ControlAs<Slider>("PBDone"), nullptr);
  EXPECT_THROW((void)w.ControlRef<EditField>("EF", 0), NilObjectException);
  EXPECT_NO_THROW((void)w.ControlRef<Slider>("SLScale"));
  EXPECT_EQ(Window::LiveWindow<LoggingWindow>(), &w);
  // A document window shows itself at the end of its creation, a sheet does not.
  EXPECT_TRUE(w.isVisible());
  TestSheet sheet;
  sheet.Construct();
  EXPECT_FALSE(sheet.isVisible());

  // A 3D view opens during creation, and only once.
  ViewWindow v;
  v.Construct();
  ASSERT_NE(v.view, nullptr);
  EXPECT_EQ(v.view->opens, 1);
  EXPECT_TRUE(v.view->IsOpen());
}

TEST(UiWindow, LiveWindowForgetsAWindowDestroyedOnClose) {
  EXPECT_EQ(Window::LiveWindow<TestSheet>(), nullptr);
  auto* sheet = new TestSheet;
  sheet->Construct();
  EXPECT_EQ(Window::LiveWindow<TestSheet>(), sheet);
  // Closed without destroy-on-close: only hidden, still live.
  sheet->Show();
  sheet->close();
  EXPECT_FALSE(sheet->isVisible());
  EXPECT_EQ(Window::LiveWindow<TestSheet>(), sheet);
  QPointer<TestSheet> guard(sheet);
  sheet->SetDestroyOnClose(true);
  sheet->Show();
  sheet->close();
  EXPECT_EQ(Window::LiveWindow<TestSheet>(), nullptr);
  EXPECT_TRUE(waitFor([&] {
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return guard.isNull();
  }));
}

TEST(UiWindow, ShowModalWithinReturnsOnlyAfterTheSheetIsHidden) {
  LoggingWindow parent;
  parent.Construct();
  parent.Show();
  TestSheet sheet;
  sheet.Construct();

  bool visibleDuringWait = false;
  bool modalDuringWait = false;
  bool attached = false;
  bool returned = false;
  int activationsDuringWait = 0;
  std::string selectedDuringWait;
  QTimer::singleShot(100, [&] {
    activationsDuringWait = sheet.activations;
    selectedDuringWait = sheet.ControlRef<EditField>("EF", 0).selectedText().toStdString();
    visibleDuringWait = sheet.isVisible() && sheet.IsShownModally();
    modalDuringWait = sheet.windowModality() == Qt::WindowModal;
    attached = sheet.parentWidget() == &parent;
    EXPECT_FALSE(returned);
    sheet.ControlRef<PushButton>("PBDone").click();
  });
  // Safety net so a broken loop fails instead of hanging.
  QTimer::singleShot(5000, [&] { sheet.Hide(); });
  sheet.ShowModalWithin(&parent);
  returned = true;
  EXPECT_TRUE(visibleDuringWait);
  EXPECT_TRUE(modalDuringWait);
  EXPECT_TRUE(attached);
  // The sheet became active in front of its parent and selected its focus field.
  EXPECT_GE(activationsDuringWait, 1);
  EXPECT_EQ(selectedDuringWait, "12.5");
  EXPECT_TRUE(sheet.DoneFlag);
  EXPECT_FALSE(sheet.isVisible());
  EXPECT_FALSE(sheet.IsShownModally());

  // Shown again: Cancel ends it, typed text stays.
  QTimer::singleShot(100, [&] {
    sheet.ControlRef<EditField>("EF", 0).SetText("7");
    sheet.ControlRef<PushButton>("PBCancel").click();
  });
  QTimer::singleShot(5000, [&] { sheet.Hide(); });
  sheet.ShowModalWithin(&parent);
  EXPECT_FALSE(sheet.DoneFlag);
  EXPECT_EQ(sheet.ControlRef<EditField>("EF", 0).Text(), "7");
}

TEST(UiWindow, ReturnPressesTheDefaultButtonAndEscapeTheCancelButton) {
  LoggingWindow parent;
  parent.Construct();
  parent.Show();
  TestSheet sheet;
  sheet.Construct();
  auto& field = sheet.ControlRef<EditField>("EF", 0);

  // Return typed into an edit field reaches the default button.
  QTimer::singleShot(100, [&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&field, &press);
  });
  QTimer::singleShot(5000, [&] { sheet.Hide(); });
  sheet.DoneFlag = false;
  sheet.ShowModalWithin(&parent);
  EXPECT_TRUE(sheet.DoneFlag);

  QTimer::singleShot(100, [&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&field, &press);
  });
  QTimer::singleShot(5000, [&] { sheet.Hide(); });
  sheet.ShowModalWithin(&parent);
  EXPECT_FALSE(sheet.DoneFlag);

  // Without a cancel button Escape does nothing: the sheet stays up.
  sheet.ControlRef<PushButton>("PBCancel").SetCancel(false);
  EXPECT_FALSE(sheet.ControlRef<PushButton>("PBCancel").Cancel());
  EXPECT_TRUE(sheet.ControlRef<PushButton>("PBDone").Default());
  bool stillShown = false;
  QTimer::singleShot(100, [&] {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QApplication::sendEvent(&field, &press);
  });
  QTimer::singleShot(300, [&] {
    stillShown = sheet.isVisible();
    sheet.DoneFlag = true;
    sheet.Hide();
  });
  sheet.ShowModalWithin(&parent);
  EXPECT_TRUE(stillShown);
}

TEST(UiWindow, ActivationRunsTheHookThatSelectsTheFocusField) {
  TestSheet sheet;
  sheet.Construct();
  sheet.Show();
  ASSERT_TRUE(waitFor([&] { return sheet.activations > 0; })) << "the window never became active";
  auto& field = sheet.ControlRef<EditField>("EF", 0);
  EXPECT_EQ(field.SelStart(), 0);
  EXPECT_EQ(field.SelLength(), 4);
  EXPECT_EQ(field.selectedText(), "12.5");
  EXPECT_TRUE(field.hasFocus());
  sheet.Hide();
}

TEST(UiWindow, LockedControlsFollowTheEdgesAndTheMinimumSizeHolds) {
  Window w;
  w.SetSize(300, 200);
  w.SetMinSize(300, 200);
  auto* right = w.AddControl(new PushButton("R"), "Right", {250, 10, 40, 20}, LockTop | LockRight);
  auto* view = w.AddControl(new QWidget, "View", {0, 0, 200, 150}, LockAll);
  auto* bottom = w.AddControl(new Slider, "Bottom", {10, 170, 50, 16}, LockLeft | LockBottom);
  auto* corner = w.AddControl(new QWidget, "Corner", {290, 190, 5, 5}, LockRight | LockBottom);
  auto* fixed = w.AddControl(new QWidget, "Fixed", {100, 100, 10, 10});
  w.Show();
  pump(50);
  EXPECT_EQ(w.Width(), 300);
  EXPECT_EQ(w.Height(), 200);
  EXPECT_EQ(right->geometry(), QRect(250, 10, 40, 20));

  w.SetSize(420, 260);
  pump(50);
  EXPECT_EQ(w.Width(), 420);
  EXPECT_EQ(w.Height(), 260);
  EXPECT_EQ(right->geometry(), QRect(370, 10, 40, 20));  // 10 from the right edge still
  EXPECT_EQ(view->geometry(), QRect(0, 0, 320, 210));    // grows with the window
  EXPECT_EQ(bottom->geometry(), QRect(10, 230, 50, 16));  // 14 from the bottom still
  EXPECT_EQ(corner->geometry(), QRect(410, 250, 5, 5));
  EXPECT_EQ(fixed->geometry(), QRect(100, 100, 10, 10));

  // Cannot shrink below the minimum; the controls return to their design places.
  w.resize(100, 80);
  pump(50);
  EXPECT_EQ(w.Width(), 300);
  EXPECT_EQ(w.Height(), 200);
  EXPECT_GE(w.width(), 300);
  EXPECT_EQ(right->geometry(), QRect(250, 10, 40, 20));
  EXPECT_EQ(view->geometry(), QRect(0, 0, 200, 150));
}

TEST(UiWindow, MenuBarKeepsTheContentAreaAndDispatchesItemsByName) {
  auto bar = std::make_shared<MenuBar>();
  auto file = std::make_shared<MenuItem>("FileMenu", "&File");
  bar->Append(file);
  file->Append(std::make_shared<QuitMenuItem>("FileQuit", "Quit", "Cmd+Q"));
  auto edit = std::make_shared<MenuItem>("EditMenu", "&Edit");
  bar->Append(edit);
  edit->Append(std::make_shared<MenuItem>("EditUndo", "Undo", "Cmd+Z"));
  edit->Append(std::make_shared<MenuItem>("UntitledMenu0", "-"));
  edit->Append(std::make_shared<MenuItem>("EditCopy", "Copy", "Cmd+C"));
  auto help = std::make_shared<MenuItem>("HelpMenu", "Help");
  bar->Append(help);
  help->Append(std::make_shared<MenuItem>("HelpAbout", "AboutVoltix..."));

  EXPECT_EQ(bar->Child("EditMenu"), edit);
  EXPECT_EQ(bar->Child("EditCopy"), nullptr);  // not a heading
  EXPECT_EQ(bar->Find("EditCopy")->Text, "Copy");
  EXPECT_TRUE(bar->Find("UntitledMenu0")->IsSeparator());
  EXPECT_EQ(ToKeySequence("Cmd+Q"), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_TRUE(ToKeySequence("").isEmpty());

  Window w;
  w.SetMenuBar(bar);
  w.SetSize(300, 200);
  w.SetMinSize(300, 200);
  w.AddControl(new QWidget, "View", {0, 0, 300, 200}, LockAll);
  w.Show();
  pump(50);
  EXPECT_EQ(w.Width(), 300);
  EXPECT_EQ(w.Height(), 200);
  EXPECT_GT(w.height(), 200);  // the bar sits above the content area

  ASSERT_NE(w.MenuAction("FileQuit"), nullptr);
  EXPECT_EQ(w.MenuAction("FileQuit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
  EXPECT_EQ(w.MenuAction("HelpAbout")->text(), "AboutVoltix...");
  EXPECT_TRUE(w.MenuAction("UntitledMenu0")->isSeparator());

  int about = 0;
  w.AddMenuHandler("HelpAbout", [&] {
    ++about;
    return true;
  });
  w.MenuAction("HelpAbout")->trigger();
  EXPECT_EQ(about, 1);
  EXPECT_TRUE(w.ChooseMenuItem("HelpAbout"));
  EXPECT_EQ(about, 2);
  // No handler and a plain item: nothing handles it.
  EXPECT_FALSE(w.ChooseMenuItem("EditUndo"));

  // The quit item ends the application's loop; a handler returning false lets
  // it. (The application's own loop: it also clears the quit state after.)
  w.AddMenuHandler("FileQuit", [] { return false; });
  QTimer::singleShot(10, [&] { w.MenuAction("FileQuit")->trigger(); });
  QTimer::singleShot(3000, [] { QCoreApplication::exit(99); });
  EXPECT_EQ(QApplication::exec(), 0);
}

TEST(UiWindow, AnExceptionInAHandlerIsReportedAndTheProgramGoesOn) {
  AlertRecorder alerts;
  MsgBox("hello");
  Beep();
  ASSERT_EQ(alerts.messages.size(), 1u);
  EXPECT_EQ(alerts.messages[0], "hello");
  EXPECT_EQ(alerts.beeps, 1);

  Window w;
  w.SetSize(200, 100);
  auto* bad = w.AddControl(new PushButton("Bad"), "Bad", {0, 0, 60, 20});
  auto* good = w.AddControl(new PushButton("Good"), "Good", {0, 30, 60, 20});
  auto* slider = w.AddControl(new Slider, "Slider", {0, 60, 100, 16});
  slider->SetRange(0, 10);
  int goodClicks = 0;
  QObject::connect(bad, &PushButton::Action, [] { throw std::runtime_error("boom"); });
  QObject::connect(good, &PushButton::Action, [&] { ++goodClicks; });
  w.Show();

  bad->click();
  ASSERT_EQ(alerts.messages.size(), 2u);
  EXPECT_EQ(alerts.messages[1], "An error occurred: boom. Voltix goes on.");
  good->click();
  EXPECT_EQ(goodClicks, 1);
  EXPECT_FALSE(good->isDown());

  // A change handler raised by code inside another handler lets the exception
  // travel to that handler's caller: the rest of the outer handler is skipped
  // and the error is reported once.
  bool outerFinished = false;
  QObject::connect(slider, &Slider::ValueChanged, [] { throw NilObjectException(); });
  QObject::disconnect(good, &PushButton::Action, nullptr, nullptr);
  QObject::connect(good, &PushButton::Action, [&] {
    slider->SetValue(5);
    outerFinished = true;
  });
  good->click();
  EXPECT_FALSE(outerFinished);
  ASSERT_EQ(alerts.messages.size(), 3u);
  EXPECT_NE(alerts.messages[2].find("NilObjectException"), std::string::npos);
  EXPECT_EQ(slider->Value(), 5);

  // A sheet handler that throws while a handler waits in ShowModalWithin is
  // reported inside the wait, and the wait still ends when the sheet hides.
  TestSheet sheet;
  sheet.Construct();
  auto* thrower = sheet.AddControl(new PushButton("T"), "Thrower", {100, 10, 60, 20});
  QObject::connect(thrower, &PushButton::Action, [] { throw std::logic_error("inside"); });
  bool returned = false;
  QObject::disconnect(good, &PushButton::Action, nullptr, nullptr);
  QObject::connect(good, &PushButton::Action, [&] {
    QTimer::singleShot(50, [&] {
      thrower->click();
      sheet.ControlRef<PushButton>("PBDone").click();
    });
    QTimer::singleShot(5000, [&] { sheet.Hide(); });
    sheet.ShowModalWithin(&w);
    returned = true;
  });
  good->click();
  EXPECT_TRUE(returned);
  EXPECT_TRUE(sheet.DoneFlag);
  ASSERT_EQ(alerts.messages.size(), 4u);
  EXPECT_EQ(alerts.messages[3], "An error occurred: inside. Voltix goes on.");
}
