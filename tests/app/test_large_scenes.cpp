// What keeps large scenes quick without changing what the user sees: passes
// and selections show the spheres they already have.

#include "app/wait_cursor.h"
#include "app_fixture.h"
#include "charges/charged_object.h"
#include "charges/sheet_fields.h"
#include "framework/3d/scene_renderer.h"
#include "framework/runtime/nil_object.h"
#include "scene/pd3d_object.h"

#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <thread>
#include <memory>
#include <vector>

namespace {

using Spheres = std::vector<std::shared_ptr<PD3DObject>>;

Spheres SpheresOf(const ChargedObject& co) {
  Spheres s;
  for (const auto& c : co.ChargeList) s.push_back(c->GraphRep);
  return s;
}

// The colour a sphere is drawn in, from its shape.
Color DrawnColour(const PD3DObject& sphere) {
  const auto shapes = sphere.MeshShapes();
  if (shapes.size() != 1) return 0xFFFFFFFFu;
  auto byte = [](float c) { return static_cast<Color>(c * 255.0f + 0.5f); };
  return (byte(shapes[0]->red) << 16) | (byte(shapes[0]->green) << 8) | byte(shapes[0]->blue);
}

}  // namespace

class LargeSceneTest : public AppTest {
protected:
  // The view's members from `first` on, `count` of them.
  Spheres Members(std::size_t first, std::size_t count) const {
    Spheres s;
    const auto& items = view->Objects()->Items();
    for (std::size_t i = first; i < first + count && i < items.size(); ++i)
      s.push_back(std::dynamic_pointer_cast<PD3DObject>(items[i]));
    return s;
  }
  void ExpectDrawn(const Spheres& spheres, Color colour) {
    for (const auto& s : spheres) {
      EXPECT_EQ(s->myColor, colour);
      EXPECT_EQ(DrawnColour(*s), colour);
    }
  }
};

TEST_F(LargeSceneTest, PassesAndSelectionsShowTheSameSpheresWhereNewOnesWouldStand) {
  SheetFor(ChargeKind::Line)->SetFieldText(LineField::Count, "5");
  w->MakeLine();
  SheetFor(ChargeKind::Point)->SetFieldText(PointField::Charge, "-2");
  w->MakePoint();  // selected
  const auto line = w->ChrgObjList[0];
  const auto point = w->ChrgObjList[1];
  const Spheres lineSpheres = SpheresOf(*line);
  const Spheres pointSphere = SpheresOf(*point);
  const int objects = ViewObjects();

  // A pass: the same spheres, right after the three axis lines, in list order.
  w->CalcVoltix();
  EXPECT_EQ(SpheresOf(*line), lineSpheres);
  EXPECT_EQ(SpheresOf(*point), pointSphere);
  EXPECT_EQ(Members(3, 5), lineSpheres);
  EXPECT_EQ(Members(8, 1), pointSphere);
  EXPECT_EQ(ViewObjects(), objects);
  ExpectDrawn(lineSpheres, kPositiveColor);
  ExpectDrawn(pointSphere, kNegativeSelectedColor);

  // Selecting the line: its spheres, dark, then the point's, light, go to
  // the end of the scene, behind the arrows, as newly made spheres would.
  w->ObjectList_CellClick(0, 0, 0, 0);
  EXPECT_EQ(SpheresOf(*line), lineSpheres);
  EXPECT_EQ(SpheresOf(*point), pointSphere);
  EXPECT_EQ(ViewObjects(), objects);
  EXPECT_EQ(Members(static_cast<std::size_t>(objects) - 6, 5), lineSpheres);
  EXPECT_EQ(Members(static_cast<std::size_t>(objects) - 1, 1), pointSphere);
  ExpectDrawn(lineSpheres, kPositiveSelectedColor);
  ExpectDrawn(pointSphere, kNegativeColor);

  // A sphere that someone took out of the view comes back with the next pass,
  // at the scale the view has meanwhile taken.
  view->RemoveObject(pointSphere[0]);
  C<Slider>("SLZoom").SetValue(40);
  QApplication::processEvents();
  w->CalcVoltix();
  EXPECT_EQ(Members(8, 1), pointSphere);
  EXPECT_EQ(pointSphere[0]->Scale, view->GetScale());
  EXPECT_EQ(pointSphere[0]->Position, point->ChargeList[0]->Position.Times(view->GetScale()));
  EXPECT_EQ(Members(3, 5), lineSpheres);
  ExpectDrawn(lineSpheres, kPositiveSelectedColor);

  // Deleting the selected line leaves the point's sphere first after the axes.
  w->DeleteButton_Action();
  EXPECT_EQ(Members(3, 1), pointSphere);
  ExpectDrawn(pointSphere, kNegativeColor);
}

namespace {
std::int64_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}
}  // namespace

