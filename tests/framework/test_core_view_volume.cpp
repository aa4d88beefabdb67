#include "framework/3d/view_volume.h"

#include <gtest/gtest.h>

#include <QMatrix4x4>

#include <cmath>
#include <numbers>
#include <random>

namespace {

// Points on a sphere's surface, evenly enough for the tests' tolerances.
template <class Visit>
void surfacePoints(const Vector3D& c, double r, Visit visit) {
  constexpr int kRings = 60, kSegments = 120;
  for (int j = 0; j <= kRings; ++j) {
    const double theta = std::numbers::pi * j / kRings;
    for (int i = 0; i < kSegments; ++i) {
      const double phi = 2.0 * std::numbers::pi * i / kSegments;
      visit(Vector3D(c.X + r * std::sin(theta) * std::cos(phi), c.Y + r * std::sin(theta) * std::sin(phi),
                     c.Z + r * std::cos(theta)));
    }
  }
}

struct View {
  QMatrix4x4 view;
  QMatrix4x4 projection;
  ViewVolume volume;
  View() {
    // A camera off the origin, looking down at a slant, 4:3.
    view.lookAt(QVector3D(300, -200, 150), QVector3D(0, 0, 0), QVector3D(0, 0, 1));
    projection.perspective(50.0f, 4.0f / 3.0f, 5.0f, 2000.0f);
    volume = ViewVolume(view, projection, 5.0, 2000.0);
  }
  // Whether a world point lies inside the clip volume.
  [[nodiscard]] bool shows(const Vector3D& p) const {
    const QVector4D c = projection * view * QVector4D(float(p.X), float(p.Y), float(p.Z), 1.0f);
    return c.w() > 0 && std::abs(c.x()) <= c.w() && std::abs(c.y()) <= c.w() && std::abs(c.z()) <= c.w();
  }
};

}  // namespace

TEST(CoreViewVolume, SpheresAreOutsideInsideOrAcrossAsTheirSurfacePointsProject) {
  const View v;
  std::mt19937 random(7);
  std::uniform_real_distribution<double> coordinate(-900.0, 900.0);
  std::uniform_real_distribution<double> size(0.5, 120.0);
  int counts[3] = {};
  for (int n = 0; n < 600; ++n) {
    const Vector3D c(coordinate(random), coordinate(random), coordinate(random) / 3.0);
    const double r = size(random);
    int shown = 0, hidden = 0;
    surfacePoints(c, r, [&](const Vector3D& p) { (v.shows(p) ? shown : hidden) += 1; });
    const ViewVolume::Place place = v.volume.classify(v.volume.toEye(c), r);
    ++counts[static_cast<int>(place)];
    // Outside: nothing of it shows. Inside: all of it does. The test is
    // conservative about corners, so Across may still show everything or nothing.
    if (place == ViewVolume::Place::Outside) {
      EXPECT_EQ(shown, 0) << n;
    } else if (place == ViewVolume::Place::Inside) {
      EXPECT_EQ(hidden, 0) << n;
    }
  }
  // Every kind turned up.
  for (int k : counts) EXPECT_GT(k, 30);

  // Behind the eye, beyond the far plane, through the near plane.
  EXPECT_EQ(v.volume.classify({0, 0, 50}, 10), ViewVolume::Place::Outside);
  EXPECT_EQ(v.volume.classify({0, 0, -2100}, 10), ViewVolume::Place::Outside);
  EXPECT_EQ(v.volume.classify({0, 0, -8}, 10), ViewVolume::Place::Crossing);
  EXPECT_EQ(v.volume.classify({0, 0, -100}, 10), ViewVolume::Place::Inside);
  // Nonsense is never drawn.
  EXPECT_EQ(v.volume.classify({0, 0, -100}, std::nan("")), ViewVolume::Place::Outside);
  EXPECT_EQ(v.volume.classify({std::nan(""), 0, -100}, 1), ViewVolume::Place::Outside);
}

TEST(CoreViewVolume, OutlineReachIsTheFarthestSideOfTheProjectedSphereOnAndOffTheAxis) {
  const struct {
    double a, depth, r;
  } cases[] = {{0, 100, 10}, {80, 100, 10}, {-300, 200, 30}, {5, 12, 11}, {1000, 5000, 2}, {-40, 60, 1}};
  for (const auto& k : cases) {
    SCOPED_TRACE(std::to_string(k.a) + " " + std::to_string(k.depth) + " " + std::to_string(k.r));
    double farthest = 0.0;
    surfacePoints({k.a, 0.0, k.depth}, k.r, [&](const Vector3D& p) {
      farthest = std::max(farthest, std::abs(p.X / p.Z - k.a / k.depth));
    });
    const double reach = SphereOutlineReach(k.a, k.depth, k.r);
    // Never short of the sampled outline, and no more than the sampling's slack past it.
    EXPECT_GE(reach, farthest - 1e-12);
    EXPECT_NEAR(reach, farthest, farthest * 2e-3);
  }
  // Off the axis the outer side reaches farther than a round outline of the
  // sphere's angular size would.
  EXPECT_GT(SphereOutlineReach(300, 400, 40), SphereOutlineReach(0, 500, 40) * 1.1);
}
