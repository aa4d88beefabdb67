#include "scene/pd_arrow.h"

#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "scene/arrow_aim.h"
#include "scene/pd3d_space.h"

void PDArrow::Constructor(const Vector3D* pos, Color color, const Vector3D* axis, Vector3D* up) {
  TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  // A non-finite arrow vector is built as a zero-length arrow (finite numbers
  // in every part) rather than carrying infinities into the scene.
  Vector3D a = axis ? *axis : Vector3D(1.0, 0.0, 0.0);
  if (!a.IsFinite()) a = Vector3D();
  const double L = a.Length();
  const Vector3D shaftSize(0.7 * L, 0.1 * L, 0.1 * L);
  const Vector3D headSize(0.3 * L, 0.2 * L, 0.2 * L);
  const auto self = Self();

  const Vector3D shaftPos = p.Plus(a.Times(0.35));
  Box = New<PDBox>(&shaftPos, color, &shaftSize, &a, up);
  Box->SetCompositeHolder(self);
  const Vector3D headPos = p.Plus(a.Times(0.7));
  pyramid = New<PDPyramid>(&headPos, color, &headSize, &a, up);
  pyramid->SetCompositeHolder(self);

  Visible = true;
  PlaceAt(p);
  this->axis = a;
  JoinSpace();
}

void PDArrow::Rotate(double angle, Vector3D& axis, const Vector3D& center) {
  Deref(pyramid).Rotate(angle, axis, center);
  Deref(Box).Rotate(angle, axis, center);
}

void PDArrow::SetAxis(const Vector3D& newAxis) {
  AimArrow(*this, Deref(Box), Deref(pyramid), newAxis, 0.35);
}
