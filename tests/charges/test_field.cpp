#include "charges/charge_kinds.h"
#include "charges/field_sum.h"
#include "framework/runtime/construct.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <hwy/targets.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>

namespace {

bool sameBits(double a, double b) { return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b); }

bool sameBits(const Vector3D& a, const Vector3D& b) {
  return sameBits(a.X, b.X) && sameBits(a.Y, b.Y) && sameBits(a.Z, b.Z);
}

// The straightforward pass: per point, per object, in list order.
std::vector<Vector3D> scalarPass(const std::vector<std::shared_ptr<ChargedObject>>& objects,
                                 const std::vector<Vector3D>& points) {
  std::vector<Vector3D> out;
  for (const auto& P : points) {
    Vector3D E(0.0, 0.0, 0.0);
    for (const auto& o : objects) E.Add(o->VoltixAt(P));
    out.push_back(E);
  }
  return out;
}

// The field sum written out from the point charges themselves, not from the
// packed arrays that VoltixAt uses.
Vector3D fieldFromChargeList(const ChargedObject& o, const Vector3D& P) {
  Vector3D E(0.0, 0.0, 0.0);
  for (const auto& c : o.ChargeList) {
    const Vector3D d = P.Minus(c->Position);
    const double L = d.Length();
    E.Add(d.Times(c->Charge / ((L * L) * L)));
  }
  return E;
}

}  // namespace

TEST(FieldSum, OneChargeAtTheListedPoints) {
  auto plus = New<SingleCharge>(1.0, 0.0, 0.0, 0.0);
  auto minus = New<SingleCharge>(-1.0, 0.0, 0.0, 0.0);
  const Vector3D P(10.0, 0.0, 0.0);
  EXPECT_EQ(plus->VoltixAt(P), Vector3D(0.01, 0.0, 0.0));
  EXPECT_EQ(plus->VoltixAt(Vector3D(0.0, -2.0, 0.0)), Vector3D(0.0, -0.25, 0.0));
  EXPECT_EQ(minus->VoltixAt(P), Vector3D(-0.01, 0.0, 0.0));
  EXPECT_EQ(minus->VoltixAt(Vector3D(0.0, -2.0, 0.0)), Vector3D(0.0, 0.25, 0.0));
  // P is only read; a second call gives the same value.
  EXPECT_EQ(P, Vector3D(10.0, 0.0, 0.0));
  EXPECT_TRUE(sameBits(plus->VoltixAt(P), plus->VoltixAt(P)));

  auto empty = New<LineCharge>(5.0, 0, Vector3D(1, 2, 3), Vector3D(0, 100, 0));
  EXPECT_TRUE(empty->ChargeList.empty());
  EXPECT_EQ(empty->VoltixAt(Vector3D(7, 8, 9)), Vector3D(0, 0, 0));
}

TEST(FieldSum, AtAPointChargeTheResultCanBeScaledMeasuredAndCompared) {
  auto ring = New<RingCharge>(3.0, Vector3D(0, 0, 0), 100.0, Vector3D(0, 0, 1), 8);
  const Vector3D onCharge = ring->ChargeList[2]->Position;
  Vector3D E;
  ASSERT_NO_THROW(E = ring->VoltixAt(onCharge));
  EXPECT_FALSE(E.IsFinite());
  E.MultiplyBy(1000.0);
  const double len = E.Length();
  // The arrow limits of the field pass and any other comparison are false:
  // no arrow is drawn there.
  EXPECT_FALSE(5.0 < len && len < 500.0);
  EXPECT_FALSE(len > 0.0);
  EXPECT_FALSE(len < 1e300);
  // The batch sum agrees, and so does a zero charge sitting on the point.
  auto zero = New<SingleCharge>(0.0, onCharge);
  const auto batch = SumFieldAt({ring, zero}, {onCharge, Vector3D(0, 0, 50)});
  EXPECT_FALSE(batch[0].IsFinite());
  EXPECT_TRUE(batch[1].IsFinite());
}

