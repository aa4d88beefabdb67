// Round spheres drawn as impostors against their meshes, what culling leaves
// out, what stays on the GPU between frames, and pictures past the driver's
// texture size.
#include "gl_test_support.h"

#include <QPainter>

#include <map>
#include <numbers>

using namespace gltest;

namespace {

QImage frameWith(TestView& view, bool impostors) {
  view.renderer().setSphereImpostors(impostors);
  return view.grabFramebuffer();
}

}  // namespace

TEST(GlImpostor, SpheresMatchTheirMeshesInColourOutlineAndPlace) {
  Harness h(400, 300);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.FloodDirection() = Vector3D(-1.0, -0.5, -0.7);
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  struct Placed {
    std::shared_ptr<Object3D> object;
    Vector3D at;
    double radius;
  };
  std::vector<Placed> spheres;
  auto add = [&](double r, const Vector3D& at, double red, double green, double blue, const std::string& extra = "") {
    spheres.push_back({addShape(view, sphereText(r, red, green, blue, extra), at), at, r});
  };
  add(30, {0, 0, 0}, 1, 0, 0);                                    // in the middle, about 30 px across
  add(25, {0, -150, 90}, 0, 1, 0);                                // off the axis: an ellipse
  add(12, {200, 60, -60}, 0.2, 0.4, 1);                           // nearer the eye
  add(3, {0, 100, 0}, 1, 1, 0);                                   // a few pixels
  add(28, {-200, 120, -150}, 1, 0.5, 0, "\t\tAmbientCoefficient ( 0.2 )\r");  // farther, dimmer ambient
  add(20, {0, -315, 0}, 0, 1, 1);                                 // centre just left of the view
  add(18, {0, 100, 238}, 1, 0, 1);                                // centre just inside the top edge
  add(8, {0, 0, -160}, 0, 1, 0);
  spheres.back().object->NullShader = true;                      // drawn unlit
  add(6, {100, 0, 0}, 1, 1, 1);
  spheres.back().object->Scale = 2.5;                             // scaled element

  const QImage meshes = frameWith(view, false);
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 0);
  const QImage impostors = frameWith(view, true);
  const SceneRenderer::Stats stats = view.renderer().lastFrameStats();
  saveShot(meshes, "impostor_meshes");
  saveShot(impostors, "impostor_impostors");
  EXPECT_EQ(stats.impostors, static_cast<int>(spheres.size()));
  EXPECT_EQ(stats.instances, static_cast<int>(spheres.size()));
  // The two spheres across the edges are quads of two triangles, the rest points.
  EXPECT_EQ(stats.triangles, 2 * 2);

  const Difference d = compareFrames(meshes, impostors, 10);
  EXPECT_EQ(d.awayFromEdges, 0);
  EXPECT_LT(d.differing, 250) << d.differing;

  for (const Placed& s : spheres) {
    const QPointF p = project(view, s.at);
    if (p.x() < 0 || p.y() < 0) continue;
    EXPECT_LE(channelDistance(pixelAt(meshes, p), pixelAt(impostors, p)), 6)
        << s.at.X << "," << s.at.Y << "," << s.at.Z;
    EXPECT_FALSE(isSky(pixelAt(impostors, p), 0));
  }
  // Unlit: the exact colour.
  EXPECT_EQ(pixelAt(impostors, project(view, {0, 0, -160})) & 0xFFFFFF, 0x00FF00u);
  // The part of the sphere across the left edge shows, as the mesh's does.
  const QPointF left = project(view, {0, -315 + 15, 0});
  ASSERT_GE(left.x(), 0.0);
  EXPECT_FALSE(isSky(pixelAt(impostors, left), 0));
}

