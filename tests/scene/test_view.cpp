#include "scene/pd_box.h"
#include "scene/pd_label.h"
#include "scene/pd_line.h"
#include "scene/pd_sphere.h"
#include "scene/pd_timer.h"
#include "scene_fixture.h"

#include <QElapsedTimer>

#include <limits>
#include <numbers>

namespace {

// A scene object with bounds fixed by the test.
class FixedBounds : public PD3DObject {
public:
  Vector3D bmax, bmin;
  void Constructor(const Vector3D& hi, const Vector3D& lo) {
    TakeCurrentSpace();
    bmax = hi;
    bmin = lo;
    PlaceAt(Vector3D());
    JoinSpace();
  }
  Vector3D GetBoundMax() override { return bmax; }
  Vector3D GetBoundMin() override { return bmin; }
};

Vector3D CameraAxis(PD3DSpace& v, const Vector3D& own) { return v.Camera()->Orientation.Transform(own); }

void WaitFor(int ms) {
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 10);
}

}  // namespace

using ViewTest = SceneTest;

TEST_F(ViewTest, OpenSetsDefaultsAndBecomesCurrent) {
  EXPECT_EQ(PD3D::SelectedSpace.data(), view.get());
  EXPECT_VEC(view->Up, 0, 0, 1);
  EXPECT_VEC(view->Center, 0, 0, 0);
  EXPECT_EQ(view->Latitude, 10.0);
  EXPECT_EQ(view->Longitude, 0.0);
  EXPECT_EQ(view->Scale, 1.0);
  EXPECT_EQ(view->ZoomFactor, 1.0);
  EXPECT_EQ(view->RefScale, 1.0);
  EXPECT_EQ(view->lastscale, 1.0);
  EXPECT_EQ(view->CFDistance, 500);
  EXPECT_EQ(view->SkyColor, 0u);
  EXPECT_FALSE(view->ShowAxes || view->Autocenter || view->Autoscale || view->NewScale);
  EXPECT_TRUE(view->StopUpdateFlag);  // set by the Open handler
  EXPECT_FALSE(view->XAxis || view->YAxis || view->ZAxis);
  EXPECT_FALSE(view->MyTimer);
  // The flood light shines from the camera towards the origin.
  const Vector3D cam = view->Camera()->Position;
  EXPECT_VEC(view->FloodDirection(), -cam.X, -cam.Y, -cam.Z);
  EXPECT_GT(cam.X, 400.0);
}

TEST_F(ViewTest, OpenWithoutStopHandlerStartsTheFrameTimer) {
  TestSpace other;
  other.Yon = 3000.0;
  int opens = 0;
  QObject::connect(&other, &PD3DSpace::Open, &other, [&] {
    ++opens;
    EXPECT_EQ(PD3D::SelectedSpace.data(), &other);
  });
  other.OpenView();
  EXPECT_EQ(opens, 1);
  EXPECT_EQ(other.CFDistance, 300);
  ASSERT_TRUE(other.MyTimer);
  EXPECT_EQ(other.MyTimer->Period(), 40);
  EXPECT_EQ(other.MyTimer->Mode(), 2);
  // Closing stops it and keeps it.
  other.Event_Close();
  EXPECT_EQ(other.MyTimer->Mode(), 0);
  EXPECT_TRUE(other.StopUpdateFlag);
  view->DoSelect();
  EXPECT_EQ(PD3D::SelectedSpace.data(), view.get());
}

