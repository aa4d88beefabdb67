// The six factories: a confirmed sheet becomes a charged object with its body
// and its row, selected and drawn with its field.

#include "app/charge_limits.h"
#include "app/main_wndo.h"
#include "charges/charge_kinds.h"
#include "charges/charged_object.h"
#include "charges/surface_data.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/runtime.h"

namespace {

ChargeSheet& Sheet(ChargeKind kind) { return Deref(SheetFor(kind)); }

// What each factory reads from its sheet, after the kind's defaults.
SingleCharge::SheetInput ReadPoint() { return SingleCharge::ReadSheet(Sheet(ChargeKind::Point)); }
LineCharge::SheetInput ReadLine() { return LineCharge::ReadSheet(Sheet(ChargeKind::Line)); }
PlaneCharge::SheetInput ReadPlane() { return PlaneCharge::ReadSheet(Sheet(ChargeKind::Plane)); }
SphereCharge::SheetInput ReadSphere() { return SphereCharge::ReadSheet(Sheet(ChargeKind::Sphere)); }
RingCharge::SheetInput ReadRing() { return RingCharge::ReadSheet(Sheet(ChargeKind::Ring)); }
CylinderCharge::SheetInput ReadCylinder() { return CylinderCharge::ReadSheet(Sheet(ChargeKind::Cylinder)); }

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

std::optional<std::string> ProblemOf(const SingleCharge::SheetInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("position", Vector3D(in.x, in.y, in.z));
  return Problem(SingleCharge::kPointCharges, inScene, v);
}
std::optional<std::string> ProblemOf(const LineCharge::SheetInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("length", in.L);
  return Problem(LineCharge::PointChargesFor(in.n), inScene, v);
}
std::optional<std::string> ProblemOf(const PlaneCharge::SheetInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", Vector3D(in.cx, in.cy, in.cz));
  v.Value("side", in.S);
  return Problem(PlaneCharge::PointChargesFor(in.n), inScene, v);
}
std::optional<std::string> ProblemOf(const SphereCharge::SheetInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("radius", in.R);
  return Problem(SphereCharge::kPointCharges, inScene, v);
}
std::optional<std::string> ProblemOf(const RingCharge::SheetInput& in, std::int64_t inScene) {
  SceneValueCheck v;
  v.Charge(in.q);
  v.Vector("center", in.P);
  v.Value("radius", in.R);
  return Problem(RingCharge::PointChargesFor(in.n), inScene, v);
}
std::optional<std::string> ProblemOf(const CylinderCharge::SheetInput& in, std::int64_t inScene) {
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
    case ChargeKind::Count: break;
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
  const SingleCharge::SheetInput in = ReadPoint();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const Vector3D V(in.x, in.y, in.z);
  auto body = std::make_shared<SphereData>(V, 2.0);
  auto charge = New<SingleCharge>(in.q, in.x, in.y, in.z);
  addCharged(body, charge);
}

void MainWndo::MakeLine() {
  const BusyScope busy(gate_);
  const LineCharge::SheetInput in = ReadLine();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  auto body = std::make_shared<LineData>(in.P, in.D, in.grid, positive);
  auto charge = New<LineCharge>(in.q, in.n, in.P, in.D);
  addCharged(body, charge);
}

void MainWndo::MakePlane() {
  const BusyScope busy(gate_);
  const PlaneCharge::SheetInput in = ReadPlane();
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
  const SphereCharge::SheetInput in = ReadSphere();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  auto body = std::make_shared<SphereData>(in.P, in.R, in.grid, positive, in.showVectors);
  auto charge = New<SphereCharge>(in.q, in.P, in.R);
  addCharged(body, charge);
}

void MainWndo::MakeRing() {
  const BusyScope busy(gate_);
  const RingCharge::SheetInput in = ReadRing();
  if (Refused(ProblemOf(in, PointChargesInScene()))) return;
  const WorkScope work(*this);
  const bool positive = 0.0 < in.q;
  auto body = std::make_shared<RingData>(in.P, in.R, in.N, in.n, in.grid, positive);
  auto charge = New<RingCharge>(in.q, in.P, in.R, in.N, in.n);
  addCharged(body, charge);
}

void MainWndo::MakeCylinder() {
  const BusyScope busy(gate_);
  const CylinderCharge::SheetInput in = ReadCylinder();
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