TEST(GlImpostor, OffAxisOutlineIsTheEllipseTheMeshShows) {
  // A wide field of view stretches a sphere near the corner along the line
  // from the centre of the view; a point sized for the round outline would cut it.
  Harness h(300, 300);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 100;
  view.FieldOfView = 100;
  aimCamera(*view.Camera(), {200.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  addShape(view, sphereText(14, 1, 0, 0), {0.0, 170.0, 170.0});

  for (const bool impostors : {false, true}) {
    SCOPED_TRACE(impostors ? "impostor" : "mesh");
    const QImage img = frameWith(view, impostors);
    // Extent along the diagonal from the view's centre and across it.
    const QPointF c = project(view, {0.0, 170.0, 170.0});
    auto extent = [&](double dx, double dy) {
      int n = 0;
      for (int s = -150; s <= 150; ++s) {
        const int x = static_cast<int>(std::lround(c.x() + s * dx)), y = static_cast<int>(std::lround(c.y() + s * dy));
        if (x >= 0 && y >= 0 && x < img.width() && y < img.height() && isRed(img.pixel(x, y))) ++n;
      }
      return n;
    };
    const double k = std::sqrt(0.5);
    const int along = extent(k, -k);
    const int across = extent(k, k);
    EXPECT_GT(along, across * 1.3) << along << " " << across;
    EXPECT_GT(across, 10);
    EXPECT_EQ(view.renderer().lastFrameStats().impostors, impostors ? 1 : 0);
  }
  const Difference d = compareFrames(frameWith(view, false), frameWith(view, true), 12);
  EXPECT_EQ(d.awayFromEdges, 0);
}

TEST(GlImpostor, DepthCutsAPlateAndARodThroughASphereAsTheMeshDoes) {
  Harness h(300, 300);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 60;
  view.FloodDirection() = Vector3D(-1.0, 0.0, 0.0);
  aimCamera(*view.Camera(), {400.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  addShape(view, sphereText(40, 1, 0, 0), {0.0, 0.0, 0.0});
  // A plate through the centre, turned 45 degrees about z: it hides the
  // sphere's far half on one side and is hidden by its near half on the other.
  auto plate = addShape(view, boxText(200, 2, 200, 0, 0, 1), {0.0, 0.0, 0.0});
  plate->Orientation.SetRotateAboutAxis(0.0, 0.0, 1.0, std::numbers::pi / 4.0);
  // A rod along y through the centre, below the plate's reach: out of the sphere on both sides.
  addShape(view, boxText(4, 200, 4, 0, 1, 0), {0.0, 0.0, -20.0});

  const QImage meshes = frameWith(view, false);
  const QImage impostors = frameWith(view, true);
  saveShot(meshes, "cut_meshes");
  saveShot(impostors, "cut_impostors");
  ASSERT_EQ(view.renderer().lastFrameStats().impostors, 1);
  const Difference d = compareFrames(meshes, impostors, 12);
  EXPECT_EQ(d.awayFromEdges, 0);

  // The rod shows beyond the sphere's outline and vanishes inside it, above
  // the plate's cut; the sphere's near half covers the plate on one side.
  const QPointF c = project(view, {0, 0, 0});
  const QPointF rodOut = project(view, {0, -70, -20});
  const QPointF rodIn = project(view, {0, 20, -20});
  for (const QImage* img : {&meshes, &impostors}) {
    EXPECT_TRUE(isGreen(pixelAt(*img, rodOut)));
    EXPECT_FALSE(isGreen(pixelAt(*img, rodIn)));
    int red = 0, blue = 0;
    for (int dx = -30; dx <= 30; ++dx) {
      const QRgb p = img->pixel(static_cast<int>(c.x()) + dx, static_cast<int>(c.y()) - 20);
      red += qRed(p) > 100 && qBlue(p) < 60;
      blue += qBlue(p) > 100 && qRed(p) < 60;
    }
    EXPECT_GT(red, 10);
    EXPECT_GT(blue, 10);
  }
}

TEST(GlImpostor, PickingFindsTheSphereEachPixelShows) {
  Harness h(300, 200);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 100;
  view.FloodLight = 0;
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  // Overlapping spheres of distinct colours at different depths.
  const std::vector<std::pair<std::uint32_t, std::shared_ptr<Object3D>>> spheres = {
      {0xFF0000, addShape(view, sphereText(30, 1, 0, 0), {0, 0, 0})},
      {0x00FF00, addShape(view, sphereText(20, 0, 1, 0), {60, 30, 10})},
      {0x0000FF, addShape(view, sphereText(25, 0, 0, 1), {-80, -45, 20})},
      {0xFFFF00, addShape(view, sphereText(6, 1, 1, 0), {100, -20, -30})},
  };
  const QImage img = frameWith(view, true);
  ASSERT_EQ(view.renderer().lastFrameStats().impostors, 4);
  int checked = 0, disagreements = 0;
  std::map<std::uint32_t, int> seen;
  for (int y = 40; y < 160; y += 2) {
    for (int x = 70; x < 230; x += 2) {
      const std::uint32_t shown = img.pixel(x, y) & 0xFFFFFF;
      const auto picked = view.FindObject(x, y);
      std::uint32_t expected = 0;
      for (const auto& [colour, object] : spheres) {
        if (picked == object) expected = colour;
      }
      ++checked;
      if (shown != expected) {
        // Only on an outline, where the pixel's centre lies within a pixel of the edge.
        ++disagreements;
        EXPECT_TRUE(onEdge(img, x, y, 60)) << x << "," << y;
      } else {
        ++seen[shown];
      }
    }
  }
  EXPECT_EQ(seen.size(), 5u);  // the sky and every sphere
  EXPECT_LT(disagreements, checked / 50);
}

TEST(GlImpostor, LargeSpheresStayTrueSpheresAndNearAndWireframeOnesKeepTheirMeshes) {
  Harness h(300, 200);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  auto sphere = addShape(view, sphereText(10, 1, 0, 0), {0, 0, 0});
  (void)view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 1);

  // Large on screen (some 300 pixels across): still the true sphere, and a
  // click hits what is drawn right up to the outline, where the mesh's facets
  // stand a pixel and more inside it.
  sphere->Scale = 12.0;
  const QImage large = view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 1);
  EXPECT_EQ(view.renderer().lastFrameStats().instances, 1);
  int outline = 0, disagreements = 0;
  for (int y = 0; y + 1 < 200; ++y) {
    for (int x = 0; x + 1 < 300; ++x) {
      if (!onEdge(large, x, y, 60) && !onEdge(large, x + 1, y, 60) && !onEdge(large, x, y + 1, 60)) continue;
      ++outline;
      const bool shown = !isSky(large.pixel(x, y), 0);
      if (shown != (view.FindObject(x, y) == sphere)) ++disagreements;
    }
  }
  EXPECT_GT(outline, 500);
  EXPECT_LT(disagreements, outline / 50) << disagreements << " of " << outline;

  // The eye inside the sphere: drawn as the mesh seen from within.
  sphere->Scale = 1.0;
  aimCamera(*view.Camera(), {3.0, 0.0, 0.0}, {-10.0, 0.0, 0.0});
  view.Hither = 1.0;
  QImage img = view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 0);
  EXPECT_GT(view.renderer().lastFrameStats().triangles, 0);
  EXPECT_TRUE(isRed(img.pixel(150, 100)) || qRed(img.pixel(150, 100)) > 60);

  // Wire frames show the mesh's edges.
  view.Hither = 5.0;
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  view.Wireframe = true;
  img = view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 0);
  EXPECT_GT(view.renderer().lastFrameStats().triangles, 0);
}