TEST_F(ViewTest, ClickAndDoubleClickTiming) {
  std::vector<std::string> events;
  auto record = [&](const char* name) {
    return [&events, name](int x, int y) { events.push_back(std::string(name) + " " + std::to_string(x) + "," + std::to_string(y)); };
  };
  QObject::connect(view.get(), &PD3DSpace::Click, view.get(), record("Click"));
  QObject::connect(view.get(), &PD3DSpace::DoubleClick, view.get(), record("DoubleClick"));
  QObject::connect(view.get(), &PD3DSpace::MouseUp, view.get(), record("MouseUp"));
  QObject::connect(view.get(), &PD3DSpace::MouseDown, view.get(), record("MouseDown"));

  EXPECT_TRUE(view->Event_MouseDown(3, 4));
  view->now = 1000;
  view->Event_MouseUp(10, 10);
  view->now = 1030;  // exactly the interval later, 5 pixels off in x and y
  view->Event_MouseUp(15, 5);
  EXPECT_EQ(events, (std::vector<std::string>{"MouseDown 3,4", "Click 10,10", "MouseUp 10,10", "DoubleClick 15,5",
                                              "MouseUp 15,5"}));
  EXPECT_EQ(view->lastClickTicks, 1030);
  EXPECT_EQ(view->lastClickX, 15);
  EXPECT_EQ(view->lastClickY, 5);

  // 6 pixels off, or one tick too late: two clicks.
  events.clear();
  view->now = 5000;
  view->Event_MouseUp(100, 100);
  view->now = 5001;
  view->Event_MouseUp(106, 100);
  view->now = 9000;
  view->Event_MouseUp(100, 100);
  view->now = 9031;
  view->Event_MouseUp(100, 100);
  view->now = 9040;
  view->Event_MouseUp(100, 94);
  EXPECT_EQ(events, (std::vector<std::string>{"Click 100,100", "MouseUp 100,100", "Click 106,100", "MouseUp 106,100",
                                              "Click 100,100", "MouseUp 100,100", "Click 100,100", "MouseUp 100,100",
                                              "Click 100,94", "MouseUp 100,94"}));

  // Three quick releases at one spot.
  events.clear();
  for (int k = 0; k < 3; ++k) {
    view->now = 20000 + 10 * k;
    view->Event_MouseUp(50, 50);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"Click 50,50", "MouseUp 50,50", "DoubleClick 50,50", "MouseUp 50,50",
                                              "DoubleClick 50,50", "MouseUp 50,50"}));

  // Tick counts that wrap around do not make a release after a long pause a double click.
  events.clear();
  view->lastClickTicks = std::numeric_limits<std::int32_t>::max() - 5;
  view->now = std::numeric_limits<std::int32_t>::min() + 5;  // 11 ticks later
  view->lastClickX = view->lastClickY = 50;
  view->Event_MouseUp(50, 50);
  EXPECT_EQ(events.front(), "DoubleClick 50,50");
}

TEST_F(ViewTest, OrbitCameraPlacesAndAimsTheCamera) {
  view->UpdateCamera();
  EXPECT_VEC(view->Camera()->Position, 492.403876506104, 0, 86.82408883346517);
  Vector3D toCentre = view->Center.Minus(view->Camera()->Position);
  toCentre.Normalize();
  const Vector3D forward = CameraAxis(*view, Vector3D(0, 0, 1));
  const Vector3D up = CameraAxis(*view, Vector3D(0, 1, 0));
  EXPECT_VEC(forward, toCentre.X, toCentre.Y, toCentre.Z);
  EXPECT_GT(up.Z, 0.9);
  EXPECT_NEAR(up.Dot(forward), 0.0, 1e-12);
  EXPECT_VEC(forward.Cross(up), 0, 1, 0);  // world +y runs to the right

  // Twice in a row: the same camera.
  const Quaternion o = view->Camera()->Orientation;
  view->UpdateCamera();
  EXPECT_NEAR(view->Camera()->Orientation.W, o.W, 1e-15);
  EXPECT_NEAR(view->Camera()->Orientation.Z, o.Z, 1e-15);

  // Latitude 0, longitude 90: on +y, looking along -y, +z up.
  view->Latitude = 0.0;
  view->Longitude = 90.0;
  view->Center = Vector3D(1, 2, 3);
  view->UpdateCamera();
  EXPECT_VEC(view->Camera()->Position, 1, 502, 3);
  EXPECT_VEC(CameraAxis(*view, Vector3D(0, 0, 1)), 0, -1, 0);
  EXPECT_VEC(CameraAxis(*view, Vector3D(0, 1, 0)), 0, 0, 1);

  // Below the plane: still aimed at the centre, still upright.
  view->Latitude = -30.0;
  view->Longitude = 45.0;
  view->Center = Vector3D();
  view->UpdateCamera();
  EXPECT_LT(view->Camera()->Position.Z, 0.0);
  toCentre = view->Camera()->Position.Times(-1.0);
  toCentre.Normalize();
  EXPECT_VEC(CameraAxis(*view, Vector3D(0, 0, 1)), toCentre.X, toCentre.Y, toCentre.Z);
  EXPECT_GT(CameraAxis(*view, Vector3D(0, 1, 0)).Z, 0.5);
}

