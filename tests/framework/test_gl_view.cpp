// The 3D view on a real (software) OpenGL context: what a frame shows, where,
// what picking finds, and the events the view raises to its subclass.
#include "framework/3d/threedmf.h"
#include "gl_test_support.h"

#include <QMouseEvent>
#include <QPainter>

#include <numbers>

using namespace gltest;

TEST(GlView, SphereIsLitInTheCentreOnTheSkyAndSizedByTheVerticalFieldOfView) {
  // The same picture whether the sphere is drawn as its mesh or as an impostor.
  for (const bool impostor : {false, true}) {
    SCOPED_TRACE(impostor ? "impostor" : "mesh");
    Harness h;  // 300 x 200: a wide view, so the aspect ratio matters
    TestView& view = *h.view;
    ASSERT_NE(view.Objects(), nullptr);
    view.renderer().setSphereImpostors(impostor);
    view.SkyColor = 0x102030;
    aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
    auto sphere = addShape(view, sphereText(50, 1, 0, 0), {0.0, 0.0, 0.0});

    // Flood light from the camera towards the scene: the facing point is fully lit.
    view.FloodDirection() = Vector3D(-1.0, 0.0, 0.0);
    QImage img = view.grabFramebuffer();
    ASSERT_EQ(img.width(), 300);
    ASSERT_EQ(img.height(), 200);
    const QRgb centre = img.pixel(150, 100);
    EXPECT_TRUE(isRed(centre)) << std::hex << centre;
    EXPECT_GT(qRed(centre), 230);
    for (QPoint p : {QPoint(0, 0), QPoint(299, 0), QPoint(0, 199), QPoint(299, 199)}) {
      EXPECT_TRUE(isSky(img.pixel(p), 0x102030)) << p.x() << "," << p.y() << " " << std::hex << img.pixel(p);
    }
    // The silhouette's radius is 500 tan(asin 0.1) / (500 tan 25°) x 100 ≈ 21.5 px, in x and in y alike.
    EXPECT_TRUE(isRed(img.pixel(150 + 18, 100)));
    EXPECT_TRUE(isRed(img.pixel(150 - 18, 100)));
    EXPECT_TRUE(isRed(img.pixel(150, 100 - 18)));
    EXPECT_TRUE(isRed(img.pixel(150, 100 + 18)));
    EXPECT_TRUE(isSky(img.pixel(150 + 25, 100), 0x102030));
    EXPECT_TRUE(isSky(img.pixel(150, 100 + 25), 0x102030));
    // Large on screen: drawn with every triangle of its mesh, or as one point.
    EXPECT_EQ(view.renderer().lastFrameStats().triangles,
              impostor ? 0 : static_cast<long long>(sphere->MeshShapes()[0]->geometry->indices.size() / 3));
    EXPECT_EQ(view.renderer().lastFrameStats().impostors, impostor ? 1 : 0);

    // Light travelling down and towards -y falls on the upper right (+y right, +z up).
    view.FloodDirection() = Vector3D(0.0, -1.0, -1.0);
    img = view.grabFramebuffer();
    EXPECT_GT(qRed(img.pixel(150 + 12, 100 - 12)), qRed(img.pixel(150 - 12, 100 + 12)) + 100);
    EXPECT_GT(qRed(img.pixel(150 + 12, 100 - 12)), qRed(img.pixel(150 - 12, 100 - 12)) + 50);

    // Flood light from behind: only the ambient 30 % of red is left on the facing side.
    view.FloodDirection() = Vector3D(1.0, 0.0, 0.0);
    img = view.grabFramebuffer();
    EXPECT_NEAR(qRed(img.pixel(150, 100)), 0.3 * 255, 6);
    EXPECT_LT(qGreen(img.pixel(150, 100)), 10);

    // Ambient and flood scale with their percentages and colours.
    view.AmbientLight = 100;
    view.AmbientColor = 0x800000;
    img = view.grabFramebuffer();
    EXPECT_NEAR(qRed(img.pixel(150, 100)), 128, 6);
  }
}

