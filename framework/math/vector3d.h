#pragma once

#include <algorithm>
#include <cmath>

// A mutable 3D vector of doubles. Plus, Minus, Times and Cross return new
// vectors; Add, Subtract, MultiplyBy and Normalize change the receiver.
// Callers rely on which is which, so keep the two families apart.
class Vector3D {
public:
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;

  constexpr Vector3D() = default;
  constexpr Vector3D(double x, double y, double z) : X(x), Y(y), Z(z) {}

  [[nodiscard]] constexpr Vector3D Plus(const Vector3D& v) const { return {X + v.X, Y + v.Y, Z + v.Z}; }
  [[nodiscard]] constexpr Vector3D Minus(const Vector3D& v) const { return {X - v.X, Y - v.Y, Z - v.Z}; }
  [[nodiscard]] constexpr Vector3D Times(double s) const { return {X * s, Y * s, Z * s}; }
  // Receiver × argument, right-handed.
  [[nodiscard]] constexpr Vector3D Cross(const Vector3D& v) const {
    return {Y * v.Z - Z * v.Y, Z * v.X - X * v.Z, X * v.Y - Y * v.X};
  }

  constexpr void Add(const Vector3D& v) { X += v.X; Y += v.Y; Z += v.Z; }
  constexpr void Subtract(const Vector3D& v) { X -= v.X; Y -= v.Y; Z -= v.Z; }
  constexpr void MultiplyBy(double s) { X *= s; Y *= s; Z *= s; }
  // Unit length for every non-zero vector, however small or large its
  // components (infinite ones give the direction of the infinite components).
  // A zero vector, or one with a NaN, is left as it is rather than becoming NaN.
  void Normalize() {
    const Vector3D s = ScaledNearUnit();
    const double len = s.Length();
    if (len > 0.0 && std::isfinite(len)) {
      X = s.X / len; Y = s.Y / len; Z = s.Z / len;
    }
  }
  // The same direction scaled by a power of two so that the largest component
  // lies in [1, 2): its squares then neither vanish nor overflow. The scaling is
  // exact, so for a vector whose squared length was representable anyway,
  // quotients by the length come out bit for bit as without it. Infinite
  // components become ±1 and the finite ones 0. A zero vector, or one with a
  // NaN, is returned as it is.
  [[nodiscard]] Vector3D ScaledNearUnit() const {
    if (std::isnan(X) || std::isnan(Y) || std::isnan(Z)) return *this;
    const double m = std::max({std::abs(X), std::abs(Y), std::abs(Z)});
    if (m == 0.0) return *this;
    if (std::isinf(m)) {
      const auto sign = [](double c) { return std::isinf(c) ? std::copysign(1.0, c) : 0.0; };
      return {sign(X), sign(Y), sign(Z)};
    }
    const int e = std::ilogb(m);
    return {std::scalbn(X, -e), std::scalbn(Y, -e), std::scalbn(Z, -e)};
  }

  [[nodiscard]] constexpr double Dot(const Vector3D& v) const { return X * v.X + Y * v.Y + Z * v.Z; }
  [[nodiscard]] constexpr double LenSquared() const { return X * X + Y * Y + Z * Z; }
  [[nodiscard]] double Length() const { return std::sqrt(LenSquared()); }

  [[nodiscard]] bool IsFinite() const { return std::isfinite(X) && std::isfinite(Y) && std::isfinite(Z); }

  friend constexpr bool operator==(const Vector3D&, const Vector3D&) = default;
};