TEST(GlImpostor, CullingLeavesThePictureAndCountsWhatItLeftOut) {
  Harness h(300, 200);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.FloodDirection() = Vector3D(-1.0, -0.3, -0.2);
  aimCamera(*view.Camera(), {150.0, 0.0, 40.0}, {0.0, 0.0, 0.0});
  // A plane of spheres and boxes reaching far past every edge and behind the
  // eye, lines and a picture among them.
  int shapes = 0;
  for (int i = -12; i <= 12; ++i) {
    for (int j = -12; j <= 12; ++j) {
      const Vector3D at(25.0 * i, 25.0 * j, 0.0);
      if ((i + j) % 3 == 0) {
        addShape(view, boxText(6, 6, 6, 0, 0, 1), at);
      } else {
        addShape(view, sphereText(4, (i + 12) / 24.0, (j + 12) / 24.0, 0.2), at);
      }
      ++shapes;
    }
    addShape(view, lineText({0, 600, 0}, 20, 20, 0), {25.0 * i, -300.0, 5.0});
    ++shapes;
  }
  QImage picture(64, 32, QImage::Format_ARGB32_Premultiplied);
  picture.fill(QColor(255, 255, 255));
  for (const Vector3D at : {Vector3D(0, 0, 30), Vector3D(-400, 0, 30)}) {
    auto label = std::make_shared<Object3D>();
    label->AddShapePicture(picture, 0.5);
    label->Orientation.SetRotateAboutAxis(1.0, 1.0, 1.0, 2.0 * std::numbers::pi / 3.0);
    label->Position = at;
    view.Objects()->Append(label);
    ++shapes;
  }

  for (const bool impostors : {false, true}) {
    SCOPED_TRACE(impostors ? "impostors" : "meshes");
    view.renderer().setSphereImpostors(impostors);
    view.renderer().setCulling(false);
    const QImage all = view.grabFramebuffer();
    const SceneRenderer::Stats everything = view.renderer().lastFrameStats();
    view.renderer().setCulling(true);
    const QImage seen = view.grabFramebuffer();
    const SceneRenderer::Stats culled = view.renderer().lastFrameStats();
    saveShot(seen, impostors ? "culled_impostors" : "culled_meshes");
    EXPECT_EQ(all, seen);
    EXPECT_EQ(everything.culled, 0);
    EXPECT_EQ(everything.instances, shapes);
    EXPECT_GT(culled.culled, shapes / 2);
    EXPECT_EQ(culled.instances + culled.culled, shapes);
    EXPECT_LT(culled.triangles, everything.triangles);
    EXPECT_EQ(culled.impostors > 0, impostors);
  }
  view.renderer().setSphereImpostors(true);
}