// Reset keeps the selection, unlisted; when nothing else holds that object it
// lets go of its charges, and the memory of the scene goes back to the
// system after Reset as after Delete.
TEST_F(LargeSceneTest, ResetAndDeleteGiveTheMemoryOfALargeSceneBack) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer's allocator holds freed memory back on purpose";
#endif
  w->hide();  // the model and the scene alone; no frames
  QApplication::processEvents();
  // The baseline is a heap with nothing free in it, as at start-up: memory
  // that earlier tests of the process freed would otherwise still be
  // resident, and the plane would grow into it without growing the process.
  ReturnFreeMemory();
  const std::int64_t before = ResidentBytes();
  auto plane = [this] {
    SheetFor(ChargeKind::Plane)->SetFieldText(PlaneField::Count, "500");  // 250,000 charges, some 100 MB
    w->MakePlane();
    ASSERT_EQ(w->PointChargesInScene(), 250000);
  };
  constexpr std::int64_t kSlack = 40'000'000;

  plane();
  EXPECT_GT(ResidentBytes() - before, 60'000'000);
  w->PBReset_Action();
  ASSERT_NE(w->SelectedObject, nullptr);  // still the plane, unlisted
  EXPECT_TRUE(w->SelectedObject->ChargeList.empty());
  EXPECT_LT(ResidentBytes() - before, kSlack);

  plane();
  w->DeleteButton_Action();
  EXPECT_EQ(ViewObjects(), 3);
  EXPECT_LT(ResidentBytes() - before, kSlack);

  // A ring with its outline, every side a line of its own: the shapes its
  // lines read go with them.
  SheetFor(ChargeKind::Ring)->SetFieldText(RingField::Count, "200000");
  SheetFor(ChargeKind::Ring)->SetGridValue(true);
  w->MakeRing();
  ASSERT_EQ(w->SurfaceList.back()->LineList.size(), 200000u);
  EXPECT_GT(ResidentBytes() - before, 60'000'000);
  w->DeleteButton_Action();
  EXPECT_LT(ResidentBytes() - before, kSlack);

  // A selection that someone else holds keeps its charges through Reset.
  SheetFor(ChargeKind::Line)->SetFieldText(LineField::Count, "7");
  w->MakeLine();
  const auto held = w->SelectedObject;
  w->PBReset_Action();
  EXPECT_EQ(w->SelectedObject, held);
  EXPECT_EQ(held->ChargeList.size(), 7u);
}

// Camera changes that come in together are drawn once, with the latest
// camera; the first frame waits for the event loop's next turn.
TEST_F(LargeSceneTest, CameraChangesThatComeTogetherAreDrawnOnce) {
  QApplication::processEvents();
  const auto frames = [&] { return view->renderer().framesDrawn(); };
  const auto before = frames();
  for (int lat = 11; lat <= 15; ++lat) C<Slider>("SLLat").SetValue(lat);
  C<Slider>("SLLong").SetValue(30);
  C<Slider>("SLZoom").SetValue(20);
  EXPECT_EQ(frames(), before);
  QApplication::processEvents();
  EXPECT_EQ(frames(), before + 1);
  EXPECT_EQ(view->Latitude, 15.0);
  EXPECT_EQ(view->Longitude, 30.0);
  EXPECT_DOUBLE_EQ(view->GetScale(), std::pow(10.0, 0.2));
  // The frame showed that camera: drawing again places it where it was.
  const Vector3D drawnFrom = view->Camera()->Position;
  view->Update();
  EXPECT_EQ(view->Camera()->Position, drawnFrom);
  QApplication::processEvents();
  EXPECT_EQ(frames(), before + 2);  // nothing more was waiting
}

// Changes that come in while a pass runs are drawn by the pass itself, or
// merged into one further pass; none is lost.
TEST_F(LargeSceneTest, ChangesDuringAPassAreMergedNotLost) {
  SheetFor(ChargeKind::Line)->SetFieldText(LineField::Count, "20000");  // long enough to give the event loop turns
  w->MakeLine();
  QApplication::processEvents();
  const auto frames = [&] { return view->renderer().framesDrawn(); };

  // A camera change during the pass: drawn by the pass's own frame.
  QTimer camera;
  camera.setSingleShot(true);
  QObject::connect(&camera, &QTimer::timeout, [&] { C<Slider>("SLLat").SetValue(33); });
  camera.start(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the event loop's throttle
  auto before = frames();
  w->CalcVoltix();
  ASSERT_FALSE(camera.isActive());
  EXPECT_EQ(view->Latitude, 33.0);
  QApplication::processEvents();
  QApplication::processEvents();
  EXPECT_EQ(frames(), before + 1);

  // Three arrow-scale changes during a pass: one more pass, with the last scale.
  QTimer scale;
  scale.setSingleShot(true);
  QObject::connect(&scale, &QTimer::timeout, [&] {
    for (int v : {7, 8, 9}) C<Slider>("SLEScale").SetValue(v);
  });
  scale.start(0);
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  before = frames();
  w->CalcVoltix();
  ASSERT_FALSE(scale.isActive());
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
  EXPECT_EQ(frames(), before + 2);
  EXPECT_DOUBLE_EQ(w->EScale, std::pow(10.0, 1.5) * 150000.0);
}

// The wait cursor over a window: after the delay while work runs, at once
// when asked, and gone when the outermost piece of work ends.
TEST_F(LargeSceneTest, WaitCursorShowsOverLongWorkAndGoesAfterIt) {
  QWidget window;
  WaitCursor wait(&window, 0);
  wait.ShowNow();  // no work: nothing
  EXPECT_FALSE(wait.Shown());
  wait.Begin();
  wait.Begin();
  EXPECT_FALSE(wait.Shown());
  QApplication::processEvents();  // the delay has passed
  EXPECT_TRUE(wait.Shown());
  EXPECT_EQ(window.cursor().shape(), Qt::WaitCursor);
  wait.End();
  EXPECT_TRUE(wait.Shown());
  wait.End();
  EXPECT_FALSE(wait.Shown());
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);

  // Work that ends before the delay shows nothing, even later.
  wait.Begin();
  wait.End();
  QApplication::processEvents();
  EXPECT_FALSE(wait.Shown());
  wait.Begin();
  wait.ShowNow();
  EXPECT_TRUE(wait.Shown());
  wait.End();
  EXPECT_EQ(window.cursor().shape(), Qt::ArrowCursor);

  // The main window shows none once its work is done.
  EXPECT_FALSE(w->ShowsWaitCursor());
}
