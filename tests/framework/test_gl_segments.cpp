// Straight segments drawn from records of their ends against the same
// segments drawn as line meshes of their own, what a frame sends of them,
// and heaps of spheres and segments that cover the same pixels.
#include "gl_test_support.h"

#include <numbers>

using namespace gltest;

namespace {

// An n-gon of radius r about the origin in the plane x = 0, one element per
// side (as a ring's grid outline is made): red on one half, blue on the other.
std::vector<std::shared_ptr<Object3D>> outline(TestView& view, int n, double r) {
  std::vector<std::shared_ptr<Object3D>> sides;
  const double step = 2.0 * std::numbers::pi / n;
  for (int i = 0; i < n; ++i) {
    const Vector3D a(0.0, r * std::cos(i * step), r * std::sin(i * step));
    const Vector3D b(0.0, r * std::cos((i + 1) * step), r * std::sin((i + 1) * step));
    const bool red = i < n / 2;
    sides.push_back(addShape(view, lineText(b.Minus(a), red ? 20 : 0, 0, red ? 0 : 20), a));
  }
  return sides;
}

// The harness's view on a black sky, looking at the origin from 600 along x.
TestView& lookingAlongX(Harness& h) {
  h.view->SkyColor = 0x000000;
  aimCamera(*h.view->Camera(), {600.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  return *h.view;
}

QImage frameWith(TestView& view, bool records) {
  view.renderer().setSegmentRecords(records);
  return view.grabFramebuffer();
}

}  // namespace

TEST(GlSegments, RecordsDrawWhatLineMeshesDrewWithoutAMeshEach) {
  Harness h(400, 300);
  TestView& view = lookingAlongX(h);
  ASSERT_NE(view.Objects(), nullptr);
  constexpr int kSides = 720;
  const auto ring = outline(view, kSides, 150.0);
  // In front of the ring, hiding part of it; a sphere across it, cutting it in depth.
  addShape(view, boxText(10, 80, 80, 1, 1, 0), {100.0, 150.0, 0.0});
  addShape(view, sphereText(30, 0, 1, 0), {0.0, 0.0, 150.0});
  // Turned and scaled, and a segment that crosses the view's left edge.
  auto turned = addShape(view, lineText({0, 100, 0}, 1, 1, 1), {0.0, -60.0, -40.0});
  turned->Orientation.SetRotateAboutAxis(1.0, 0.0, 0.0, 0.5);
  turned->Scale = 1.5;
  addShape(view, lineText({0, 400, 0}, 0, 1, 1), {0.0, -500.0, -100.0});

  const QImage meshes = frameWith(view, false);
  const SceneRenderer::Stats plain = view.renderer().lastFrameStats();
  const QImage records = frameWith(view, true);
  const SceneRenderer::Stats fast = view.renderer().lastFrameStats();
  saveShot(meshes, "segments_meshes");
  saveShot(records, "segments_records");

  const Difference d = compareFrames(meshes, records, 10);
  EXPECT_EQ(d.awayFromEdges, 0);
  EXPECT_LT(d.differing, 20) << d.differing;
  // Hidden behind the box, and drawn where no box is.
  EXPECT_TRUE(isRed(pixelAt(records, project(view, {0.0, 150.0 * std::cos(0.8), 150.0 * std::sin(0.8)}))) ||
              isRed(pixelAt(records, project(view, {0.0, 150.0 * std::cos(0.8), 150.0 * std::sin(0.8)}) +
                                         QPointF(0.0, 1.0))));
  EXPECT_FALSE(isRed(pixelAt(records, project(view, {100.0, 150.0, 0.0}))));

  EXPECT_EQ(plain.segments, 0);
  EXPECT_GE(plain.cachedGeometries, kSides);
  EXPECT_EQ(fast.segments, kSides + 2);
  // The box alone has a mesh; the sphere is an impostor.
  EXPECT_EQ(fast.cachedGeometries, 1);
  EXPECT_LT(fast.drawCalls, 10);
  EXPECT_EQ(fast.instances, plain.instances);
}

TEST(GlSegments, ACameraMoveSendsNothingAndAMovedSegmentItsRecordAlone) {
  Harness h(300, 200);
  TestView& view = lookingAlongX(h);
  ASSERT_NE(view.Objects(), nullptr);
  const auto ring = outline(view, 400, 150.0);
  // Far behind the eye: never drawn, but kept among the records.
  addShape(view, lineText({0, 10, 0}, 1, 0, 0), {2000.0, 0.0, 0.0});
  (void)view.grabFramebuffer();
  EXPECT_GT(view.renderer().lastFrameStats().uploadedBytes, 400 * 24);
  // The records are counted in what the renderer holds.
  EXPECT_GE(view.renderer().lastFrameStats().heldBytes, 401 * 32);

  aimCamera(*view.Camera(), {600.0, 30.0, 20.0}, {0.0, 0.0, 0.0});
  (void)view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().uploadedBytes, 0);
  EXPECT_EQ(view.renderer().lastFrameStats().segments, 400);
  EXPECT_EQ(view.renderer().lastFrameStats().culled, 1);

  ring[7]->Position = ring[7]->Position.Plus({0.0, 0.0, 5.0});
  (void)view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().uploadedBytes, 32);
}

TEST(GlSegments, AHeapOfCoincidentSpheresAndSegmentsDrawsOneOfEach) {
  Harness h(300, 200);
  TestView& view = lookingAlongX(h);
  ASSERT_NE(view.Objects(), nullptr);
  // One of each, as a reference picture.
  auto sphere = addShape(view, sphereText(6, 1, 0, 0), {0.0, -50.0, 0.0});
  auto segment = addShape(view, lineText({0, 0, 80}, 0, 0, 20), {0.0, 50.0, -40.0});
  const QImage one = view.grabFramebuffer();
  ASSERT_EQ(view.renderer().lastFrameStats().coincident, 0);

  // A thousand more of each a ten-thousandth of a unit apart, and one sphere
  // in another colour on the same place, which is drawn.
  for (int i = 1; i <= 1000; ++i) {
    addShape(view, sphereText(6, 1, 0, 0), {0.0, -50.0 + 1e-4 * i, 0.0});
    addShape(view, lineText({0, 0, 80}, 0, 0, 20), {0.0, 50.0 + 1e-4 * i, -40.0});
  }
  const QImage heap = view.grabFramebuffer();
  // A heap may straddle the edge of a bin of an eighth of a pixel: one more is drawn.
  const int coincident = view.renderer().lastFrameStats().coincident;
  EXPECT_GE(coincident, 1998);
  EXPECT_EQ(compareFrames(one, heap, 10).differing, 0);
  addShape(view, sphereText(6, 0, 1, 0), {0.0, -50.0, 0.0});
  (void)view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().coincident, coincident);
  // Magnified, the heap spreads over pixels and its members are drawn apart.
  view.FieldOfView = 1;
  aimCamera(*view.Camera(), {600.0, -50.0, 0.0}, {0.0, -50.0, 0.0});
  (void)view.grabFramebuffer();
  EXPECT_LT(view.renderer().lastFrameStats().coincident, 1000);
}
