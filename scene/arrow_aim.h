#pragma once

#include "framework/math/vector3d.h"

class PD3DObject;

// Turns, stretches and re-places a two-part arrow so that it points along
// newAxis: the parts turn (through the holder's Rotate) by the angle between
// the old and the new vector, all three scale by the ratio of the lengths,
// the shaft is centred shaftCentre of the way along the new vector and the
// head starts 0.7 of the way.
void AimArrow(PD3DObject& holder, PD3DObject& shaft, PD3DObject& head, const Vector3D& newAxis, double shaftCentre);
