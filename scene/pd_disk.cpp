#include "scene/pd_disk.h"

#include "scene/pd3d_space.h"
#include "scene/shape_text.h"

DiskRadii MakeDiskRadii(const Vector3D& unitAxis, double radius) {
  Vector3D t(1.0, 0.0, 0.0);
  if (NearlyParallel(unitAxis, t)) t = Vector3D(0.0, 1.0, 0.0);
  DiskRadii r;
  r.major = unitAxis.Cross(t);
  r.major.Normalize();
  r.minor = unitAxis.Cross(r.major);
  r.minor.Normalize();
  r.major.MultiplyBy(radius);
  r.minor.MultiplyBy(radius);
  return r;
}

void PDDisk::Constructor(const Vector3D* pos, Color color, Vector3D* axis, double radius) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  Vector3D fallback = view.Up;
  Vector3D& ax = axis ? *axis : fallback;
  if (radius == 0.0) radius = 1.0;
  ax.Normalize();
  const DiskRadii r = MakeDiskRadii(ax, radius);
  AddShapeText(shape_text::Primitive("Disk", {shape_text::Triple(r.major), shape_text::Triple(r.minor), "0 0 0",
                                                    "0 1", "0 1"},
                                           shape_text::DiffuseColor(color)));
  Visible = true;
  PlaceAt(p);
  myColor = color;
  this->axis = ax;
  RenderBackFaces = true;
  JoinSpace();
}

Vector3D PDDisk::GetBoundMax() { return BoundCorner(1, 1.0); }
Vector3D PDDisk::GetBoundMin() { return BoundCorner(1, -1.0); }
