#include "charges/surface_data.h"

#include "charges/charge_kinds.h"
#include "framework/math/quaternion.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"
#include "scene/pd_line.h"

#include <cmath>
#include <numbers>

namespace {
constexpr double kMargin = 20.0;
}  // namespace

// ---- GridLine ----

GridLine::GridLine(const Vector3D& a, const Vector3D& b, bool positive) : v1(a), v2(b), pos(positive) {}

GridLine::GridLine(const Edge& e, const Vector3D& center, double radius, bool positive) : pos(positive) {
  v1 = e.v1;
  v1.MultiplyBy(radius);
  v2 = e.v2;
  v2.MultiplyBy(radius);
  v1.Add(center);
  v2.Add(center);
}

void GridLine::Display() {
  const Color color = pos ? 0xFF0000 : 0x0000FF;
  GraphRep = New<PDLine>(&v1, &v2, color);
}

// ---- SurfaceData ----

bool SurfaceData::DistCheck(const Vector3D&) const { return false; }

bool SurfaceData::HidesArrowAt(const Vector3D& P) const { return DistCheck(P); }

void SurfaceData::DrawGrid() {
  for (std::size_t i = 0; i < LineList.size(); ++i) {
    Deref(LineList[i]).Display();
    RuntimeBackgroundTask();
  }
}

void SurfaceData::AppendLine(const Vector3D& a, const Vector3D& b, bool pos) {
  LineList.push_back(std::make_shared<GridLine>(a, b, pos));
}

// ---- LineData ----

LineData::LineData(const Vector3D& point_, const Vector3D& myVec_, bool grid, bool pos)
    : point(point_), myVec(myVec_) {
  if (!grid) return;
  gridEnabled = true;
  Vector3D h = myVec.Times(0.5);
  const Vector3D a = point.Minus(h);
  h.MultiplyBy(2.0);
  const Vector3D b = a.Plus(h);
  AppendLine(a, b, pos);
}

bool LineData::DistCheck(const Vector3D& P) const { return Math::PointToLine(P, point, myVec) < kMargin; }

// ---- PlaneData ----

PlaneData::PlaneData(double nx, double ny, double nz, double x, double y, double z, double size, std::int32_t n,
                     bool grid, bool pos)
    : normX(nx), normY(ny), normZ(nz), X(x), Y(y), Z(z) {
  if (!grid) return;
  gridEnabled = true;
  if (n <= 0) return;
  // A single charge per side has no grid spacing; its outline is the
  // square's border, as two lines each way would draw it.
  const std::int32_t lines = n == 1 ? 2 : n;
  const double s = size;
  const double k = static_cast<double>(lines - 1);
  Vector3D c(X, Y, Z);
  Vector3D a, b, d1, d2;
  if (normX == 1.0) {
    c.Add(Vector3D(0.0, s / 2, -s / 2));
    a = c.Plus(Vector3D(0.0, -s, 0.0));
    b = c.Plus(Vector3D(0.0, 0.0, s));
    d1 = Vector3D(0.0, -s / k, 0.0);
    d2 = Vector3D(0.0, 0.0, s / k);
  } else if (normY == 1.0) {
    c.Add(Vector3D(s / 2, 0.0, -s / 2));
    a = c.Plus(Vector3D(-s, 0.0, 0.0));
    b = c.Plus(Vector3D(0.0, 0.0, s));
    d1 = Vector3D(-s / k, 0.0, 0.0);
    d2 = Vector3D(0.0, 0.0, s / k);
  } else if (normZ == 1.0) {
    c.Add(Vector3D(s / 2, -s / 2, 0.0));
    a = c.Plus(Vector3D(-s, 0.0, 0.0));
    b = c.Plus(Vector3D(0.0, s, 0.0));
    d1 = Vector3D(-s / k, 0.0, 0.0);
    d2 = Vector3D(0.0, s / k, 0.0);
  } else {
    return;  // only the three unit axis normals have an outline
  }
  for (std::int32_t i = 0; i < lines; ++i) {
    AppendLine(c, a, pos);
    c.Add(d2);
    a.Add(d2);
    RuntimeBackgroundTask();
  }
  d2.MultiplyBy(static_cast<double>(lines));
  c.Subtract(d2);
  for (std::int32_t i = 0; i < lines; ++i) {
    AppendLine(c, b, pos);
    c.Add(d1);
    b.Add(d1);
    RuntimeBackgroundTask();
  }
}

bool PlaneData::DistCheck(const Vector3D& P) const { return Math::PointToPlane(*this, P) < kMargin; }

// ---- SphereData ----

SphereData::SphereData(const Vector3D& center, double r, bool grid, bool pos, ArrowSide showVectors)
    : Center(center), radius(r) {
  if (grid) {
    gridEnabled = true;
    if (!Math::BuckyEdgeListBuilt) Math::BuildBEdgeList();
    for (std::size_t i = 0; i < Math::BuckyEdgeList.size(); ++i) {
      LineList.push_back(std::make_shared<GridLine>(Math::BuckyEdgeList[i], Center, radius, pos));
      RuntimeBackgroundTask();
    }
  }
  ShowVectors = showVectors;
}

