#pragma once

#include "scene/pd3d_object.h"

// A sphere of the given radius about pos (radius exactly 0: 1).
// Subclasses call PDSphere::Constructor first.
class PDSphere : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;
  virtual void Constructor(const Vector3D* pos, Color color, double radius);
};
