#include "charges/charge_kinds.h"

#include "charges/math.h"
#include "charges/sheet_fields.h"
#include "framework/math/quaternion.h"
#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <numbers>

Vector3D PerpendicularTo(const Vector3D& a) {
  const double x = a.X, y = a.Y, z = a.Z;
  Vector3D p((0.0 - y) - z, x - z, x + y);
  if (p.X == 0.0 && p.Y == 0.0 && p.Z == 0.0) p = Vector3D((0.0 - y) - z, x + z, x - y);
  return p;
}

Vector3D RadiusPerpendicularTo(const Vector3D& axis, double radius) {
  Vector3D r = PerpendicularTo(axis.ScaledNearUnit());
  r.Normalize();
  r.MultiplyBy(radius);
  return r;
}

Vector3D CylinderDirection(const Vector3D& axis, double length) {
  Vector3D d = axis;
  d.Normalize();
  if (length < 0.0) d.MultiplyBy(-1.0);
  return d;
}

const ChargeKindFacts& FactsOf(ChargeKind kind) {
  // In the order of ChargeKind; a kind without its row does not compile.
  static constexpr std::array facts{
      ChargeKindFacts{"Point", {PointField::First, false, false}, &ChargeFactories::MakePoint},
      ChargeKindFacts{"Line", {LineField::First, true, false}, &ChargeFactories::MakeLine},
      ChargeKindFacts{"Plane", {PlaneField::First, true, true}, &ChargeFactories::MakePlane},
      ChargeKindFacts{"Sphere", {SphereField::First, true, false}, &ChargeFactories::MakeSphere},
      ChargeKindFacts{"Ring", {RingField::First, true, false}, &ChargeFactories::MakeRing},
      ChargeKindFacts{"Cylinder", {CylinderField::First, true, true}, &ChargeFactories::MakeCylinder},
  };
  static_assert(facts.size() == kChargeKinds, "one row of facts for each charge kind");
  return facts[static_cast<std::size_t>(kind)];
}

namespace {

ChargeSheet& sheetOf(ChargeKind kind) { return Deref(SheetFor(kind)); }

// Names the object after its kind and makes the kind's sheet its Creator.
void takeKind(ChargedObject& object, ChargeKind kind) {
  object.Name = FactsOf(kind).name;
  object.Creator = SheetFor(kind);
}

void importTexts(std::vector<std::string>& data, ChargeKind kind) {
  const SheetShape& shape = FactsOf(kind).sheet;
  // The sheet is looked up afresh for every field: the yields may run other handlers.
  for (int i = shape.firstField; sheetOf(kind).HasField(i); ++i) {
    data.push_back(sheetOf(kind).FieldText(i));
    RuntimeBackgroundTask();
  }
  if (shape.hasGrid) data.emplace_back(sheetOf(kind).GridValue() ? "T" : "F");
  if (shape.hasPopup) data.push_back(Str(static_cast<std::int32_t>(sheetOf(kind).PopupIndex())));
}

// Writes back what was stored. Fields, grid box or popup without a stored
// text keep what the sheet shows, so a short list cannot fail the edit.
void exportTexts(const std::vector<std::string>& data, ChargeKind kind) {
  const SheetShape& shape = FactsOf(kind).sheet;
  std::size_t j = 0;
  for (int i = shape.firstField; sheetOf(kind).HasField(i); ++i, ++j) {
    if (j < data.size()) sheetOf(kind).SetFieldText(i, data[j]);
    RuntimeBackgroundTask();
  }
  const std::size_t fieldCount = j;
  if (shape.hasGrid && fieldCount < data.size()) sheetOf(kind).SetGridValue(data[fieldCount] == "T");
  if (shape.hasPopup && fieldCount + 1 < data.size()) {
    sheetOf(kind).SetPopupIndex(ToInt32(CDbl(data[fieldCount + 1])));
  }
}

// The count rule of line and plane: |n| − 1, on doubles.
std::int32_t lastIndexFor(std::int32_t n) { return ToInt32(std::abs(static_cast<double>(n)) - 1.0); }

// A sheet's field read as a number, or as a count.
double numberIn(const ChargeSheet& sheet, int index) { return CDbl(sheet.FieldText(index)); }
std::int32_t countIn(const ChargeSheet& sheet, int index) { return ToInt32(CDbl(sheet.FieldText(index))); }

}  // namespace