TEST(GlView, ImageFollowsTheCameraWithoutMirroring) {
  Harness h;
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 100;  // full colour from every side
  view.FloodLight = 0;
  addShape(view, sphereText(10, 0, 1, 0), {0.0, 100.0, 0.0});  // green on world +y
  addShape(view, sphereText(10, 0, 0, 1), {0.0, 0.0, 100.0});  // blue on world +z

  // Camera on +x looking at the origin: +y to the right, +z up.
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  const int off = static_cast<int>(std::lround(100.0 * kPixelsPerUnit));  // ≈ 43 px
  QImage img = view.grabFramebuffer();
  EXPECT_TRUE(isGreen(img.pixel(150 + off, 100)));
  EXPECT_TRUE(isSky(img.pixel(150 - off, 100), 0));
  EXPECT_TRUE(isBlue(img.pixel(150, 100 - off)));
  EXPECT_TRUE(isSky(img.pixel(150, 100 + off), 0));

  // Camera on -x: +y now runs to the left.
  aimCamera(*view.Camera(), {-500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  img = view.grabFramebuffer();
  EXPECT_TRUE(isGreen(img.pixel(150 - off, 100)));
  EXPECT_TRUE(isSky(img.pixel(150 + off, 100), 0));
  EXPECT_TRUE(isBlue(img.pixel(150, 100 - off)));

  // Camera moved up along +z while looking the same way: the scene sinks.
  view.Camera()->Position = Vector3D(-500.0, 0.0, 100.0);
  img = view.grabFramebuffer();
  EXPECT_TRUE(isBlue(img.pixel(150, 100)));
  EXPECT_TRUE(isGreen(img.pixel(150 - off, 100 + off)));

  // Hidden elements are not drawn.
  view.Objects()->Item(1)->Visible = false;
  img = view.grabFramebuffer();
  EXPECT_TRUE(isSky(img.pixel(150, 100), 0));
}

TEST(GlView, LinesAreDrawnUnlitInTheirColourWhereTheyProject) {
  Harness h;
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 0;  // lines must not depend on the light
  view.FloodLight = 0;
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  // A vertical line at world y = 50, from z = -100 to z = +100; colour written as the scene does (0..20).
  addShape(view, lineText({0.0, 0.0, 200.0}, 20, 0, 0), {0.0, 50.0, -100.0});

  const QImage img = view.grabFramebuffer();
  const double x = 150.0 + 50.0 * kPixelsPerUnit;  // ≈ 171.4
  auto columnHasRed = [&](int y) {
    for (int dx = -1; dx <= 1; ++dx) {
      if (isRed(img.pixel(static_cast<int>(x) + dx, y))) return true;
    }
    return false;
  };
  EXPECT_TRUE(columnHasRed(100));
  EXPECT_TRUE(columnHasRed(100 - 30));
  EXPECT_TRUE(columnHasRed(100 + 30));
  EXPECT_FALSE(columnHasRed(100 - 60));  // past the line's end (≈ 43 px)
  EXPECT_TRUE(isSky(img.pixel(150, 100), 0));
  EXPECT_TRUE(isSky(img.pixel(static_cast<int>(x) - 10, 100), 0));
}

TEST(GlView, PicturesFaceTheirElementsPlusZUprightFromBothSidesWithTransparency) {
  Harness h;
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 0;  // pictures are drawn unlit: full colour even in the dark
  view.FloodLight = 0;
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});

  // Quadrants: red top-left, green top-right, blue bottom-left, transparent bottom-right.
  QImage picture(40, 40, QImage::Format_ARGB32_Premultiplied);
  picture.fill(Qt::transparent);
  {
    QPainter p(&picture);
    p.fillRect(0, 0, 20, 20, QColor(255, 0, 0));
    p.fillRect(20, 0, 20, 20, QColor(0, 255, 0));
    p.fillRect(0, 20, 20, 20, QColor(0, 0, 255));
  }
  auto label = std::make_shared<Object3D>();
  label->AddShapePicture(picture, 2.0);  // 80 x 80 units
  // Own x -> world +y, own y -> world +z, own z -> world +x (towards the camera).
  label->Orientation.SetRotateAboutAxis(1.0, 1.0, 1.0, 2.0 * std::numbers::pi / 3.0);
  label->NullShader = true;
  label->RenderBackFaces = true;
  view.Objects()->Append(label);

  const int q = static_cast<int>(std::lround(20.0 * kPixelsPerUnit));  // quadrant centres ≈ 8.6 px out
  QImage img = view.grabFramebuffer();
  EXPECT_TRUE(isRed(img.pixel(150 - q, 100 - q))) << std::hex << img.pixel(150 - q, 100 - q);
  EXPECT_TRUE(isGreen(img.pixel(150 + q, 100 - q)));
  EXPECT_TRUE(isBlue(img.pixel(150 - q, 100 + q)));
  EXPECT_TRUE(isSky(img.pixel(150 + q, 100 + q), 0));
  EXPECT_EQ(img.pixel(150 - q, 100 - q) & 0xFFFFFF, 0xFF0000u);  // unlit: exact colour
  EXPECT_TRUE(isSky(img.pixel(150 + 3 * q, 100), 0));            // outside the 80-unit square

  // A sphere behind the transparent quadrant shows through it.
  addShape(view, sphereText(8, 1, 1, 0), {-50.0, 20.0, -20.0});
  view.AmbientLight = 100;
  img = view.grabFramebuffer();
  const QRgb through = img.pixel(150 + static_cast<int>(std::lround(20.0 * 500.0 / 550.0 * kPixelsPerUnit)),
                                 100 + static_cast<int>(std::lround(20.0 * 500.0 / 550.0 * kPixelsPerUnit)));
  EXPECT_GT(qRed(through), 150);
  EXPECT_GT(qGreen(through), 150);

  // Turned half round: the back is still drawn, mirrored as a back is.
  label->Yaw(std::numbers::pi);
  img = view.grabFramebuffer();
  EXPECT_TRUE(isGreen(img.pixel(150 - q, 100 - q)));
  EXPECT_TRUE(isRed(img.pixel(150 + q, 100 - q)));
}