TEST(FieldSum, LongSumsLetOtherHandlersRunAndSurviveThemDroppingTheObject) {
  const Vector3D P(0, 0, 50);
  auto line = New<LineCharge>(3.0, 5000, Vector3D(0, 0, 0), Vector3D(1000, 0, 0));
  const Vector3D want = fieldFromChargeList(*line, P);
  ChargedObject* object = line.get();
  bool ran = false;
  // A handler already waiting when the sum starts: it drops the last owner.
  QTimer timer;  // goes with the test, never firing later
  timer.setSingleShot(true);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    ran = true;
    line.reset();
  });
  timer.start(0);
  // Past the event loop's throttle, so the sum's first turns process events.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const Vector3D E = object->VoltixAt(P);
  EXPECT_TRUE(ran);
  EXPECT_FALSE(line);
  EXPECT_TRUE(sameBits(E, want));
}

TEST(FieldSum, PackedArraysFollowTheChargeList) {
  Vector3D c(5, -5, 20), a(0, 1, 1);
  const std::vector<std::shared_ptr<ChargedObject>> objects = {
      New<LineCharge>(2.5, 7, Vector3D(10, 20, 30), Vector3D(0, 300, 40)),
      New<PlaneCharge>(-4.0, 5, Vector3D(0, 0, -60), 250.0, 1),
      New<SphereCharge>(9.0, Vector3D(-40, 0, 0), 120.0),
      New<RingCharge>(1.5, Vector3D(0, 30, 0), 80.0, Vector3D(1, -1, 1), 9),
      New<CylinderCharge>(0.7, 4, c, a, 400.0, 60.0),
  };
  for (const auto& o : objects) {
    EXPECT_EQ(o->Packed().size(), o->ChargeList.size()) << o->Name;
    for (const Vector3D P : {Vector3D(333, 1, -7), Vector3D(-150, 100, 50)}) {
      EXPECT_TRUE(sameBits(o->VoltixAt(P), fieldFromChargeList(*o, P))) << o->Name;
    }
  }
}

TEST(FieldSum, BatchSumHasTheBitsOfTheScalarLoopOnRandomScenes) {
  std::mt19937_64 rng(20261207);
  std::uniform_real_distribution<double> coord(-300.0, 300.0);
  std::uniform_real_distribution<double> charge(-50.0, 50.0);
  std::uniform_int_distribution<int> kind(0, 5);
  std::uniform_int_distribution<int> count(1, 30);
  auto vec = [&] { return Vector3D(coord(rng), coord(rng), coord(rng)); };

  for (int scene = 0; scene < 12; ++scene) {
    std::vector<std::shared_ptr<ChargedObject>> objects;
    const int objectCount = 1 + scene % 7;
    for (int i = 0; i < objectCount; ++i) {
      switch (kind(rng)) {
        case 0: objects.push_back(New<SingleCharge>(charge(rng), vec())); break;
        case 1: objects.push_back(New<LineCharge>(charge(rng), count(rng), vec(), vec())); break;
        case 2: objects.push_back(New<PlaneCharge>(charge(rng), count(rng), vec(), coord(rng), i % 3)); break;
        case 3: objects.push_back(New<SphereCharge>(charge(rng), vec(), coord(rng))); break;
        case 4: objects.push_back(New<RingCharge>(charge(rng), vec(), coord(rng), vec(), count(rng))); break;
        default: {
          Vector3D c = vec(), a = vec();
          objects.push_back(New<CylinderCharge>(charge(rng), count(rng), c, a, coord(rng), coord(rng)));
        }
      }
    }
    // Point counts that leave ragged tails for every vector width; the
    // 343-point lattice of the field pass among them.
    std::vector<Vector3D> points;
    const int pointCount = scene == 0 ? 343 : 1 + scene * 5;
    if (scene == 0) {
      for (int i = -3; i <= 3; ++i)
        for (int j = -3; j <= 3; ++j)
          for (int k = -3; k <= 3; ++k) points.emplace_back(50 * i, 50 * j, 50 * k);
    } else {
      for (int i = 0; i < pointCount; ++i) points.push_back(vec());
    }
    const auto expected = scalarPass(objects, points);
    for (unsigned threads : {0u, 1u, 3u}) {
      const auto got = SumFieldAt(objects, points, threads);
      ASSERT_EQ(got.size(), points.size());
      int mismatches = 0;
      for (std::size_t p = 0; p < points.size(); ++p) mismatches += sameBits(got[p], expected[p]) ? 0 : 1;
      EXPECT_EQ(mismatches, 0) << "scene " << scene << ", threads " << threads << ", target " << FieldSumTarget();
    }
  }
  EXPECT_TRUE(SumFieldAt({}, {Vector3D(1, 2, 3)}).front() == Vector3D(0, 0, 0));
  EXPECT_TRUE(SumFieldAt({New<SingleCharge>(1.0, 0, 0, 0)}, {}).empty());
}

