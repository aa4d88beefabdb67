#pragma once

#include "scene/pd3d_object.h"

// A capped cone: base circle centred on pos, apex at pos + axis.
class PDCone : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;
  void Constructor(const Vector3D* pos, Color color, const Vector3D* axis, double radius);
};
