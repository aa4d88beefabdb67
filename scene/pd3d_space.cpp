#include "scene/pd3d_space.h"

#include "framework/runtime/class_cast.h"
#include "framework/runtime/construct.h"
#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "scene/pd3d_object.h"
#include "scene/pd_line.h"
#include "scene/pd_timer.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <vector>

namespace {

bool UsableScale(double s) { return std::isfinite(s) && s != 0.0; }

// The members of a group as they stand now. A pass that yields to the event
// loop works through this list, so that members added, removed or moved
// during a yield can neither be visited twice (which would apply a new scale
// twice) nor make the pass fail; members that died meanwhile are skipped.
// Each entry keeps the scene-object view of its member (null for members of
// another class), worked out once, beside a weak reference to the member.
struct SceneMember {
  std::weak_ptr<Element3D> ref;
  PD3DObject* object = nullptr;
};

std::vector<SceneMember> SceneMembers(Group3D* group) {
  std::vector<SceneMember> members;
  if (group == nullptr) return members;
  const auto& items = group->Items();
  members.reserve(items.size());
  for (const auto& item : items) members.push_back({item, ClassCast<PD3DObject>(item.get())});
  return members;
}

}  // namespace

PD3DSpace::PD3DSpace(QWidget* parent) : Rb3DSpace(parent) {}

PD3DSpace::~PD3DSpace() {
  if (MyTimer) MyTimer->SetMode(0);
}

// ---- open, close, mouse ----

void PD3DSpace::Event_Open() {
  if (Objects() == nullptr) {
    MsgBox("You need Quickdraw 3D or Quesa/OpenGL!");
    Quit();
  }
  Up = Vector3D(0.0, 0.0, 1.0);
  Center = Vector3D(0.0, 0.0, 0.0);
  ShowAxes = false;
  Autocenter = false;
  Autoscale = false;
  StopUpdateFlag = false;
  CFDistance = ToInt32(Yon / 10.0);
  SkyColor = 0x000000;
  lastscale = 1.0;
  Scale = 1.0;
  Latitude = 10.0;
  Longitude = 0.0;
  ZoomFactor = 1.0;
  RefScale = 1.0;
  UpdateCamera();
  Object3D& camera = Deref(Camera());
  Vector3D& flood = FloodDirection();
  flood.Z = -camera.Position.Z;
  flood.Y = -camera.Position.Y;
  flood.X = -camera.Position.X;
  PD3D::SelectedSpace = this;
  emit Open();
  if (!StopUpdateFlag) StartAutoUpdate(25);
}

void PD3DSpace::Event_Close() { StopAutoUpdate(); }

bool PD3DSpace::Event_MouseDown(int x, int y) {
  emit MouseDown(x, y);
  return true;
}

std::int32_t PD3DSpace::CurrentTicks() { return Ticks(); }
std::int32_t PD3DSpace::DoubleClickTicks() { return GetDblTime(); }

void PD3DSpace::Event_MouseUp(int x, int y) {
  const std::int32_t d = DoubleClickTicks();
  const std::int32_t now = CurrentTicks();
  // Tick counts wrap like Int32s; subtract without overflow.
  const auto elapsed =
      static_cast<std::int32_t>(static_cast<std::uint32_t>(now) - static_cast<std::uint32_t>(lastClickTicks));
  const bool isDouble = elapsed <= d && std::abs(static_cast<double>(x) - lastClickX) <= 5.0 &&
                        std::abs(static_cast<double>(y) - lastClickY) <= 5.0;
  if (isDouble) emit DoubleClick(x, y);
  else emit Click(x, y);
  lastClickTicks = now;
  lastClickX = x;
  lastClickY = y;
  emit MouseUp(x, y);
}

// ---- picking, selection ----

std::shared_ptr<PD3DObject> PD3DSpace::PickedObj(int x, int y) {
  return std::dynamic_pointer_cast<PD3DObject>(FindObject(x, y));
}

std::optional<Vector3D> PD3DSpace::PickedPos(int x, int y) { return FindPoint(x, y); }

void PD3DSpace::DoSelect() { PD3D::SelectedSpace = this; }

// ---- camera ----

