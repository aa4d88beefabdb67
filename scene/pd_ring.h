#pragma once

#include "scene/pd3d_object.h"

// A torus about pos with axis (nil: the view's Up), centre-circle radius and
// tube diameter thickness (exactly 0: radius / 10). The caller's axis becomes
// its unit direction times thickness / 2.
class PDRing : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;
  void Constructor(const Vector3D* pos, Color color, Vector3D* axis, double radius, double thickness);
};