TEST(GlView, PickingFindsWhatIsDrawnUnderThePixel) {
  Harness h;
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.AmbientLight = 100;
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  auto sphere = addShape(view, sphereText(50, 1, 0, 0), {0.0, 0.0, 0.0});
  auto side = addShape(view, sphereText(10, 0, 1, 0), {0.0, 100.0, 0.0});

  EXPECT_EQ(view.FindObject(150, 100), sphere);
  EXPECT_EQ(view.FindObject(0, 0), nullptr);
  EXPECT_FALSE(view.FindPoint(0, 0).has_value());
  const auto point = view.FindPoint(150, 100);
  ASSERT_TRUE(point.has_value());
  // The ray runs through the pixel's centre, half a pixel (≈ 1.2 units) off the axis.
  EXPECT_NEAR(point->X, 50.0, 1.0);
  EXPECT_NEAR(point->Y, 0.0, 1.5);
  EXPECT_NEAR(point->Z, 0.0, 1.5);

  // The side sphere is picked where the frame shows it, right of centre.
  const int off = static_cast<int>(std::lround(100.0 * kPixelsPerUnit));
  EXPECT_EQ(view.FindObject(150 + off, 100), side);
  EXPECT_EQ(view.FindObject(150 - off, 100), nullptr);
  const QImage img = view.grabFramebuffer();
  EXPECT_TRUE(isGreen(img.pixel(150 + off, 100)));
  EXPECT_TRUE(isSky(img.pixel(150 - off, 100), 0));

  // Near the silhouette, picking and drawing agree pixel for pixel along a row.
  // (A pixel whose centre lies on the edge may go either way.)
  int disagreements = 0;
  for (int x = 150 + 15; x <= 150 + 28; ++x) {
    const bool drawn = !isSky(img.pixel(x, 100), view.SkyColor);
    disagreements += drawn != (view.FindObject(x, 100) != nullptr);
  }
  EXPECT_LE(disagreements, 1);
}

