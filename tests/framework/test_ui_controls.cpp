#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QToolButton>

#include <string>
#include <vector>

#include "framework/ui/controls.h"
#include "framework/ui/resources.h"
#include "framework/ui/timer.h"
#include "framework/ui/window.h"

namespace {

void pump(int ms) {
  QElapsedTimer t;
  t.start();
  do {
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  } while (t.elapsed() < ms);
}

// A left-button press and release at a point of the widget's viewport.
void clickAt(QWidget* target, QPoint pos) {
  const QPointF local(pos);
  const QPointF global(target->mapToGlobal(pos));
  QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(target, &release);
}

// A mouse event of the left button at a point of the widget; `held` are the
// buttons down after it.
void mouseOn(QWidget* target, QEvent::Type type, QPoint pos, Qt::MouseButtons held,
             Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
  QMouseEvent event(type, QPointF(pos), QPointF(target->mapToGlobal(pos)), button, held, mods);
  QApplication::sendEvent(target, &event);
}

// A key press and release on the widget, with the text the key types.
void keyOn(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {}) {
  QKeyEvent press(QEvent::KeyPress, key, mods, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, mods, text);
  QApplication::sendEvent(target, &release);
}

struct Counter {
  int n = 0;
  void operator()() { ++n; }
};

}  // namespace