TEST(GlImpostor, ACameraMoveSendsNoRecordsAndAMovedSphereSendsLittle) {
  Harness h(300, 200);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 100;
  aimCamera(*view.Camera(), {900.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  std::vector<std::shared_ptr<Object3D>> spheres;
  for (int i = 0; i < 60; ++i) {
    for (int j = 0; j < 60; ++j) {
      spheres.push_back(addShape(view, sphereText(2, 1, 0, 0), {0.0, -295.0 + 10.0 * i, -295.0 + 10.0 * j}));
    }
  }
  spheres.push_back(addShape(view, boxText(10, 10, 10, 0, 0, 1), {0.0, 0.0, 250.0}));
  (void)view.grabFramebuffer();
  const long long first = view.renderer().lastFrameStats().uploadedBytes;
  EXPECT_GE(first, 3600 * 16);  // at least a centre and radius each

  // The camera turns a little: every sphere stays where it was on the GPU.
  aimCamera(*view.Camera(), {895.0, 30.0, 40.0}, {0.0, 0.0, 0.0});
  QImage img = view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().uploadedBytes, 0);
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 3600);

  // One sphere moves: a small part is sent, and it shows at its new place.
  spheres[5]->Position = Vector3D(0.0, 0.0, 0.0);
  img = view.grabFramebuffer();
  const long long moved = view.renderer().lastFrameStats().uploadedBytes;
  EXPECT_GT(moved, 0);
  EXPECT_LT(moved * 8, first);
  const QPointF at = project(view, {0, 0, 0});
  bool red = false;
  for (int dy = -1; dy <= 1; ++dy) {
    for (int dx = -1; dx <= 1; ++dx) red = red || isRed(img.pixel(static_cast<int>(at.x()) + dx, static_cast<int>(at.y()) + dy));
  }
  EXPECT_TRUE(red);

  // The straightforward way sends everything in every frame, for the same picture.
  view.renderer().setKeepInstanceBuffers(false);
  const QImage again = view.grabFramebuffer();
  EXPECT_GE(view.renderer().lastFrameStats().uploadedBytes, 3600 * 16);
  EXPECT_EQ(again, img);
  view.renderer().setKeepInstanceBuffers(true);

  // Removed spheres leave the next frame.
  for (int i = 0; i < 1800; ++i) view.Objects()->Remove(spheres[static_cast<std::size_t>(i)].get());
  img = view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().impostors, 1800);
  const QPointF gone = project(view, {0.0, -295.0, -295.0});
  EXPECT_TRUE(isSky(pixelAt(img, gone), 0));
}

TEST(GlImpostor, APictureWiderThanTheDriverTakesIsStillDrawn) {
  Harness h(300, 200);
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  aimCamera(*view.Camera(), {100.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  (void)view.grabFramebuffer();
  const int limit = view.renderer().maxTextureSize();
  ASSERT_GT(limit, 0);
  // As a long label: one unit per pixel, far wider than the view; red on the
  // left half, green on the right, a transparent band at the bottom.
  QImage wide(limit + 1000, 40, QImage::Format_ARGB32_Premultiplied);
  wide.fill(Qt::transparent);
  {
    QPainter p(&wide);
    p.fillRect(0, 0, wide.width() / 2, 30, QColor(255, 0, 0));
    p.fillRect(wide.width() / 2, 0, wide.width() - wide.width() / 2, 30, QColor(0, 255, 0));
  }
  auto label = std::make_shared<Object3D>();
  label->AddShapePicture(wide, 1.0);
  label->Orientation.SetRotateAboutAxis(1.0, 1.0, 1.0, 2.0 * std::numbers::pi / 3.0);
  label->NullShader = true;
  view.Objects()->Append(label);

  const QImage img = view.grabFramebuffer();
  saveShot(img, "wide_picture");
  EXPECT_EQ(view.renderer().lastFrameStats().cachedTextures, 1);
  EXPECT_TRUE(isRed(pixelAt(img, project(view, {0, -10, 5}))));
  EXPECT_TRUE(isGreen(pixelAt(img, project(view, {0, 10, 5}))));
  EXPECT_TRUE(isSky(pixelAt(img, project(view, {0, 0, -17})), 0));
  EXPECT_TRUE(isSky(pixelAt(img, project(view, {0, 0, 30})), 0));
}