// ---- The exchange with the kind's sheet, the same for every kind ----

bool ChargedObject::CreatorDoneFlag() {
  const std::optional<ChargeKind> kind = Kind();
  return kind && sheetOf(*kind).DoneFlag();
}

void ChargedObject::Create() {
  if (const std::optional<ChargeKind> kind = Kind()) (Deref(Factories()).*FactsOf(*kind).make)();
}

void ChargedObject::ExportData() {
  if (const std::optional<ChargeKind> kind = Kind()) exportTexts(InputData, *kind);
}

void ChargedObject::ImportData() {
  if (const std::optional<ChargeKind> kind = Kind()) importTexts(InputData, *kind);
}

// ---- Point ----

SingleCharge::SheetInput SingleCharge::ReadSheet(const ChargeSheet& sheet) {
  SheetInput in{};
  in.q = numberIn(sheet, PointField::Charge);
  in.x = numberIn(sheet, PointField::X);
  in.y = numberIn(sheet, PointField::Y);
  in.z = numberIn(sheet, PointField::Z);
  return in;
}

void SingleCharge::Constructor(double q, double x, double y, double z) {
  const Vector3D position(x, y, z);
  Constructor(q, position);
  takeKind(*this, ChargeKind::Point);
}

void SingleCharge::Constructor(double q, const Vector3D& position) {
  ChargeList.clear();
  AddCharge(q, position);
  PackCharges();
  takeKind(*this, ChargeKind::Point);
}

// ---- Line ----

std::int64_t LineCharge::PointChargesFor(std::int32_t n) { return std::llabs(static_cast<std::int64_t>(n)); }

LineCharge::SheetInput LineCharge::ReadSheet(const ChargeSheet& sheet) {
  SheetInput in{};
  in.q = numberIn(sheet, LineField::Charge);
  in.P.X = numberIn(sheet, LineField::CenterX);
  in.P.Y = numberIn(sheet, LineField::CenterY);
  in.P.Z = numberIn(sheet, LineField::CenterZ);
  in.D.X = numberIn(sheet, LineField::VectorX);
  in.D.Y = numberIn(sheet, LineField::VectorY);
  in.D.Z = numberIn(sheet, LineField::VectorZ);
  in.n = countIn(sheet, LineField::Count);
  in.L = numberIn(sheet, LineField::Length);
  in.grid = sheet.GridValue();
  if (in.L == 0.0) in.L = 1000;
  if (in.n < 1) in.n = 1;
  if (in.q == 0.0) in.q = 1.0;
  in.D.Normalize();
  in.D.MultiplyBy(in.L);
  return in;
}

void LineCharge::Constructor(double q, std::int32_t n, const Vector3D& center, const Vector3D& vec) {
  takeKind(*this, ChargeKind::Line);
  const std::int32_t k = lastIndexFor(n);
  if (n == 0) {
    // no charges
  } else if (k == 0) {
    AddCharge(q, center);
  } else if (k > 0) {
    const double dk = static_cast<double>(k);
    const Vector3D step(vec.X / dk, vec.Y / dk, vec.Z / dk);
    Vector3D p = center.Minus(vec.Times(0.5));
    const double each = q / static_cast<double>(k + 1);
    for (std::int32_t i = 0; i <= k; ++i) {
      AddCharge(each, p);
      // A running sum, component by component.
      p.X = p.X + step.X;
      p.Y = p.Y + step.Y;
      p.Z = p.Z + step.Z;
      RuntimeBackgroundTask();
    }
  }
  PackCharges();
}

// ---- Plane ----

std::int64_t PlaneCharge::PointChargesFor(std::int32_t n) {
  const std::int64_t side = std::llabs(static_cast<std::int64_t>(n));
  return side * side;  // at most 2^62: no overflow
}

