#include "monkey.h"

#include "app/charge_limits.h"
#include "app/main_wndo.h"
#include "charges/charge_sphere.h"
#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "framework/text/text.h"
#include "framework/ui/controls.h"
#include "scene/pd3d_space.h"
#include "scene/pd_box.h"
#include "scene/pd_line.h"
#include "scene/pd_round_arrow.h"
#include "sheets/charge_sheets.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QElapsedTimer>
#include <QInputMethodEvent>
#include <QScopedValueRollback>
#include <QStyle>
#include <QTest>
#include <QWindow>

#include <cmath>
#include <memory>
#include <optional>
#include <sstream>
#include <unordered_set>

// The window system's input entry points, as QTest uses them; both deliver at once.
Q_GUI_EXPORT void qt_handleMouseEvent(QWindow* window, const QPointF& local, const QPointF& global,
                                      Qt::MouseButtons state, Qt::MouseButton button, QEvent::Type type,
                                      Qt::KeyboardModifiers mods, int timestamp);
Q_GUI_EXPORT void qt_handleKeyEvent(QWindow* w, QEvent::Type t, int k, Qt::KeyboardModifiers mods, const QString& text,
                                    bool autorep, ushort count);

namespace {

// The longest text typed into a field: past the 32,767 characters a line
// edit keeps by default.
constexpr int kLongestText = 40000;

// Counts the monkey types: at most this many per count field, so that a
// scene stays quick to draw ...
constexpr std::int32_t kLargestCount = 24;
// ... unless so large that every kind refuses it (2,000,000 point charges).
constexpr std::int32_t kRefusedCount = 10'000'000;

// A sheet is filled with at most this many actions, then closed; a sheet
// still open after this many attempts to close it is a fault.
constexpr int kMostSheetActions = 6;
constexpr int kCloseAttempts = 8;
// How long a sheet may take to become the active window before the monkey
// goes on without waiting (the wait only makes runs repeat more exactly).
constexpr qint64 kActivationWaitMs = 2000;
// Bound on one step's return to idle: far above any small scene's pass, so
// that only a program that stopped answering reaches it.
constexpr qint64 kSettleLimitMs = 30000;

std::uint64_t SplitMix(std::uint64_t& x) {
  std::uint64_t z = (x += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  out.reserve(s.size() * static_cast<std::size_t>(std::max(n, 0)));
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

const std::vector<std::string>& HostileTexts() {
  static const std::vector<std::string> texts = {
      "", " ", "0", "-0", "+5", "--5", "-", ".", "e5", "1e", "1e+", "1.2.3", "1,5", " 12", "12 ", "12abc", "abc",
      "0x1F", "1_000", "&hFF", "&hFFFFFFFFFFFFFFFFFFFF", "&o777", "&b101", "&h",
      // huge, tiny and non-finite
      "1e308", "-1e308", "1e309", "-1e400", "1.7976931348623157e308", "99999999999999999999999", "2147483647",
      "2147483648", "-2147483649", "9223372036854775808", "4.9e-324", "1e-320", "-1e-300", "0.0000001", "NaN", "nan",
      "-nan", "inf", "-inf", "Infinity", "INF",
      // negative
      "-5", "-1000", "-0.5", "-999999", "-1000001",
      // unicode: digits and signs of other scripts, symbols, invisible and
      // direction marks, a character outside the basic plane
      "π", "３", "٣", "５０", "−5", "1e３", "é", "数字", "Ω", "\u200B5", "\u202E123", "\U0001F600", "5\U0001F600",
      "\uFEFF7", "a\u0301"};
  return texts;
}

std::string OrdinaryNumber(MonkeyDice& d) {
  switch (d.Below(4)) {
    case 0: return std::to_string(d.Between(-300, 300));
    case 1: return std::to_string(d.Between(-300, 300)) + "." + std::to_string(d.Between(0, 999));
    case 2: return std::to_string(d.Between(-9, 9)) + "e" + std::to_string(d.Between(-3, 2));
    default: return std::to_string(d.Between(-20, 20));
  }
}

std::string LongText(MonkeyDice& d) {
  const int n = d.Between(100, kLongestText - 3);
  switch (d.Below(5)) {
    case 0: return Repeat("9", n);               // past every range
    case 1: return "0." + Repeat("0", n) + "1";  // below every range
    case 2: return "-1" + Repeat("0", n);
    case 3: {
      std::string s;
      s.reserve(static_cast<std::size_t>(n));
      for (int i = 0; i < n; ++i) s += static_cast<char>(d.Between(0x20, 0x7E));
      return s;
    }
    default: return Repeat("π", n / 2);
  }
}

std::string Describe(const std::string& text) {
  std::string out(1, '"');
  if (text.size() <= 40) {
    out.append(text).append(1, '"');
  } else {
    out.append(text, 0, 20).append("...\" (").append(std::to_string(text.size())).append(" bytes)");
  }
  return out;
}

std::string Where(const QWidget* widget) {
  if (widget == nullptr) return "nothing";
  const std::string name = widget->objectName().toStdString();
  if (name.empty()) return widget->metaObject()->className();
  const int index = ControlIndex(widget);
  return index < 0 ? name : name + "(" + std::to_string(index) + ")";
}

// The count field of a sheet, or -1 when its kind has none.
int CountField(const Window& sheet) {
  if (dynamic_cast<const LineSheet*>(&sheet) != nullptr) return 9;
  if (dynamic_cast<const PlaneSheet*>(&sheet) != nullptr) return 0;
  if (dynamic_cast<const RingSheet*>(&sheet) != nullptr) return 8;
  if (dynamic_cast<const CylinderSheet*>(&sheet) != nullptr) return 5;
  return -1;
}

PushButton* ButtonCaptioned(const Window& sheet, const std::string& caption) {
  for (int i = 0; i < sheet.ControlCount(); ++i) {
    auto* b = dynamic_cast<PushButton*>(sheet.ControlAt(i));
    if (b != nullptr && b->Caption() == caption) return b;
  }
  return nullptr;
}

bool IsPlainShort(const QString& text) {
  if (text.size() > 24) return false;
  for (QChar c : text) {
    if (c.unicode() < 0x20 || c.unicode() > 0x7E) return false;
  }
  return true;
}

// The main window's controls the monkey aims at, with how often.
struct Target {
  const char* name;
  int weight;
};
const std::vector<Target>& MainTargets() {
  static const std::vector<Target> targets = {
      {"PBPoint", 4},    {"PBLine", 4},  {"PBPlane", 4},      {"PBSphere", 4},    {"PBRing", 4},
      {"PBCylinder", 4}, {"Edit", 6},    {"DeleteButton", 5}, {"PBReset", 2},     {"CBDotMatrix", 4},
      {"CBTest", 5},     {"XArrows", 3}, {"YArrows", 3},      {"ZArrows", 3},     {"EFX", 1},
      {"EFY", 1},        {"EFZ", 1},     {"PMShow", 5},       {"ObjectList", 10}, {"MyPDSpace", 14},
      {"SLZoom", 2},     {"SLLat", 2},   {"SLLong", 2},       {"SLEScale", 3},    {"SLScan", 4}};
  return targets;
}

}  // namespace

// --- dice ---------------------------------------------------------------------------

MonkeyDice::MonkeyDice(std::uint64_t seed, std::uint64_t stream) {
  std::uint64_t x = seed;
  state_ = SplitMix(x) ^ (stream * 0xD6E8FEB86659FD93ull);
}

std::uint64_t MonkeyDice::Next() { return SplitMix(state_); }
int MonkeyDice::Below(int n) { return static_cast<int>(Next() % static_cast<std::uint64_t>(n)); }
int MonkeyDice::Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
bool MonkeyDice::Percent(int p) { return Below(100) < p; }

std::string MonkeyText(MonkeyDice& d) {
  const int r = d.Below(100);
  if (r < 40) return OrdinaryNumber(d);
  if (r < 88) return d.Pick(HostileTexts());
  return LongText(d);
}

std::string MonkeyCountText(MonkeyDice& d) {
  std::string text = d.Percent(55) ? std::to_string(d.Between(-3, kLargestCount)) : MonkeyText(d);
  const std::int32_t n = ToInt32(CDbl(text));
  if (n > kLargestCount && n < kRefusedCount) text = std::to_string(n % (kLargestCount + 1));
  return text;
}

// --- the program's state --------------------------------------------------------------

namespace {

bool FiniteQuaternion(const Quaternion& q) {
  return std::isfinite(q.W) && std::isfinite(q.X) && std::isfinite(q.Y) && std::isfinite(q.Z);
}

const char* BodyKindOf(const SurfaceData* b) {
  if (dynamic_cast<const LineData*>(b) != nullptr) return "Line";
  if (dynamic_cast<const PlaneData*>(b) != nullptr) return "Plane";
  if (dynamic_cast<const SphereData*>(b) != nullptr) return "Sphere";
  if (dynamic_cast<const RingData*>(b) != nullptr) return "Ring";
  if (dynamic_cast<const CylinderData*>(b) != nullptr) return "Cylinder";
  return "none";
}

// The body kind each charged object's factory makes; a point's is a small sphere.
const char* BodyKindFor(std::optional<ChargeKind> kind) {
  if (!kind) return "none";
  switch (*kind) {
    case ChargeKind::Point:
    case ChargeKind::Sphere: return "Sphere";
    case ChargeKind::Line: return "Line";
    case ChargeKind::Plane: return "Plane";
    case ChargeKind::Ring: return "Ring";
    case ChargeKind::Cylinder: return "Cylinder";
    case ChargeKind::Count: break;
  }
  return "none";
}

std::uint32_t SphereColour(double q, bool selected) {
  if (selected) return 0.0 < q ? kPositiveSelectedColor : kNegativeSelectedColor;
  return 0.0 < q ? kPositiveColor : kNegativeColor;
}

void CheckFinite(const Element3D& e, const std::string& what, std::vector<std::string>& out) {
  if (!e.Position.IsFinite()) out.push_back(what + " has a non-finite position");
  if (!FiniteQuaternion(e.Orientation)) out.push_back(what + " has a non-finite orientation");
  if (!std::isfinite(e.Scale)) out.push_back(what + " has a non-finite scale");
  if (const auto* o = dynamic_cast<const PD3DObject*>(&e)) {
    if (o->pos && !o->pos->IsFinite()) out.push_back(what + " has a non-finite scene position");
    if (o->axis && !o->axis->IsFinite()) out.push_back(what + " has a non-finite axis");
    if (o->up && !o->up->IsFinite()) out.push_back(what + " has a non-finite up vector");
  }
}

}  // namespace

std::vector<std::string> ProgramStateProblems(MainWndo& w) {
  std::vector<std::string> out;
  auto say = [&out](const auto&... parts) {
    std::ostringstream s;
    (s << ... << parts);
    out.push_back(s.str());
  };
  auto& list = w.ControlRef<ListBox>("ObjectList");
  const std::size_t n = w.ChrgObjList.size();
  if (w.SurfaceList.size() != n || static_cast<std::size_t>(list.RowCount()) != n) {
    say(n, " charged objects, ", w.SurfaceList.size(), " bodies and ", list.RowCount(), " rows");
    return out;
  }
  int selected = -1;
  std::int64_t charges = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const auto& co = w.ChrgObjList[i];
    if (!co || !w.SurfaceList[i]) {
      say("entry ", i, " is empty");
      return out;
    }
    if (list.Cell(static_cast<int>(i)) != co->Name) {
      say("row ", i, " reads ", list.Cell(static_cast<int>(i)), " for a ", co->Name);
    }
    const char* body = BodyKindOf(w.SurfaceList[i].get());
    if (std::string(body) != BodyKindFor(co->Kind())) {
      say("the ", co->Name, " at ", i, " has a ", body, " body");
    }
    if (co == w.SelectedObject) selected = static_cast<int>(i);
    charges += static_cast<std::int64_t>(co->ChargeList.size());
  }
  // The highlighted row is the selected object's, or none when no listed
  // object is selected.
  for (int i = 0; i < list.RowCount(); ++i) {
    if (list.Selected(i) != (i == selected)) {
      say("row ", i, (list.Selected(i) ? " is" : " is not"), " highlighted, the selected object is ",
          selected < 0 ? std::string("none listed") : "row " + std::to_string(selected));
    }
  }

  PD3DSpace* view = w.MyPDSpace();
  const auto& items = Deref(view->Objects()).Items();
  std::unordered_set<const Element3D*> inView;
  std::int64_t spheres = 0;
  for (const auto& e : items) {
    inView.insert(e.get());
    if (dynamic_cast<const ChargeSphere*>(e.get()) != nullptr) ++spheres;
  }
  for (std::size_t i = 0; i < n; ++i) {
    const auto& co = w.ChrgObjList[i];
    const bool isSelected = static_cast<int>(i) == selected;
    for (std::size_t j = 0; j < co->ChargeList.size(); ++j) {
      const auto& pc = co->ChargeList[j];
      const auto* sphere = dynamic_cast<const ChargeSphere*>(pc->GraphRep.get());
      if (sphere == nullptr || inView.count(sphere) == 0) {
        say("point charge ", j, " of the ", co->Name, " at ", i, " has no sphere in the view");
        break;
      }
      if (sphere->Parent.lock() != co) say("a sphere of the ", co->Name, " at ", i, " names another parent");
      if (sphere->myColor != SphereColour(pc->Charge, isSelected)) {
        say("the ", co->Name, " at ", i, " is drawn ", (isSelected ? "unselected" : "selected"), " (colour ",
            sphere->myColor, ")");
        break;
      }
    }
  }
  if (spheres != charges) say(spheres, " charge spheres in the view for ", charges, " listed point charges");

  // Lines: the three axes and the grids of the listed bodies that have one.
  std::unordered_set<const Element3D*> lines = {view->XAxis.get(), view->YAxis.get(), view->ZAxis.get()};
  for (std::size_t i = 0; i < n; ++i) {
    const SurfaceData& body = *w.SurfaceList[i];
    if (!body.gridEnabled) continue;
    for (const auto& line : body.LineList) {
      if (!line->GraphRep || inView.count(line->GraphRep.get()) == 0) {
        say("the grid of the ", w.ChrgObjList[i]->Name, " at ", i, " is not all in the view");
        break;
      }
      lines.insert(line->GraphRep.get());
    }
  }
  // Boxes: the dot matrix, while it is on, and the test dot.
  const bool dotsOn = w.ControlRef<CheckBox>("CBDotMatrix").Value();
  if (!dotsOn && !w.Matrix.empty()) say(w.Matrix.size(), " dot-matrix boxes with the dot matrix off");
  std::unordered_set<const Element3D*> boxes;
  for (const auto& b : w.Matrix) {
    if (!boxes.insert(b.get()).second || inView.count(b.get()) == 0) {
      say("a dot-matrix box is twice or not in the view");
    }
  }
  const bool testOn = w.ControlRef<CheckBox>("CBTest").Value();
  const Vector3D dot(Val(w.ControlRef<EditField>("EFX").Text()), Val(w.ControlRef<EditField>("EFY").Text()),
                     Val(w.ControlRef<EditField>("EFZ").Text()));
  const bool drawable =
      std::abs(dot.X) <= kMaxSceneValue && std::abs(dot.Y) <= kMaxSceneValue && std::abs(dot.Z) <= kMaxSceneValue;
  if (testOn && drawable) {
    if (!w.TestDot || inView.count(w.TestDot.get()) == 0 || w.TestDot->pos != dot) {
      say("the test dot is not shown at the fields' ", dot.X, ",", dot.Y, ",", dot.Z);
    }
  } else if (w.TestDot) {
    say("a test dot is shown ", (testOn ? "for coordinates too far out to draw" : "with the test dot off"));
  }
  if (w.TestDot) boxes.insert(w.TestDot.get());
  // Each arrow with both its parts, and no part without its arrow.
  for (const auto& e : items) {
    const Element3D* p = e.get();
    if (dynamic_cast<const PDLine*>(p) != nullptr && lines.count(p) == 0) {
      say("a line in the view is no axis and no listed grid's");
    }
    if (dynamic_cast<const PDBox*>(p) != nullptr && boxes.count(p) == 0) {
      say("a box in the view is neither a dot nor the test dot");
    }
    if (const auto* a = dynamic_cast<const PDRoundArrow*>(p)) {
      if (inView.count(a->cone.get()) == 0 || inView.count(a->cylinder.get()) == 0) {
        say("an arrow lacks a part in the view");
      }
    }
    if (dynamic_cast<const PDCone*>(p) != nullptr || dynamic_cast<const PDCylinder*>(p) != nullptr) {
      const auto holder = static_cast<const PD3DObject*>(p)->CompositeHolder();
      if (!holder || inView.count(holder.get()) == 0) say("an arrow's part is in the view without its arrow");
    }
  }

  for (std::size_t i = 0; i < items.size(); ++i) {
    CheckFinite(*items[i], std::string("scene element ") + std::to_string(i) + " (" + typeid(*items[i]).name() + ")",
                out);
  }
  if (view->Camera() != nullptr) CheckFinite(*view->Camera(), "the camera", out);
  for (double v : {view->Latitude, view->Longitude, view->ZoomFactor, view->Scale}) {
    if (!std::isfinite(v)) say("the view's camera settings are not finite");
  }
  if (w.Busy()) say("the window is still busy");
  return out;
}

// --- monkey -------------------------------------------------------------------------------

Monkey::Monkey(MainWndo& w, std::uint64_t seed) : w_(w), seed_(seed), dice_(seed, 0) {
  // Fires in every event loop, a sheet's own wait included.
  ticker_.setInterval(0);
  connect(&ticker_, &QTimer::timeout, this, [this] { onTick(); });
  ticker_.start();
}

Monkey::~Monkey() { ticker_.stop(); }

void Monkey::act(const std::string& what) { actions_.push_back(what); }
void Monkey::problem(const std::string& what) { problems_.push_back(what); }

std::vector<std::string> Monkey::TakeProblems() { return std::exchange(problems_, {}); }

void Monkey::Step(int step) {
  dice_ = MonkeyDice(seed_, static_cast<std::uint64_t>(step) + 1);
  actions_.clear();
  visit_ = {};
  const int r = dice_.Below(100);
  if (r < 12) {
    clickAnywhere(false);
  } else if (r < 48) {
    clickControl(false);
  } else if (r < 55) {
    if (dice_.Percent(40)) {
      clickAnywhere(true);
    } else {
      clickControl(true);
    }
  } else if (r < 64) {
    dragSlider();
  } else if (r < 67) {
    dragAnywhere();
  } else if (r < 85) {
    pressKey(&w_);
  } else {
    typeTestCoordinate();
  }
}

std::optional<std::string> Monkey::Settle() {
  QElapsedTimer clock;
  clock.start();
  for (;;) {
    // The loop has turned when a call queued now has run.
    auto turned = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this, [turned] { *turned = true; }, Qt::QueuedConnection);
    while (!*turned) {
      QCoreApplication::processEvents(QEventLoop::AllEvents);
      if (clock.hasExpired(kSettleLimitMs)) return "the event loop did not come round";
    }
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    if (!w_.Busy() && openSheet() == nullptr && QApplication::activeModalWidget() == nullptr) return std::nullopt;
    if (clock.hasExpired(kSettleLimitMs)) {
      return w_.Busy() ? "the window stayed busy" : "a sheet or another modal window stayed up";
    }
  }
}