TEST(UiControls, ValuesSetByCodeRaiseTheChangeEvents) {
  Slider slider;
  slider.SetRange(-3, 3);
  slider.SetLineStep(1);
  slider.SetPageStep(20);
  int sliderEvents = 0;
  int seen = 99;
  QObject::connect(&slider, &Slider::ValueChanged, [&] {
    ++sliderEvents;
    seen = slider.Value();
  });
  slider.SetValue(2);
  EXPECT_EQ(sliderEvents, 1);
  EXPECT_EQ(seen, 2);
  slider.SetValue(2);  // unchanged: no event
  EXPECT_EQ(sliderEvents, 1);
  slider.SetValue(10);  // clamped to the range
  EXPECT_EQ(slider.Value(), 3);
  EXPECT_EQ(sliderEvents, 2);
  EXPECT_EQ(slider.Minimum(), -3);
  EXPECT_EQ(slider.Maximum(), 3);
  EXPECT_EQ(slider.PageStep(), 20);

  // Live scroll off: dragging raises nothing until the user lets go; code still does.
  slider.SetLiveScroll(false);
  EXPECT_FALSE(slider.LiveScroll());
  slider.setSliderDown(true);
  slider.setSliderPosition(-1);
  slider.setSliderPosition(-2);
  EXPECT_EQ(sliderEvents, 2);
  slider.setSliderDown(false);
  EXPECT_EQ(sliderEvents, 3);
  EXPECT_EQ(seen, -2);
  slider.SetValue(0);
  EXPECT_EQ(sliderEvents, 4);
  // Live scroll on: every drag step raises the event.
  slider.SetLiveScroll(true);
  slider.setSliderDown(true);
  slider.setSliderPosition(1);
  slider.setSliderPosition(2);
  slider.setSliderDown(false);
  EXPECT_EQ(sliderEvents, 6);

  CheckBox box("Show Grid");
  Counter boxEvents;
  QObject::connect(&box, &CheckBox::Action, std::ref(boxEvents));
  box.SetValue(true);
  EXPECT_TRUE(box.Value());
  box.SetValue(true);
  box.SetValue(false);
  EXPECT_EQ(boxEvents.n, 2);
  box.click();  // as the user
  EXPECT_EQ(boxEvents.n, 3);
  EXPECT_TRUE(box.Value());

  EditField field("0");
  Counter textEvents;
  QObject::connect(&field, &EditField::TextChange, std::ref(textEvents));
  field.SetText("12.5");
  EXPECT_EQ(textEvents.n, 1);
  EXPECT_EQ(field.Text(), "12.5");
  field.insert("7");  // as if typed
  EXPECT_EQ(textEvents.n, 2);
  field.SetSelStart(1);
  field.SetSelLength(3);
  EXPECT_EQ(field.SelStart(), 1);
  EXPECT_EQ(field.SelLength(), 3);
  EXPECT_EQ(field.selectedText(), "2.5");
  field.SetSelLength(100);  // clipped to the text
  EXPECT_EQ(field.SelLength(), 4);
  field.SetText("");
  field.SetSelStart(0);
  field.SetSelLength(0);
  EXPECT_EQ(field.SelLength(), 0);

  // No length limit: a text of 40,000 set by code, and keys typed after it.
  const std::string forty(40'000, '9');
  field.SetText(forty);
  EXPECT_EQ(field.Text(), forty);
  field.SetSelStart(40'000);
  for (const char key : {'1', '2'}) {
    QKeyEvent press(QEvent::KeyPress, Qt::Key_0 + (key - '0'), Qt::NoModifier, QString(QChar(key)));
    QApplication::sendEvent(&field, &press);
  }
  EXPECT_EQ(field.Text().size(), 40'002u);
  EXPECT_EQ(field.Text().substr(39'999), "912");

  PopupMenu popup;
  Counter popupEvents;
  QObject::connect(&popup, &PopupMenu::Change, std::ref(popupEvents));
  popup.SetItems("All\nxz plane\nyz plane\nxy plane\nNone\n");
  EXPECT_EQ(popup.ListCount(), 5);
  EXPECT_EQ(popup.List(4), "None");
  EXPECT_EQ(popup.ListIndex(), 0);
  const int afterFill = popupEvents.n;
  popup.SetListIndex(3);
  EXPECT_EQ(popup.ListIndex(), 3);
  EXPECT_EQ(popupEvents.n, afterFill + 1);
  popup.SetListIndex(7);  // no such item: nothing changes
  EXPECT_EQ(popup.ListIndex(), 3);
  EXPECT_EQ(popupEvents.n, afterFill + 1);
}

TEST(UiControls, RadioButtonsExcludeEachOtherAndCanBeClearedByCode) {
  QWidget parent;
  auto* inside = new RadioButton("Inside", &parent);
  auto* outside = new RadioButton("Outside", &parent);
  auto* both = new RadioButton("Both", &parent);
  both->SetValue(true);
  std::vector<std::string> actions;
  QObject::connect(inside, &RadioButton::Action, [&] { actions.push_back("Inside"); });
  QObject::connect(outside, &RadioButton::Action, [&] { actions.push_back("Outside"); });
  QObject::connect(both, &RadioButton::Action, [&] { actions.push_back("Both"); });

  inside->click();  // the user's choice clears the others
  EXPECT_TRUE(inside->Value());
  EXPECT_FALSE(outside->Value());
  EXPECT_FALSE(both->Value());
  inside->click();  // clicking the chosen one keeps it chosen
  EXPECT_TRUE(inside->Value());

  // Set in the program's order: True for one, then False for the others.
  outside->SetValue(true);
  inside->SetValue(false);
  both->SetValue(false);
  EXPECT_FALSE(inside->Value());
  EXPECT_TRUE(outside->Value());
  EXPECT_FALSE(both->Value());
  // Even the chosen button can be cleared from code.
  outside->SetValue(false);
  EXPECT_FALSE(outside->Value());
  EXPECT_EQ(actions, (std::vector<std::string>{"Inside", "Outside"}));
}

TEST(UiControls, ListBoxRowsAndCellClickBeforeSelection) {
  Window w;
  w.SetSize(200, 200);
  auto* list = w.AddControl(new ListBox, "ObjectList", {10, 10, 120, 150});
  list->InsertRow(0, "Line", 0);
  list->InsertRow(0, "Point", 0);
  list->InsertRow(list->RowCount(), "Sphere", 0);
  list->InsertRow(2, "Plane", 0);
  ASSERT_EQ(list->RowCount(), 4);
  EXPECT_EQ(list->Cell(0), "Point");
  EXPECT_EQ(list->Cell(1), "Line");
  EXPECT_EQ(list->Cell(2), "Plane");
  EXPECT_EQ(list->Cell(3), "Sphere");
  list->RemoveRow(1);
  EXPECT_EQ(list->RowCount(), 3);
  EXPECT_EQ(list->Cell(1), "Plane");
  list->RemoveRow(5);  // no such row
  EXPECT_EQ(list->RowCount(), 3);

  // Selecting by code: one row at a time.
  list->SetSelected(0, true);
  list->SetSelected(2, true);
  EXPECT_FALSE(list->Selected(0));
  EXPECT_TRUE(list->Selected(2));
  EXPECT_EQ(list->ListIndex(), 2);
  list->SetSelected(2, false);
  EXPECT_EQ(list->ListIndex(), -1);

  w.Show();
  pump(50);
  std::vector<int> clickedRows;
  bool answer = false;
  bool selectedBeforeHandler = true;
  list->CellClick = [&](int row, int column, int x, int y) {
    clickedRows.push_back(row);
    selectedBeforeHandler = list->Selected(row);
    EXPECT_EQ(column, 0);
    EXPECT_GE(x, 0);
    EXPECT_GE(y, 0);
    return answer;
  };
  QWidget* vp = list->viewport();
  const QRect row1 = list->visualItemRect(list->item(1));
  // The handler answers True: the list leaves its selection alone.
  answer = true;
  clickAt(vp, row1.center());
  EXPECT_EQ(clickedRows, std::vector<int>{1});
  EXPECT_FALSE(list->Selected(1));
  // False: the list goes on and selects the row, after the handler ran.
  answer = false;
  clickAt(vp, row1.center());
  EXPECT_EQ(clickedRows, (std::vector<int>{1, 1}));
  EXPECT_FALSE(selectedBeforeHandler);
  EXPECT_TRUE(list->Selected(1));
  EXPECT_EQ(list->ListIndex(), 1);
  // Below the last row: no handler, and the selected row stays selected.
  const QRect last = list->visualItemRect(list->item(2));
  clickAt(vp, QPoint(last.center().x(), last.bottom() + 20));
  EXPECT_EQ(clickedRows.size(), 2u);
  EXPECT_EQ(list->ListIndex(), 1);

  list->DeleteAllRows();
  EXPECT_EQ(list->RowCount(), 0);
  EXPECT_EQ(list->ListIndex(), -1);
}

TEST(UiControls, ListBoxKeysChooseRowsThroughCellClickAndTheUserNeverClearsTheSelection) {
  Window w;
  w.SetSize(200, 200);
  auto* list = w.AddControl(new ListBox, "ObjectList", {10, 10, 120, 150});
  for (const char* name : {"Point", "Line", "Plane", "Ring"}) list->AddRow(name);
  w.Show();
  pump(50);
  std::vector<int> chosen;
  bool keep = false;
  list->CellClick = [&](int row, int, int, int) {
    chosen.push_back(row);
    return keep;
  };
  QWidget* vp = list->viewport();
  auto rowCentre = [&](int row) { return list->visualItemRect(list->item(row)).center(); };

  clickAt(vp, rowCentre(0));
  ASSERT_EQ(list->ListIndex(), 0);
  // Each key that moves the selection tells the handler of the row it reached.
  keyOn(list, Qt::Key_Down);
  EXPECT_EQ(list->ListIndex(), 1);
  keyOn(list, Qt::Key_End);
  EXPECT_EQ(list->ListIndex(), 3);
  keyOn(list, Qt::Key_Down);  // already at the end: nothing moves, nothing raised
  keyOn(list, Qt::Key_Home);
  EXPECT_EQ(list->ListIndex(), 0);
  keyOn(list, Qt::Key_P, Qt::NoModifier, "p");  // typed letters: the next row starting with them
  EXPECT_EQ(list->ListIndex(), 2);
  EXPECT_EQ(chosen, (std::vector<int>{0, 1, 3, 0, 2}));

  // A handler that keeps the choice keeps the highlight where it was.
  keep = true;
  keyOn(list, Qt::Key_Up);
  EXPECT_EQ(chosen.back(), 1);
  EXPECT_EQ(list->ListIndex(), 2);
  EXPECT_TRUE(list->Selected(2));
  keep = false;

  // Nothing the user does leaves no row selected or moves it without the handler.
  const std::size_t raised = chosen.size();
  mouseOn(vp, QEvent::MouseButtonPress, rowCentre(2), Qt::LeftButton, Qt::ControlModifier);
  mouseOn(vp, QEvent::MouseButtonRelease, rowCentre(2), Qt::NoButton, Qt::ControlModifier);
  EXPECT_EQ(list->ListIndex(), 2);
  keyOn(list, Qt::Key_Space, Qt::ControlModifier, " ");
  EXPECT_EQ(list->ListIndex(), 2);
  // A drag from the selected row onto another.
  mouseOn(vp, QEvent::MouseButtonPress, rowCentre(2), Qt::LeftButton);
  mouseOn(vp, QEvent::MouseMove, rowCentre(0), Qt::LeftButton);
  mouseOn(vp, QEvent::MouseButtonRelease, rowCentre(0), Qt::NoButton);
  EXPECT_EQ(list->ListIndex(), 2);
  // Presses and a release on no row.
  const QPoint below(rowCentre(3).x(), list->visualItemRect(list->item(3)).bottom() + 20);
  clickAt(vp, below);
  EXPECT_EQ(list->ListIndex(), 2);
  // Of these only the presses on row 2 itself were choices of a row.
  EXPECT_EQ(chosen.size(), raised + 2);
  for (std::size_t i = raised; i < chosen.size(); ++i) EXPECT_EQ(chosen[i], 2);

  // Code still clears it.
  list->SetSelected(2, false);
  EXPECT_EQ(list->ListIndex(), -1);
}

TEST(UiControls, LittleArrowsRaiseUpAndDownOnlyWhenEnabled) {
  LittleArrows arrows;
  arrows.resize(13, 23);
  int up = 0;
  int down = 0;
  QObject::connect(&arrows, &LittleArrows::Up, [&] { ++up; });
  QObject::connect(&arrows, &LittleArrows::Down, [&] { ++down; });
  arrows.show();
  arrows.ClickUp();
  arrows.ClickUp();
  arrows.ClickDown();
  EXPECT_EQ(up, 2);
  EXPECT_EQ(down, 1);
  // The upper button is above the lower one, both inside the control.
  EXPECT_LT(arrows.UpButton()->geometry().top(), arrows.DownButton()->geometry().top());
  EXPECT_LE(arrows.DownButton()->geometry().bottom(), 22);
  arrows.SetEnabled(false);
  EXPECT_FALSE(arrows.Enabled());
  arrows.ClickUp();
  clickAt(arrows.DownButton(), QPoint(5, 5));
  EXPECT_EQ(up, 2);
  EXPECT_EQ(down, 1);
}

TEST(UiControls, LabelsSeparatorsGroupBoxAndViewer) {
  Window w;
  w.SetSize(300, 200);
  auto* label = w.AddControl(new StaticText("X"), "STLabel", 1, {20, 20, 44, 20});
  label->SetTextAlign(TextAlign::Center);
  EXPECT_TRUE(label->alignment() & Qt::AlignHCenter);
  label->SetTextAlign(TextAlign::Right);
  EXPECT_TRUE(label->alignment() & Qt::AlignRight);
  auto* across = w.AddControl(new Separator, "Separator1", {0, 50, 100, 4});
  auto* upright = w.AddControl(new Separator, "Separator4", {150, 10, 7, 61});
  // A group box made after the buttons it frames does not hide them from clicks.
  auto* radio = w.AddControl(new RadioButton("Inside"), "Inside", {190, 30, 80, 20});
  auto* group = w.AddControl(new GroupBox("Show Field"), "GroupBox1", {180, 10, 100, 90});
  w.Show();
  pump(50);
  EXPECT_EQ(across->frameShape(), QFrame::HLine);
  EXPECT_EQ(upright->frameShape(), QFrame::VLine);
  EXPECT_EQ(group->title(), "Show Field");
  const QPoint inRadio = radio->geometry().center();
  EXPECT_EQ(w.ContentArea()->childAt(inRadio), radio);

  auto* viewer = w.AddControl(new HTMLViewer, "HTMLViewer1", {0, 100, 300, 100}, LockAll);
  viewer->LoadPage("<html><body><h1>Voltix</h1><p>field &amp; charges</p></body></html>");
  EXPECT_TRUE(viewer->toPlainText().contains("field & charges"));
  viewer->selectAll();
  viewer->Cut();  // read-only: the page stays
  viewer->Clear();
  EXPECT_TRUE(viewer->toPlainText().contains("Voltix"));
}

TEST(UiControls, TimerTicksByMode) {
  Timer timer;
  int ticks = 0;
  QObject::connect(&timer, &Timer::Action, [&] { ++ticks; });
  timer.SetPeriod(10);
  timer.SetMode(Timer::ModeMultiple);
  pump(120);
  EXPECT_GE(ticks, 3);
  timer.SetEnabled(false);
  const int stopped = ticks;
  pump(50);
  EXPECT_EQ(ticks, stopped);

  ticks = 0;
  timer.SetEnabled(true);
  timer.SetMode(Timer::ModeSingle);
  pump(80);
  EXPECT_EQ(ticks, 1);
  EXPECT_EQ(timer.Mode(), Timer::ModeOff);
  EXPECT_FALSE(timer.IsRunning());

  // Reset restarts the count: a timer reset every 5 ms with a 40 ms period never fires.
  ticks = 0;
  timer.SetPeriod(40);
  timer.SetMode(Timer::ModeMultiple);
  for (int i = 0; i < 12; ++i) {
    pump(5);
    timer.Reset();
  }
  EXPECT_EQ(ticks, 0);
  timer.SetMode(Timer::ModeOff);
}

TEST(UiControls, GetResourceReadsTypeAndIdUnderTheRoot) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  ASSERT_TRUE(QDir(dir.path()).mkpath("TEXT"));
  const std::string page = "<html><body>About \xc3\xa9lan</body></html>\n";
  {
    QFile f(dir.path() + "/TEXT/168");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(page.data(), static_cast<qint64>(page.size()));
  }
  const std::string previous = ResourceRoot();
  EXPECT_EQ(previous, ":");
  SetResourceRoot(dir.path().toStdString());
  EXPECT_TRUE(HasResources());
  EXPECT_EQ(GetResource("TEXT", 168), page);
  EXPECT_EQ(GetResource("TEXT", 169), std::nullopt);
  EXPECT_EQ(GetResource("PICT", 168), std::nullopt);
  SetResourceRoot(dir.path().toStdString() + "/missing");
  EXPECT_FALSE(HasResources());
  EXPECT_EQ(GetResource("TEXT", 168), std::nullopt);
  SetResourceRoot("");
  EXPECT_EQ(ResourceRoot(), ":");
}
