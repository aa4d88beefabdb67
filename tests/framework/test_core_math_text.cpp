#include "framework/3d/element3d.h"
#include "framework/math/quaternion.h"
#include "framework/math/vector3d.h"
#include "framework/text/text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>

namespace {

void expectNear(const Vector3D& v, double x, double y, double z, double tol = 1e-12) {
  EXPECT_NEAR(v.X, x, tol);
  EXPECT_NEAR(v.Y, y, tol);
  EXPECT_NEAR(v.Z, z, tol);
}

Quaternion rotation(double x, double y, double z, double angle) {
  Quaternion q;
  q.SetRotateAboutAxis(x, y, z, angle);
  return q;
}

}  // namespace

TEST(CoreVector3D, ReturningOpsLeaveOperandsAndMutatingOpsChangeReceiver) {
  const Vector3D a(1, 2, 3);
  const Vector3D b(4, 5, 6);
  expectNear(a.Plus(b), 5, 7, 9);
  expectNear(a.Minus(b), -3, -3, -3);
  expectNear(a.Times(2), 2, 4, 6);
  expectNear(Vector3D(1, 0, 0).Cross(Vector3D(0, 1, 0)), 0, 0, 1);  // right-handed
  expectNear(a, 1, 2, 3);
  expectNear(b, 4, 5, 6);

  Vector3D m(1, 2, 3);
  m.Add(b);
  expectNear(m, 5, 7, 9);
  m.Subtract(b);
  expectNear(m, 1, 2, 3);
  m.MultiplyBy(-2);
  expectNear(m, -2, -4, -6);
  Vector3D n(0, 3, 4);
  n.Normalize();
  expectNear(n, 0, 0.6, 0.8);
  EXPECT_DOUBLE_EQ(Vector3D(0, 3, 4).Length(), 5.0);
  EXPECT_DOUBLE_EQ(Vector3D(1, 2, 2).LenSquared(), 9.0);
  EXPECT_DOUBLE_EQ(a.Dot(b), 32.0);

  Vector3D zero;
  zero.Normalize();
  EXPECT_EQ(zero, Vector3D(0, 0, 0));  // stays zero, never NaN
}

TEST(CoreVector3D, NormalizeGivesUnitLengthWhateverTheMagnitude) {
  // (3, 4, 0) times powers of two from the smallest subnormals to the edge of
  // overflow: the same bits as for (3, 4, 0) itself, which normalises to the
  // correctly rounded (0.6, 0.8, 0).
  for (int e = -1074; e <= 1020; e += 7) {
    Vector3D v(std::ldexp(3.0, e), std::ldexp(-4.0, e), 0.0);
    v.Normalize();
    ASSERT_EQ(v, Vector3D(0.6, -0.8, 0.0)) << "2^" << e;
  }

  // Components of unrelated magnitudes, against a reference in a wider type
  // whose squares neither vanish nor overflow at these magnitudes.
  if constexpr (std::numeric_limits<long double>::max_exponent > 2 * 1024) {
    std::mt19937_64 rng(13);
    std::uniform_int_distribution<int> exponent(-1070, 980);
    std::uniform_real_distribution<double> mantissa(-2.0, 2.0);
    for (int i = 0; i < 20000; ++i) {
      const int e = exponent(rng);
      // Mostly near each other, now and then far apart.
      auto component = [&] { return std::ldexp(mantissa(rng), i % 4 == 0 ? exponent(rng) : e + (i % 40)); };
      const Vector3D v0(component(), component(), component());
      Vector3D v = v0;
      v.Normalize();
      const long double x = v0.X, y = v0.Y, z = v0.Z;
      const long double len = std::sqrt(x * x + y * y + z * z);
      SCOPED_TRACE(testing::Message() << v0.X << " " << v0.Y << " " << v0.Z);
      ASSERT_NEAR(v.Length(), 1.0, 4e-16);
      // A component far below the largest lands among the subnormals of the
      // scaled vector, which limits its absolute error to about 2^-1022.
      ASSERT_NEAR(v.X, static_cast<double>(x / len), 3e-16);
      ASSERT_NEAR(v.Y, static_cast<double>(y / len), 3e-16);
      ASSERT_NEAR(v.Z, static_cast<double>(z / len), 3e-16);
    }
  }

  // The smallest subnormal in each place.
  constexpr double tiny = std::numeric_limits<double>::denorm_min();
  Vector3D t(0.0, -tiny, 0.0);
  t.Normalize();
  EXPECT_EQ(t, Vector3D(0.0, -1.0, 0.0));
  Vector3D d(tiny, tiny, tiny);
  d.Normalize();
  EXPECT_NEAR(d.X, 1.0 / std::sqrt(3.0), 2.5e-16);
  EXPECT_EQ(d.X, d.Z);

  // Infinite components give the direction of the infinite ones.
  constexpr double inf = std::numeric_limits<double>::infinity();
  Vector3D i1(inf, 5.0, -1e308);
  i1.Normalize();
  EXPECT_EQ(i1, Vector3D(1.0, 0.0, 0.0));
  Vector3D i2(-inf, inf, 0.0);
  i2.Normalize();
  expectNear(i2, -std::sqrt(0.5), std::sqrt(0.5), 0.0, 2.5e-16);
  EXPECT_FALSE(std::signbit(i2.Z));

  // Only a true zero stays as it is, and a NaN is not spread.
  Vector3D negZero(-0.0, 0.0, -0.0);
  negZero.Normalize();
  EXPECT_TRUE(std::signbit(negZero.X));
  EXPECT_EQ(negZero, Vector3D(0, 0, 0));
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Vector3D withNaN(1.0, nan, inf);
  withNaN.Normalize();
  EXPECT_EQ(withNaN.X, 1.0);
  EXPECT_TRUE(std::isnan(withNaN.Y));
  EXPECT_EQ(withNaN.Z, inf);
}