TEST(GlView, InstancedSpheresOfTwoColoursAllAppearAndMatchTheOneByOnePath) {
  Harness h;
  TestView& view = *h.view;
  ASSERT_NE(view.Objects(), nullptr);
  view.SkyColor = 0x000000;
  view.FloodDirection() = Vector3D(-1.0, 0.0, 0.0);
  aimCamera(*view.Camera(), {500.0, 0.0, 0.0}, {0.0, 0.0, 0.0});
  view.renderer().setSphereImpostors(false);  // the mesh path is what this measures
  const std::string red = sphereText(4, 1, 0, 0);
  const std::string green = sphereText(4, 0, 1, 0);
  for (int i = 0; i < 40; ++i) {
    for (int j = 0; j < 25; ++j) {
      addShape(view, (i % 2 == 0) ? red : green, {0.0, -195.0 + 10.0 * i, -120.0 + 10.0 * j});
    }
  }
  ASSERT_EQ(view.Objects()->Count(), 1000);

  const QImage instanced = view.grabFramebuffer();
  const SceneRenderer::Stats stats = view.renderer().lastFrameStats();
  EXPECT_EQ(stats.instances, 1000);
  EXPECT_LE(stats.drawCalls, 2);
  // A couple of pixels across: drawn with a coarser stand-in of the mesh.
  const auto fullTriangles = std::dynamic_pointer_cast<Object3D>(view.Objects()->Item(0))
                                 ->MeshShapes()[0]->geometry->indices.size() / 3;
  EXPECT_GT(stats.triangles, 1000);
  EXPECT_LT(stats.triangles, static_cast<long long>(1000 * fullTriangles / 4));
  int reds = 0, greens = 0;
  for (int y = 0; y < instanced.height(); ++y) {
    for (int x = 0; x < instanced.width(); ++x) {
      reds += isRed(instanced.pixel(x, y));
      greens += isGreen(instanced.pixel(x, y));
    }
  }
  EXPECT_GT(reds, 400);
  EXPECT_GT(greens, 400);
  // The left-most column (y = -195) is red, the right-most (y = +195) green.
  const double edge = 195.0 * kPixelsPerUnit;
  auto near = [&](double cx, double cy, bool (*test)(QRgb)) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (test(instanced.pixel(static_cast<int>(cx) + dx, static_cast<int>(cy) + dy))) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(near(150.0 - edge, 100.0, isRed));
  EXPECT_TRUE(near(150.0 + edge, 100.0, isGreen));
  EXPECT_FALSE(near(150.0 - edge, 100.0, isGreen));

  view.renderer().setInstancing(false);
  const QImage oneByOne = view.grabFramebuffer();
  EXPECT_EQ(view.renderer().lastFrameStats().drawCalls, 1000);
  EXPECT_EQ(oneByOne, instanced);
  view.renderer().setInstancing(true);

  // Removing elements removes them from the next frame; once nothing holds a
  // mesh any more, its GPU copy is freed.
  EXPECT_GE(view.renderer().lastFrameStats().cachedGeometries, 1);
  while (view.Objects()->Count() > 0) view.Objects()->Remove(0);
  ClearShapeCache();
  const QImage empty = view.grabFramebuffer();
  EXPECT_TRUE(isSky(empty.pixel(150, 100), 0));
  EXPECT_EQ(view.renderer().lastFrameStats().instances, 0);
  EXPECT_EQ(view.renderer().lastFrameStats().cachedGeometries, 0);
}

TEST(GlView, OpenAndCloseAreRaisedOnceAndUpdatePaintsOnlyWhenShown) {
  {
    QWidget window;
    auto* view = new TestView(&window);
    view->resize(100, 100);
    EXPECT_FALSE(view->IsOpen());
    view->OpenView();
    view->OpenView();
    EXPECT_EQ(view->opens, 1);
    window.show();
    waitExposed(window);
    EXPECT_EQ(view->opens, 1);  // showing does not open again
    EXPECT_EQ(view->closes, 0);

    const int before = view->paints;
    view->Update();
    EXPECT_EQ(view->paints, before + 1);  // at once, not at the next event-loop turn

    window.close();
    QApplication::processEvents();
    EXPECT_EQ(view->closes, 1);
    const int hidden = view->paints;
    view->Update();
    EXPECT_EQ(view->paints, hidden);
    window.show();
    waitExposed(window);
    window.close();
    QApplication::processEvents();
    EXPECT_EQ(view->closes, 1);
    EXPECT_EQ(view->opens, 1);
  }
  {
    // Nobody opened it: showing does.
    QWidget window;
    auto* view = new TestView(&window);
    view->resize(100, 100);
    window.show();
    waitExposed(window);
    EXPECT_EQ(view->opens, 1);
    // A view hidden inside a window that stays open is not closed.
    view->hide();
    QApplication::processEvents();
    EXPECT_EQ(view->closes, 0);
  }
}

TEST(GlView, MouseEventsReachTheSubclassWithViewPixelsAndExceptionsPropagate) {
  Harness h(200, 200);
  TestView& view = *h.view;
  const QPointF at(12.0, 34.0);
  QMouseEvent press(QEvent::MouseButtonPress, at, view.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(&view, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, at, view.mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                      Qt::NoModifier);
  QApplication::sendEvent(&view, &release);
  ASSERT_EQ(view.downs.size(), 1u);
  ASSERT_EQ(view.ups.size(), 1u);
  EXPECT_EQ(view.downs[0], std::make_pair(12, 34));
  EXPECT_EQ(view.ups[0], std::make_pair(12, 34));
  EXPECT_TRUE(press.isAccepted());

  view.answerDown = false;  // not handled: the press is left to the parent
  QMouseEvent ignored(QEvent::MouseButtonPress, at, view.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
  view.event(&ignored);
  EXPECT_FALSE(ignored.isAccepted());

  view.throwOnDown = true;
  QMouseEvent failing(QEvent::MouseButtonPress, at, view.mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
  EXPECT_THROW(view.event(&failing), std::runtime_error);
}
