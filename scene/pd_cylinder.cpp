#include "scene/pd_cylinder.h"

#include "scene/round_solid.h"

void PDCylinder::Constructor(const Vector3D* pos, Color color, const Vector3D* axis, double radius) {
  PD3DSpace& view = TakeCurrentSpace();
  const RoundSolid s = MakeRoundSolid("Cylinder", view, pos, color, axis, radius);
  AddShapeText(s.text);
  Visible = true;
  PlaceAt(s.pos);
  myColor = color;
  this->axis = s.axis;
  up = s.major;
  JoinSpace();
}

Vector3D PDCylinder::GetBoundMax() { return BoundCorner(2, 1.0, HalfHeight(axis)); }
Vector3D PDCylinder::GetBoundMin() { return BoundCorner(2, -1.0, HalfHeight(axis)); }