TEST(CoreQuaternion, RotationConventions) {
  // Right-handed about a non-unit axis: +x turns towards +y about +z.
  expectNear(rotation(0, 0, 2, std::numbers::pi / 2).Transform({1, 0, 0}), 0, 1, 0);
  expectNear(rotation(3, 0, 0, std::numbers::pi / 2).Transform({0, 1, 0}), 0, 0, 1);
  // A zero axis gives the identity rather than NaN.
  expectNear(rotation(0, 0, 0, 1.0).Transform({1, 2, 3}), 1, 2, 3);

  // Tiny and huge axes turn exactly as their unit direction does.
  const Quaternion unitX = rotation(1, 0, 0, 0.7);
  for (const double scale : {1e-200, 1e-310, std::numeric_limits<double>::denorm_min(), 1e200, 1e308}) {
    const Quaternion q = rotation(scale, 0, 0, 0.7);
    EXPECT_EQ(q.W, unitX.W) << scale;
    EXPECT_EQ(q.X, unitX.X) << scale;
    EXPECT_EQ(q.Y, 0.0) << scale;
    EXPECT_EQ(q.Z, 0.0) << scale;
  }
  // Powers of two apart: the same bits for any direction.
  const Quaternion ordinary = rotation(0.3, -1.7, 2.9, 1.1);
  const Quaternion small = rotation(std::ldexp(0.3, -1000), std::ldexp(-1.7, -1000), std::ldexp(2.9, -1000), 1.1);
  const Quaternion large = rotation(std::ldexp(0.3, 1020), std::ldexp(-1.7, 1020), std::ldexp(2.9, 1020), 1.1);
  for (const Quaternion& q : {small, large}) {
    EXPECT_EQ(q.W, ordinary.W);
    EXPECT_EQ(q.X, ordinary.X);
    EXPECT_EQ(q.Y, ordinary.Y);
    EXPECT_EQ(q.Z, ordinary.Z);
  }
  // An infinite axis turns about its direction; a NaN axis or angle turns nothing.
  constexpr double inf = std::numeric_limits<double>::infinity();
  expectNear(rotation(0, 0, inf, std::numbers::pi / 2).Transform({1, 0, 0}), 0, 1, 0);
  expectNear(rotation(std::nan(""), 0, 1, 1.0).Transform({1, 2, 3}), 1, 2, 3);
  expectNear(rotation(0, 0, 1, inf).Transform({1, 2, 3}), 1, 2, 3);

  // q.MultiplyBy(p): first q, then p, both about world axes.
  Quaternion q = rotation(0, 0, 1, std::numbers::pi / 2);
  q.MultiplyBy(rotation(1, 0, 0, std::numbers::pi / 2));
  expectNear(q.Transform({1, 0, 0}), 0, 0, 1);  // x -> y (by q) -> z (by p)

  // Transform returns a new vector; the argument is untouched.
  const Vector3D v(1, 0, 0);
  const Vector3D w = rotation(0, 0, 1, std::numbers::pi).Transform(v);
  expectNear(v, 1, 0, 0);
  expectNear(w, -1, 0, 0);
}

TEST(CoreElement3D, RollAndPitchTurnAboutOwnAxes) {
  Element3D e;
  e.Orientation = rotation(0, 0, 1, std::numbers::pi / 2);
  e.Pitch(std::numbers::pi / 2);  // about the element's own x, which the world sees as +y
  // Own z -> own -y (pitch), then own -y -> world +x (the earlier turn).
  expectNear(e.ToWorld({0, 0, 1}), 1, 0, 0);

  Element3D r;
  r.Roll(std::numbers::pi / 2);
  expectNear(r.ToWorld({1, 0, 0}), 0, 1, 0);
  r.Position = {10, 0, 0};
  r.Scale = 2.0;
  expectNear(r.ToWorld({1, 0, 0}), 10, 2, 0);
}

