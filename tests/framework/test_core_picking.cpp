#include "framework/3d/picking.h"
#include "framework/text/text.h"

#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <numbers>

namespace {

std::string sphereText(double radius) {
  const std::string s = Str(radius);
  return "3DMetafile ( 1 6 Normal tableofcontents0> )\r\tContainer (\r\t\tEllipsoid (\r\t\t\t0 0 " + s + "\r\t\t\t" + s +
         " 0 0\r\t\t\t0 " + s + " 0\r\t\t\t0 0 0\r\t\t\t0 1\r\t\t\t0 1\r\t\t)\r\t\tAttributeSet ( )\r\t\tDiffuseColor ( 1 0 0 )\r\t)\r";
}

std::shared_ptr<Object3D> object(const std::string& text, const Vector3D& pos, double scale = 1.0) {
  auto o = std::make_shared<Object3D>();
  EXPECT_TRUE(o->AddShapeFromString(text, -1)) << o->LastShapeError();
  o->Position = pos;
  o->Scale = scale;
  return o;
}

// A camera at (0, 0, 100) looking down -z with +y up, 101 x 101 pixels.
ViewGeometry topView() {
  ViewGeometry v;
  v.eye = {0, 0, 100};
  v.forward = {0, 0, -1};
  v.up = {0, 1, 0};
  v.fieldOfViewDegrees = 50;
  v.width = 101;
  v.height = 101;
  return v;
}

void expectNear(const Vector3D& v, double x, double y, double z, double tol = 1e-6) {
  EXPECT_NEAR(v.X, x, tol);
  EXPECT_NEAR(v.Y, y, tol);
  EXPECT_NEAR(v.Z, z, tol);
}

}  // namespace

TEST(CorePicking, RaysFollowTheCamera) {
  const ViewGeometry v = topView();
  expectNear(RayThroughPixel(v, 50, 50).direction, 0, 0, -1);
  // Screen right is forward x up = +x here; y counts downwards.
  const PickRay right = RayThroughPixel(v, 100, 50);
  EXPECT_GT(right.direction.X, 0.3);
  EXPECT_NEAR(right.direction.Y, 0.0, 1e-12);
  EXPECT_GT(RayThroughPixel(v, 50, 0).direction.Y, 0.3);  // the top row leans to +y
  // The top edge of the view is half the field of view above the axis.
  ViewGeometry tall = v;
  tall.height = 1000;
  tall.width = 1000;
  const Vector3D top = RayThroughPixel(tall, 500, 0).direction;
  EXPECT_NEAR(std::atan2(top.Y, -top.Z) * 180.0 / std::numbers::pi, 25.0, 0.1);

  // From the orbit camera at latitude 10, longitude 0 the world's +y runs to
  // the right of the screen and the centre pixel looks at the centre.
  Element3D cam;
  const double lat = 10.0 * std::numbers::pi / 180.0;
  cam.Position = {500 * std::cos(lat), 0, 500 * std::sin(lat)};
  cam.Orientation.SetRotateAboutAxis(1, 0, 0, std::numbers::pi / 2);
  cam.Roll(std::numbers::pi);
  Quaternion heading;
  heading.SetRotateAboutAxis(0, 0, 1, -std::atan2(-cam.Position.X, -cam.Position.Y));
  cam.Orientation.MultiplyBy(heading);
  Vector3D d = cam.Position.Times(-1.0);
  d.Normalize();
  // Heading leaves the camera facing away; the pitch swings it round to the centre.
  cam.Pitch(-std::acos(std::clamp(cam.Orientation.Transform({0, 0, 1}).Dot(d), -1.0, 1.0)));
  const ViewGeometry orbit = ViewGeometry::FromCamera(cam, 50, 5, 5000, 201, 101);
  const PickRay centre = RayThroughPixel(orbit, 100, 50);
  const Vector3D toOrigin = cam.Position.Times(-1.0 / cam.Position.Length());
  expectNear(centre.direction, toOrigin.X, toOrigin.Y, toOrigin.Z, 1e-9);
  EXPECT_GT(RayThroughPixel(orbit, 200, 50).direction.Y, 0.3);
  EXPECT_GT(RayThroughPixel(orbit, 100, 0).direction.Z, centre.direction.Z);
}

