#include "charges/charge_kinds.h"
#include "charges/math.h"
#include "framework/runtime/construct.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <numbers>
#include <vector>

namespace {

void expectNear(const Vector3D& got, const Vector3D& want, double tol = 1e-9) {
  EXPECT_NEAR(got.X, want.X, tol);
  EXPECT_NEAR(got.Y, want.Y, tol);
  EXPECT_NEAR(got.Z, want.Z, tol);
}

double total(const ChargedObject& o) {
  double sum = 0.0;
  for (const auto& c : o.ChargeList) sum += c->Charge;
  return sum;
}

}  // namespace

TEST(Kinds, PointNamesAndBackReferences) {
  auto a = New<SingleCharge>(-2.5, 1.0, 2.0, 3.0);
  ASSERT_EQ(a->ChargeList.size(), 1u);
  EXPECT_EQ(a->Name, "Point");
  EXPECT_EQ(a->ChargeList[0]->Charge, -2.5);
  EXPECT_EQ(a->ChargeList[0]->Position, Vector3D(1, 2, 3));
  EXPECT_EQ(a->ChargeList[0]->Parent.lock(), a);

  Vector3D where(4, 5, 6);
  auto b = New<SingleCharge>(1.0, where);
  where.X = 100;  // the point charge keeps its own copy
  EXPECT_EQ(b->ChargeList[0]->Position, Vector3D(4, 5, 6));

  // Point charges refer back weakly: dropping the object frees it.
  std::weak_ptr<ChargedObject> gone = b;
  auto keptCharge = b->ChargeList[0];
  b.reset();
  EXPECT_TRUE(gone.expired());
  EXPECT_TRUE(keptCharge->Parent.expired());

  EXPECT_EQ(New<LineCharge>(1.0, 2, Vector3D(), Vector3D(1, 0, 0))->Name, "Line");
  EXPECT_EQ(New<PlaneCharge>(1.0, 2, Vector3D(), 10.0, 0)->Name, "Plane");
  EXPECT_EQ(New<SphereCharge>(1.0, Vector3D(), 10.0)->Name, "Sphere");
  EXPECT_EQ(New<RingCharge>(1.0, Vector3D(), 10.0, Vector3D(0, 0, 1), 4)->Name, "Ring");
  Vector3D c, ax(1, 0, 0);
  EXPECT_EQ(New<CylinderCharge>(1.0, 2, c, ax, 10.0, 1.0)->Name, "Cylinder");
}

TEST(Kinds, LineCountsChargesAndOrder) {
  const Vector3D centre(10, 20, 30), vec(0, 300, 0);
  for (int n : {1, -1}) {
    auto line = New<LineCharge>(6.0, n, centre, vec);
    ASSERT_EQ(line->ChargeList.size(), 1u);
    EXPECT_EQ(line->ChargeList[0]->Charge, 6.0);
    EXPECT_EQ(line->ChargeList[0]->Position, centre);
  }
  EXPECT_TRUE(New<LineCharge>(6.0, 0, centre, vec)->ChargeList.empty());

  for (int n : {3, -3}) {
    auto line = New<LineCharge>(6.0, n, centre, vec);
    ASSERT_EQ(line->ChargeList.size(), 3u);
    expectNear(line->ChargeList[0]->Position, Vector3D(10, -130, 30));
    expectNear(line->ChargeList[1]->Position, Vector3D(10, 20, 30));
    expectNear(line->ChargeList[2]->Position, Vector3D(10, 170, 30));
    for (const auto& c : line->ChargeList) EXPECT_EQ(c->Charge, 2.0);
  }
  auto line = New<LineCharge>(5.0, 7, centre, vec);
  EXPECT_EQ(line->ChargeList.size(), 7u);
  EXPECT_NEAR(total(*line), 5.0, 1e-12);
  // The arguments are only read.
  EXPECT_EQ(centre, Vector3D(10, 20, 30));
  EXPECT_EQ(vec, Vector3D(0, 300, 0));
}

