#pragma once

#include "framework/math/vector3d.h"

#include <QImage>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Tessellated geometry of one shape, in the object's own coordinates.
// Identical geometry is shared (one instance per distinct shape), so the
// renderer can draw all elements that use it in one instanced call.
struct MeshGeometry {
  enum class Primitive { Triangles, Lines };
  Primitive primitive = Primitive::Triangles;
  std::vector<float> positions;          // x, y, z per vertex
  std::vector<float> normals;            // x, y, z per vertex; empty for lines
  std::vector<std::uint32_t> indices;    // 3 per triangle, 2 per line segment
  Vector3D boundsMin;                    // axis-aligned box of the vertices
  Vector3D boundsMax;
  double radius = 0.0;                   // largest distance of a vertex from the origin
  // Set when the shape is a round sphere (an ellipsoid whose three semi-axes
  // are equal and at right angles): a renderer may then draw the exact sphere
  // instead of its triangles.
  bool isSphere = false;
  Vector3D sphereCentre;
  double sphereRadius = 0.0;
};

// A straight segment between two points, in the object's own coordinates.
struct Segment {
  std::array<float, 3> from{};
  std::array<float, 3> to{};
};

// A shape as an element carries it: shared geometry plus its surface
// attributes; or, for a Line, the segment itself. A segment is not
// tessellated: a renderer draws it from its two ends, and a scene of a
// million of them holds no mesh for each.
struct MeshShape {
  std::shared_ptr<const MeshGeometry> geometry;  // null for a segment
  float red = 1.0f, green = 1.0f, blue = 1.0f;  // diffuse colour, clamped to [0, 1]
  float ambientCoefficient = 1.0f;
  std::optional<Segment> segment;
  // Largest distance of a point of the shape from the object's origin.
  [[nodiscard]] double Radius() const {
    if (geometry) return geometry->radius;
    if (!segment) return 0.0;
    auto length = [](const std::array<float, 3>& p) {
      return std::sqrt(double{p[0]} * p[0] + double{p[1]} * p[1] + double{p[2]} * p[2]);
    };
    return std::max(length(segment->from), length(segment->to));
  }
};

// A picture drawn as a flat rectangle in the element's x-y plane, centred on
// its origin, one object unit per pixel, +x to the right and +y up.
struct PictureShape {
  QImage image;  // ARGB32 premultiplied
  double width = 0.0;
  double height = 0.0;
};

// Result of reading a 3DMF shape text (threedmf.h): the shapes it describes,
// or an error naming the line at fault (and then no shape at all).
struct ShapeParseResult {
  std::vector<std::shared_ptr<const MeshShape>> shapes;
  std::string error;
  [[nodiscard]] bool ok() const { return error.empty(); }
};
