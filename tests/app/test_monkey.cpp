// The seeded monkey: a few hundred random input events on the main window and
// the sheets they open, with the program's state checked after each step.
// VOLTIX_MONKEY_SEED and VOLTIX_MONKEY_STEPS choose another run by hand.

#include "app_fixture.h"
#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "scene/pd_box.h"
#include "monkey.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

constexpr std::uint64_t kDefaultSeed = 20240607;
constexpr std::uint64_t kDefaultSteps = 300;

// A whole number from the environment, the fallback when unset, or nothing
// when the text is no whole number.
std::optional<std::uint64_t> Setting(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  std::uint64_t value = 0;
  const char* end = text + std::strlen(text);
  const auto [at, error] = std::from_chars(text, end, value);
  if (error != std::errc() || at != end) return std::nullopt;
  return value;
}

}  // namespace

class MonkeyTest : public AppTest {};

TEST_F(MonkeyTest, RandomInputLeavesTheProgramAnsweringWithListsAndSceneInStep) {
  const auto seed = Setting("VOLTIX_MONKEY_SEED", kDefaultSeed);
  const auto steps = Setting("VOLTIX_MONKEY_STEPS", kDefaultSteps);
  ASSERT_TRUE(seed.has_value()) << "VOLTIX_MONKEY_SEED is no whole number";
  ASSERT_TRUE(steps.has_value()) << "VOLTIX_MONKEY_STEPS is no whole number";
  // Input reaches the window's focused control whether or not it is active;
  // waiting only makes a run repeat more exactly.
  (void)QTest::qWaitForWindowActive(w);

  Monkey monkey(*w, *seed);
  std::size_t messagesSeen = 0;
  std::size_t objectsMade = 0;
  for (std::uint64_t step = 0; step < *steps; ++step) {
    const std::size_t listedBefore = w->ChrgObjList.size();
    monkey.Step(static_cast<int>(step));
    std::vector<std::string> problems = monkey.TakeProblems();
    if (auto stuck = monkey.Settle()) problems.push_back(*stuck);
    for (const std::string& p : monkey.TakeProblems()) problems.push_back(p);
    // Message boxes reach the sink; one that reports an escaped exception is a fault.
    for (; messagesSeen < messages.size(); ++messagesSeen) {
      const std::string& m = messages[messagesSeen];
      if (m.empty() || m.rfind("An error occurred", 0) == 0) problems.push_back("message box: \"" + m + "\"");
    }
    for (const std::string& p : ProgramStateProblems(*w)) problems.push_back(p);

    if (w->ChrgObjList.size() > listedBefore) objectsMade += w->ChrgObjList.size() - listedBefore;

    if (!problems.empty()) {
      std::ostringstream report;
      report << "seed " << *seed << ", step " << step << " (VOLTIX_MONKEY_SEED=" << *seed
             << " VOLTIX_MONKEY_STEPS=" << step + 1 << " repeats it)\nthe step:";
      for (const std::string& a : monkey.Actions()) report << "\n  " << a;
      report << "\nwhat is wrong:";
      for (const std::string& p : problems) report << "\n  " << p;
      ADD_FAILURE() << report.str();
      monkey.CloseLeftovers();
      return;
    }
  }
  monkey.CloseLeftovers();
  RecordProperty("sheets", monkey.SheetsShown());
  RecordProperty("objects_made", static_cast<int>(objectsMade));
  RecordProperty("messages", static_cast<int>(messages.size()));
  // A run whose input never arrived would pass without testing anything.
  if (*steps >= 100) {
    EXPECT_GT(monkey.SheetsShown(), 0) << "seed " << *seed << ": no sheet came up";
    EXPECT_GT(objectsMade, 0u) << "seed " << *seed << ": no charged object was made";
  }
}

namespace {

std::string Joined(const std::vector<std::string>& lines) {
  std::string all;
  for (const std::string& l : lines) all += l + "\n";
  return all;
}

}  // namespace

TEST_F(MonkeyTest, StateCheckNamesEachWayTheListsAndTheSceneFallOutOfStep) {
  w->MakePoint();
  w->MakeRing();  // with its grid
  ASSERT_EQ(w->ChrgObjList.size(), 2u);
  ASSERT_TRUE(w->SurfaceList[1]->gridEnabled);
  ASSERT_EQ(Joined(ProgramStateProblems(*w)), "");
  auto& list = C<ListBox>("ObjectList");
  const auto expectNamed = [&](const char* words) {
    const std::string problems = Joined(ProgramStateProblems(*w));
    EXPECT_NE(problems.find(words), std::string::npos) << "expected \"" << words << "\" in:\n" << problems;
    w->CalcVoltix();  // draws everything afresh
    EXPECT_EQ(Joined(ProgramStateProblems(*w)), "");
  };

  list.SetSelected(0, true);  // the ring is the selected object
  expectNamed("row 0 is highlighted, the selected object is row 1");
  view->RemoveObject(w->ChrgObjList[0]->ChargeList[0]->GraphRep);
  expectNamed("point charge 0 of the Point at 0 has no sphere in the view");
  w->ChrgObjList[0]->DisplayIt();  // a second sphere for the point
  expectNamed("22 charge spheres in the view for 21 listed point charges");
  w->ChrgObjList[1]->DisplayIt();  // the selected ring redrawn as unselected
  expectNamed("the Ring at 1 is drawn unselected");
  w->SurfaceList[1]->DrawGrid();  // the grid's earlier lines stay behind
  expectNamed("a line in the view is no axis and no listed grid's");
  view->Objects()->Item(view->Objects()->Count() - 1)->Position.Y = std::nan("");
  expectNamed("has a non-finite position");
  view->Objects()->Item(view->Objects()->Count() - 1)->Orientation.W = INFINITY;
  expectNamed("has a non-finite orientation");
  C<CheckBox>("CBDotMatrix").SetValue(true);
  Settle();
  w->Matrix.pop_back();
  expectNamed("a box in the view is neither a dot nor the test dot");

  C<CheckBox>("CBTest").SetValue(true);
  C<EditField>("EFX").SetText("120");
  ASSERT_NE(w->TestDot, nullptr);
  w->TestDot->pos = Vector3D(0, 0, 0);
  expectNamed("the test dot is not shown at the fields' 120,0,0");
  C<EditField>("EFX").SetText("2e6");  // too far out: no dot
  EXPECT_EQ(Joined(ProgramStateProblems(*w)), "");

  // The window keeps its lists aligned and shows them read-only; only a test
  // that breaks them on purpose writes to them behind its back.
  auto& bodies = const_cast<std::vector<std::shared_ptr<SurfaceData>>&>(w->SurfaceList);
  std::swap(bodies[0], bodies[1]);
  EXPECT_NE(Joined(ProgramStateProblems(*w)).find("the Point at 0 has a Ring body"), std::string::npos);
  std::swap(bodies[0], bodies[1]);
  list.RemoveRow(1);
  EXPECT_NE(Joined(ProgramStateProblems(*w)).find("2 charged objects, 2 bodies and 1 rows"), std::string::npos);
}

TEST_F(MonkeyTest, AMessageBoxOutsideTheSinkIsReportedAndEndedInsteadOfBlocking) {
  // The default alerts: a real, modal message box.
  const UserAlertSink recording = SetUserAlertSink({});
  Monkey monkey(*w, kDefaultSeed);
  QTimer::singleShot(0, w, [] { MsgBox("Hello"); });
  EXPECT_EQ(monkey.Settle(), std::nullopt);
  SetUserAlertSink(recording);
  const std::string problems = Joined(monkey.TakeProblems());
  EXPECT_NE(problems.find("a modal window that is no sheet came up: QMessageBox"), std::string::npos) << problems;
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
