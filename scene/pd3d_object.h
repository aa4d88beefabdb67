#pragma once

#include "framework/3d/element3d.h"
#include "framework/math/quaternion.h"
#include "framework/math/vector3d.h"
#include "framework/runtime/heap_optional.h"
#include "framework/runtime/packed_optional.h"
#include "scene/pd3d.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Where a view's camera stands, for the objects that keep facing it.
struct CameraFrame {
  Group3D& scene;          // the view's scene, which a renewed leader line joins
  Quaternion orbit;        // turns the orbit frame (camera on +x) into the world
  Vector3D center;         // the orbit's centre, world units
  Quaternion orientation;  // the camera's own orientation
  double scale = 1.0;      // the view's scene scale
};

// Base of every scene object. Objects are built in unscaled scene units: the
// framework Position is pos × the view's scene scale, and the framework Scale
// is that scene scale times the object's own size factor.
//
// Objects are made in two steps (New<T>(args...)): allocation, then the
// subclass's Constructor, which joins PD3D::SelectedSpace's group.
//
// Fields that few kinds set (axis, up, the composite) are kept out of line, so
// that the many spheres of a scene stay small.
class PD3DObject : public Object3D {
public:
  HeapOptional<Vector3D> axis;
  HeapOptional<Vector3D> up;
  QPointer<PD3DSpace> space;
  // The colour takes the room after the optional's flag.
  [[no_unique_address]] PackedOptional<Vector3D> pos;
  Color myColor = 0;

  // Carries the object from the current view's lastscale to scene scale s.
  virtual void ApplyScale(double s);
  // Corners of an axis-aligned box that holds the displayed object (world
  // units). The base answers the displayed anchor for both.
  virtual Vector3D GetBoundMax();
  virtual Vector3D GetBoundMin();
  // Turns the object by angle (radians) about the line through center (unscaled)
  // along axis. axis is normalised in place, also for a zero angle.
  virtual void Rotate(double angle, Vector3D& axis, const Vector3D& center);

  // The objects this one is made of (an arrow's shaft and head, a label's
  // leader line), which leave the scene with it; none for a primitive.
  [[nodiscard]] virtual std::vector<PD3DObject*> Parts() const;
  // Whether the view's scene scale carries the object; not for what is placed
  // in display units (labels and their leader lines).
  [[nodiscard]] virtual bool FollowsSceneScale() const;
  // Turns the object to face the camera at `frame`, within an OwnerScope of
  // its owner. The view calls it while an object registered with
  // KeepFacingCamera is in its scene.
  virtual void FaceCamera(const CameraFrame& frame);

  // The composite (round arrow, flat arrow, label) this object is a part of,
  // so that removing a part finds its whole without scanning the scene; null
  // for an object on its own.
  [[nodiscard]] std::shared_ptr<PD3DObject> CompositeHolder() const;
  void SetCompositeHolder(const std::shared_ptr<PD3DObject>& holder);

protected:
  // Hands a 3DMF shape text to the framework (AddShapeFromString(text, -1));
  // a text the reader refuses is reported in shapeTextLog with the reason.
  void AddShapeText(const std::string& text);
  // Constructor steps shared by the primitives: `space` = the current view
  // (NilObjectException without one) and framework Scale = its scene scale.
  PD3DSpace& TakeCurrentSpace();
  // pos = a copy of p; framework Position = p × framework Scale.
  void PlaceAt(const Vector3D& p);
  // Appends the object to the group of `space`; its owner comes from the
  // OwnerScope that New (or a caller showing the object again) opened.
  void JoinSpace();
  // Registers the object, within an OwnerScope, with its view as one whose
  // FaceCamera the view calls at every camera step.
  void KeepFacingCamera();
  // This object's owner within an OwnerScope; std::bad_weak_ptr outside.
  [[nodiscard]] std::shared_ptr<PD3DObject> Self();
  // A corner of the cube of half-side R (the framework bounds radius for
  // `mode`) about Position + offset: sign +1 for the maximum, -1 the minimum.
  Vector3D BoundCorner(int mode, double sign, const Vector3D& offset = Vector3D());
};

// Sees every shape text that a scene object hands to the framework; tests
// install one to read the texts, which are not kept. Returns the previous one.
using ShapeTextObserver = std::function<void(const PD3DObject& object, const std::string& text)>;
ShapeTextObserver SetShapeTextObserver(ShapeTextObserver observer);
// Whether an observer is installed.
bool ShapeTextObserved();

// True when a × b is shorter than the threshold the primitives use to call
// two directions parallel (squared length below 0.001).
bool NearlyParallel(const Vector3D& a, const Vector3D& b);

// A copy of the direction, normalised, then multiplied by the length (as the
// primitives build their edges and semi-axes; a zero direction stays zero).
Vector3D ScaledTo(const Vector3D& direction, double length);

// The current view, or NilObjectException.
PD3DSpace& CurrentSpace();
// The vector held in an optional field, or NilObjectException.
Vector3D& Need(PackedOptional<Vector3D>& v);
Vector3D& Need(HeapOptional<Vector3D>& v);