SphereData::SphereData(const Vector3D& center, double r) : Center(center), radius(r) {}

bool SphereData::DistCheck(const Vector3D& P) const { return DistCheck(P, kMargin); }

bool SphereData::HidesArrowAt(const Vector3D& P) const {
  if (DistCheck(P)) return true;
  const double d = Math::DistBetw(Center, P);
  const double r = std::abs(radius);  // its charges lie at |radius|
  if (ShowVectors == ArrowSide::Inside && r < d) return true;
  if (ShowVectors == ArrowSide::Outside && d < r) return true;
  return false;
}

bool SphereData::DistCheck(const Vector3D& P, double w) const {
  // A negative radius puts the charges at distance |radius| all the same.
  const double r = std::abs(radius);
  const double d = Math::DistBetw(Center, P);
  return d < r + w && r - w < d;
}

// ---- RingData ----

RingData::RingData(const Vector3D& center, double r, const Vector3D& normal, std::int32_t n, bool grid, bool pos)
    : Center(center), radius(r), Normal(normal) {
  if (!grid) return;
  gridEnabled = true;
  if (n <= 0) return;
  const Vector3D r0 = RadiusPerpendicularTo(Normal, radius);
  Quaternion rot;
  rot.SetRotateAboutAxis(Normal.X, Normal.Y, Normal.Z, 2.0 * std::numbers::pi / static_cast<double>(n));
  Vector3D a = r0;
  Vector3D b = rot.Transform(r0);
  for (std::int32_t i = 0; i < n; ++i) {
    AppendLine(a.Plus(Center), b.Plus(Center), pos);
    a = rot.Transform(a);
    b = rot.Transform(b);
    RuntimeBackgroundTask();
  }
}

bool RingData::DistCheck(const Vector3D& P) const {
  // The ring circle is where two sphere shells meet: the sphere of which it
  // is a great circle, and the one about a point 50 along the axis.
  const SphereData s1(Center, radius);
  if (!s1.DistCheck(P)) return false;
  Vector3D v = Normal;
  v.Normalize();
  v.MultiplyBy(50.0);
  const double r2 = std::sqrt(50.0 * 50.0 + radius * radius);
  const SphereData s2(Center.Plus(v), r2);
  return s2.DistCheck(P);
}

// ---- CylinderData ----

CylinderData::CylinderData(const Vector3D& c, const Vector3D& axis, double r, double len, std::int32_t n,
                           bool grid, bool pos)
    : center(c), radius(r), length(len), normal(axis) {
  if (!grid) return;
  gridEnabled = true;
  // Ring to ring from the start end towards the other (as the charges do);
  // a single ring needs no step.
  const Vector3D direction = CylinderDirection(normal, length);
  const double span = std::abs(length);
  const Vector3D full = direction.Times(span);
  const Vector3D start = center.Minus(direction.Times(span / 2.0));
  const Vector3D step = direction.Times(n > 1 ? span / static_cast<double>(n - 1) : 0.0);

  const Vector3D r0 = RadiusPerpendicularTo(normal, radius);
  Quaternion rot;
  rot.SetRotateAboutAxis(normal.X, normal.Y, normal.Z,
                         2.0 * std::numbers::pi / static_cast<double>(CylinderCharge::kRingCharges));

  Vector3D rv = r0;
  for (int i = 0; i < CylinderCharge::kRingCharges; ++i) {
    const Vector3D p = start.Plus(rv);
    AppendLine(p, p.Plus(full), pos);
    rv = rot.Transform(rv);
    RuntimeBackgroundTask();
  }
  Vector3D ring = start;
  for (std::int32_t j = 0; j < n; ++j) {
    Vector3D next = r0;
    Vector3D corner = r0;
    next = rot.Transform(next);
    for (int i = 0; i < CylinderCharge::kRingCharges; ++i) {
      AppendLine(ring.Plus(next), ring.Plus(corner), pos);
      next = rot.Transform(next);
      corner = rot.Transform(corner);
      RuntimeBackgroundTask();
    }
    ring.Add(step);
    RuntimeBackgroundTask();
  }
}

bool CylinderData::DistCheck(const Vector3D& P) const {
  const Vector3D v = P.Minus(center);
  const double d = Math::DistBetw(P, center);
  const double a = Math::AngleBetween(normal, v);
  const double rho = d * std::sin(a);
  const double z = d * std::cos(a);
  // The charges sit on the whole mantle, from one rim to the other.
  const double half = std::abs(length) / 2.0;
  const double r = std::abs(radius);
  return r - kMargin < rho && rho < r + kMargin && -half - kMargin < z && z < half + kMargin;
}
