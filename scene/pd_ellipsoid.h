#pragma once

#include "scene/pd3d_object.h"

// An ellipsoid centred on pos with diameters size.X along axis, size.Z along
// up and size.Y across. The caller's vectors are not changed.
class PDEllipsoid : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;

  void Constructor(const Vector3D* pos, Color color, const Vector3D* size, const Vector3D* axis, const Vector3D* up);
  Vector3D GetMajor(const Vector3D& up, const Vector3D& axis, double length);
  Vector3D GetMinor(const Vector3D& a, const Vector3D& b, double length);
  Vector3D GetOrientation(const Vector3D& direction, double length);
};
