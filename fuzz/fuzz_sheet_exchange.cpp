// Sheet texts through the real sheets and the main window's factories: an
// object built from them exports texts that build the same object again, bit
// for bit, or it is refused with a message; the scene never holds a
// non-finite value or a shape it could not read.
//
// The input is text: a first line naming the kind (Point, Line, Plane, Sphere,
// Ring, Cylinder; anything else picks one by its first byte), a second line of
// options ("T" anywhere: grid box on; the first whole number: the popup's
// index; "Out" or "In": the sphere's Outside or Inside button, else Both),
// then one line per edit field of the sheet, in order. Needs an X server.

#include "app/charge_limits.h"
#include "app/main_wndo.h"
#include "charges/charge_kinds.h"
#include "charges/charged_object.h"
#include "charges/sheet_fields.h"
#include "checks/mesh_checks.h"
#include "framework/3d/element3d.h"
#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "framework/ui/application.h"
#include "scene/pd3d_space.h"

#include <QApplication>
#include <QTest>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

namespace {

// Larger objects are skipped: thousands of spheres and a field pass over them
// take seconds each, and the same code runs for fewer charges. Counts over the
// program's own limit are kept, since they must be refused.
constexpr std::int64_t kMostChargesTried = 1500;

MainWndo* window = nullptr;
std::vector<std::string> messages;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "sheet exchange: %s\n", what.c_str());
  std::abort();
}

struct Input {
  ChargeKind kind = ChargeKind::Point;
  bool grid = false;
  int popup = 0;
  SphereData::ArrowSide side = SphereData::ArrowSide::Both;
  std::vector<std::string> fields;
};

Input parse(std::string_view data) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= data.size(); ++i) {
    if (i == data.size() || data[i] == '\n') {
      lines.emplace_back(data.substr(start, i - start));
      start = i + 1;
    }
  }
  Input in;
  const std::string& k = lines[0];
  static const std::pair<const char*, ChargeKind> names[] = {
      {"Point", ChargeKind::Point}, {"Line", ChargeKind::Line}, {"Plane", ChargeKind::Plane},
      {"Sphere", ChargeKind::Sphere}, {"Ring", ChargeKind::Ring}, {"Cylinder", ChargeKind::Cylinder}};
  bool named = false;
  for (const auto& [name, kind] : names) {
    if (k == name) {
      in.kind = kind;
      named = true;
    }
  }
  if (!named) in.kind = static_cast<ChargeKind>(k.empty() ? 0 : static_cast<unsigned char>(k[0]) % kChargeKinds);
  if (lines.size() > 1) {
    const std::string& o = lines[1];
    in.grid = o.find('T') != std::string::npos;
    const std::size_t digit = o.find_first_of("0123456789");
    if (digit != std::string::npos) {
      in.popup = ToInt32(CDbl(std::string_view(o).substr(digit)));
      if (digit > 0 && o[digit - 1] == '-') in.popup = -in.popup;
    }
    if (o.find("Out") != std::string::npos) in.side = SphereData::ArrowSide::Outside;
    else if (o.find("In") != std::string::npos) in.side = SphereData::ArrowSide::Inside;
  }
  for (std::size_t i = 2; i < lines.size(); ++i) in.fields.push_back(lines[i]);
  return in;
}

// Where the texts of each sheet start, known here apart from the kinds' own facts.
int firstField(ChargeKind kind) {
  switch (kind) {
    case ChargeKind::Point: return PointField::First;
    case ChargeKind::Line: return LineField::First;
    case ChargeKind::Plane: return PlaneField::First;
    case ChargeKind::Sphere: return SphereField::First;
    case ChargeKind::Ring: return RingField::First;
    case ChargeKind::Cylinder: return CylinderField::First;
    case ChargeKind::Count: break;
  }
  return 0;
}

