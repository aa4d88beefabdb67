#pragma once

#include "framework/3d/shape.h"
#include "framework/math/vector3d.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// One geometry as read from a 3DMF text, before tessellation. The fields of
// `v` follow the file order of each kind:
//   Line:                          p0 p1
//   Box:                           orientation majorAxis minorAxis origin
//   Ellipsoid, Cylinder, Cone:     orientation majorRadius minorRadius origin
//   Disk:                          majorRadius minorRadius origin
//   Torus:                         orientation majorRadius minorRadius origin (+ ratio)
struct GeometrySpec {
  enum class Kind : std::uint8_t { Line, Box, Ellipsoid, Cylinder, Cone, Disk, Torus, TriMesh };
  Kind kind = Kind::Box;
  std::array<Vector3D, 4> v{};
  double ratio = 1.0;
  bool bottomCap = false;
  bool topCap = false;

  // TriMesh only.
  std::vector<std::uint32_t> triangles;  // 3 point indices per triangle
  std::vector<Vector3D> points;
  std::vector<Vector3D> triangleNormals; // empty or one per triangle
  std::vector<Vector3D> vertexNormals;   // empty or one per point
};

// A byte string that is equal for two specs exactly when they describe the
// same geometry, so that equal shapes can share one tessellated mesh.
std::string GeometryKey(const GeometrySpec& spec);

// Triangles with unit outward normals (or line segments for a Line). Returns
// null when the shape's coordinates fall beyond the range of a float.
std::shared_ptr<MeshGeometry> TessellateGeometry(const GeometrySpec& spec);

// A Line's two points, or nothing when they fall beyond the range of a float.
std::optional<Segment> SegmentOf(const GeometrySpec& spec);

// Segment counts: modest, because tens of thousands of instances are drawn.
inline constexpr int kRoundSegments = 24;   // around every round solid
inline constexpr int kSphereRings = 12;     // pole to pole
inline constexpr int kTorusTubeSegments = 12;
