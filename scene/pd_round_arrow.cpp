#include "scene/pd_round_arrow.h"

#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "scene/arrow_aim.h"
#include "scene/pd3d_space.h"

#include <algorithm>
#include <cmath>

void PDRoundArrow::Constructor(const Vector3D* pos, Color color, const Vector3D* axis) {
  TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  Vector3D a = axis ? *axis : Vector3D(1.0, 0.0, 0.0);
  // An arrow without a usable length (zero or non-finite) is built as a
  // zero-length arrow: its parts get zero vectors, finite numbers throughout,
  // and draw nothing, instead of carrying the NaN of 0 ÷ 0 into the scene.
  if (!a.IsFinite() || !std::isfinite(a.Length())) a = Vector3D();
  const double L = a.Length();
  const double r = std::min(0.05 * L, 3.0);
  const double h = std::min(0.3 * L, 18.0);
  const double f = L > 0.0 ? h / L : 0.0;
  const Vector3D shaft = a.Times(1.0 - f);
  const auto self = Self();

  cylinder = New<PDCylinder>(&p, color, &shaft, r);
  cylinder->SetCompositeHolder(self);
  const Vector3D headPos = p.Plus(shaft);
  const Vector3D head = a.Times(f);
  cone = New<PDCone>(&headPos, color, &head, 2.0 * r);
  cone->SetCompositeHolder(self);

  Visible = true;
  PlaceAt(p);
  this->axis = a;
  JoinSpace();
}

void PDRoundArrow::Rotate(double angle, Vector3D& axis, const Vector3D& center) {
  Deref(cone).Rotate(angle, axis, center);
  Deref(cylinder).Rotate(angle, axis, center);
}

void PDRoundArrow::SetAxis(const Vector3D& newAxis) {
  AimArrow(*this, Deref(cylinder), Deref(cone), newAxis, 0.0);
}
