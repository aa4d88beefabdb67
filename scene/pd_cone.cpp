#include "scene/pd_cone.h"

#include "scene/round_solid.h"

void PDCone::Constructor(const Vector3D* pos, Color color, const Vector3D* axis, double radius) {
  PD3DSpace& view = TakeCurrentSpace();
  const RoundSolid s = MakeRoundSolid("Cone", view, pos, color, axis, radius);
  AddShapeText(s.text);
  Visible = true;
  PlaceAt(s.pos);
  myColor = color;
  this->axis = s.axis;
  JoinSpace();
  ApplyScale(Scale);
}

Vector3D PDCone::GetBoundMax() { return BoundCorner(2, 1.0, HalfHeight(axis)); }
Vector3D PDCone::GetBoundMin() { return BoundCorner(2, -1.0, HalfHeight(axis)); }
