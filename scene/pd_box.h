#pragma once

#include "scene/pd3d_object.h"

// A box centred on pos: size.X along axis, size.Z along up, size.Y across.
// The caller's up vector is normalised in place (unless parallel to axis).
class PDBox : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;

  void Constructor(const Vector3D* pos, Color color, const Vector3D* size, const Vector3D* axis, Vector3D* up);
  Vector3D GetOrientation(const Vector3D& direction, double length);
  Vector3D GetMajor(Vector3D& up, const Vector3D& axis, double length);
  Vector3D GetMinor(const Vector3D& a, const Vector3D& b, double length);
  Vector3D NewPosition(const Vector3D& a, const Vector3D& b, const Vector3D& c);
};