void PD3DSpace::UpdateCamera() {
  Quaternion q1;
  q1.SetRotateAboutAxis(0.0, 0.0, 1.0, (Longitude * std::numbers::pi) / 180.0);
  Quaternion q2;
  q2.SetRotateAboutAxis(0.0, 1.0, 0.0, ((-Latitude) * std::numbers::pi) / 180.0);
  q2.MultiplyBy(q1);
  const Vector3D offset(static_cast<double>(CFDistance), 0.0, 0.0);

  Object3D& camera = Deref(Camera());
  camera.Position = q2.Transform(offset).Plus(Center);
  camera.Orientation.SetRotateAboutAxis(1.0, 0.0, 0.0, std::numbers::pi / 2.0);
  camera.Roll(std::numbers::pi);
  const double h = std::atan2(Center.X - camera.Position.X, Center.Y - camera.Position.Y);
  q1.SetRotateAboutAxis(0.0, 0.0, 1.0, -h);
  camera.Orientation.MultiplyBy(q1);
  Vector3D f;
  f.Z = 1.0;
  f = camera.Orientation.Transform(f);
  Vector3D d;
  d.X = Center.X - camera.Position.X;
  d.Y = Center.Y - camera.Position.Y;
  d.Z = Center.Z - camera.Position.Z;
  d.Normalize();
  double c = f.Dot(d);
  c = std::max(c, -1.0);
  c = std::min(c, 1.0);
  double a = -std::acos(c);
  if (d.Z > 0.0) a = -a;
  camera.Pitch(a);

  // Labels: placed relative to the camera, facing it, leader lines renewed.
  // The pass visits every member, yielding after each; a scene without a
  // label (every scene the program makes) has nothing in it to turn.
  Group3D* group = Objects();
  if (group == nullptr || !anyFacingCamera()) return;
  const int n = group->Count();
  for (int i = 0; i < n; ++i) {
    group = Objects();
    // The class test on the bare member; only a scene object is taken hold of.
    std::shared_ptr<PD3DObject> member;
    if (group != nullptr) {
      const auto& items = group->Items();
      if (static_cast<std::size_t>(i) < items.size() && ClassCast<PD3DObject>(items[i].get()) != nullptr)
        member = std::static_pointer_cast<PD3DObject>(items[i]);
    }
    if (member) {
      const OwnerScope owner(member);
      member->FaceCamera(CameraFrame{*group, q2, Center, camera.Orientation, Scale});
    }
    RuntimeBackgroundTask();
  }
}

void PD3DSpace::KeepFacingCamera(const std::shared_ptr<PD3DObject>& object) {
  if (object) cameraFacers_.push_back(object);
}

bool PD3DSpace::anyFacingCamera() {
  const Group3D* group = Objects();
  std::erase_if(cameraFacers_, [](const std::weak_ptr<PD3DObject>& f) { return f.expired(); });
  return group != nullptr && std::any_of(cameraFacers_.begin(), cameraFacers_.end(), [group](const auto& f) {
           const auto facer = f.lock();
           return facer && group->Contains(facer.get());
         });
}

// ---- removal ----

void PD3DSpace::RemoveObject(PD3DObject* obj) {
  // Nothing to remove for nil.
  if (obj == nullptr) return;
  Group3D& group = Deref(Objects());
  // A part of a composite takes the whole composite with it. Parts know their
  // holder, so no scan of the scene is needed.
  std::shared_ptr<PD3DObject> holder = obj->CompositeHolder();
  PD3DObject* whole = holder ? holder.get() : obj;
  const std::vector<PD3DObject*> parts = whole->Parts();
  // An old leader line (replaced since) is no longer a part of its label.
  if (obj == whole || std::find(parts.begin(), parts.end(), obj) != parts.end()) {
    for (PD3DObject* part : parts) group.Remove(part);
    group.Remove(whole);
    return;
  }
  group.Remove(obj);
}

void PD3DSpace::RemoveAllObjects() {
  Group3D& group = Deref(Objects());
  for (int i = group.Count() - 1; i >= 0; --i) {
    Element3D* item = Objects()->Item(i).get();
    const bool isAxis = item != nullptr && (item == XAxis.get() || item == YAxis.get() || item == ZAxis.get());
    if (!isAxis) Objects()->Remove(i);
    RuntimeBackgroundTask();
  }
}

// ---- scale, zoom, update ----

void PD3DSpace::SetCameraCenter(const Vector3D& v) {
  Autocenter = false;
  Center = v.Times(1.0 / Scale);
  Update();
}

void PD3DSpace::SetCameraDistance(double d) {
  // A distance that gives no finite, positive reference scale is ignored.
  const double ref = static_cast<double>(CFDistance) / d;
  if (!std::isfinite(ref) || !(ref > 0.0)) return;
  Autoscale = false;
  RefScale = ref;
  NewScale = true;
}

double PD3DSpace::GetScale() { return Scale; }

void PD3DSpace::DoZoom(double f) {
  // Zero, negative and non-finite zoom factors are ignored: the scene scale
  // must stay finite and non-zero (objects divide by it when rescaled).
  if (!std::isfinite(f) || !(f > 0.0)) return;
  ZoomFactor = f;
  NewScale = true;
}

double PD3DSpace::CornerCheck(const Vector3D& max, const Vector3D& min) {
  double d = 0.0;
  auto check = [&](const Vector3D& corner) {
    const double t = corner.Minus(Center).Length();
    if (t > d) d = t;
  };
  check(max);
  check(min);
  Vector3D v(max.X, max.Y, min.Z);
  check(v);
  v.Y = min.Y;
  check(v);
  v.Z = max.Z;
  check(v);
  v.X = min.X;
  check(v);
  v.Y = max.Y;
  check(v);
  v.Z = min.Z;
  check(v);
  return d;
}

bool PD3DSpace::isScaledObject(const PD3DObject& obj) const {
  if (&obj == XAxis.get() || &obj == YAxis.get() || &obj == ZAxis.get()) return false;
  return obj.FollowsSceneScale();
}