PlaneCharge::SheetInput PlaneCharge::ReadSheet(const ChargeSheet& sheet) {
  SheetInput in{};
  in.q = numberIn(sheet, PlaneField::Charge);
  in.cx = numberIn(sheet, PlaneField::CenterX);
  in.cy = numberIn(sheet, PlaneField::CenterY);
  in.cz = numberIn(sheet, PlaneField::CenterZ);
  in.n = countIn(sheet, PlaneField::Count);
  in.S = numberIn(sheet, PlaneField::Side);
  in.grid = sheet.GridValue();
  in.k = sheet.PopupIndex();
  if (in.S == 0.0) in.S = 1000;
  if (in.n < 1) in.n = 1;
  if (in.q == 0.0) in.q = 1.0;
  return in;
}

void PlaneCharge::Constructor(double q, std::int32_t n, const Vector3D& center, double size, std::int32_t axis) {
  takeKind(*this, ChargeKind::Plane);
  const std::int32_t k = lastIndexFor(n);
  if (n == 0) {
    // no charges
  } else if (k == 0) {
    AddCharge(q, center);
  } else if (k > 0) {
    const double s = size / static_cast<double>(k);
    // Only 0, 1 and 2 come from the sheet; anything else lies in the x-y plane.
    Vector3D u(s, 0.0, 0.0);
    Vector3D v(0.0, s, 0.0);
    if (axis == 1) {
      u = Vector3D(s, 0.0, 0.0);
      v = Vector3D(0.0, 0.0, s);
    } else if (axis == 2) {
      u = Vector3D(0.0, s, 0.0);
      v = Vector3D(0.0, 0.0, s);
    }
    Vector3D w = u.Plus(v);
    w.MultiplyBy(0.5 * static_cast<double>(k));
    const Vector3D start = center.Minus(w);
    const std::int64_t side = static_cast<std::int64_t>(k) + 1;
    const double each = q / static_cast<double>(side * side);
    for (std::int32_t i = 0; i <= k; ++i) {
      const Vector3D row = start.Plus(u.Times(static_cast<double>(i)));
      for (std::int32_t j = 0; j <= k; ++j) {
        AddCharge(each, row.Plus(v.Times(static_cast<double>(j))));
        RuntimeBackgroundTask();
      }
      RuntimeBackgroundTask();
    }
  }
  PackCharges();
}

// ---- Sphere ----

SphereCharge::SheetInput SphereCharge::ReadSheet(const ChargeSheet& sheet) {
  SheetInput in{};
  in.q = numberIn(sheet, SphereField::Charge);
  in.P.X = numberIn(sheet, SphereField::CenterX);
  in.P.Y = numberIn(sheet, SphereField::CenterY);
  in.P.Z = numberIn(sheet, SphereField::CenterZ);
  in.R = numberIn(sheet, SphereField::Radius);
  in.showVectors = sheet.ArrowSideChosen();
  in.grid = sheet.GridValue();
  if (in.R == 0.0) in.R = 300.0;
  if (in.q == 0.0) in.q = 1.0;
  return in;
}

void SphereCharge::Constructor(double q, const Vector3D& center, double radius) {
  takeKind(*this, ChargeKind::Sphere);
  if (!Math::BListBuilt) Math::BuildBList();
  for (std::size_t i = 0; i < Math::BuckyList.size(); ++i) {
    Vector3D v = Math::BuckyList[i];
    v.Normalize();
    v.MultiplyBy(radius);
    v.Add(center);
    AddCharge(q / static_cast<double>(kPointCharges), v);
    RuntimeBackgroundTask();
  }
  PackCharges();
}

// ---- Ring ----

std::int64_t RingCharge::PointChargesFor(std::int32_t n) { return std::max<std::int64_t>(n, kFewestCharges); }

