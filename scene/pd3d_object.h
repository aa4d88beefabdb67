#pragma once

#include "framework/3d/element3d.h"
#include "framework/math/vector3d.h"
#include "scene/pd3d.h"

#include <memory>
#include <optional>

// Base of every scene object. Objects are built in unscaled scene units: the
// framework Position is pos × the view's scene scale, and the framework Scale
// is that scene scale times the object's own size factor.
//
// Objects are made in two steps (New<T>(args...)): allocation, then the
// subclass's Constructor, which joins PD3D::SelectedSpace's group.
class PD3DObject : public Object3D {
public:
  std::optional<Vector3D> axis;
  std::optional<Vector3D> up;
  Color myColor = 0;
  QPointer<PD3DSpace> space;
  std::optional<Vector3D> pos;

  // Carries the object from the current view's lastscale to scene scale s.
  virtual void ApplyScale(double s);
  // Corners of an axis-aligned box that holds the displayed object (world
  // units). The base answers the displayed anchor for both.
  virtual Vector3D GetBoundMax();
  virtual Vector3D GetBoundMin();
  // Turns the object by angle (radians) about the line through center (unscaled)
  // along axis. axis is normalised in place, also for a zero angle.
  virtual void Rotate(double angle, Vector3D& axis, const Vector3D& center);

protected:
  // The object as a shared element, for joining a group.
  std::shared_ptr<Element3D> Self() { return shared_from_this(); }
  // Joins the group of the view held in `space`.
  void JoinSpace();
};
