#pragma once

#include "framework/math/vector3d.h"

#include <QImage>

#include <cstdint>
#include <memory>
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

// A shape as an element carries it: shared geometry plus its surface attributes.
struct MeshShape {
  std::shared_ptr<const MeshGeometry> geometry;
  float red = 1.0f, green = 1.0f, blue = 1.0f;  // diffuse colour, clamped to [0, 1]
  float ambientCoefficient = 1.0f;
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
