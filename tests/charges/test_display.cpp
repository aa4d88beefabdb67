#include "charges/charge_kinds.h"
#include "charges/charge_sphere.h"
#include "charges/surface_data.h"
#include "framework/runtime/construct.h"
#include "scene/pd3d_space.h"
#include "scene/pd_line.h"

#include <gtest/gtest.h>

#include <QGuiApplication>

#include <memory>

namespace {

// A current 3D view for the spheres and lines to join.
class ChargeDisplay : public ::testing::Test {
protected:
  void SetUp() override {
    // The offscreen platform cannot host an OpenGL view; run under a display.
    if (QGuiApplication::platformName() == "offscreen") GTEST_SKIP() << "needs a display (xvfb-run)";
    view_ = std::make_unique<PD3DSpace>();
    view_->resize(400, 300);
    view_->show();
    view_->OpenView();
    if (PD3D::SelectedSpace == nullptr || view_->Objects() == nullptr) GTEST_SKIP() << "no OpenGL view here";
  }
  void TearDown() override {
    if (view_) view_->RemoveAllObjects();
    view_.reset();
  }
  int sceneCount() { return view_->Objects()->Count(); }

  std::unique_ptr<PD3DSpace> view_;
};

std::shared_ptr<ChargeSphere> sphereOf(const PointCharge& c) {
  return std::dynamic_pointer_cast<ChargeSphere>(c.GraphRep);
}

}  // namespace

TEST_F(ChargeDisplay, SphereColoursAndSizesBySign) {
  struct Case {
    double q;
    std::uint32_t color;
    std::uint32_t selected;
    double size;
  };
  const Case cases[] = {{1.0, 0xFF0000, 0x660000, 10.0},
                        {-8.0, 0x0000FF, 0x000066, 20.0},
                        {0.0, 0x0000FF, 0x000066, 2.0},
                        {0.001, 0xFF0000, 0x660000, 2.0},
                        {3.0, 0xFF0000, 0x660000, 14.422495703074083}};
  for (const Case& c : cases) {
    auto object = New<SingleCharge>(c.q, 5.0, 6.0, 7.0);
    const PointCharge& pc = *object->ChargeList[0];
    EXPECT_NEAR(PointCharge::SphereSize(c.q), c.size, 1e-9) << c.q;

    object->DisplayIt();
    auto sphere = sphereOf(pc);
    ASSERT_TRUE(sphere) << c.q;
    EXPECT_EQ(sphere->myColor, c.color) << c.q;
    EXPECT_EQ(sphere->Parent.lock(), object);
    // The sphere's extent is its radius about the charge.
    EXPECT_NEAR(sphere->GetBoundMax().X - sphere->GetBoundMin().X, 2.0 * c.size, 0.05 * c.size) << c.q;

    object->DisplaySelected();
    EXPECT_EQ(sphereOf(pc)->myColor, c.selected) << c.q;
  }
}

TEST_F(ChargeDisplay, EveryShowingAddsNewSpheresThatLeadBackToTheirObject) {
  auto ring = New<RingCharge>(4.0, Vector3D(), 100.0, Vector3D(0, 0, 1), 6);
  const int before = sceneCount();
  ring->DisplayIt();
  EXPECT_EQ(sceneCount(), before + 6);
  auto first = ring->ChargeList[0]->GraphRep;
  ring->DisplayIt();  // nothing removed in between: two spheres per charge
  EXPECT_EQ(sceneCount(), before + 12);
  EXPECT_NE(ring->ChargeList[0]->GraphRep, first);
  for (const auto& c : ring->ChargeList) {
    EXPECT_EQ(sphereOf(*c)->Parent.lock(), ring);
    EXPECT_GE(view_->Objects()->IndexOf(c->GraphRep.get()), 0);
  }

  // A sphere does not keep its charged object alive.
  auto sphere = sphereOf(*ring->ChargeList[0]);
  ring.reset();
  EXPECT_TRUE(sphere->Parent.expired());

  // An empty object shows nothing.
  auto empty = New<LineCharge>(1.0, 0, Vector3D(), Vector3D(1, 0, 0));
  const int now = sceneCount();
  empty->DisplayIt();
  EXPECT_EQ(sceneCount(), now);
}

TEST_F(ChargeDisplay, GridLinesInTheirSignColours) {
  RingData ring(Vector3D(), 100.0, Vector3D(0, 0, 1), 5, true, false);
  const int before = sceneCount();
  ring.DrawGrid();
  EXPECT_EQ(sceneCount(), before + 5);
  ring.DrawGrid();
  EXPECT_EQ(sceneCount(), before + 10);
  for (const auto& g : ring.LineList) {
    auto line = std::dynamic_pointer_cast<PDLine>(g->GraphRep);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->myColor, 0x0000FFu);
  }
  LineData red(Vector3D(), Vector3D(0, 50, 0), true, true);
  red.DrawGrid();
  EXPECT_EQ(red.LineList[0]->GraphRep->myColor, 0xFF0000u);

  LineData none(Vector3D(), Vector3D(0, 50, 0), false, true);
  const int now = sceneCount();
  none.DrawGrid();
  EXPECT_EQ(sceneCount(), now);
}