RingCharge::SheetInput RingCharge::ReadSheet(const ChargeSheet& sheet) {
  SheetInput in{};
  in.q = numberIn(sheet, RingField::Charge);
  in.P.X = numberIn(sheet, RingField::CenterX);
  in.P.Y = numberIn(sheet, RingField::CenterY);
  in.P.Z = numberIn(sheet, RingField::CenterZ);
  in.R = numberIn(sheet, RingField::Radius);
  in.N.X = numberIn(sheet, RingField::NormalX);
  in.N.Y = numberIn(sheet, RingField::NormalY);
  in.N.Z = numberIn(sheet, RingField::NormalZ);
  in.n = countIn(sheet, RingField::Count);
  in.grid = sheet.GridValue();
  if (in.R == 0.0) in.R = 300.0;
  if (in.n < kFewestCharges) in.n = kFewestCharges;
  if (in.q == 0.0) in.q = 1.0;
  if (in.N.X == 0.0 && in.N.Y == 0.0 && in.N.Z == 0.0) in.N = Vector3D(1.0, 0.0, 0.0);
  return in;
}

void RingCharge::Constructor(double q, const Vector3D& center, double radius, const Vector3D& normal,
                             std::int32_t n) {
  takeKind(*this, ChargeKind::Ring);
  const auto m = static_cast<std::int32_t>(PointChargesFor(n));
  Vector3D r = RadiusPerpendicularTo(normal, radius);
  Quaternion rot;
  rot.SetRotateAboutAxis(normal.X, normal.Y, normal.Z, 2.0 * std::numbers::pi / static_cast<double>(m));
  const double each = q / static_cast<double>(m);
  for (std::int32_t i = 0; i < m; ++i) {
    AddCharge(each, r.Plus(center));
    r = rot.Transform(r);
    RuntimeBackgroundTask();
  }
  PackCharges();
}

// ---- Cylinder ----

std::int64_t CylinderCharge::PointChargesFor(std::int32_t n) {
  return n > 0 ? kRingCharges * static_cast<std::int64_t>(n) : 0;
}

CylinderCharge::SheetInput CylinderCharge::ReadSheet(const ChargeSheet& sheet) {
  SheetInput in{};
  in.q = numberIn(sheet, CylinderField::ChargePerRing);
  in.P.X = numberIn(sheet, CylinderField::CenterX);
  in.P.Y = numberIn(sheet, CylinderField::CenterY);
  in.P.Z = numberIn(sheet, CylinderField::CenterZ);
  in.n = countIn(sheet, CylinderField::Rings);
  in.L = numberIn(sheet, CylinderField::Length);
  in.r = numberIn(sheet, CylinderField::Radius);
  in.grid = sheet.GridValue();
  in.a = sheet.PopupIndex();
  if (in.L == 0.0) in.L = 1000;
  if (in.n < 1) in.n = 1;
  if (in.q == 0.0) in.q = 1.0;
  return in;
}

void CylinderCharge::Constructor(double q, std::int32_t n, Vector3D& center, Vector3D& axis, double length,
                                 double radius) {
  takeKind(*this, ChargeKind::Cylinder);
  // The step runs from the start end towards the other, also for a negative
  // length (whose start end lies on the far side). A single ring has no ring
  // spacing; its step is the whole length, so it alone sits at the start end.
  // The rings take their plane from the unit direction rather than from the
  // step, which for a short cylinder may be too small to have one.
  const Vector3D direction = CylinderDirection(axis, length);
  const double span = std::abs(length);
  center.Subtract(direction.Times(span / 2.0));
  // In doubles: n - 1 would overflow for the smallest int (which builds no ring).
  axis = direction.Times(n == 1 ? span : span / (static_cast<double>(n) - 1.0));

  const double each = q / static_cast<double>(kRingCharges);
  const Vector3D r0 = RadiusPerpendicularTo(direction, radius);
  Quaternion rot;
  rot.SetRotateAboutAxis(direction.X, direction.Y, direction.Z,
                         2.0 * std::numbers::pi / static_cast<double>(kRingCharges));
  for (std::int32_t j = 0; j < n; ++j) {
    Vector3D r = r0;
    for (std::int32_t i = 0; i < kRingCharges; ++i) {
      AddCharge(each, r.Plus(center));
      r = rot.Transform(r);
      RuntimeBackgroundTask();
    }
    center.Add(axis);
    RuntimeBackgroundTask();
  }
  PackCharges();
}
