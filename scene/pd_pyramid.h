#pragma once

#include "scene/pd3d_object.h"

// A pyramid over a rectangular base centred on pos, apex size.X along axis;
// base sides size.Z along up and size.Y along axis × up. Written as a TriMesh.
class PDPyramid : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;

  void Constructor(const Vector3D* pos, Color color, const Vector3D* size, const Vector3D* axis, const Vector3D* up);
  Vector3D GetNormal(const Vector3D& p, const Vector3D& q, const Vector3D& r);
  Vector3D& MaxBoundCheck(Vector3D& a, const Vector3D& b);
  Vector3D& MinBoundCheck(Vector3D& a, const Vector3D& b);
};