// Showing an object again after its spheres left the view puts the same
// spheres back, at the end of the scene, looking exactly as new ones would;
// where reusing could be told apart from a new sphere, a new one is made.
TEST_F(ChargeDisplay, RedisplayPutsTheSameSpheresBackAsNewOnesWouldLook) {
  auto line = New<LineCharge>(-6.0, 3, Vector3D(10, 0, 0), Vector3D(0, 90, 0));
  auto point = New<SingleCharge>(2.0, 0.0, 0.0, 40.0);
  line->DisplayIt();
  point->DisplayIt();
  std::vector<std::shared_ptr<PD3DObject>> spheres;
  for (const auto& c : line->ChargeList) spheres.push_back(c->GraphRep);
  auto takeOut = [&](const ChargedObject& o) {
    for (const auto& c : o.ChargeList) view_->RemoveObject(c->GraphRep);
  };

  // Taken out and shown selected: the same spheres, dark, now last in the view.
  takeOut(*line);
  line->Redisplay(true);
  const auto& items = view_->Objects()->Items();
  ASSERT_GE(items.size(), 4u);
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(line->ChargeList[i]->GraphRep, spheres[i]);
    EXPECT_EQ(items[items.size() - 3 + i], spheres[i]);
    EXPECT_EQ(spheres[i]->myColor, kNegativeSelectedColor);
  }
  EXPECT_EQ(items[items.size() - 4], point->ChargeList[0]->GraphRep);

  // Each looks as a new sphere of its charge in that colour looks.
  for (std::size_t i = 0; i < 3; ++i) {
    const PointCharge& c = *line->ChargeList[i];
    auto fresh = New<ChargeSphere>(&c.Position, kNegativeSelectedColor, PointCharge::SphereSize(c.Charge),
                                   std::weak_ptr<ChargedObject>(line));
    ASSERT_EQ(spheres[i]->MeshShapes().size(), 1u);
    EXPECT_EQ(spheres[i]->MeshShapes()[0], fresh->MeshShapes()[0]);
    EXPECT_EQ(spheres[i]->Position, fresh->Position);
    EXPECT_EQ(spheres[i]->Scale, fresh->Scale);
    view_->RemoveObject(fresh);
  }

  // Turned and moved while out of the view: it comes back where a new one would be.
  takeOut(*line);
  Vector3D turnAxis(0, 0, 1);
  spheres[0]->Rotate(1.0, turnAxis, Vector3D(500, 0, 0));
  line->Redisplay(false);
  EXPECT_EQ(line->ChargeList[0]->GraphRep, spheres[0]);
  EXPECT_EQ(spheres[0]->pos.value(), line->ChargeList[0]->Position);
  EXPECT_EQ(spheres[0]->Orientation.W, 1.0);
  EXPECT_EQ(spheres[0]->myColor, kNegativeColor);

  // Still in the view: a second, new sphere, as Display does.
  const int before = sceneCount();
  const auto shown = point->ChargeList[0]->GraphRep;
  point->Redisplay(false);
  EXPECT_EQ(sceneCount(), before + 1);
  EXPECT_NE(point->ChargeList[0]->GraphRep, shown);
  EXPECT_TRUE(view_->Objects()->Contains(shown.get()));

  // With shape texts read by someone, every showing hands its text over.
  std::vector<std::string> texts;
  const auto previous = SetShapeTextObserver([&](const PD3DObject&, const std::string& t) { texts.push_back(t); });
  takeOut(*line);
  line->Redisplay(true);
  SetShapeTextObserver(previous);
  EXPECT_EQ(texts.size(), 3u);
  EXPECT_NE(line->ChargeList[0]->GraphRep, spheres[0]);
  EXPECT_EQ(line->ChargeList[0]->GraphRep->myColor, kNegativeSelectedColor);

  // A sphere made for another view is not taken into this one.
  spheres.clear();
  for (const auto& c : line->ChargeList) spheres.push_back(c->GraphRep);
  takeOut(*line);
  PD3DSpace other;
  other.resize(200, 100);
  other.show();
  other.OpenView();  // now the current view
  ASSERT_EQ(PD3D::SelectedSpace, &other);
  line->Redisplay(false);
  EXPECT_NE(line->ChargeList[0]->GraphRep, spheres[0]);
  EXPECT_EQ(other.Objects()->IndexOf(line->ChargeList[0]->GraphRep.get()), 0);
  other.RemoveAllObjects();
  view_->DoSelect();
}
