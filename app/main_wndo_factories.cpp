// The six factories: a confirmed sheet becomes a charged object with its body
// and its row, selected and drawn with its field.

#include "app/charge_limits.h"
#include "app/main_wndo.h"
#include "charges/charge_kinds.h"
#include "charges/charged_object.h"
#include "charges/sheet_fields.h"
#include "charges/surface_data.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"

namespace {

ChargeSheet& Sheet(ChargeKind kind) { return Deref(SheetFor(kind)); }

double Number(ChargeSheet& sheet, int index) { return CDbl(sheet.FieldText(index)); }
std::int32_t Count(ChargeSheet& sheet, int index) { return ToInt32(CDbl(sheet.FieldText(index))); }

// What each factory reads from its sheet, after the defaults.
struct PointInput {
  double q, x, y, z;
};
PointInput ReadPoint() {
  ChargeSheet& sh = Sheet(ChargeKind::Point);
  PointInput in{};
  in.q = Number(sh, PointField::Charge);
  in.x = Number(sh, PointField::X);
  in.y = Number(sh, PointField::Y);
  in.z = Number(sh, PointField::Z);
  return in;
}

struct LineInput {
  double q;
  Vector3D P, D;
  std::int32_t n;
  double L;
  bool grid;
};
LineInput ReadLine() {
  ChargeSheet& sh = Sheet(ChargeKind::Line);
  LineInput in{};
  in.q = Number(sh, LineField::Charge);
  in.P.X = Number(sh, LineField::CenterX);
  in.P.Y = Number(sh, LineField::CenterY);
  in.P.Z = Number(sh, LineField::CenterZ);
  in.D.X = Number(sh, LineField::VectorX);
  in.D.Y = Number(sh, LineField::VectorY);
  in.D.Z = Number(sh, LineField::VectorZ);
  in.n = Count(sh, LineField::Count);
  in.L = Number(sh, LineField::Length);
  in.grid = sh.GridValue();
  if (in.L == 0.0) in.L = 1000;
  if (in.n < 1) in.n = 1;
  if (in.q == 0.0) in.q = 1.0;
  in.D.Normalize();
  in.D.MultiplyBy(in.L);
  return in;
}

struct PlaneInput {
  double q, cx, cy, cz;
  std::int32_t n;
  double S;
  bool grid;
  std::int32_t k;
};
PlaneInput ReadPlane() {
  ChargeSheet& sh = Sheet(ChargeKind::Plane);
  PlaneInput in{};
  in.q = Number(sh, PlaneField::Charge);
  in.cx = Number(sh, PlaneField::CenterX);
  in.cy = Number(sh, PlaneField::CenterY);
  in.cz = Number(sh, PlaneField::CenterZ);
  in.n = Count(sh, PlaneField::Count);
  in.S = Number(sh, PlaneField::Side);
  in.grid = sh.GridValue();
  in.k = sh.PopupIndex();
  if (in.S == 0.0) in.S = 1000;
  if (in.n < 1) in.n = 1;
  if (in.q == 0.0) in.q = 1.0;
  return in;
}

struct SphereInput {
  double q;
  Vector3D P;
  double R;
  SphereData::ArrowSide showVectors;
  bool grid;
};
SphereInput ReadSphere() {
  ChargeSheet& sh = Sheet(ChargeKind::Sphere);
  SphereInput in{};
  in.q = Number(sh, SphereField::Charge);
  in.P.X = Number(sh, SphereField::CenterX);
  in.P.Y = Number(sh, SphereField::CenterY);
  in.P.Z = Number(sh, SphereField::CenterZ);
  in.R = Number(sh, SphereField::Radius);
  in.showVectors = sh.ArrowSideChosen();
  in.grid = sh.GridValue();
  if (in.R == 0.0) in.R = 300.0;
  if (in.q == 0.0) in.q = 1.0;
  return in;
}

struct RingInput {
  double q;
  Vector3D P;
  double R;
  Vector3D N;
  std::int32_t n;
  bool grid;
};
RingInput ReadRing() {
  ChargeSheet& sh = Sheet(ChargeKind::Ring);
  RingInput in{};
  in.q = Number(sh, RingField::Charge);
  in.P.X = Number(sh, RingField::CenterX);
  in.P.Y = Number(sh, RingField::CenterY);
  in.P.Z = Number(sh, RingField::CenterZ);
  in.R = Number(sh, RingField::Radius);
  in.N.X = Number(sh, RingField::NormalX);
  in.N.Y = Number(sh, RingField::NormalY);
  in.N.Z = Number(sh, RingField::NormalZ);
  in.n = Count(sh, RingField::Count);
  in.grid = sh.GridValue();
  if (in.R == 0.0) in.R = 300.0;
  if (in.n < 4) in.n = 4;
  if (in.q == 0.0) in.q = 1.0;
  if (in.N.X == 0.0 && in.N.Y == 0.0 && in.N.Z == 0.0) in.N = Vector3D(1.0, 0.0, 0.0);
  return in;
}

struct CylinderInput {
  double q;
  Vector3D P;
  std::int32_t n;
  double L, r;
  bool grid;
  std::int32_t a;
};
CylinderInput ReadCylinder() {
  ChargeSheet& sh = Sheet(ChargeKind::Cylinder);
  CylinderInput in{};
  in.q = Number(sh, CylinderField::ChargePerRing);
  in.P.X = Number(sh, CylinderField::CenterX);
  in.P.Y = Number(sh, CylinderField::CenterY);
  in.P.Z = Number(sh, CylinderField::CenterZ);
  in.n = Count(sh, CylinderField::Rings);
  in.L = Number(sh, CylinderField::Length);
  in.r = Number(sh, CylinderField::Radius);
  in.grid = sh.GridValue();
  in.a = sh.PopupIndex();
  if (in.L == 0.0) in.L = 1000;
  if (in.n < 1) in.n = 1;
  if (in.q == 0.0) in.q = 1.0;
  return in;
}

Vector3D CylinderAxis(std::int32_t a) {
  if (a == 0) return {1.0, 0.0, 0.0};
  if (a == 1) return {0.0, 1.0, 0.0};
  return {0.0, 0.0, 1.0};
}

// The first reason the values cannot be built, or nothing.
std::optional<std::string> Problem(std::int64_t count, std::int64_t inScene, const SceneValueCheck& values) {
  if (auto p = CheckPointCharges(count, inScene)) return p;
  return values.Problem();
}

std::optional<std::string> ProblemOf(const PointInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("position", Vector3D(in.x, in.y, in.z));
  return Problem(SingleCharge::kPointCharges, inScene, v);
}
std::optional<std::string> ProblemOf(const LineInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("length", in.L);
  return Problem(LineCharge::PointChargesFor(in.n), inScene, v);
}
std::optional<std::string> ProblemOf(const PlaneInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", Vector3D(in.cx, in.cy, in.cz));
  v.Value("side", in.S);
  return Problem(PlaneCharge::PointChargesFor(in.n), inScene, v);
}
std::optional<std::string> ProblemOf(const SphereInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("radius", in.R);
  return Problem(SphereCharge::kPointCharges, inScene, v);
}
std::optional<std::string> ProblemOf(const RingInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("radius", in.R);
  return Problem(RingCharge::PointChargesFor(in.n), inScene, v);
}
std::optional<std::string> ProblemOf(const CylinderInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("length", in.L);
  v.Value("radius", in.r);
  return Problem(CylinderCharge::PointChargesFor(in.n), inScene, v);
}

// Shows why the values cannot be built; true when they cannot.
bool Refused(const std::optional<std::string>& problem) {
  if (problem) MsgBox(*problem);
  return problem.has_value();
}

}  // namespace