TEST(Kinds, PlaneGridInEachOrientation) {
  auto xy = New<PlaneCharge>(9.0, 3, Vector3D(0, 0, 0), 1000.0, 0);
  ASSERT_EQ(xy->ChargeList.size(), 9u);
  const double want[9][2] = {{-500, -500}, {-500, 0}, {-500, 500}, {0, -500}, {0, 0},
                             {0, 500},     {500, -500}, {500, 0},  {500, 500}};
  for (int i = 0; i < 9; ++i) {
    expectNear(xy->ChargeList[i]->Position, Vector3D(want[i][0], want[i][1], 0));
    EXPECT_EQ(xy->ChargeList[i]->Charge, 1.0);
  }
  auto xz = New<PlaneCharge>(4.0, 2, Vector3D(1, 2, 3), 10.0, 1);
  ASSERT_EQ(xz->ChargeList.size(), 4u);
  expectNear(xz->ChargeList[0]->Position, Vector3D(-4, 2, -2));
  expectNear(xz->ChargeList[1]->Position, Vector3D(-4, 2, 8));
  expectNear(xz->ChargeList[2]->Position, Vector3D(6, 2, -2));
  auto yz = New<PlaneCharge>(4.0, -2, Vector3D(1, 2, 3), 10.0, 2);
  ASSERT_EQ(yz->ChargeList.size(), 4u);
  expectNear(yz->ChargeList[0]->Position, Vector3D(1, -3, -2));
  expectNear(yz->ChargeList[1]->Position, Vector3D(1, -3, 8));
  expectNear(yz->ChargeList[2]->Position, Vector3D(1, 7, -2));
  EXPECT_EQ(yz->ChargeList[0]->Charge, 1.0);

  auto one = New<PlaneCharge>(4.0, 1, Vector3D(7, 8, 9), 10.0, 0);
  ASSERT_EQ(one->ChargeList.size(), 1u);
  EXPECT_EQ(one->ChargeList[0]->Position, Vector3D(7, 8, 9));
  EXPECT_EQ(one->ChargeList[0]->Charge, 4.0);
  EXPECT_TRUE(New<PlaneCharge>(4.0, 0, Vector3D(), 10.0, 0)->ChargeList.empty());
}

TEST(Kinds, SphereOnTheBuckyDirections) {
  const Vector3D centre(100, -50, 25);
  auto sphere = New<SphereCharge>(30.0, centre, 200.0);
  ASSERT_EQ(sphere->ChargeList.size(), 60u);
  ASSERT_TRUE(Math::BListBuilt);
  for (std::size_t i = 0; i < 60; ++i) {
    const auto& c = sphere->ChargeList[i];
    EXPECT_EQ(c->Charge, 0.5);
    EXPECT_NEAR(Math::DistBetw(c->Position, centre), 200.0, 1e-9);
    Vector3D dir = Math::BuckyList[i];
    dir.Normalize();
    expectNear(c->Position.Minus(centre).Times(1.0 / 200.0), dir, 1e-12);
  }
}