// The camera turns every label that is a member of the view, however it got
// there, and leaves a scene without labels as it is.
TEST_F(ViewTest, CameraTurnsTheLabelsOfItsSceneWhereverTheyWereMade) {
  for (int i = 0; i < 50; ++i) New<PDSphere>(nullptr, 0u, 1.0);
  std::vector<Element3D*> before;
  for (int i = 0; i < count(); ++i) before.push_back(item(i));
  view->Latitude = 25.0;
  view->UpdateCamera();
  ASSERT_EQ(count(), static_cast<int>(before.size()));
  for (int i = 0; i < count(); ++i) EXPECT_EQ(item(i), before[static_cast<std::size_t>(i)]);

  auto expectTurned = [&](const PDLabel& label) {
    Quaternion q2;
    q2.SetRotateAboutAxis(0.0, 1.0, 0.0, -view->Latitude * 3.141592653589793 / 180.0);
    const Vector3D at = q2.Transform(label.relpos).Plus(view->Center);
    EXPECT_VEC(label.Position, at.X, at.Y, at.Z);
  };
  // A label made while another view was the current one, then moved here:
  // a view turns the labels registered with it.
  std::shared_ptr<PDLabel> label;
  {
    TestSpace other;
    QObject::connect(&other, &PD3DSpace::Open, &other, [&] { other.StopAutoUpdate(); });
    other.OpenView();
    label = New<PDLabel>(nullptr, "moved", 30.0, 40.0, 0, 0, "", 0u, 0u, false, false);  // off the turning axis
    view->DoSelect();
  }
  group().Append(label);
  const Vector3D made = label->Position;
  view->Latitude = 35.0;
  view->UpdateCamera();
  EXPECT_VEC(label->Position, made.X, made.Y, made.Z);  // a member, not yet registered here
  view->KeepFacingCamera(label);
  view->UpdateCamera();
  expectTurned(*label);
  EXPECT_FALSE(label->Position == made);  // so the first check could have failed

  // Taken out, it stays where it was; back in, it turns again.
  const Vector3D left = label->Position;
  group().Remove(label.get());
  view->Latitude = -20.0;
  view->UpdateCamera();
  EXPECT_VEC(label->Position, left.X, left.Y, left.Z);
  group().Append(label);
  view->UpdateCamera();
  expectTurned(*label);
}

TEST_F(ViewTest, ZoomAppliesAtUpdateOnly) {
  const Vector3D p(10, 0, 0);
  auto s = New<PDSphere>(&p, 0u, 1.0);
  view->DoZoom(2.0);
  EXPECT_EQ(view->GetScale(), 1.0);
  EXPECT_VEC(s->Position, 10, 0, 0);
  view->Update();
  EXPECT_EQ(view->GetScale(), 2.0);
  EXPECT_VEC(s->Position, 20, 0, 0);
  EXPECT_DOUBLE_EQ(s->Scale, 2.0);
  EXPECT_EQ(view->lastscale, 2.0);
  EXPECT_FALSE(view->NewScale);

  // Only the last factor counts; object factors carry over.
  s->Scale = 2.0 * 1.5;
  view->DoZoom(5.0);
  view->DoZoom(3.0);
  view->Update();
  EXPECT_EQ(view->Scale, 3.0);
  EXPECT_DOUBLE_EQ(s->Scale, 4.5);

  // Factors that would make the scale zero, negative or non-finite are ignored.
  view->DoZoom(0.0);
  view->DoZoom(-2.0);
  view->DoZoom(std::numeric_limits<double>::quiet_NaN());
  view->DoZoom(std::numeric_limits<double>::infinity());
  view->SetCameraDistance(0.0);
  view->SetCameraDistance(-5.0);
  view->Update();
  EXPECT_EQ(view->Scale, 3.0);
  EXPECT_EQ(view->ZoomFactor, 3.0);
  EXPECT_EQ(view->RefScale, 1.0);
  // A product out of range keeps the scale in force.
  view->RefScale = 1e300;
  view->DoZoom(1e300);
  view->Update();
  EXPECT_EQ(view->Scale, 3.0);
  EXPECT_TRUE(std::isfinite(s->Scale));
  EXPECT_VEC(s->Position, 30, 0, 0);
}

// Asks for an update while the view is rescaling, as a handler run at a
// yield may do.
class UpdatesDuringRescale : public PDSphere {
public:
  void ApplyScale(double s) override {
    PDSphere::ApplyScale(s);
    if (armed) {
      armed = false;
      CurrentSpace().Update();
    }
  }
  bool armed = false;
};

