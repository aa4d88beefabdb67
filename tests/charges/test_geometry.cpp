#include "charges/charge_kinds.h"
#include "charges/math.h"
#include "charges/surface_data.h"
#include "framework/runtime/construct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <limits>
#include <set>
#include <tuple>
#include <utility>

namespace {

void expectNear(const Vector3D& got, const Vector3D& want, double tol = 1e-9) {
  EXPECT_NEAR(got.X, want.X, tol);
  EXPECT_NEAR(got.Y, want.Y, tol);
  EXPECT_NEAR(got.Z, want.Z, tol);
}

int indexOf(const Vector3D& unit) {
  for (std::size_t i = 0; i < Math::BuckyList.size(); ++i) {
    Vector3D v = Math::BuckyList[i];
    v.Normalize();
    if (Math::DistBetw(v, unit) < 1e-12) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

TEST(Geometry, DistancesAndAngles) {
  EXPECT_EQ(Math::DistBetw(Vector3D(0, 0, 0), Vector3D(3, 4, 12)), 13.0);
  EXPECT_EQ(Math::DistBetw(Vector3D(1.5, -2, 7), Vector3D(1.5, -2, 7)), 0.0);

  const PlaneData plane(0, 0, 2, 5, 5, 10, 100.0, 2, false, true);
  EXPECT_NEAR(Math::PointToPlane(plane, Vector3D(1, 2, 3)), 7.0, 1e-12);

  const Vector3D P(0, 5, 0), point(7, 0, 0), dir(3, 0, 0);
  EXPECT_NEAR(Math::PointToLine(P, point, dir), 5.0, 1e-12);
  EXPECT_NEAR(Math::PointToLine(P, point, Vector3D(-0.001, 0, 0)), 5.0, 1e-12);
  EXPECT_EQ(P, Vector3D(0, 5, 0));
  EXPECT_EQ(point, Vector3D(7, 0, 0));
  EXPECT_EQ(dir, Vector3D(3, 0, 0));

  EXPECT_NEAR(Math::AngleBetween(Vector3D(1, 0, 0), Vector3D(0, 2, 0)), std::numbers::pi / 2, 1e-15);
  EXPECT_NEAR(Math::AngleBetween(Vector3D(1, 0, 0), Vector3D(-3, 0, 0)), std::numbers::pi, 1e-15);
  EXPECT_TRUE(std::isnan(Math::AngleBetween(Vector3D(1, 0, 0), Vector3D(0, 0, 0))));
  // Tiny and huge vectors, whose products would vanish or overflow.
  EXPECT_NEAR(Math::AngleBetween(Vector3D(1e-200, 0, 0), Vector3D(0, 3e-200, 0)), std::numbers::pi / 2, 1e-15);
  EXPECT_NEAR(Math::AngleBetween(Vector3D(1e-170, 0, 0), Vector3D(1e200, 1e200, 0)), std::numbers::pi / 4, 1e-15);
  EXPECT_NEAR(Math::AngleBetween(Vector3D(-1e300, 0, 0), Vector3D(1e-300, 0, 0)), std::numbers::pi, 1e-15);
  EXPECT_NEAR(Math::PointToLine(P, point, Vector3D(1e-300, 0, 0)), 5.0, 1e-12);

  EXPECT_EQ(PerpendicularTo(Vector3D(0, 0, 1)), Vector3D(-1, -1, 0));
  EXPECT_EQ(PerpendicularTo(Vector3D(1, -1, 1)), Vector3D(0, 2, 2));
}

TEST(Geometry, SixtyVerticesAndNinetyEdges) {
  Math::BuckyEdgeListBuilt = false;
  Math::BListBuilt = false;
  Math::BuckyList.clear();
  Math::BuildBEdgeList();  // builds the vertices too
  ASSERT_TRUE(Math::BListBuilt);
  ASSERT_TRUE(Math::BuckyEdgeListBuilt);
  ASSERT_EQ(Math::BuckyList.size(), 60u);
  EXPECT_EQ(Math::BuckyList[0], Vector3D(0, 1, 4.8541019662496705));
  auto expectVertex = [](const Vector3D& v, double x, double y, double z) {
    EXPECT_DOUBLE_EQ(v.X, x);
    EXPECT_DOUBLE_EQ(v.Y, y);
    EXPECT_DOUBLE_EQ(v.Z, z);
  };
  expectVertex(Math::BuckyList[7], -1, 4.8541019662496705, 0);
  expectVertex(Math::BuckyList[12], 2, 4.23606797749978, 1.61803398874989);
  expectVertex(Math::BuckyList[13], 2, 4.23606797749978, -1.61803398874989);
  expectVertex(Math::BuckyList[19], -2, -4.23606797749978, -1.61803398874989);
  expectVertex(Math::BuckyList[36], 1, 3.61803398874989, 3.23606797749978);
  expectVertex(Math::BuckyList[59], -3.23606797749978, -1, -3.61803398874989);
  for (const auto& v : Math::BuckyList) EXPECT_NEAR(v.Length(), 4.956037, 1e-6);

  ASSERT_EQ(Math::BuckyEdgeList.size(), 90u);
  const std::pair<int, int> first[] = {{0, 2}, {0, 28}, {0, 32}, {1, 3}, {1, 29}, {1, 33}};
  for (std::size_t i = 0; i < std::size(first); ++i) {
    EXPECT_EQ(indexOf(Math::BuckyEdgeList[i].v1), first[i].first) << i;
    EXPECT_EQ(indexOf(Math::BuckyEdgeList[i].v2), first[i].second) << i;
  }
  std::vector<int> degree(60, 0);
  std::set<std::pair<int, int>> seen;
  for (const auto& e : Math::BuckyEdgeList) {
    EXPECT_NEAR(e.v1.Length(), 1.0, 1e-12);
    EXPECT_NEAR(e.v2.Length(), 1.0, 1e-12);
    const int a = indexOf(e.v1), b = indexOf(e.v2);
    ASSERT_GE(a, 0);
    ASSERT_GT(b, a);
    EXPECT_TRUE(seen.insert({a, b}).second);
    ++degree[a];
    ++degree[b];
  }
  for (int d : degree) EXPECT_EQ(d, 3);
}

TEST(Bodies, NearBodyTests) {
  const LineData line(Vector3D(0, 0, 0), Vector3D(100, 0, 0), false, true);
  EXPECT_TRUE(line.DistCheck(Vector3D(200, 19.9, 0)));
  EXPECT_FALSE(line.DistCheck(Vector3D(0, 20, 0)));

  const PlaneData plane(0, 0, 1, 0, 0, 0, 100.0, 3, false, true);
  EXPECT_TRUE(plane.DistCheck(Vector3D(5000, 5000, 19)));
  EXPECT_FALSE(plane.DistCheck(Vector3D(0, 0, -20)));

  const SphereData sphere(Vector3D(10, 10, 10), 300.0, false, true, SphereData::ArrowSide::Outside);
  EXPECT_EQ(sphere.ShowVectors, SphereData::ArrowSide::Outside);
  EXPECT_FALSE(sphere.DistCheck(Vector3D(290, 10, 10)));
  EXPECT_FALSE(sphere.DistCheck(Vector3D(330, 10, 10)));
  EXPECT_TRUE(sphere.DistCheck(Vector3D(291, 10, 10)));
  EXPECT_TRUE(sphere.DistCheck(Vector3D(10, 10, 329)));

  const SphereData pointBody(Vector3D(0, 0, 0), 2.0);
  EXPECT_FALSE(pointBody.gridEnabled);
  EXPECT_EQ(pointBody.ShowVectors, SphereData::ArrowSide::Both);
  EXPECT_TRUE(pointBody.DistCheck(Vector3D(0, 0, 0)));
  EXPECT_TRUE(pointBody.DistCheck(Vector3D(0, 21.9, 0)));
  EXPECT_FALSE(pointBody.DistCheck(Vector3D(0, 22, 0)));

  const RingData ring(Vector3D(0, 0, 0), 300.0, Vector3D(0, 0, 5), 8, false, true);
  for (int i = 0; i < 12; ++i) {
    const double a = i * 2 * std::numbers::pi / 12;
    EXPECT_TRUE(ring.DistCheck(Vector3D(300 * std::cos(a), 300 * std::sin(a), 0)));
  }
  EXPECT_TRUE(ring.DistCheck(Vector3D(310, 0, 0)));
  EXPECT_TRUE(ring.DistCheck(Vector3D(300, 0, 25)));
  EXPECT_FALSE(ring.DistCheck(Vector3D(0, 0, 0)));
  EXPECT_FALSE(ring.DistCheck(Vector3D(0, 0, 300)));
  EXPECT_FALSE(ring.DistCheck(Vector3D(270, 0, 0)));
}

TEST(Bodies, CylinderIsNearAlongItsWholeMantle) {
  // Axis along y through (0, 100, 0); charges from y = -100 to y = 300.
  Vector3D centre(0, 100, 0), axis(0, 1, 0);
  const CylinderData body(centre, axis, 50.0, 400.0, 5, false, true);
  auto charge = New<CylinderCharge>(1.0, 5, centre, axis, 400.0, 50.0);
  // The body kept the vectors as they were handed to it.
  EXPECT_EQ(body.center, Vector3D(0, 100, 0));
  EXPECT_EQ(body.normal, Vector3D(0, 1, 0));
  for (const auto& c : charge->ChargeList) {
    EXPECT_TRUE(body.DistCheck(c->Position)) << c->Position.Y;
  }
  EXPECT_TRUE(body.DistCheck(Vector3D(65, -115, 0)));   // just beyond a rim
  EXPECT_TRUE(body.DistCheck(Vector3D(0, 315, -40)));
  EXPECT_FALSE(body.DistCheck(Vector3D(50, -121, 0)));  // too far beyond the rim
  EXPECT_FALSE(body.DistCheck(Vector3D(50, 321, 0)));
  EXPECT_FALSE(body.DistCheck(Vector3D(71, 100, 0)));   // outside the band
  EXPECT_FALSE(body.DistCheck(Vector3D(0, 100, 29)));   // deep inside
  EXPECT_FALSE(body.DistCheck(Vector3D(0, 100, 0)));    // the centre itself
  for (double y : {-300.0, -100.0, 0.0, 100.0, 250.0, 500.0}) EXPECT_FALSE(body.DistCheck(Vector3D(0, y, 0)));
}

TEST(Outlines, LinePlaneSphereRing) {
  const LineData plain(Vector3D(10, 0, 0), Vector3D(0, 200, 0), false, true);
  EXPECT_FALSE(plain.gridEnabled);
  EXPECT_TRUE(plain.LineList.empty());

  const LineData line(Vector3D(10, 0, 0), Vector3D(0, 200, 0), true, true);
  EXPECT_TRUE(line.gridEnabled);
  ASSERT_EQ(line.LineList.size(), 1u);
  EXPECT_EQ(line.LineList[0]->v1, Vector3D(10, -100, 0));
  EXPECT_EQ(line.LineList[0]->v2, Vector3D(10, 100, 0));
  EXPECT_TRUE(line.LineList[0]->pos);

  const PlaneData two(0, 0, 1, 0, 0, 0, 100.0, 2, true, false);
  ASSERT_EQ(two.LineList.size(), 4u);
  const Vector3D ends[4][2] = {{{50, -50, 0}, {-50, -50, 0}},
                               {{50, 50, 0}, {-50, 50, 0}},
                               {{50, -50, 0}, {50, 50, 0}},
                               {{-50, -50, 0}, {-50, 50, 0}}};
  for (int i = 0; i < 4; ++i) {
    expectNear(two.LineList[i]->v1, ends[i][0]);
    expectNear(two.LineList[i]->v2, ends[i][1]);
    EXPECT_FALSE(two.LineList[i]->pos);
  }
  const PlaneData three(1, 0, 0, 0, 0, 0, 100.0, 3, true, true);
  ASSERT_EQ(three.LineList.size(), 6u);
  for (int i = 0; i < 3; ++i) {
    EXPECT_NEAR(three.LineList[i]->v1.Z, -50.0 + 50.0 * i, 1e-12);  // across, stepping along z
    EXPECT_NEAR(three.LineList[3 + i]->v1.Y, 50.0 - 50.0 * i, 1e-12);  // across, stepping along y
  }
  // One charge per side: the square's border, finite.
  const PlaneData one(0, 1, 0, 5, 5, 5, 100.0, 1, true, true);
  ASSERT_EQ(one.LineList.size(), 4u);
  for (const auto& g : one.LineList) {
    EXPECT_TRUE(g->v1.IsFinite() && g->v2.IsFinite());
    EXPECT_EQ(g->v1.Y, 5.0);
    EXPECT_GE(std::abs(g->v1.X - 5.0) + std::abs(g->v1.Z - 5.0), 50.0);  // on the border
  }
  EXPECT_TRUE(PlaneData(0, 0, 1, 0, 0, 0, 100.0, 0, true, true).LineList.empty());

  const Vector3D centre(1, 2, 3);
  const SphereData sphere(centre, 80.0, true, true, SphereData::ArrowSide::Both);
  ASSERT_EQ(sphere.LineList.size(), 90u);
  for (const auto& g : sphere.LineList) {
    EXPECT_NEAR(Math::DistBetw(g->v1, centre), 80.0, 1e-9);
    EXPECT_NEAR(Math::DistBetw(g->v2, centre), 80.0, 1e-9);
  }

  const RingData ring(Vector3D(0, 0, 0), 300.0, Vector3D(0, 0, 1), 4, true, true);
  ASSERT_EQ(ring.LineList.size(), 4u);
  const double h = 300.0 / std::sqrt(2.0);
  expectNear(ring.LineList[0]->v1, Vector3D(-h, -h, 0));
  expectNear(ring.LineList[0]->v2, Vector3D(h, -h, 0));
  for (std::size_t i = 0; i < 4; ++i) expectNear(ring.LineList[i]->v2, ring.LineList[(i + 1) % 4]->v1);
  const RingData odd(Vector3D(0, 0, 0), 10.0, Vector3D(1, -1, 1), 4, true, true);
  expectNear(odd.LineList[0]->v1, Vector3D(0, 10 / std::sqrt(2.0), 10 / std::sqrt(2.0)));
}

TEST(Outlines, Cylinder) {
  const CylinderData body(Vector3D(0, 100, 0), Vector3D(1, 0, 0), 50.0, 200.0, 3, true, true);
  ASSERT_EQ(body.LineList.size(), 48u);
  const double s = 25.0 * std::sqrt(2.0);
  expectNear(body.LineList[0]->v1, Vector3D(-100, 100 + s, s));
  expectNear(body.LineList[0]->v2, Vector3D(100, 100 + s, s));
  for (int ring = 0; ring < 3; ++ring) {
    for (int i = 0; i < 12; ++i) {
      const auto& g = body.LineList[12 + 12 * ring + i];
      const double x = -100.0 + 100.0 * ring;
      EXPECT_NEAR(g->v1.X, x, 1e-9);
      EXPECT_NEAR(g->v2.X, x, 1e-9);
      EXPECT_NEAR(Math::DistBetw(g->v1, Vector3D(x, 100, 0)), 50.0, 1e-9);
      EXPECT_NEAR(Math::DistBetw(g->v1, g->v2), 2 * 50.0 * std::sin(std::numbers::pi / 12), 1e-9);
    }
  }
  // The rings' corners are where the charges sit.
  Vector3D c(0, 100, 0), a(1, 0, 0);
  auto charge = New<CylinderCharge>(1.0, 3, c, a, 200.0, 50.0);
  for (int i = 0; i < 36; ++i) {
    const Vector3D& corner = body.LineList[12 + i]->v2;
    expectNear(corner, charge->ChargeList[i]->Position);
  }

  const CylinderData single(Vector3D(0, 0, 0), Vector3D(0, 0, 1), 50.0, 200.0, 1, true, false);
  ASSERT_EQ(single.LineList.size(), 24u);
  for (const auto& g : single.LineList) EXPECT_TRUE(g->v1.IsFinite() && g->v2.IsFinite());
  for (int i = 12; i < 24; ++i) EXPECT_NEAR(single.LineList[i]->v1.Z, -100.0, 1e-9);
  EXPECT_EQ(CylinderData(Vector3D(), Vector3D(0, 0, 1), 5.0, 10.0, 0, true, true).LineList.size(), 12u);
}

namespace {

// Charges of one ring (or the whole object) lie on distinct points.
void expectDistinct(const std::vector<std::shared_ptr<PointCharge>>& charges, std::size_t first, std::size_t count) {
  std::set<std::tuple<double, double, double>> seen;
  for (std::size_t i = first; i < first + count; ++i) {
    const Vector3D& p = charges.at(i)->Position;
    EXPECT_TRUE(p.IsFinite()) << i;
    EXPECT_TRUE(seen.emplace(p.X, p.Y, p.Z).second) << "charge " << i << " repeats an earlier one";
  }
}

// Every charge of a body's object counts as near the body.
void expectNearItsCharges(const SurfaceData& body, const ChargedObject& charge) {
  for (std::size_t i = 0; i < charge.ChargeList.size(); ++i) {
    const Vector3D& p = charge.ChargeList[i]->Position;
    EXPECT_TRUE(body.DistCheck(p)) << "charge " << i << " at " << p.X << " " << p.Y << " " << p.Z;
  }
}

}  // namespace

TEST(Bodies, RingsWithTinyHugeAndNegativeSizesStayRings) {
  constexpr double tiny = std::numeric_limits<double>::denorm_min();
  struct Case {
    Vector3D normal;
    double radius;
  };
  const Case cases[] = {{{1e-200, 0, 0}, 150.0},   {{tiny, 0, 0}, 150.0},     {{0, -1e-300, 1e-300}, 150.0},
                        {{1e308, 1e308, 0}, 150.0}, {{1, 0, 0}, -100.0},       {{3e-310, 1e-310, -2e-310}, -40.0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.normal.X << " " << c.normal.Y << " " << c.normal.Z << " r " << c.radius);
    const Vector3D centre(10, -20, 30);
    Vector3D unit = c.normal;
    unit.Normalize();
    for (const std::int32_t n : {20, 7}) {
      auto ring = New<RingCharge>(1.0, centre, c.radius, c.normal, n);
      ASSERT_EQ(ring->ChargeList.size(), static_cast<std::size_t>(n));
      expectDistinct(ring->ChargeList, 0, ring->ChargeList.size());
      for (const auto& pc : ring->ChargeList) {
        const Vector3D r = pc->Position.Minus(centre);
        EXPECT_NEAR(r.Length(), std::abs(c.radius), 1e-9);
        EXPECT_NEAR(r.Dot(unit), 0.0, 1e-9);  // in the ring's plane
      }
      // The outline's corners are the charges, its chords all of one length.
      const RingData body(centre, c.radius, c.normal, n, true, true);
      ASSERT_EQ(body.LineList.size(), static_cast<std::size_t>(n));
      const double chord = 2.0 * std::abs(c.radius) * std::sin(std::numbers::pi / n);
      for (std::int32_t i = 0; i < n; ++i) {
        expectNear(body.LineList[i]->v1, ring->ChargeList[i]->Position);
        EXPECT_NEAR(Math::DistBetw(body.LineList[i]->v1, body.LineList[i]->v2), chord, 1e-9);
      }
      expectNearItsCharges(body, *ring);
      EXPECT_FALSE(body.DistCheck(centre));
      EXPECT_FALSE(body.DistCheck(centre.Plus(unit.Times(60.0))));
      // 30 beyond the circle, in its plane.
      const Vector3D out = ring->ChargeList[0]->Position.Minus(centre);
      EXPECT_FALSE(body.DistCheck(centre.Plus(out.Times(1.0 + 30.0 / std::abs(c.radius)))));
    }
  }
}

TEST(Bodies, CylindersShortLongOrWithANegativeRadiusStayCylinders) {
  constexpr double tiny = std::numeric_limits<double>::denorm_min();
  struct Case {
    double length, radius;
    std::int32_t rings;
  };
  for (const Case& c : {Case{1e-300, 100.0, 20}, Case{-1e-300, 100.0, 20}, Case{tiny, 100.0, 20},
                        Case{1000.0, -100.0, 5}, Case{-1000.0, -100.0, 1}}) {
    SCOPED_TRACE(testing::Message() << "length " << c.length << " radius " << c.radius << " rings " << c.rings);
    const Vector3D typedCentre(0, 40, 0), typedAxis(0, 0, 1);
    Vector3D centre = typedCentre, axis = typedAxis;
    const CylinderData body(centre, axis, c.radius, c.length, c.rings, true, true);
    auto cyl = New<CylinderCharge>(1.0, c.rings, centre, axis, c.length, c.radius);
    ASSERT_EQ(cyl->ChargeList.size(), 12u * static_cast<std::size_t>(c.rings));
    for (std::int32_t ring = 0; ring < c.rings; ++ring) expectDistinct(cyl->ChargeList, 12u * ring, 12);
    for (const auto& pc : cyl->ChargeList) {
      EXPECT_NEAR(std::hypot(pc->Position.X, pc->Position.Y - 40.0), std::abs(c.radius), 1e-9);
      EXPECT_LE(std::abs(pc->Position.Z), std::abs(c.length) / 2.0);
    }
    expectNearItsCharges(body, *cyl);
    EXPECT_FALSE(body.DistCheck(typedCentre));
    EXPECT_FALSE(body.DistCheck(Vector3D(0, 40 + std::abs(c.radius) + 21, 0)));
    // The outline's ring corners are where the charges are (for a negative
    // length the charges go round the other way).
    ASSERT_EQ(body.LineList.size(), 12u + 12u * static_cast<std::size_t>(c.rings));
    for (std::size_t i = 0; i < cyl->ChargeList.size(); ++i) {
      const std::size_t ring = i / 12;
      double nearest = std::numeric_limits<double>::infinity();
      for (std::size_t k = 0; k < 12; ++k) {
        nearest = std::min(nearest, Math::DistBetw(body.LineList[12 + 12 * ring + k]->v2, cyl->ChargeList[i]->Position));
      }
      EXPECT_LT(nearest, 1e-9) << "charge " << i;
      EXPECT_GT(Math::DistBetw(body.LineList[12 + i]->v1, body.LineList[12 + i]->v2), 50.0);
    }
  }
}

TEST(Bodies, ANegativeRadiusIsNearWhereItsChargesAre) {
  const Vector3D centre(0, 0, 0);
  const SphereData negative(centre, -100.0, true, true, SphereData::ArrowSide::Both);
  const SphereData positive(centre, 100.0, true, true, SphereData::ArrowSide::Both);
  auto charges = New<SphereCharge>(1.0, centre, -100.0);
  expectNearItsCharges(negative, *charges);
  for (double d : {0.0, 79.0, 81.0, 100.0, 119.0, 121.0, 200.0}) {
    EXPECT_EQ(negative.DistCheck(Vector3D(0, d, 0)), positive.DistCheck(Vector3D(0, d, 0))) << d;
    EXPECT_EQ(negative.DistCheck(Vector3D(0, 0, d), 5.0), positive.DistCheck(Vector3D(0, 0, d), 5.0)) << d;
  }
  for (const auto& g : negative.LineList) EXPECT_NEAR(Math::DistBetw(g->v1, centre), 100.0, 1e-9);
}

// The arrows a sphere keeps: none near its charges, and only on the side asked
// for, judged by the magnitude of the radius; other bodies hide only what is
// near them.
TEST(Bodies, ASphereHidesArrowsOnTheSideNotWanted) {
  const Vector3D centre(10, 0, 0);
  for (double radius : {100.0, -100.0}) {
    const SphereData both(centre, radius, false, true, SphereData::ArrowSide::Both);
    const SphereData inside(centre, radius, false, true, SphereData::ArrowSide::Inside);
    const SphereData outside(centre, radius, false, true, SphereData::ArrowSide::Outside);
    for (double d : {0.0, 50.0, 79.0, 90.0, 110.0, 121.0, 300.0}) {
      const Vector3D p(10, d, 0);
      const bool near = both.DistCheck(p);
      EXPECT_EQ(both.HidesArrowAt(p), near) << radius << " " << d;
      EXPECT_EQ(inside.HidesArrowAt(p), near || d > 100.0) << radius << " " << d;
      EXPECT_EQ(outside.HidesArrowAt(p), near || d < 100.0) << radius << " " << d;
    }
  }
  const LineData line(Vector3D(0, 0, 0), Vector3D(100, 0, 0), false, true);
  EXPECT_TRUE(line.HidesArrowAt(Vector3D(50, 10, 0)));
  EXPECT_FALSE(line.HidesArrowAt(Vector3D(50, 30, 0)));
}