TEST(Kinds, RingCountsAndFirstDirection) {
  for (int n : {2, 0, -5}) {
    auto ring = New<RingCharge>(8.0, Vector3D(), 10.0, Vector3D(0, 0, 1), n);
    ASSERT_EQ(ring->ChargeList.size(), 4u);
    EXPECT_EQ(ring->ChargeList[0]->Charge, 2.0);
  }
  const Vector3D centre(5, 6, 7), normal(0, 0, 1);
  auto ring = New<RingCharge>(6.0, centre, 300.0, normal, 6);
  ASSERT_EQ(ring->ChargeList.size(), 6u);
  const double h = 300.0 / std::sqrt(2.0);
  expectNear(ring->ChargeList[0]->Position, Vector3D(5 - h, 6 - h, 7));
  // Each next charge turns by 60° about the normal, counter-clockwise.
  for (std::size_t i = 0; i < 6; ++i) {
    const double a = std::atan2(-1.0, -1.0) + static_cast<double>(i) * 2 * std::numbers::pi / 6.0;
    expectNear(ring->ChargeList[i]->Position, Vector3D(5 + 300 * std::cos(a), 6 + 300 * std::sin(a), 7));
  }
  EXPECT_EQ(centre, Vector3D(5, 6, 7));
  EXPECT_EQ(normal, Vector3D(0, 0, 1));

  auto odd = New<RingCharge>(4.0, Vector3D(), 10.0, Vector3D(1, -1, 1), 4);
  const double s = 10.0 / std::sqrt(2.0);
  expectNear(odd->ChargeList[0]->Position, Vector3D(0, s, s));
  for (const auto& c : odd->ChargeList) EXPECT_NEAR(c->Position.Dot(Vector3D(1, -1, 1)), 0.0, 1e-9);
}

TEST(Kinds, CylinderRingsAndItsEffectOnTheCallersVectors) {
  Vector3D centre(0, 0, 0), axis(1, 0, 0);
  auto cyl = New<CylinderCharge>(6.0, 3, centre, axis, 1000.0, 100.0);
  ASSERT_EQ(cyl->ChargeList.size(), 36u);
  for (std::size_t i = 0; i < 36; ++i) {
    const auto& c = cyl->ChargeList[i];
    EXPECT_EQ(c->Charge, 0.5);
    EXPECT_NEAR(c->Position.X, -500.0 + 500.0 * static_cast<double>(i / 12), 1e-9);
    EXPECT_NEAR(std::hypot(c->Position.Y, c->Position.Z), 100.0, 1e-9);
  }
  expectNear(axis, Vector3D(500, 0, 0));
  expectNear(centre, Vector3D(1000, 0, 0));

  // One ring: twelve finite charges on the rim at the start end.
  Vector3D c1(0, 0, 0), a1(0, 0, 2);
  auto single = New<CylinderCharge>(6.0, 1, c1, a1, 400.0, 50.0);
  ASSERT_EQ(single->ChargeList.size(), 12u);
  for (const auto& c : single->ChargeList) {
    EXPECT_TRUE(c->Position.IsFinite());
    EXPECT_NEAR(c->Position.Z, -200.0, 1e-9);
    EXPECT_NEAR(std::hypot(c->Position.X, c->Position.Y), 50.0, 1e-9);
    EXPECT_EQ(c->Charge, 0.5);
  }
  EXPECT_TRUE(a1.IsFinite() && c1.IsFinite());

  // A negative length still puts every ring on the body, between its rims.
  Vector3D c2(0, 0, 0), a2(0, 1, 0);
  auto negative = New<CylinderCharge>(1.0, 3, c2, a2, -200.0, 30.0);
  ASSERT_EQ(negative->ChargeList.size(), 36u);
  EXPECT_NEAR(negative->ChargeList[0]->Position.Y, 100.0, 1e-9);
  EXPECT_NEAR(negative->ChargeList[12]->Position.Y, 0.0, 1e-9);
  EXPECT_NEAR(negative->ChargeList[35]->Position.Y, -100.0, 1e-9);

  Vector3D c3(0, 0, 0), a3(0, 0, 1);
  EXPECT_TRUE(New<CylinderCharge>(1.0, 0, c3, a3, 100.0, 10.0)->ChargeList.empty());
}

