#pragma once

// A seeded monkey for the main window. It sends real input (mouse and key
// events through the window system's path, text through the input method) to
// the main window, fills and closes every sheet that opens on the way, and
// lets the event loop run until the program is idle again. What it does
// depends on the seed and on what is on the screen, never on the clock.

#include <QElapsedTimer>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class EditField;
class MainWndo;
class QWidget;
class QWindow;
class Window;

// Pseudo-random numbers from a seed and a stream number: each step draws from
// a stream of its own, so a step that goes differently (a sheet that did not
// open) leaves the later steps as they were.
class MonkeyDice {
 public:
  MonkeyDice(std::uint64_t seed, std::uint64_t stream);
  std::uint64_t Next();
  // 0 .. n-1 (n > 0).
  int Below(int n);
  // lo .. hi, both included.
  int Between(int lo, int hi);
  bool Percent(int p);
  template <class T>
  const T& Pick(const std::vector<T>& items) {
    return items[static_cast<std::size_t>(Below(static_cast<int>(items.size())))];
  }

 private:
  std::uint64_t state_;
};

// Texts a user might type into a number field: ordinary numbers and hostile
// ones (empty, huge, tiny, NaN, inf, negative, very long, unicode, junk), as
// UTF-8.
std::string MonkeyText(MonkeyDice& dice);
// The same for a count field, whose number becomes that many point charges:
// counts that would make an object too slow to draw are made small, while
// counts far over the program's limit stay (it refuses them).
std::string MonkeyCountText(MonkeyDice& dice);

// What is wrong with the main window's model and scene, if anything: the
// charged objects, their bodies, the list rows and the spheres in the view
// out of step; the highlighted row not the selected object; a non-finite
// position, scale or orientation in the view.
std::vector<std::string> ProgramStateProblems(MainWndo& w);

class Monkey : public QObject {
 public:
  Monkey(MainWndo& w, std::uint64_t seed);
  ~Monkey() override;

  // One action on the main window; every sheet it opens is filled and closed
  // from inside the sheet's own wait.
  void Step(int step);
  // Runs the event loop until the program is idle: the loop has turned, no
  // handler is running and no sheet or other modal window is up. The problem
  // when it is not idle within a generous bound.
  std::optional<std::string> Settle();
  // What was done in the current step, for a failure report.
  [[nodiscard]] const std::vector<std::string>& Actions() const { return actions_; }
  // What went wrong while driving (a text not kept as typed, a modal window
  // that is no sheet, a sheet that would not close); emptied by the call.
  std::vector<std::string> TakeProblems();
  // How many times a sheet came up.
  [[nodiscard]] int SheetsShown() const { return sheetsShown_; }
  // Closes what the last step may have left open (a popup list).
  void CloseLeftovers();

 private:
  struct SheetVisit {
    QPointer<Window> sheet;
    int planned = 0;
    int done = 0;
    int closeAttempts = 0;
    QElapsedTimer shown;
  };

  void act(const std::string& what);
  void problem(const std::string& what);

  // --- input through the window system's path --------------------------------
  void mouse(QWindow* window, QPoint at, Qt::MouseButtons state, Qt::MouseButton button, int type);
  // A click, or a double click, at a point of the widget's window.
  void click(QWidget* widget, QPoint at, bool twice = false);
  void drag(QWidget* widget, const std::vector<QPoint>& path);
  void key(QWidget* window, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {});
  // Selects the focused field's text and replaces it by `text`, typed key by
  // key when short and plain, committed by the input method otherwise.
  void typeInto(EditField& field, const std::string& text);

  // --- main window --------------------------------------------------------------
  QPoint pointIn(QWidget* control);
  // Clicks an item of the popup list now open, if any.
  void pickFromOpenList();
  void clickAnywhere(bool twice);
  void clickControl(bool twice);
  void dragSlider();
  void dragAnywhere();
  void pressKey(QWidget* window);
  void typeTestCoordinate();

  // --- sheets -------------------------------------------------------------------
  void onTick();
  Window* openSheet() const;
  void sheetAction(Window& sheet);
  void closeSheet(Window& sheet);

  MainWndo& w_;
  std::uint64_t seed_;
  MonkeyDice dice_;
  QTimer ticker_;
  bool driving_ = false;
  SheetVisit visit_;
  std::vector<std::string> actions_;
  std::vector<std::string> problems_;
  int sheetsShown_ = 0;
};
