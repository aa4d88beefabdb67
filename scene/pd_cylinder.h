#pragma once

#include "scene/pd3d_object.h"

// Capped cylinder and cone: base circle centred on pos, height along axis
// (nil: the view's Up), radius (exactly 0: 1).
class PDCylinder : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;
  void Constructor(const Vector3D* pos, Color color, const Vector3D* axis, double radius);
};