// Point charges are made many at a time; each still lives as long as anyone
// holds it, whatever becomes of its object and its neighbours.
TEST(Kinds, APointChargeHeldOutlivesItsObjectAndItsNeighbours) {
  auto plane = New<PlaneCharge>(100.0, 70, Vector3D(1, 2, 3), 700.0, 0);  // 4,900 charges
  ASSERT_EQ(plane->ChargeList.size(), 4900u);
  for (std::size_t i = 1; i < plane->ChargeList.size(); ++i) {
    ASSERT_NE(plane->ChargeList[i].get(), plane->ChargeList[i - 1].get());
  }
  const auto first = plane->ChargeList.front();
  const auto last = plane->ChargeList.back();
  const Vector3D firstAt = first->Position;
  const Vector3D lastAt = last->Position;
  plane.reset();
  EXPECT_TRUE(first->Parent.expired());
  EXPECT_EQ(first->Position, firstAt);
  EXPECT_EQ(last->Position, lastAt);
  EXPECT_EQ(first->Charge, 100.0 / 4900.0);
  EXPECT_NE(firstAt, lastAt);
}

// The factories refuse an object by the count its kind gives before anything
// is built; that count must be the number of point charges the kind then
// builds. Checked for every kind over negative, zero and small counts, the
// counts the sheets and the factories default to, and the largest count one
// object may hold. Counts past that are never built; they must come out past
// it too, not wrapped round to something small.
TEST(Kinds, EachKindBuildsAsManyPointChargesAsItsCountSays) {
  constexpr std::int64_t kMostInOneObject = 2'000'000;
  constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
  constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();
  const Vector3D centre(1, 2, 3), direction(0, 0, 1);
  struct Kind {
    const char* name;
    std::function<std::int64_t(std::int32_t)> count;
    std::function<std::shared_ptr<ChargedObject>(std::int32_t)> build;
    std::vector<std::int32_t> built;
    std::vector<std::int32_t> tooMany;
  };
  const Kind kinds[] = {
      {"Line",
       LineCharge::PointChargesFor,
       [&](std::int32_t n) { return New<LineCharge>(1.0, n, centre, Vector3D(0, 300, 0)); },
       {-1415, -3, -2, -1, 0, 1, 2, 3, 100, 2'000'000},
       {2'000'001, -2'000'001, kHighest, kLowest}},
      {"Plane",
       PlaneCharge::PointChargesFor,
       [&](std::int32_t n) { return New<PlaneCharge>(1.0, n, centre, 500.0, 1); },
       {-1414, -3, -2, -1, 0, 1, 2, 3, 20, 1414},
       {1415, -1415, 46'341, kHighest, kLowest}},
      {"Ring",
       RingCharge::PointChargesFor,
       [&](std::int32_t n) { return New<RingCharge>(1.0, centre, 100.0, direction, n); },
       {kLowest, -5, -1, 0, 1, 3, 4, 5, 20, 2'000'000},
       {2'000'001, kHighest}},
      {"Cylinder",
       CylinderCharge::PointChargesFor,
       [&](std::int32_t n) {
         Vector3D c = centre, a = direction;
         return New<CylinderCharge>(1.0, n, c, a, 1000.0, 100.0);
       },
       {kLowest, -2, -1, 0, 1, 2, 3, 20, 166'666},
       {166'667, 178'956'971, kHighest}},
  };
  for (const Kind& kind : kinds) {
    for (const std::int32_t n : kind.built) {
      const std::int64_t said = kind.count(n);
      EXPECT_EQ(static_cast<std::int64_t>(kind.build(n)->ChargeList.size()), said) << kind.name << " n=" << n;
      EXPECT_LE(said, kMostInOneObject) << kind.name << " n=" << n;
    }
    for (const std::int32_t n : kind.tooMany) EXPECT_GT(kind.count(n), kMostInOneObject) << kind.name << " n=" << n;
  }
  EXPECT_EQ(static_cast<std::int64_t>(New<SingleCharge>(1.0, centre)->ChargeList.size()), SingleCharge::kPointCharges);
  EXPECT_EQ(static_cast<std::int64_t>(New<SphereCharge>(1.0, centre, 50.0)->ChargeList.size()),
            SphereCharge::kPointCharges);
}