void PD3DSpace::applyScaleToScaledObjects() {
  for (const SceneMember& member : SceneMembers(Objects())) {
    if (member.object != nullptr) {
      // Held while it is rescaled: a subclass's ApplyScale may take it out.
      if (const auto alive = member.ref.lock(); alive && isScaledObject(*member.object))
        member.object->ApplyScale(Scale);
    }
    RuntimeBackgroundTask();
  }
}

void PD3DSpace::Update() {
  // A view without OpenGL has no scene: it draws nothing, and its open event
  // has already said so and asked the program to quit.
  if (Objects() == nullptr) return;
  // The passes yield to the event loop. An update asked for meanwhile (a
  // handler, a timer) would store lastscale in the middle of a rescaling pass
  // and leave the rest of the scene at the old scale; it runs once this one
  // is complete instead.
  if (updating_) {
    updateAgain_ = true;
    return;
  }
  const QScopedValueRollback<bool> updating(updating_, true);
  do {
    updateAgain_ = false;
    updateOnce();
  } while (updateAgain_);
}

void PD3DSpace::updateOnce() {
  // A pending scale. A product that is not a finite, non-zero number
  // (factors can multiply out of range) leaves the scale in force.
  if (NewScale) {
    NewScale = false;
    const double s = RefScale * ZoomFactor;
    if (UsableScale(s)) {
      Scale = s;
      applyScaleToScaledObjects();
    }
  }

  // Autocentre and autoscale on the bounds of the scaled objects.
  if (Autocenter || Autoscale) {
    bool found = false;
    Vector3D max;
    Vector3D min;
    for (const SceneMember& member : SceneMembers(Objects())) {
      const auto alive = member.object != nullptr ? member.ref.lock() : nullptr;
      if (alive && isScaledObject(*member.object)) {
        const Vector3D bmax = member.object->GetBoundMax();
        const Vector3D bmin = member.object->GetBoundMin();
        if (!found) {
          max = bmax;
          min = bmin;
          found = true;
        } else {
          max.X = std::max(max.X, bmax.X);
          max.Y = std::max(max.Y, bmax.Y);
          max.Z = std::max(max.Z, bmax.Z);
          min.X = std::min(min.X, bmin.X);
          min.Y = std::min(min.Y, bmin.Y);
          min.Z = std::min(min.Z, bmin.Z);
        }
      }
      RuntimeBackgroundTask();
    }
    if (found) {
      if (Autocenter) {
        Vector3D c = max;
        c.Add(min);
        Center = c.Times(0.5);
      }
      if (Autoscale) {
        const double R = CornerCheck(max, min);
        const double ref = ((Scale * static_cast<double>(CFDistance)) *
                            std::sin(std::numbers::pi * static_cast<double>(FieldOfView) / 360.0)) /
                           R;
        // Bounds collapsed onto the centre (R = 0) or a degenerate field of
        // view give no usable scale: the scale in force stays.
        if (UsableScale(ref) && UsableScale(ref * ZoomFactor)) {
          RefScale = ref;
          Scale = RefScale * ZoomFactor;
          applyScaleToScaledObjects();
        }
      }
    }
  }

  // Axis lines, made or removed as ShowAxes asks.
  if (ShowAxes && !XAxis) {
    const Vector3D origin;
    const Vector3D xEnd(200.0, 0.0, 0.0);
    auto x = New<PDLine>(&origin, &xEnd, 0xFF0000u);
    XAxis = x;
    const Vector3D yEnd(0.0, 200.0, 0.0);
    auto y = New<PDLine>(&origin, &yEnd, 0x00FF00u);
    YAxis = y;
    const Vector3D zEnd(0.0, 0.0, 200.0);
    auto z = New<PDLine>(&origin, &zEnd, 0x0000FFu);
    ZAxis = z;
  }
  if (!ShowAxes && XAxis) {
    Group3D& group = Deref(Objects());
    group.Remove(XAxis.get());
    group.Remove(YAxis.get());
    group.Remove(ZAxis.get());
    XAxis = nullptr;
    YAxis = nullptr;
    ZAxis = nullptr;
  }

  // The camera to its orbit, then the frame.
  UpdateCamera();
  lastscale = Scale;
  Rb3DSpace::Update();
}

// ---- frame timer ----

void PD3DSpace::StartAutoUpdate(int fps) {
  if (!MyTimer) {
    MyTimer = std::make_shared<PDTimer>();
    MyTimer->Constructor(this);
  }
  if (!MyTimer) {
    MsgBox("Could Not Create Timer");
    return;
  }
  // A rate that is not a positive whole number leaves the timer idle rather
  // than dividing by zero.
  if (fps <= 0) {
    MyTimer->SetMode(0);
    return;
  }
  MyTimer->SetPeriod(1000 / fps);
  MyTimer->SetMode(2);
}

void PD3DSpace::StopAutoUpdate() {
  StopUpdateFlag = true;
  if (MyTimer) MyTimer->SetMode(0);
}

void PD3DSpace::UpdateFrame() {
  emit Frame();
  Update();
}
