#include "scene/pd_ring.h"

#include "scene/pd3d_space.h"
#include "scene/pd_disk.h"
#include "scene/shape_text.h"

void PDRing::Constructor(const Vector3D* pos, Color color, Vector3D* axis, double radius, double thickness) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  Vector3D fallback = view.Up;
  Vector3D& ax = axis ? *axis : fallback;
  if (radius == 0.0) radius = 1.0;
  if (thickness == 0.0) thickness = radius / 10.0;
  ax.Normalize();
  const DiskRadii r = MakeDiskRadii(ax, radius);
  ax.MultiplyBy(thickness / 2.0);
  AddShapeText(shape_text::Primitive("Torus", {shape_text::Triple(ax), shape_text::Triple(r.major),
                                                     shape_text::Triple(r.minor), "0 0 0", "1", "0 1", "0 1"},
                                           shape_text::DiffuseColor(color)));
  Visible = true;
  PlaceAt(p);
  myColor = color;
  this->axis = ax;
  JoinSpace();
  ApplyScale(Scale);
}

Vector3D PDRing::GetBoundMax() { return BoundCorner(1, 1.0); }
Vector3D PDRing::GetBoundMin() { return BoundCorner(1, -1.0); }
