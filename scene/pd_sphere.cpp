#include "scene/pd_sphere.h"

#include "framework/text/text.h"
#include "scene/shape_text.h"

void PDSphere::Constructor(const Vector3D* pos, Color color, double radius) {
  TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  if (radius == 0.0) radius = 1.0;
  const std::string S = Str(radius);
  AddShapeText(shape_text::Primitive("Ellipsoid", {"0 0 " + S, S + " 0 0", "0 " + S + " 0", "0 0 0", "0 1", "0 1"},
                                           shape_text::DiffuseColor(color)));
  Visible = true;
  PlaceAt(p);
  myColor = color;
  JoinSpace();
  ApplyScale(Scale);
}

Vector3D PDSphere::GetBoundMax() { return BoundCorner(1, 1.0); }
Vector3D PDSphere::GetBoundMin() { return BoundCorner(1, -1.0); }
