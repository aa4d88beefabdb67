// What keeps large scenes quick without changing what the user sees: passes
// and selections show the spheres they already have.

#include "app_fixture.h"
#include "charges/charged_object.h"
#include "framework/runtime/nil_object.h"
#include "scene/pd3d_object.h"

#include <unistd.h>

#include <cstdint>
#include <fstream>
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
  SheetFor(ChargeKind::Line)->SetFieldText(9, "5");
  w->MakeLine();
  SheetFor(ChargeKind::Point)->SetFieldText(3, "-2");
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
  w->hide();  // the model and the scene alone; no frames
  QApplication::processEvents();
  const std::int64_t before = ResidentBytes();
  auto plane = [this] {
    SheetFor(ChargeKind::Plane)->SetFieldText(0, "500");  // 250,000 charges, some 100 MB
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

  // A selection that someone else holds keeps its charges through Reset.
  SheetFor(ChargeKind::Line)->SetFieldText(9, "7");
  w->MakeLine();
  const auto held = w->SelectedObject;
  w->PBReset_Action();
  EXPECT_EQ(w->SelectedObject, held);
  EXPECT_EQ(held->ChargeList.size(), 7u);
}
