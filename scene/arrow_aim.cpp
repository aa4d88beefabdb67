#include "scene/arrow_aim.h"

#include "scene/pd3d_object.h"
#include "scene/pd3d_space.h"

#include <algorithm>
#include <cmath>

void AimArrow(PD3DObject& holder, PD3DObject& shaft, PD3DObject& head, const Vector3D& newAxis, double shaftCentre) {
  const Vector3D old = Need(holder.axis);
  const double oldLength = old.Length();
  const double newLength = newAxis.Length();
  // Without two finite, non-zero lengths neither the turn nor the stretch is
  // defined: the arrow stays as it is.
  if (!(oldLength > 0.0) || !(newLength > 0.0) || !std::isfinite(oldLength) || !std::isfinite(newLength)) return;
  // A parallel or opposite vector gives a zero turning axis, which turns
  // nothing; rounding can push the cosine just past ±1.
  Vector3D turnAxis = old.Cross(newAxis);
  const double c = std::clamp((old.Dot(newAxis) / newLength) / oldLength, -1.0, 1.0);
  const Vector3D centre = holder.Position;
  holder.Rotate(std::acos(c), turnAxis, centre);
  holder.Scale = holder.Scale * newLength / oldLength;
  shaft.Scale = holder.Scale;
  head.Scale = holder.Scale;
  holder.axis = newAxis;
  const Vector3D start = Need(holder.pos);
  const double S = CurrentSpace().GetScale();
  shaft.axis = newAxis.Times(0.7);
  shaft.pos = start.Plus(newAxis.Times(shaftCentre));
  shaft.Position = shaft.pos->Times(S);
  head.axis = newAxis.Times(0.3);
  head.pos = start.Plus(newAxis.Times(0.7));
  head.Position = head.pos->Times(S);
}
