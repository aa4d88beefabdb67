#pragma once

#include "scene/pd3d_object.h"

// The two radius vectors of a disk or ring about a unit axis: perpendicular to
// it and to each other, each of length radius.
struct DiskRadii {
  Vector3D major;
  Vector3D minor;
};
DiskRadii MakeDiskRadii(const Vector3D& unitAxis, double radius);

// A filled disk about pos with normal axis (nil: the view's Up). The caller's
// axis is normalised in place.
class PDDisk : public PD3DObject {
public:
  Vector3D GetBoundMax() override;
  Vector3D GetBoundMin() override;
  void Constructor(const Vector3D* pos, Color color, Vector3D* axis, double radius);
};