TEST(CorePicking, NearestVisibleObjectAndHitPoint) {
  Group3D g;
  auto far = object(sphereText(5), {0, 0, 0});
  auto near = object(sphereText(5), {0, 0, 30});
  g.Append(far);
  g.Append(near);
  const ViewGeometry v = topView();
  const PickRay ray = RayThroughPixel(v, 50, 50);

  auto hit = PickNearest(g, ray, 5, 5000);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->element, near);
  expectNear(hit->point, 0, 0, 35, 1e-4);
  EXPECT_NEAR(hit->distance, 65.0, 1e-4);

  near->Visible = false;
  hit = PickNearest(g, ray, 5, 5000);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->element, far);
  expectNear(hit->point, 0, 0, 5, 1e-4);

  far->Scale = 2.0;  // the displayed sphere has radius 10
  hit = PickNearest(g, ray, 5, 5000);
  ASSERT_TRUE(hit);
  expectNear(hit->point, 0, 0, 10, 1e-4);

  // Background, and objects outside the near and far planes.
  EXPECT_FALSE(PickNearest(g, RayThroughPixel(v, 0, 0), 5, 5000));
  EXPECT_FALSE(PickNearest(g, ray, 5, 80));
  near->Visible = true;
  EXPECT_EQ(PickNearest(g, ray, 66, 5000)->element, far);  // near sphere is before the near plane
}

TEST(CorePicking, TurnedShapesLinesAndPictures) {
  Group3D g;
  // A thin slab 20 long in x: turned a quarter about z it lies along y.
  auto slab = object("3DMetafile ( 1 6 Normal toc> ) Container ( Box ( 20 0 0 0 2 0 0 0 2 -10 -1 -1 ) )", {0, 0, 0});
  slab->Orientation.SetRotateAboutAxis(0, 0, 1, std::numbers::pi / 2);
  g.Append(slab);
  PickRay ray{{0, 8, 100}, {0, 0, -1}};
  auto hit = PickNearest(g, ray, 1, 5000);
  ASSERT_TRUE(hit);
  expectNear(hit->point, 0, 8, 1, 1e-6);
  EXPECT_FALSE(PickNearest(g, PickRay{{8, 0, 100}, {0, 0, -1}}, 1, 5000));

  // Lines are never picked, so they cannot shadow what lies behind them.
  auto line = object("3DMetafile ( 1 6 Normal toc> ) Container ( Line ( -50 0 50 50 0 50 ) )", {0, 0, 0});
  g.Append(line);
  hit = PickNearest(g, PickRay{{0, 0, 100}, {0, 0, -1}}, 1, 5000);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->element, slab);

  // A picture is its rectangle in the element's x-y plane.
  auto label = std::make_shared<Object3D>();
  QImage img(40, 20, QImage::Format_ARGB32_Premultiplied);
  img.fill(Qt::white);
  label->AddShapePicture(img, 1.0, -1);
  label->Position = {100, 0, 20};
  g.Append(label);
  hit = PickNearest(g, PickRay{{115, 9, 100}, {0, 0, -1}}, 1, 5000);
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->element, label);
  expectNear(hit->point, 115, 9, 20);
  EXPECT_FALSE(PickNearest(g, PickRay{{125, 0, 100}, {0, 0, -1}}, 1, 5000));
}

TEST(CorePicking, TenThousandElementsPerClick) {
  Group3D g;
  const std::string text = sphereText(1);
  std::shared_ptr<Element3D> target;
  for (int i = 0; i < 100; ++i) {
    for (int j = 0; j < 100; ++j) {
      auto o = object(text, {i * 4.0 - 200, j * 4.0 - 200, 0});
      if (i == 60 && j == 30) target = o;
      g.Append(o);
    }
  }
  const PickRay ray{{60 * 4.0 - 200 + 0.3, 30 * 4.0 - 200 - 0.2, 300}, {0, 0, -1}};
  const auto start = std::chrono::steady_clock::now();
  std::optional<PickHit> hit;
  for (int k = 0; k < 10; ++k) hit = PickNearest(g, ray, 1, 5000);
  const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count() / 10;
  ASSERT_TRUE(hit);
  EXPECT_EQ(hit->element, target);
  RecordProperty("pick_ms", std::to_string(ms));
  EXPECT_LT(ms, 50.0) << "one pick over 10,000 elements took " << ms << " ms";
}
