#pragma once

#include "framework/3d/element3d.h"

#include <array>

// An element's model matrix, T(position) R(orientation) S(scale), in floats
// and column-major as the shaders read it; an orientation that is no
// rotation (zero or not finite) counts as none.
std::array<float, 16> ModelMatrix(const Element3D& e);

// A point given in the element's own coordinates, carried by its model matrix.
inline Vector3D Transform(const std::array<float, 16>& m, const Vector3D& p) {
  return {m[0] * p.X + m[4] * p.Y + m[8] * p.Z + m[12], m[1] * p.X + m[5] * p.Y + m[9] * p.Z + m[13],
          m[2] * p.X + m[6] * p.Y + m[10] * p.Z + m[14]};
}

// Whether the element's place, turn and size are all finite numbers.
bool FiniteElement(const Element3D& e);
