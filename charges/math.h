#pragma once

#include "framework/math/vector3d.h"

#include <vector>

class PlaneData;

// One edge of the sphere point set; both ends are the edge's own copies.
class Edge {
public:
  Vector3D v1;
  Vector3D v2;

  Edge() = default;
  Edge(const Vector3D& a, const Vector3D& b) : v1(a), v2(b) {}
  // Moves both ends onto the unit sphere.
  void Normalize() { v1.Normalize(); v2.Normalize(); }
};

// Distance and angle helpers and the fixed 60-point sphere set (the vertices
// of a truncated icosahedron) with its 90 edges.
namespace Math {

// Points in the sphere set.
inline constexpr int kBuckyPoints = 60;

// Built on first use by whoever needs them and kept for the run.
inline std::vector<Vector3D> BuckyList;
inline bool BListBuilt = false;
inline std::vector<Edge> BuckyEdgeList;
inline bool BuckyEdgeListBuilt = false;

[[nodiscard]] double DistBetw(const Vector3D& a, const Vector3D& b);
// Distance of P from the infinite plane of the body.
[[nodiscard]] double PointToPlane(const PlaneData& plane, const Vector3D& P);
// Angle between a and b in radians; NaN when either is zero.
[[nodiscard]] double AngleBetween(const Vector3D& a, const Vector3D& b);
// Distance of P from the infinite line through point along dir.
[[nodiscard]] double PointToLine(const Vector3D& P, const Vector3D& point, const Vector3D& dir);

// Empty and refill the lists; they do not test their flags.
void BuildBList();
void BuildBEdgeList();

}  // namespace Math
