#include "scene/pd_ellipsoid.h"

#include "framework/runtime/runtime.h"
#include "scene/pd3d_space.h"
#include "scene/shape_text.h"

namespace {
Vector3D HalfAlong(const Vector3D& direction, double length) { return ScaledTo(direction, length / 2.0); }
}  // namespace

void PDEllipsoid::Constructor(const Vector3D* pos, Color color, const Vector3D* size, const Vector3D* axis,
                              const Vector3D* up) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  const Vector3D sz = size ? *size : Vector3D(1.0, 1.0, 1.0);
  const Vector3D ax = axis ? *axis : Vector3D(1.0, 0.0, 0.0);
  const Vector3D u = up ? *up : view.Up;
  if (NearlyParallel(ax, u)) MsgBox("Axis and Up Direction are parallel!");
  const Vector3D orientation = GetOrientation(ax, sz.X);
  const Vector3D major = GetMajor(u, ax, sz.Z);
  const Vector3D minor = GetMinor(orientation, major, sz.Y);
  AddShapeText(shape_text::Primitive("Ellipsoid",
                                           {shape_text::Triple(orientation), shape_text::Triple(major),
                                            shape_text::Triple(minor), "0 0 0", "0 1", "0 1"},
                                           shape_text::DiffuseColor(color)));
  Visible = true;
  PlaceAt(p);
  myColor = color;
  this->axis = ax;
  this->up = u;
  JoinSpace();
}

Vector3D PDEllipsoid::GetMajor(const Vector3D& up, const Vector3D& axis, double length) {
  return HalfAlong(NearlyParallel(axis, up) ? Vector3D(1.0, 0.0, 0.0) : up, length);
}

Vector3D PDEllipsoid::GetMinor(const Vector3D& a, const Vector3D& b, double length) {
  return HalfAlong(a.Cross(b), length);
}

Vector3D PDEllipsoid::GetOrientation(const Vector3D& direction, double length) { return HalfAlong(direction, length); }

Vector3D PDEllipsoid::GetBoundMax() { return BoundCorner(2, 1.0); }
Vector3D PDEllipsoid::GetBoundMin() { return BoundCorner(2, -1.0); }