TEST_F(ViewTest, UpdateAskedForDuringRescalingDoesNotSplitTheScene) {
  std::vector<std::shared_ptr<PDSphere>> spheres;
  for (int i = 0; i < 4; ++i) {
    const Vector3D p(i, 0, 0);
    if (i == 1) {
      auto odd = New<UpdatesDuringRescale>(&p, 0u, 1.0);
      odd->armed = true;
      spheres.push_back(odd);
    } else {
      spheres.push_back(New<PDSphere>(&p, 0u, 1.0));
    }
  }
  view->DoZoom(2.0);
  view->Update();
  for (int i = 0; i < 4; ++i) {
    EXPECT_DOUBLE_EQ(spheres[i]->Scale, 2.0) << i;
    EXPECT_VEC(spheres[i]->Position, 2.0 * i, 0, 0);
  }
  EXPECT_EQ(view->lastscale, 2.0);
}

TEST_F(ViewTest, CameraDistanceAndCentre) {
  view->SetCameraDistance(250.0);
  EXPECT_EQ(view->RefScale, 2.0);
  EXPECT_FALSE(view->Autoscale);
  EXPECT_EQ(view->Scale, 1.0);
  view->DoZoom(1.5);
  view->Update();
  EXPECT_EQ(view->Scale, 3.0);

  view->DoZoom(1.0);
  view->Update();
  view->Autocenter = true;
  view->SetCameraCenter(Vector3D(10, 20, 30));
  EXPECT_VEC(view->Center, 5, 10, 15);
  EXPECT_FALSE(view->Autocenter);
  // Updated at once: the camera orbits the new centre.
  EXPECT_NEAR(view->Camera()->Position.Minus(view->Center).Length(), 500.0, 1e-9);
}

TEST_F(ViewTest, AxisLinesComeAndGoWithUpdate) {
  // Empty view, pending zoom: the scale changes, then the axes are made at it.
  view->DoZoom(2.0);
  view->ShowAxes = true;
  view->Update();
  EXPECT_EQ(view->Scale, 2.0);
  ASSERT_EQ(count(), 3);
  EXPECT_EQ(item(0), view->XAxis.get());
  EXPECT_EQ(item(1), view->YAxis.get());
  EXPECT_EQ(item(2), view->ZAxis.get());
  EXPECT_VEC(*view->YAxis->axis, 0, 200, 0);
  EXPECT_EQ(view->XAxis->Scale, 2.0);  // 400 displayed units
  EXPECT_EQ(view->ZAxis->myColor, 0x0000FFu);

  // Axis lines are never rescaled; another update adds nothing.
  view->DoZoom(4.0);
  view->Update();
  EXPECT_EQ(count(), 3);
  EXPECT_EQ(view->XAxis->Scale, 2.0);

  view->ShowAxes = false;
  view->Update();
  EXPECT_EQ(count(), 0);
  EXPECT_FALSE(view->XAxis || view->YAxis || view->ZAxis);
}

TEST_F(ViewTest, CornerCheck) {
  view->Center = Vector3D(1, 1, 1);
  EXPECT_NEAR(view->CornerCheck(Vector3D(2, 3, 4), Vector3D(0, -1, -2)), std::sqrt(1 + 4 + 9.0), 1e-12);
  EXPECT_EQ(view->CornerCheck(Vector3D(1, 1, 1), Vector3D(1, 1, 1)), 0.0);
  view->Center = Vector3D();
  EXPECT_NEAR(view->CornerCheck(Vector3D(1, 1, 1), Vector3D(-5, -5, -5)), 5 * std::sqrt(3.0), 1e-12);
  // A far corner that is neither max nor min.
  EXPECT_NEAR(view->CornerCheck(Vector3D(10, 1, 1), Vector3D(-1, -10, -1)), std::sqrt(100 + 100 + 1.0), 1e-12);
}