// Physics no one here wrote: Coulomb's law far away, and the on-axis field of
// a uniformly charged ring.
TEST(FieldSum, FarFieldOfEveryKindApproachesItsTotalChargeAtItsCentre) {
  const Vector3D centre(20, -30, 40);
  Vector3D cylCentre = centre, cylAxis(0, 0, 1);
  const int rings = 5;
  const double q = 7.0;
  const std::vector<std::pair<std::shared_ptr<ChargedObject>, double>> objects = {
      {New<SingleCharge>(q, centre), q},
      {New<LineCharge>(q, 11, centre, Vector3D(0, 200, 0)), q},
      {New<PlaneCharge>(q, 6, centre, 200.0, 0), q},
      {New<SphereCharge>(q, centre, 100.0), q},
      {New<RingCharge>(q, centre, 100.0, Vector3D(1, 2, 2), 24), q},
      {New<CylinderCharge>(q, rings, cylCentre, cylAxis, 200.0, 100.0), rings * q},
  };
  const double r = 1.0e5;
  for (const Vector3D dir : {Vector3D(1, 0, 0), Vector3D(0, 0.6, 0.8), Vector3D(-2, 1, -2).Times(1.0 / 3.0)}) {
    const Vector3D P = centre.Plus(dir.Times(r));
    for (const auto& [object, Q] : objects) {
      const Vector3D E = object->VoltixAt(P);
      const double expected = Q / (r * r);
      // Relative deviation of order (size / r)² and (size / r) at most.
      EXPECT_NEAR(E.Length(), expected, expected * 5e-3) << object->Name;
      EXPECT_NEAR(E.Dot(dir) / E.Length(), 1.0, 5e-3) << object->Name;
    }
  }
}

TEST(FieldSum, RingOfManyChargesMatchesTheAnalyticAxisField) {
  const double Q = 12.0, R = 150.0;
  const Vector3D centre(0, 0, 0), normal(0, 0, 1);
  auto ring = New<RingCharge>(Q, centre, R, normal, 720);
  for (double z : {-400.0, -60.0, 10.0, 100.0, 250.0}) {
    const Vector3D E = ring->VoltixAt(Vector3D(0, 0, z));
    const double exact = Q * z / std::pow(z * z + R * R, 1.5);
    EXPECT_NEAR(E.Z, exact, std::abs(exact) * 1e-9) << "z = " << z;
    EXPECT_NEAR(E.X, 0.0, std::abs(exact) * 1e-9);
    EXPECT_NEAR(E.Y, 0.0, std::abs(exact) * 1e-9);
  }
  // At the centre the contributions cancel.
  EXPECT_NEAR(ring->VoltixAt(centre).Length(), 0.0, 1e-15);
}