// Point charges the factory would place, when the kind has a count field.
std::int64_t chargesAsked(const Input& in) {
  auto count = [&](int index) {
    const auto at = static_cast<std::size_t>(index - firstField(in.kind));
    return ToInt32(CDbl(at < in.fields.size() ? in.fields[at] : std::string()));
  };
  switch (in.kind) {
    case ChargeKind::Line: return LineCharge::PointChargesFor(count(LineField::Count));
    case ChargeKind::Plane: return PlaneCharge::PointChargesFor(count(PlaneField::Count));
    case ChargeKind::Ring: return RingCharge::PointChargesFor(count(RingField::Count));
    case ChargeKind::Cylinder: return CylinderCharge::PointChargesFor(count(CylinderField::Rings));
    default: return SphereCharge::kPointCharges;
  }
}

void fill(ChargeSheet& sheet, const Input& in) {
  std::size_t j = 0;
  for (int i = firstField(in.kind); sheet.HasField(i); ++i, ++j) {
    sheet.SetFieldText(i, j < in.fields.size() ? in.fields[j] : std::string());
  }
  sheet.SetGridValue(in.grid);
  sheet.SetPopupIndex(in.popup);
  sheet.ChooseArrowSide(in.side);
}

// Texts that differ from every stored one, so that a field the export forgot
// to write shows.
void scramble(ChargeSheet& sheet, ChargeKind kind) {
  for (int i = firstField(kind); sheet.HasField(i); ++i) sheet.SetFieldText(i, "scrambled " + std::to_string(i));
  sheet.SetGridValue(!sheet.GridValue());
  sheet.SetPopupIndex(sheet.PopupIndex() == 0 ? 1 : 0);
}

void make(ChargeKind kind) {
  ChargeFactories& f = *window;
  switch (kind) {
    case ChargeKind::Point: f.MakePoint(); break;
    case ChargeKind::Line: f.MakeLine(); break;
    case ChargeKind::Plane: f.MakePlane(); break;
    case ChargeKind::Sphere: f.MakeSphere(); break;
    case ChargeKind::Ring: f.MakeRing(); break;
    case ChargeKind::Cylinder: f.MakeCylinder(); break;
    case ChargeKind::Count: break;
  }
  QApplication::processEvents();
}

bool finite(const Vector3D& v) { return v.IsFinite(); }

void checkScene(const char* when) {
  const std::string at = std::string(" (") + when + ")";
  for (const auto& co : window->ChrgObjList) {
    for (const auto& pc : co->ChargeList) {
      if (!std::isfinite(pc->Charge) || !finite(pc->Position)) fail("non-finite point charge in a " + co->Name + at);
    }
  }
  // Shared geometries are checked once; segments each.
  std::set<const void*> checked;
  for (const auto& e : Deref(Deref(window->MyPDSpace()).Objects()).Items()) {
    const Element3D& element = *e;
    const std::string name = typeid(element).name();
    const Quaternion& q = e->Orientation;
    if (!finite(e->Position) || !std::isfinite(e->Scale) || !std::isfinite(q.W) || !std::isfinite(q.X) ||
        !std::isfinite(q.Y) || !std::isfinite(q.Z) || !finite(e->Bounds().Center) || !std::isfinite(e->Bounds().Radius)) {
      fail("non-finite placement of a scene element " + name + at);
    }
    const auto* o = dynamic_cast<const Object3D*>(e.get());
    if (o == nullptr) continue;
    if (!o->LastShapeError().empty()) fail("scene element " + name + " with an unread shape: " + o->LastShapeError() + at);
    for (const auto& s : o->MeshShapes()) {
      if (!s || !checked.insert(s->geometry ? static_cast<const void*>(s->geometry.get()) : s.get()).second) continue;
      if (const std::string problem = CheckShape(*s); !problem.empty()) fail("scene element " + name + ": " + problem + at);
    }
  }
}

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

