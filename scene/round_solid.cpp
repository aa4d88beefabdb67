#include "scene/round_solid.h"

#include "scene/pd3d_object.h"
#include "scene/pd3d_space.h"
#include "scene/shape_text.h"

RoundSolid MakeRoundSolid(std::string_view keyword, const PD3DSpace& view, const Vector3D* pos, Color color,
                          const Vector3D* axis, double radius) {
  RoundSolid s;
  s.pos = pos ? *pos : Vector3D();
  s.axis = axis ? *axis : view.Up;
  if (radius == 0.0) radius = 1.0;
  // Reference direction: x, unless the axis lies (absolutely) close to it.
  Vector3D t(1.0, 0.0, 0.0);
  if (NearlyParallel(s.axis, t)) t = Vector3D(0.0, 1.0, 0.0);
  s.major = s.axis.Cross(t);
  s.major.Normalize();
  s.major.MultiplyBy(radius);
  s.minor = s.axis.Cross(s.major);
  s.minor.Normalize();
  s.minor.MultiplyBy(radius);
  s.text = shape_text::Primitive(keyword,
                                 {shape_text::Triple(s.axis), shape_text::Triple(s.major), shape_text::Triple(s.minor),
                                  "0 0 0", "0 1", "0 1"},
                                 shape_text::DiffuseColor(color), shape_text::Attributes::Capped);
  return s;
}

Vector3D HalfHeight(HeapOptional<Vector3D>& axis) {
  const double S = CurrentSpace().GetScale();
  return Need(axis).Times(S / 2.0);
}
