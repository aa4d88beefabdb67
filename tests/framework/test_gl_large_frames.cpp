// Large frames: sent to the driver in bounded parts without changing the
// picture, and the renderer's record memory following the scene down and up.
#include "gl_test_support.h"

using namespace gltest;

namespace {

// A square grid of n x n red spheres of radius r in the plane x = 0, `gap`
// apart, centred on the origin.
std::vector<std::shared_ptr<Object3D>> sphereGrid(TestView& view, int n, double gap, double r) {
  std::vector<std::shared_ptr<Object3D>> spheres;
  const double half = gap * (n - 1) / 2.0;
  for (int i = 0; i < n; ++i) {
    for (int j = 0; j < n; ++j) {
      spheres.push_back(addShape(view, sphereText(r, 1, 0, 0), {0.0, gap * i - half, gap * j - half}));
    }
  }
  return spheres;
}

bool redNear(const QImage& img, QPointF at) {
  const QPoint p(static_cast<int>(std::floor(at.x())), static_cast<int>(std::floor(at.y())));
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) {
      const int x = p.x() + dx, y = p.y() + dy;
      if (x >= 0 && y >= 0 && x < img.width() && y < img.height() && isRed(img.pixel(x, y))) return true;
    }
  }
  return false;
}

}  // namespace

TEST(GlLargeFrames, PartsOfAFewPrimitivesDrawTheSamePicture) {
  Harness h(300, 200);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.FloodDirection() = Vector3D(-1.0, -0.4, -0.3);
  aimCamera(*view.Camera(), {900.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  // Reaching past every edge: points in runs broken where spheres are left
  // out, quads across the edges; boxes drawn as instanced meshes among them.
  (void)sphereGrid(view, 70, 16.0, 2.0);
  for (int i = 0; i < 12; ++i) addShape(view, boxText(8, 8, 8, 0, 0, 1), {20.0, -220.0 + 40.0 * i, 30.0});

  const QImage whole = view.grabFramebuffer();
  const SceneRenderer::Stats one = view.renderer().lastFrameStats();
  ASSERT_GT(one.impostors, 3000);
  ASSERT_GT(one.culled, 500);
  ASSERT_GT(one.triangles, 2 * 10);  // quads and boxes

  view.renderer().setPartPrimitives(7);
  const QImage parted = view.grabFramebuffer();
  const SceneRenderer::Stats many = view.renderer().lastFrameStats();
  view.renderer().setPartPrimitives(1'000'000);
  const QImage unbroken = view.grabFramebuffer();

  EXPECT_EQ(parted, whole);
  EXPECT_EQ(unbroken, whole);
  EXPECT_EQ(many.impostors, one.impostors);
  EXPECT_EQ(many.triangles, one.triangles);
  // Every part but the last holds seven primitives: points, triangles of
  // quads and boxes.
  EXPECT_GE(many.parts, one.impostors / 8);
  EXPECT_LE(many.parts, (one.impostors + one.triangles) / 7 + 1);
  EXPECT_GT(many.drawCalls, one.drawCalls);
  EXPECT_EQ(view.renderer().lastFrameStats().parts, 0);
}

TEST(GlLargeFrames, RecordMemoryFollowsTheSceneDownAndUp) {
  Harness h(600, 400);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 100;
  const double distance = 1000.0;
  aimCamera(*view.Camera(), {distance, 0.0, 0.0}, {0.0, 0.0, 0.0});
  constexpr int kSide = 150;  // 22,500 spheres of some 2.6 pixels, all in view
  auto spheres = sphereGrid(view, kSide, 5.0, 3.0);
  QImage img = view.grabFramebuffer();
  const long long large = view.renderer().lastFrameStats().heldBytes;
  ASSERT_EQ(view.renderer().lastFrameStats().impostors, kSide * kSide);
  EXPECT_GE(large, kSide * kSide * 16LL);

  // All but a few leave: the memory goes back, and the few stay right.
  std::vector<std::shared_ptr<Object3D>> kept;
  for (std::size_t i = 0; i < spheres.size(); ++i) {
    if (i % 997 == 5) {
      kept.push_back(spheres[i]);
    } else {
      view.Objects()->Remove(spheres[i].get());
    }
  }
  img = view.grabFramebuffer();
  const long long small = view.renderer().lastFrameStats().heldBytes;
  EXPECT_LT(small, 64 * 1024) << small;
  EXPECT_LT(small * 8, large);
  for (const auto& s : kept) EXPECT_TRUE(redNear(img, project(view, s->Position)));
  EXPECT_TRUE(isSky(pixelAt(img, project(view, spheres[0]->Position)), 0));

  // What the buffer holds after it was cut down is what the next frame compares with.
  aimCamera(*view.Camera(), {distance, 1.0, 1.0}, {0.0, 0.0, 0.0});
  (void)view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().uploadedBytes, 0);

  // The scene grows back within one frame, past the room the buffer had:
  // every sphere shows, and the frame after sends nothing again.
  aimCamera(*view.Camera(), {distance, 0.0, 0.0}, {0.0, 0.0, 0.0});
  for (std::size_t i = 0; i < spheres.size(); ++i) {
    if (i % 997 != 5) view.Objects()->Append(spheres[i]);
  }
  img = view.grabFramebuffer();
  EXPECT_GE(view.renderer().lastFrameStats().heldBytes, kSide * kSide * 16LL);
  int shown = 0;
  for (std::size_t i = 0; i < spheres.size(); i += 101) {
    shown += redNear(img, project(view, spheres[i]->Position));
  }
  EXPECT_EQ(shown, static_cast<int>((spheres.size() + 100) / 101));
  aimCamera(*view.Camera(), {distance, -1.0, 1.0}, {0.0, 0.0, 0.0});
  (void)view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().uploadedBytes, 0);
}