void checkSame(const ChargedObject& a, const ChargedObject& b) {
  if (typeid(a) != typeid(b) || a.Name != b.Name) fail("rebuilt as another kind: " + a.Name + " became " + b.Name);
  if (a.InputData != b.InputData) fail("rebuilt " + a.Name + " stores other texts");
  if (a.ChargeList.size() != b.ChargeList.size()) {
    fail("rebuilt " + a.Name + " has " + std::to_string(b.ChargeList.size()) + " point charges, not " +
         std::to_string(a.ChargeList.size()));
  }
  for (std::size_t i = 0; i < a.ChargeList.size(); ++i) {
    const PointCharge& p = *a.ChargeList[i];
    const PointCharge& q = *b.ChargeList[i];
    if (!sameBits(p.Charge, q.Charge) || !sameBits(p.Position.X, q.Position.X) ||
        !sameBits(p.Position.Y, q.Position.Y) || !sameBits(p.Position.Z, q.Position.Z)) {
      fail("rebuilt " + a.Name + " differs at point charge " + std::to_string(i));
    }
  }
}

// The sheet shows exactly what the object stored.
void checkExported(const ChargedObject& co, ChargeSheet& sheet, ChargeKind kind) {
  std::size_t j = 0;
  for (int i = firstField(kind); sheet.HasField(i); ++i, ++j) {
    if (j >= co.InputData.size() || sheet.FieldText(i) != co.InputData[j]) {
      fail(co.Name + " exported another text to field " + std::to_string(i));
    }
  }
  if (kind != ChargeKind::Point && (j >= co.InputData.size() || sheet.GridValue() != (co.InputData[j] == "T"))) {
    fail(co.Name + " exported another grid box");
  }
  if ((kind == ChargeKind::Plane || kind == ChargeKind::Cylinder) &&
      (j + 1 >= co.InputData.size() || Str(static_cast<std::int32_t>(sheet.PopupIndex())) != co.InputData[j + 1])) {
    fail(co.Name + " exported another popup choice");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (std::getenv("DISPLAY") == nullptr) {
    std::fprintf(stderr, "sheet exchange: the main window needs an X server; run under xvfb-run\n");
    std::exit(2);
  }
  // Lives until the process ends, as the program's own does.
  new Application(*argc, *argv);
  SetUserAlertSink({[](const std::string& text) { messages.push_back(text); }, [] {}});
  window = MainWndo::Shared();
  if (!QTest::qWaitForWindowExposed(window) || window->MyPDSpace() == nullptr ||
      window->MyPDSpace()->Objects() == nullptr) {
    std::fprintf(stderr, "sheet exchange: the main window's 3D view did not open\n");
    std::exit(2);
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Input in = parse(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::int64_t asked = chargesAsked(in);
  if (asked > kMostChargesTried && asked <= kMaxPointCharges) return -1;

  window->PBReset_Action();
  QApplication::processEvents();
  ChargeSheet& sheet = Deref(SheetFor(in.kind));
  fill(sheet, in);
  const std::size_t said = messages.size();
  make(in.kind);
  if (window->ChrgObjList.empty()) {
    if (messages.size() == said || messages.back().empty()) fail("refused without a message");
    checkScene("after a refusal");
    return 0;
  }
  if (window->ChrgObjList.size() != 1 || messages.size() != said) fail("built with a message: " + messages.back());
  checkScene("after building");
  const std::shared_ptr<ChargedObject> first = window->ChrgObjList.back();
  if (first->Kind() != in.kind) fail("built another kind: " + first->Name);

  // As Edit does: the stored texts go back into the sheet, and the factory
  // builds from them again.
  scramble(sheet, in.kind);
  first->ExportData();
  checkExported(*first, sheet, in.kind);
  window->PBReset_Action();
  QApplication::processEvents();
  first->Create();
  QApplication::processEvents();
  if (messages.size() != said) fail("rebuilding " + first->Name + " was refused: " + messages.back());
  if (window->ChrgObjList.size() != 1) fail("rebuilding " + first->Name + " made no object");
  checkSame(*first, *window->ChrgObjList.back());
  checkScene("after rebuilding");
  return 0;
}

// The application, its window and the GL driver keep their memory until the
// process ends, by design; a leak report at exit would only name them.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }
