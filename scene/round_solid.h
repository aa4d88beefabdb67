#pragma once

#include "framework/math/vector3d.h"
#include "framework/runtime/heap_optional.h"
#include "scene/pd3d.h"

#include <optional>
#include <string>
#include <string_view>

class PD3DSpace;

// What the cylinder and the cone (twins) compute before they take shape: the
// height vector and radius after their defaults, the major and minor radius
// vectors, and the shape text.
struct RoundSolid {
  Vector3D pos;
  Vector3D axis;
  Vector3D major;
  Vector3D minor;
  std::string text;
};

RoundSolid MakeRoundSolid(std::string_view keyword, const PD3DSpace& view, const Vector3D* pos, Color color,
                          const Vector3D* axis, double radius);

// Half the displayed height vector: axis × (current scene scale ÷ 2).
Vector3D HalfHeight(HeapOptional<Vector3D>& axis);