// The orbit camera's recipe: base turn, half roll, heading, then pitch to aim.
TEST(CoreElement3D, OrbitCameraLooksAtCentreUpright) {
  for (const double latitude : {10.0, 45.0, -30.0, 0.0}) {
    for (const double longitude : {0.0, 90.0, 200.0}) {
      Quaternion q1 = rotation(0, 0, 1, longitude * std::numbers::pi / 180.0);
      Quaternion q2 = rotation(0, 1, 0, -latitude * std::numbers::pi / 180.0);
      q2.MultiplyBy(q1);
      Element3D cam;
      cam.Position = q2.Transform({500, 0, 0});
      cam.Orientation.SetRotateAboutAxis(1, 0, 0, std::numbers::pi / 2);
      cam.Roll(std::numbers::pi);
      const double h = std::atan2(-cam.Position.X, -cam.Position.Y);
      cam.Orientation.MultiplyBy(rotation(0, 0, 1, -h));
      const Vector3D f = cam.Orientation.Transform({0, 0, 1});
      Vector3D d = cam.Position.Times(-1.0);
      d.Normalize();
      double a = -std::acos(std::clamp(f.Dot(d), -1.0, 1.0));
      if (d.Z > 0.0) a = -a;
      cam.Pitch(a);

      const Vector3D forward = cam.Orientation.Transform({0, 0, 1});
      const Vector3D up = cam.Orientation.Transform({0, 1, 0});
      SCOPED_TRACE(testing::Message() << "lat " << latitude << " long " << longitude);
      // acos near +-1 costs precision: about 1e-8 radians.
      expectNear(forward, d.X, d.Y, d.Z, 1e-6);
      EXPECT_NEAR(up.Z, std::cos(latitude * std::numbers::pi / 180.0), 1e-6);  // upright: +z towards the top
      EXPECT_NEAR(up.Dot(forward), 0.0, 1e-9);
      if (latitude == 10.0 && longitude == 0.0) {
        expectNear(cam.Position, 492.403876506104, 0, 86.82408883346517, 1e-9);
        const Vector3D right = forward.Cross(up);  // screen right
        EXPECT_GT(right.Y, 0.99);
      }
    }
  }
}

TEST(CoreText, StrRoundTripsAndWholeNumbersHaveNoFraction) {
  for (const double v : {0.1, 1.0 / 3.0, 1e-5, 1e20, -2.5, 123456.789, 5e-324, 1.7976931348623157e308}) {
    EXPECT_EQ(CDbl(Str(v)), v) << Str(v);
  }
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> dist(-1e6, 1e6);
  for (int i = 0; i < 1000; ++i) {
    const double v = dist(rng);
    ASSERT_EQ(CDbl(Str(v)), v) << Str(v);
  }
  EXPECT_EQ(Str(3.0), "3");
  EXPECT_EQ(Str(0.0), "0");
  EXPECT_EQ(Str(-7.0), "-7");
  EXPECT_EQ(Str(0.5), "0.5");
  const double negZero = CDbl(Str(-0.0));
  EXPECT_EQ(negZero, 0.0);
  EXPECT_TRUE(std::signbit(negZero));
}

TEST(CoreText, CDblValAndToInt32) {
  EXPECT_EQ(CDbl("  12abc"), 12.0);
  EXPECT_EQ(CDbl("abc"), 0.0);
  EXPECT_EQ(CDbl(""), 0.0);
  EXPECT_EQ(CDbl("-.5"), -0.5);
  EXPECT_EQ(CDbl("1e3x"), 1000.0);
  EXPECT_EQ(CDbl("2e"), 2.0);
  const double huge = CDbl("1e999");
  EXPECT_TRUE(std::isfinite(huge));
  EXPECT_GT(huge, 1e300);
  EXPECT_TRUE(std::isfinite(CDbl("-1e999")));
  EXPECT_LT(CDbl("-1e999"), -1e300);
  EXPECT_EQ(CDbl("1e-999"), 0.0);
  EXPECT_FALSE(std::isnan(CDbl("nan")));
  EXPECT_EQ(CDbl("inf"), 0.0);
  EXPECT_EQ(Val("&hFF"), 255.0);
  EXPECT_EQ(Val("&b101"), 5.0);
  EXPECT_EQ(Val(" 42 apples"), 42.0);

  EXPECT_EQ(ToInt32(2.9), 2);
  EXPECT_EQ(ToInt32(-2.9), -2);
  EXPECT_EQ(ToInt32(1e20), std::numeric_limits<std::int32_t>::max());
  EXPECT_EQ(ToInt32(-1e20), std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ToInt32(std::numeric_limits<double>::quiet_NaN()), 0);
  EXPECT_EQ(ToInt32(std::numeric_limits<double>::infinity()), std::numeric_limits<std::int32_t>::max());
}

