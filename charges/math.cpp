#include "charges/math.h"

#include "charges/surface_data.h"
#include "framework/runtime/runtime.h"

#include <cmath>

namespace Math {

double DistBetw(const Vector3D& a, const Vector3D& b) {
  return std::sqrt(std::pow(a.X - b.X, 2.0) + std::pow(a.Y - b.Y, 2.0) + std::pow(a.Z - b.Z, 2.0));
}

double PointToPlane(const PlaneData& plane, const Vector3D& P) {
  const Vector3D n(plane.normX, plane.normY, plane.normZ);
  const double t =
      (plane.normX * (plane.X - P.X) + plane.normY * (plane.Y - P.Y) + plane.normZ * (plane.Z - P.Z)) /
      n.LenSquared();
  const Vector3D foot(P.X + n.X * t, P.Y + n.Y * t, P.Z + n.Z * t);
  return DistBetw(foot, P);
}

double AngleBetween(const Vector3D& a, const Vector3D& b) {
  // Both rescaled first, so that tiny or huge vectors neither vanish nor
  // overflow in the products. No clamping: a quotient rounded past ±1 gives
  // NaN, which every near-body comparison treats as "not near".
  const Vector3D u = a.ScaledNearUnit();
  const Vector3D v = b.ScaledNearUnit();
  return std::acos((u.Dot(v) / u.Length()) / v.Length());
}

double PointToLine(const Vector3D& P, const Vector3D& point, const Vector3D& dir) {
  Vector3D w = P;
  w.Subtract(point);
  Vector3D u = dir;
  u.Normalize();
  const double s = w.Dot(u);
  u.MultiplyBy(s);
  return DistBetw(w, u);
}

void BuildBList() {
  constexpr double phi = 1.61803398874989;
  const double twoPhi = 2.0 * phi;
  const double twoPlusPhi = 2.0 + phi;
  const double onePlusTwoPhi = 1.0 + 2.0 * phi;
  const double threePhi = 3.0 * phi;

  BuckyList.clear();
  BuckyList.reserve(kBuckyPoints);
  // The first twelve in their own fixed order.
  BuckyList.emplace_back(0, 1, threePhi);
  BuckyList.emplace_back(0, 1, -threePhi);
  BuckyList.emplace_back(0, -1, threePhi);
  BuckyList.emplace_back(0, -1, -threePhi);
  BuckyList.emplace_back(1, threePhi, 0);
  BuckyList.emplace_back(1, -threePhi, 0);
  BuckyList.emplace_back(-1, -threePhi, 0);
  BuckyList.emplace_back(-1, threePhi, 0);
  BuckyList.emplace_back(threePhi, 0, 1);
  BuckyList.emplace_back(-threePhi, 0, 1);
  BuckyList.emplace_back(-threePhi, 0, -1);
  BuckyList.emplace_back(threePhi, 0, -1);

  // Six groups of eight sign combinations, the last coordinate's sign changing fastest.
  const double groups[6][3] = {{2.0, onePlusTwoPhi, phi},    {onePlusTwoPhi, phi, 2.0},
                               {phi, 2.0, onePlusTwoPhi},    {1.0, twoPlusPhi, twoPhi},
                               {twoPlusPhi, twoPhi, 1.0},    {twoPhi, 1.0, twoPlusPhi}};
  for (const auto& g : groups) {
    for (int s = 0; s < 8; ++s) {
      const double sx = (s & 4) ? -1.0 : 1.0;
      const double sy = (s & 2) ? -1.0 : 1.0;
      const double sz = (s & 1) ? -1.0 : 1.0;
      BuckyList.emplace_back(sx * g[0], sy * g[1], sz * g[2]);
    }
  }
  BListBuilt = true;
}

void BuildBEdgeList() {
  BuckyEdgeList.clear();
  if (!BListBuilt) BuildBList();
  for (std::size_t i = 0; i < BuckyList.size(); ++i) {
    for (std::size_t j = i + 1; j < BuckyList.size(); ++j) {
      // Edge length is 2; the next vertex distance is about 3.24.
      if (DistBetw(BuckyList[i], BuckyList[j]) < 2.1) {
        Edge e(BuckyList[i], BuckyList[j]);
        e.Normalize();
        BuckyEdgeList.push_back(e);
      }
      RuntimeBackgroundTask();
    }
    RuntimeBackgroundTask();
  }
  BuckyEdgeListBuilt = true;
}

}  // namespace Math
