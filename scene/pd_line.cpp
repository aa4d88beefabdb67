#include "scene/pd_line.h"

#include "scene/pd3d_space.h"
#include "scene/shape_text.h"

void PDLine::Constructor(const Vector3D* p1, const Vector3D* p2, Color color) {
  const Vector3D a = p1 ? *p1 : Vector3D();
  const Vector3D b = p2 ? *p2 : a.Plus(Vector3D(1.0, 0.0, 0.0));
  Vector3D d = b;
  d.Subtract(a);
  // The line's colour components run from 0 to 20 (byte × 20 ÷ 255).
  AddShapeText(shape_text::Primitive("Line", {"0 0 0", shape_text::Triple(d)},
                                           shape_text::DiffuseColor(color, 20)));
  PD3DSpace& view = TakeCurrentSpace();
  PlaceAt(a);
  axis = d;
  myColor = color;
  up = view.Up;
  JoinSpace();
}

void PDLine::Constructor(const Vector3D* p1, const Vector3D* p2, Color color, LeaderLineTag) {
  labelline = true;
  Constructor(p1, p2, color);
}
