#include "scene/pd3d_object.h"

#include "framework/3d/shape_report.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "scene/pd3d_space.h"

#include <cxxabi.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <typeinfo>
#include <utility>
#include <vector>

namespace {
ShapeTextObserver& Observer() {
  static ShapeTextObserver observer;
  return observer;
}

// The class of an object as its source names it.
std::string ClassName(const PD3DObject& object) {
  const char* mangled = typeid(object).name();
  int status = 0;
  const std::unique_ptr<char, void (*)(void*)> readable(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                        std::free);
  return status == 0 && readable ? readable.get() : mangled;
}
}  // namespace

ShapeTextObserver SetShapeTextObserver(ShapeTextObserver observer) {
  return std::exchange(Observer(), std::move(observer));
}

bool ShapeTextObserved() { return static_cast<bool>(Observer()); }

void PD3DObject::AddShapeText(const std::string& text) {
  if (Observer()) Observer()(*this, text);
  // A refused text leaves the object invisible: say so rather than nothing.
  if (!AddShapeFromString(text, -1)) {
    qCWarning(shapeTextLog, "%s: shape text refused: %s", ClassName(*this).c_str(), LastShapeError().c_str());
  }
}

bool NearlyParallel(const Vector3D& a, const Vector3D& b) { return a.Cross(b).LenSquared() < 0.001; }

Vector3D ScaledTo(const Vector3D& direction, double length) {
  Vector3D v = direction;
  v.Normalize();
  v.MultiplyBy(length);
  return v;
}

PD3DSpace& CurrentSpace() { return Deref(PD3D::SelectedSpace.data()); }

Vector3D& Need(PackedOptional<Vector3D>& v) {
  if (!v) throw NilObjectException();
  return *v;
}

Vector3D& Need(HeapOptional<Vector3D>& v) {
  if (!v) throw NilObjectException();
  return *v;
}

std::shared_ptr<PD3DObject> PD3DObject::CompositeHolder() const {
  // Only scene objects are made holders.
  return std::static_pointer_cast<PD3DObject>(PartOf());
}

void PD3DObject::SetCompositeHolder(const std::shared_ptr<PD3DObject>& holder) { SetPartOf(holder); }

std::vector<PD3DObject*> PD3DObject::Parts() const { return {}; }

bool PD3DObject::FollowsSceneScale() const { return true; }

void PD3DObject::FaceCamera(const CameraFrame&) {}

void PD3DObject::KeepFacingCamera() { Deref(space.data()).KeepFacingCamera(Self()); }

std::shared_ptr<PD3DObject> PD3DObject::Self() {
  auto self = OwnerScope::Of(this);
  // As a reference to itself would fail for an object no one owns.
  if (!self) throw std::bad_weak_ptr();
  return self;
}

void PD3DObject::ApplyScale(double s) {
  const double f = Scale;
  const double L = CurrentSpace().lastscale;
  const double factor = f / L;
  // The view keeps its scales finite and non-zero; should a caller still hand
  // in a scale that would put zero, infinity or NaN into the scene, the object
  // stays as it is.
  if (!std::isfinite(s) || s == 0.0 || !std::isfinite(factor)) return;
  Scale = s * factor;
  Position = Need(pos).Times(s);
}

Vector3D PD3DObject::GetBoundMax() { return Position; }
Vector3D PD3DObject::GetBoundMin() { return Position; }

void PD3DObject::Rotate(double angle, Vector3D& axis, const Vector3D& center) {
  axis.Normalize();
  if (angle == 0.0) return;
  Quaternion q;
  q.SetRotateAboutAxis(axis.X, axis.Y, axis.Z, angle);
  const Vector3D r = Need(pos).Minus(center);
  Orientation.MultiplyBy(q);
  pos = q.Transform(r).Plus(center);
  Position = pos->Times(CurrentSpace().GetScale());
}

PD3DSpace& PD3DObject::TakeCurrentSpace() {
  space = PD3D::SelectedSpace;
  PD3DSpace& view = Deref(space.data());
  Scale = view.GetScale();
  return view;
}

void PD3DObject::PlaceAt(const Vector3D& p) {
  pos = p;
  Position = p.Times(Scale);
}

void PD3DObject::JoinSpace() {
  PD3DSpace& view = Deref(space.data());
  Deref(view.Objects()).Append(Self());
}

Vector3D PD3DObject::BoundCorner(int mode, double sign, const Vector3D& offset) {
  Bounds() = ComputeBounds(mode);
  const double R = Bounds().Radius;
  return Position.Plus(Vector3D(R, R, R).Times(sign)).Plus(offset);
}