// Every instruction set the sum was compiled for that this processor runs,
// not only the one the dispatcher picks here.
TEST(FieldSum, BitsAgreeOnEveryInstructionSet) {
  Vector3D c(0, 0, 30), a(1, 1, 0);
  const std::vector<std::shared_ptr<ChargedObject>> objects = {
      New<SphereCharge>(3.0, Vector3D(10, 0, 0), 90.0), New<CylinderCharge>(-1.0, 3, c, a, 200.0, 40.0),
      New<LineCharge>(0.5, 9, Vector3D(0, 0, -100), Vector3D(0, 300, 7))};
  std::vector<Vector3D> points;
  for (int i = 0; i < 37; ++i) points.emplace_back(13.0 * i - 200.0, 7.0 * i - 100.0, 150.0 - 11.0 * i);
  const auto expected = scalarPass(objects, points);
  const auto targets = hwy::SupportedAndGeneratedTargets();
  EXPECT_FALSE(targets.empty());
  for (const std::int64_t target : targets) {
    hwy::SetSupportedTargetsForTest(target);
    hwy::GetChosenTarget().Update(hwy::SupportedTargets());
    const auto got = SumFieldAt(objects, points, 2);
    int mismatches = 0;
    for (std::size_t p = 0; p < points.size(); ++p) mismatches += sameBits(got[p], expected[p]) ? 0 : 1;
    EXPECT_EQ(mismatches, 0) << FieldSumTarget();
  }
  hwy::SetSupportedTargetsForTest(0);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
}

// The workers are shared: a sum begun while another holds them (from a
// handler run during the first one's yields, or on other threads at the same
// time) must neither wait for it nor mix its work with it.
TEST(FieldSum, SumsThatOverlapKeepTheirBits) {
  const std::vector<std::shared_ptr<ChargedObject>> big = {
      New<PlaneCharge>(20.0, 30, Vector3D(3, -7, 11), 600.0, 1), New<SphereCharge>(-4.0, Vector3D(40, 40, 40), 60.0)};
  const std::vector<std::shared_ptr<ChargedObject>> small = {
      New<RingCharge>(2.0, Vector3D(-20, 30, -70), 80.0, Vector3D(1, 1, 0), 40)};
  std::vector<Vector3D> points;
  // Enough points that the calling thread yields to the event loop in its share.
  for (int i = 0; i < 4000; ++i) points.emplace_back(0.7 * i - 1200.0, 150.0 - 0.3 * i, 0.05 * i + 13.0);
  const auto bigExpected = scalarPass(big, points);
  const auto smallExpected = scalarPass(small, points);
  auto mismatches = [](const std::vector<Vector3D>& got, const std::vector<Vector3D>& want) {
    int n = got.size() == want.size() ? 0 : 1;
    for (std::size_t p = 0; p < got.size() && p < want.size(); ++p) n += sameBits(got[p], want[p]) ? 0 : 1;
    return n;
  };

  // A handler waiting when the big sum starts runs a sum of its own in it.
  // The handler runs when the calling thread yields in its share of the sum;
  // a busy machine may hand all the shares of one sum to the worker, so the
  // big sum is repeated until the handler has had its turn in one.
  int nestedMismatches = -1;
  for (int attempt = 0; attempt < 10 && nestedMismatches < 0; ++attempt) {
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout,
                     [&] { nestedMismatches = mismatches(SumFieldAt(small, points, 4), smallExpected); });
    timer.start(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // past the event loop's throttle
    EXPECT_EQ(mismatches(SumFieldAt(big, points, 2), bigExpected), 0);
  }
  EXPECT_EQ(nestedMismatches, 0) << "the handler never ran during a sum";

  // Sums on several threads at once, each asking for workers, again and again.
  std::vector<int> threadMismatches(4, 0);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < threadMismatches.size(); ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 5; ++round) {
        const bool useBig = (t + round) % 2 == 0;
        threadMismatches[t] += mismatches(SumFieldAt(useBig ? big : small, points, 3), useBig ? bigExpected : smallExpected);
      }
    });
  }
  for (auto& t : threads) t.join();
  for (std::size_t t = 0; t < threadMismatches.size(); ++t) EXPECT_EQ(threadMismatches[t], 0) << "thread " << t;
}