TEST(CoreText, OutOfRangeNumbersAreJudgedByTheirSize) {
  constexpr double largest = std::numeric_limits<double>::max();
  const auto zeros = [](std::size_t n) { return std::string(n, '0'); };
  for (const std::string sign : {"", "+", "-"}) {
    SCOPED_TRACE(sign);
    const double s = sign == "-" ? -1.0 : 1.0;
    // Too small: long fractions, with exponents of either sign.
    EXPECT_EQ(CDbl(sign + "0." + zeros(323) + "1"), 0.0);
    EXPECT_EQ(CDbl(sign + "0." + zeros(400) + "1"), 0.0);
    EXPECT_EQ(CDbl(sign + "0." + zeros(400) + "1e50"), 0.0);
    EXPECT_EQ(CDbl(sign + "0." + zeros(30'000) + "9e29000"), 0.0);
    EXPECT_EQ(CDbl(sign + "1e-324"), 0.0);
    EXPECT_EQ(CDbl(sign + "1e-99999999999999999999999999"), 0.0);
    EXPECT_EQ(std::signbit(CDbl(sign + "1e-400")), sign == "-");
    // Just inside: the subnormals round as usual.
    EXPECT_EQ(CDbl(sign + "0." + zeros(319) + "1"), s * 1e-320);
    EXPECT_EQ(CDbl(sign + "3e-324"), s * std::numeric_limits<double>::denorm_min());
    EXPECT_EQ(CDbl(sign + "0." + zeros(320) + "5e-3"), s * std::numeric_limits<double>::denorm_min());
    // Too large: long digit strings, with exponents of either sign.
    EXPECT_EQ(CDbl(sign + "1" + zeros(400) + "e-50"), s * largest);
    EXPECT_EQ(CDbl(sign + "1" + zeros(400)), s * largest);
    EXPECT_EQ(CDbl(sign + zeros(50) + "2" + zeros(308) + ".5x"), s * largest);
    EXPECT_EQ(CDbl(sign + "1" + zeros(30'000) + "e-29000"), s * largest);
    EXPECT_EQ(CDbl(sign + ".0001e99999999999999999999999999"), s * largest);
    EXPECT_EQ(CDbl(sign + "1.8e308"), s * largest);
    // Long strings inside the range read as their value.
    EXPECT_EQ(CDbl(sign + "1" + zeros(400) + "e-400"), s * 1.0);
    EXPECT_EQ(CDbl(sign + "0." + zeros(400) + "25e401"), s * 2.5);
    EXPECT_EQ(Val(sign + "0." + zeros(323) + "1"), 0.0);
    EXPECT_EQ(Val(sign + "1" + zeros(400) + "e-50"), s * largest);
  }
  // Zero stays zero however it is written.
  EXPECT_EQ(CDbl("0e999999"), 0.0);
  EXPECT_EQ(CDbl(zeros(500) + "." + zeros(500) + "e99999999999999999999"), 0.0);
}

TEST(CoreGroup3D, ItemsAppendRemoveAndOrder) {
  Group3D g;
  auto a = std::make_shared<Object3D>();
  auto b = std::make_shared<Object3D>();
  auto c = std::make_shared<Object3D>();
  auto stranger = std::make_shared<Object3D>();
  g.Append(a);
  g.Append(b);
  g.Append(c);
  g.Append(nullptr);
  ASSERT_EQ(g.Count(), 3);
  EXPECT_EQ(g.Item(0), a);
  EXPECT_EQ(g.Item(2), c);
  EXPECT_EQ(g.Item(3), nullptr);
  EXPECT_EQ(g.Item(-1), nullptr);

  g.Remove(*stranger);  // absent: nothing changes
  EXPECT_EQ(g.Count(), 3);
  g.Remove(b.get());
  ASSERT_EQ(g.Count(), 2);
  EXPECT_EQ(g.Item(0), a);
  EXPECT_EQ(g.Item(1), c);  // later items move down
  g.Remove(5);
  EXPECT_EQ(g.Count(), 2);
  g.Remove(0);
  ASSERT_EQ(g.Count(), 1);
  EXPECT_EQ(g.Item(0), c);
  EXPECT_EQ(g.IndexOf(a.get()), -1);
}