TEST_F(ViewTest, AutocentreAndAutoscale) {
  auto obj = New<FixedBounds>(Vector3D(10, 10, 10), Vector3D(-10, -10, -10));
  view->ShowAxes = true;
  view->Autoscale = true;
  view->Update();
  EXPECT_NEAR(view->RefScale, 500 * std::sin(25 * std::numbers::pi / 180) / (10 * std::sqrt(3.0)), 1e-9);
  EXPECT_NEAR(view->RefScale, 12.19994, 1e-5);
  EXPECT_EQ(view->Scale, view->RefScale);
  EXPECT_DOUBLE_EQ(obj->Scale, view->Scale);
  EXPECT_EQ(view->XAxis->Scale, view->Scale);  // axes are made after the fit, at its scale

  // Autocentre moves the centre to the middle of the bounds, measured anew.
  view->Autoscale = false;
  view->Autocenter = true;
  obj->bmax = Vector3D(10, 20, 30);
  obj->bmin = Vector3D(0, 0, 0);
  view->Update();
  EXPECT_VEC(view->Center, 5, 10, 15);

  // Bounds collapsed onto the centre give no scale: the one in force stays.
  const double before = view->Scale;
  obj->bmax = obj->bmin = view->Center;
  view->Autoscale = true;
  view->Update();
  EXPECT_EQ(view->Scale, before);
  EXPECT_TRUE(std::isfinite(obj->Scale));
}

TEST_F(ViewTest, AutofitIgnoresAxesLabelsAndLeaderLines) {
  view->ShowAxes = true;
  view->Update();
  const Vector3D p(100, 0, 0);
  New<PDLabel>(&p, "x", 0.0, 0.0, 0, 0, "", 0u, 0u, false, true);
  view->Autocenter = true;
  view->Autoscale = true;
  view->Update();
  EXPECT_VEC(view->Center, 0, 0, 0);
  EXPECT_EQ(view->Scale, 1.0);
  EXPECT_EQ(view->RefScale, 1.0);
}

TEST_F(ViewTest, PickingReturnsTheObjectUnderThePixel) {
  view->Update();
  EXPECT_EQ(view->PickedObj(200, 150), nullptr);
  EXPECT_FALSE(view->PickedPos(200, 150).has_value());
  auto s = New<PDSphere>(nullptr, 0xFF0000u, 20.0);
  const Vector3D right(0, 150, 0);
  auto b = New<PDBox>(&right, 0x00FF00u, nullptr, nullptr, nullptr);
  view->Update();
  EXPECT_EQ(view->PickedObj(view->width() / 2, view->height() / 2), s);
  const auto at = view->PickedPos(view->width() / 2, view->height() / 2);
  ASSERT_TRUE(at.has_value());
  EXPECT_NEAR(at->Length(), 20.0, 0.5);  // on the sphere's surface
  EXPECT_EQ(view->PickedObj(5, 5), nullptr);
}

TEST_F(ViewTest, FrameTimerStartsStopsAndRaisesFrameBeforeUpdate) {
  view->StopAutoUpdate();
  EXPECT_FALSE(view->MyTimer);
  EXPECT_TRUE(messages.empty());

  view->StartAutoUpdate(25);
  ASSERT_TRUE(view->MyTimer);
  PDTimer* timer = view->MyTimer.get();
  EXPECT_EQ(timer->Period(), 40);
  EXPECT_EQ(timer->Mode(), 2);
  EXPECT_EQ(timer->MyPD3DSpace.data(), view.get());
  view->StartAutoUpdate(10);
  EXPECT_EQ(view->MyTimer.get(), timer);
  EXPECT_EQ(timer->Period(), 100);
  view->StartAutoUpdate(30);
  EXPECT_EQ(timer->Period(), 33);

  // Each tick: Frame first, then the update (which applies the handler's zoom).
  int frames = 0;
  QObject::connect(view.get(), &PD3DSpace::Frame, view.get(), [&] {
    ++frames;
    view->DoZoom(2.0);
  });
  QElapsedTimer t;
  t.start();
  while (frames == 0 && t.elapsed() < 2000) QApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_GT(frames, 0);
  EXPECT_EQ(view->Scale, 2.0);
  EXPECT_EQ(view->lastscale, 2.0);

  view->StopAutoUpdate();
  EXPECT_EQ(timer->Mode(), 0);
  const int stopped = frames;
  WaitFor(150);
  EXPECT_EQ(frames, stopped);
  EXPECT_EQ(view->MyTimer.get(), timer);
}

TEST_F(ViewTest, StoppedAtOpenNeverRaisesFrame) {
  int frames = 0;
  QObject::connect(view.get(), &PD3DSpace::Frame, view.get(), [&] { ++frames; });
  WaitFor(150);
  EXPECT_EQ(frames, 0);
  EXPECT_FALSE(view->MyTimer);
}