std::optional<std::string> MainWndo::checkSheet(ChargeKind kind, const ChargedObject* except) {
  const std::int64_t inScene = PointChargesInScene(except);
  switch (kind) {
    case ChargeKind::Point: return ProblemOf(ReadPoint(), inScene);
    case ChargeKind::Line: return ProblemOf(ReadLine(), inScene);
    case ChargeKind::Plane: return ProblemOf(ReadPlane(), inScene);
    case ChargeKind::Sphere: return ProblemOf(ReadSphere(), inScene);
    case ChargeKind::Ring: return ProblemOf(ReadRing(), inScene);
    case ChargeKind::Cylinder: return ProblemOf(ReadCylinder(), inScene);
  }
  return std::nullopt;
}

void MainWndo::addCharged(const std::shared_ptr<SurfaceData>& body, const std::shared_ptr<ChargedObject>& charge) {
  // The charge keeps the sheet's texts before it is listed; ImportData yields,
  // and nothing half-made may be in the lists meanwhile.
  charge->ImportData();
  listed_.Append(body, charge);
  SelectedObject = charge;
  CalcVoltix();
}

// A factory's work, which the wait cursor marks, starts after the check that
// may refuse the values: its message box waits for the user.

void MainWndo::MakePoint() {
  const BusyScope busy(gate_);
  const PointInput in = ReadPoint();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const Vector3D V(in.x, in.y, in.z);
  auto body = std::make_shared<SphereData>(V, 2.0);
  auto charge = New<SingleCharge>(in.q, in.x, in.y, in.z);
  addCharged(body, charge);
}

void MainWndo::MakeLine() {
  const BusyScope busy(gate_);
  const LineInput in = ReadLine();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  auto body = std::make_shared<LineData>(in.P, in.D, in.grid, positive);
  auto charge = New<LineCharge>(in.q, in.n, in.P, in.D);
  addCharged(body, charge);
}

void MainWndo::MakePlane() {
  const BusyScope busy(gate_);
  const PlaneInput in = ReadPlane();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  const Vector3D P(in.cx, in.cy, in.cz);
  double nx = 1.0, ny = 0.0, nz = 0.0;
  if (in.k == 0) {
    nx = 0.0, ny = 0.0, nz = 1.0;
  } else if (in.k == 1) {
    nx = 0.0, ny = 1.0, nz = 0.0;
  }
  auto body = std::make_shared<PlaneData>(nx, ny, nz, in.cx, in.cy, in.cz, in.S, in.n, in.grid, positive);
  auto charge = New<PlaneCharge>(in.q, in.n, P, in.S, in.k);
  addCharged(body, charge);
}

void MainWndo::MakeSphere() {
  const BusyScope busy(gate_);
  const SphereInput in = ReadSphere();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  auto body = std::make_shared<SphereData>(in.P, in.R, in.grid, positive, in.showVectors);
  auto charge = New<SphereCharge>(in.q, in.P, in.R);
  addCharged(body, charge);
}

void MainWndo::MakeRing() {
  const BusyScope busy(gate_);
  const RingInput in = ReadRing();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  auto body = std::make_shared<RingData>(in.P, in.R, in.N, in.n, in.grid, positive);
  auto charge = New<RingCharge>(in.q, in.P, in.R, in.N, in.n);
  addCharged(body, charge);
}

void MainWndo::MakeCylinder() {
  const BusyScope busy(gate_);
  const CylinderInput in = ReadCylinder();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  // The body copies centre and axis before the charge moves and rescales them.
  Vector3D P = in.P;
  Vector3D A = CylinderAxis(in.a);
  auto body = std::make_shared<CylinderData>(P, A, in.r, in.L, in.n, in.grid, positive);
  auto charge = New<CylinderCharge>(in.q, in.n, P, A, in.L, in.r);
  addCharged(body, charge);
}