void Monkey::CloseLeftovers() {
  for (int i = 0; i < 5 && QApplication::activePopupWidget() != nullptr; ++i) {
    QApplication::activePopupWidget()->close();
  }
  if (Window* sheet = openSheet()) sheet->Hide();
  QCoreApplication::processEvents();
}

// --- input ------------------------------------------------------------------------------

void Monkey::mouse(QWindow* window, QPoint at, Qt::MouseButtons state, Qt::MouseButton button, int type) {
  qt_handleMouseEvent(window, QPointF(at), window->mapToGlobal(QPointF(at)), state, button,
                      static_cast<QEvent::Type>(type), Qt::NoModifier, QTest::lastMouseTimestamp);
}

void Monkey::click(QWidget* widget, QPoint at, bool twice) {
  QWindow* window = widget->window()->windowHandle();
  if (window == nullptr) return;
  for (int i = twice ? 2 : 1; i > 0; --i) {
    // The second press of a double click comes at once.
    QTest::lastMouseTimestamp += 1;
    mouse(window, at, Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
    mouse(window, at, Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
  }
  // Far enough apart that the next click is not taken for a double click.
  QTest::lastMouseTimestamp += 1000;
}

void Monkey::drag(QWidget* widget, const std::vector<QPoint>& path) {
  QWindow* window = widget->window()->windowHandle();
  if (window == nullptr || path.empty()) return;
  QTest::lastMouseTimestamp += 1;
  mouse(window, path.front(), Qt::LeftButton, Qt::LeftButton, QEvent::MouseButtonPress);
  for (std::size_t i = 1; i < path.size(); ++i) {
    QTest::lastMouseTimestamp += 16;
    mouse(window, path[i], Qt::LeftButton, Qt::NoButton, QEvent::MouseMove);
  }
  QTest::lastMouseTimestamp += 16;
  mouse(window, path.back(), Qt::NoButton, Qt::LeftButton, QEvent::MouseButtonRelease);
  QTest::lastMouseTimestamp += 1000;
}

void Monkey::key(QWidget* widget, int k, Qt::KeyboardModifiers mods, const QString& text) {
  QPointer<QWindow> window = widget->window()->windowHandle();
  const auto send = [&window](QEvent::Type type, int code, Qt::KeyboardModifiers held, const QString& t) {
    if (window != nullptr) qt_handleKeyEvent(window, type, code, held, t, false, 1);
  };
  // The modifier keys go down and up around the key, as on a keyboard, so that
  // no modifier is left held for the events after.
  const bool shift = mods.testFlag(Qt::ShiftModifier);
  const bool control = mods.testFlag(Qt::ControlModifier);
  if (shift) send(QEvent::KeyPress, Qt::Key_Shift, Qt::NoModifier, {});
  if (control) send(QEvent::KeyPress, Qt::Key_Control, mods & Qt::ShiftModifier, {});
  send(QEvent::KeyPress, k, mods, text);
  send(QEvent::KeyRelease, k, mods, text);
  if (control) send(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, {});
  if (shift) send(QEvent::KeyRelease, Qt::Key_Shift, Qt::NoModifier, {});
}

void Monkey::typeInto(EditField& field, const std::string& text) {
  QPointer<EditField> guard(&field);
  const QString typed = QString::fromUtf8(text);
  act("type " + Describe(text) + " into " + Where(&field));
  key(&field, Qt::Key_A, Qt::ControlModifier);
  if (guard == nullptr) return;
  if (typed.isEmpty()) {
    key(&field, Qt::Key_Backspace);
  } else if (IsPlainShort(typed)) {
    for (QChar c : typed) {
      if (guard == nullptr) return;
      const char a = static_cast<char>(c.unicode());
      const int code = (a >= 'a' && a <= 'z') ? a - 'a' + Qt::Key_A : a;
      key(&field, code, Qt::NoModifier, QString(c));
    }
  } else {
    // Text beyond the keyboard arrives through the input method, in one piece.
    QInputMethodEvent commit;
    commit.setCommitString(typed);
    QCoreApplication::sendEvent(&field, &commit);
  }
  if (guard == nullptr) return;
  if (field.text() != typed) {
    problem(Where(&field) + " holds " + Describe(field.Text()) + " after " + Describe(text) + " was typed over it");
  }
}

// --- main window --------------------------------------------------------------------------

QPoint Monkey::pointIn(QWidget* control) {
  const int width = std::max(1, control->width());
  const int height = std::max(1, control->height());
  QPoint p(dice_.Below(width), dice_.Below(height));
  if (control == w_.MyPDSpace() && dice_.Percent(60)) {
    // Most charges lie near the middle of the view.
    p = QPoint(std::clamp(width / 2 + dice_.Between(-140, 140), 0, width - 1),
               std::clamp(height / 2 + dice_.Between(-110, 110), 0, height - 1));
  }
  return control->mapTo(control->window(), p);
}

void Monkey::clickAnywhere(bool twice) {
  QWidget* content = w_.ContentArea();
  QPoint p = content->mapTo(&w_, QPoint(dice_.Below(content->width()), dice_.Below(content->height())));
  act(std::string(twice ? "double-click" : "click") + " at " + std::to_string(p.x()) + "," + std::to_string(p.y()) +
      " on " + Where(w_.childAt(p)));
  click(&w_, p, twice);
}

void Monkey::clickControl(bool twice) {
  int total = 0;
  for (const Target& t : MainTargets()) total += t.weight;
  int r = dice_.Below(total);
  const Target* target = &MainTargets().front();
  for (const Target& t : MainTargets()) {
    if (r < t.weight) {
      target = &t;
      break;
    }
    r -= t.weight;
  }
  QWidget* control = w_.Control(target->name);
  if (control == nullptr) return;
  QPoint p = pointIn(control);
  act(std::string(twice ? "double-click " : "click ") + target->name + " at " + std::to_string(p.x()) + "," +
      std::to_string(p.y()) + (control->isEnabled() ? "" : " (disabled)"));
  click(&w_, p, twice);
  // A click on the popup opens its list; mostly the user then picks from it.
  if (!twice && dice_.Percent(70)) pickFromOpenList();
}

void Monkey::pickFromOpenList() {
  QWidget* popup = QApplication::activePopupWidget();
  auto* items = popup != nullptr ? popup->findChild<QAbstractItemView*>() : nullptr;
  if (items == nullptr || items->model() == nullptr || items->model()->rowCount() == 0) return;
  const int row = dice_.Below(items->model()->rowCount());
  const QRect r = items->visualRect(items->model()->index(row, 0));
  act("pick item " + std::to_string(row) + " of the open list");
  click(popup, items->viewport()->mapTo(popup, r.center()));
}

void Monkey::dragSlider() {
  static const std::vector<const char*> sliders = {"SLZoom", "SLLat", "SLLong", "SLEScale", "SLScan"};
  const char* name = dice_.Pick(sliders);
  auto& slider = w_.ControlRef<Slider>(name);
  const int span = std::max(1, slider.Maximum() - slider.Minimum());
  const int handle = slider.style()->pixelMetric(QStyle::PM_SliderLength, nullptr, &slider);
  const int track = std::max(1, slider.width() - handle);
  int x = handle / 2 + (slider.Value() - slider.Minimum()) * track / span;
  if (dice_.Percent(30)) x = dice_.Below(std::max(1, slider.width()));
  const int y = slider.height() / 2;
  std::vector<QPoint> path{slider.mapTo(&w_, QPoint(x, y))};
  const int moves = dice_.Between(1, 4);
  for (int i = 0; i < moves; ++i) {
    // Now and then past the slider's ends, as a hand overshoots.
    path.push_back(slider.mapTo(&w_, QPoint(dice_.Between(-30, slider.width() + 30), y + dice_.Between(-6, 6))));
  }
  act(std::string("drag ") + name + " from " + std::to_string(slider.Value()) + " over " + std::to_string(moves) +
      " moves" + (slider.isEnabled() ? "" : " (disabled)"));
  drag(&w_, path);
}

void Monkey::dragAnywhere() {
  QWidget* content = w_.ContentArea();
  std::vector<QPoint> path;
  const int points = dice_.Between(2, 4);
  for (int i = 0; i < points; ++i) {
    path.push_back(content->mapTo(&w_, QPoint(dice_.Below(content->width()), dice_.Below(content->height()))));
  }
  act("drag from " + Where(w_.childAt(path.front())) + " to " + Where(w_.childAt(path.back())));
  drag(&w_, path);
}

void Monkey::pressKey(QWidget* window) {
  struct Key {
    int code;
    Qt::KeyboardModifiers mods;
    const char* text;
    const char* name;
  };
  static const std::vector<Key> keys = {{Qt::Key_Tab, Qt::NoModifier, "\t", "Tab"},
                                        {Qt::Key_Backtab, Qt::ShiftModifier, "", "Shift+Tab"},
                                        {Qt::Key_Left, Qt::NoModifier, "", "Left"},
                                        {Qt::Key_Right, Qt::NoModifier, "", "Right"},
                                        {Qt::Key_Up, Qt::NoModifier, "", "Up"},
                                        {Qt::Key_Down, Qt::NoModifier, "", "Down"},
                                        {Qt::Key_PageUp, Qt::NoModifier, "", "PageUp"},
                                        {Qt::Key_PageDown, Qt::NoModifier, "", "PageDown"},
                                        {Qt::Key_Home, Qt::NoModifier, "", "Home"},
                                        {Qt::Key_End, Qt::NoModifier, "", "End"},
                                        {Qt::Key_Space, Qt::NoModifier, " ", "Space"},
                                        {Qt::Key_Return, Qt::NoModifier, "\r", "Return"},
                                        {Qt::Key_Enter, Qt::KeypadModifier, "\r", "Enter"},
                                        {Qt::Key_Escape, Qt::NoModifier, "\x1b", "Escape"},
                                        {Qt::Key_Backspace, Qt::NoModifier, "\b", "Backspace"},
                                        {Qt::Key_Delete, Qt::NoModifier, "\x7f", "Delete"},
                                        {Qt::Key_1, Qt::NoModifier, "1", "1"},
                                        {Qt::Key_0, Qt::NoModifier, "0", "0"},
                                        {Qt::Key_7, Qt::NoModifier, "7", "7"},
                                        {Qt::Key_Minus, Qt::NoModifier, "-", "-"},
                                        {Qt::Key_Period, Qt::NoModifier, ".", "."},
                                        {Qt::Key_E, Qt::NoModifier, "e", "e"},
                                        {Qt::Key_P, Qt::ShiftModifier, "P", "P"},
                                        {Qt::Key_L, Qt::NoModifier, "l", "l"}};
  const Key* k = &dice_.Pick(keys);
  QWidget* focus = window->window()->focusWidget();
  act(std::string("key ") + k->name + " to " + Where(focus));
  key(window, k->code, k->mods, QString::fromLatin1(k->text));
}

void Monkey::typeTestCoordinate() {
  static const std::vector<const char*> fields = {"EFX", "EFY", "EFZ"};
  const char* name = dice_.Pick(fields);
  auto& field = w_.ControlRef<EditField>(name);
  const QPoint p = pointIn(&field);
  act(std::string("click ") + name + (field.isEnabled() ? "" : " (disabled)"));
  click(&w_, p);
  const std::string text = dice_.Percent(50) ? OrdinaryNumber(dice_) : MonkeyText(dice_);
  if (field.isEnabled() && w_.focusWidget() == &field) typeInto(field, text);
}

// --- sheets ----------------------------------------------------------------------------------

Window* Monkey::openSheet() const {
  for (QWidget* top : QApplication::topLevelWidgets()) {
    auto* sheet = dynamic_cast<Window*>(top);
    if (sheet != nullptr && dynamic_cast<ChargeSheet*>(sheet) != nullptr && sheet->isVisible() &&
        sheet->IsShownModally()) {
      return sheet;
    }
  }
  return nullptr;
}

void Monkey::onTick() {
  if (driving_) return;
  Window* sheet = openSheet();
  if (sheet == nullptr) {
    visit_ = {};
    QWidget* modal = QApplication::activeModalWidget();
    if (modal != nullptr && modal->isVisible() && dynamic_cast<ChargeSheet*>(modal) == nullptr) {
      // A message box that bypassed the program's sink, or some other wait
      // the user would be stuck in: report it, and end it so the run can.
      problem(std::string("a modal window that is no sheet came up: ") + modal->metaObject()->className() + " \"" +
              modal->windowTitle().toStdString() + "\"");
      modal->close();
      if (modal->isVisible()) modal->hide();
    }
    return;
  }
  const QScopedValueRollback<bool> driving(driving_, true);
  if (visit_.sheet != sheet) {
    visit_ = {};
    visit_.sheet = sheet;
    visit_.planned = dice_.Between(0, kMostSheetActions);
    visit_.shown.start();
    ++sheetsShown_;
    act("sheet \"" + sheet->Title() + "\" is up");
  }
  // A user waits for the sheet to come up before typing into it.
  if (!sheet->isActiveWindow() && !visit_.shown.hasExpired(kActivationWaitMs)) return;
  if (visit_.done < visit_.planned) {
    ++visit_.done;
    sheetAction(*sheet);
  } else {
    closeSheet(*sheet);
    if (++visit_.closeAttempts >= kCloseAttempts && sheet->isVisible()) {
      problem("the sheet \"" + sheet->Title() + "\" stayed open after " + std::to_string(kCloseAttempts) +
              " attempts to close it");
      sheet->Hide();
    }
  }
  if (!sheet->isVisible()) visit_ = {};
}

void Monkey::sheetAction(Window& sheet) {
  const int r = dice_.Below(100);
  if (r < 50) {
    std::vector<int> fields;
    for (int i = 0; i < 10; ++i) {
      if (sheet.ControlAs<EditField>("EF", i) != nullptr) fields.push_back(i);
    }
    const int index = dice_.Pick(fields);
    auto& field = sheet.ControlRef<EditField>("EF", index);
    act("click EF(" + std::to_string(index) + ")");
    click(&sheet, pointIn(&field));
    const std::string text = index == CountField(sheet) ? MonkeyCountText(dice_) : MonkeyText(dice_);
    if (sheet.isVisible() && sheet.focusWidget() == &field) typeInto(field, text);
  } else if (r < 70) {
    const QPoint p(dice_.Below(std::max(1, sheet.width())), dice_.Below(std::max(1, sheet.height())));
    const bool twice = dice_.Percent(20);
    act(std::string(twice ? "double-click" : "click") + " the sheet on " + Where(sheet.childAt(p)));
    click(&sheet, p, twice);
  } else if (r < 85) {
    pressKey(&sheet);
  } else {
    std::vector<QWidget*> toggles;
    for (const char* name : {"CBGrid", "Inside", "Outside", "Both", "PUAxis", "AxisMenu"}) {
      if (QWidget* c = sheet.Control(name)) toggles.push_back(c);
    }
    if (toggles.empty()) return;
    QWidget* c = dice_.Pick(toggles);
    act("click " + Where(c));
    click(&sheet, pointIn(c));
    if (dice_.Percent(70)) pickFromOpenList();
  }
}

void Monkey::closeSheet(Window& sheet) {
  switch (dice_.Below(5)) {
    case 0:
    case 1: {
      const char* caption = dice_.Percent(60) ? "Done" : "Cancel";
      act(std::string("click ") + caption);
      if (PushButton* b = ButtonCaptioned(sheet, caption)) click(&sheet, pointIn(b));
      break;
    }
    case 2:
      act("Escape to the sheet");
      key(&sheet, Qt::Key_Escape, Qt::NoModifier, "\x1b");
      break;
    case 3:
      act("Return to the sheet");
      key(&sheet, Qt::Key_Return, Qt::NoModifier, "\r");
      break;
    default: {
      // What the window manager sends when its title bar's close box is clicked.
      act("close the sheet from its title bar");
      QCloseEvent close;
      if (QWindow* window = sheet.windowHandle()) QCoreApplication::sendEvent(window, &close);
      break;
    }
  }
}
