#include "scene/pd_box.h"

#include "framework/runtime/runtime.h"
#include "scene/pd3d_space.h"
#include "scene/shape_text.h"

void PDBox::Constructor(const Vector3D* pos, Color color, const Vector3D* size, const Vector3D* axis, Vector3D* up) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  const Vector3D sz = size ? *size : Vector3D(1.0, 1.0, 1.0);
  const Vector3D ax = axis ? *axis : Vector3D(1.0, 0.0, 0.0);
  // Without an up vector the view's own Up is used (a unit vector, so the
  // normalisation in GetMajor leaves it as it is).
  Vector3D& u = up ? *up : view.Up;
  if (NearlyParallel(ax, u)) MsgBox("Axis and Up Direction are parallel!");
  const Vector3D orientation = GetOrientation(ax, sz.X);
  const Vector3D major = GetMajor(u, ax, sz.Z);
  const Vector3D minor = GetMinor(orientation, major, sz.Y);
  const Vector3D origin = NewPosition(orientation, major, minor);
  AddShapeText(shape_text::Primitive("Box",
                                           {shape_text::Triple(orientation), shape_text::Triple(major),
                                            shape_text::Triple(minor), shape_text::Triple(origin)},
                                           shape_text::DiffuseColor(color)));
  Visible = true;
  PlaceAt(p);
  myColor = color;
  this->axis = ax;
  this->up = u;
  JoinSpace();
}

Vector3D PDBox::GetOrientation(const Vector3D& direction, double length) { return ScaledTo(direction, length); }

Vector3D PDBox::GetMajor(Vector3D& up, const Vector3D& axis, double length) {
  Vector3D replacement(1.0, 0.0, 0.0);
  Vector3D& u = NearlyParallel(axis, up) ? replacement : up;
  u.Normalize();
  return u.Times(length);
}

Vector3D PDBox::GetMinor(const Vector3D& a, const Vector3D& b, double length) {
  Vector3D v = a.Cross(b);
  v.Normalize();
  return v.Times(length);
}

Vector3D PDBox::NewPosition(const Vector3D& a, const Vector3D& b, const Vector3D& c) {
  return Vector3D().Minus(a.Times(0.5)).Minus(b.Times(0.5)).Minus(c.Times(0.5));
}

Vector3D PDBox::GetBoundMax() { return BoundCorner(2, 1.0); }
Vector3D PDBox::GetBoundMin() { return BoundCorner(2, -1.0); }
