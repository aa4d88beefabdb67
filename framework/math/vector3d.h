#pragma once

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
  // A zero (or non-finite) vector is left as it is rather than becoming NaN.
  void Normalize() {
    const double len = Length();
    if (len > 0.0 && std::isfinite(len)) {
      X /= len; Y /= len; Z /= len;
    }
  }

  [[nodiscard]] constexpr double Dot(const Vector3D& v) const { return X * v.X + Y * v.Y + Z * v.Z; }
  [[nodiscard]] constexpr double LenSquared() const { return X * X + Y * Y + Z * Z; }
  [[nodiscard]] double Length() const { return std::sqrt(LenSquared()); }

  [[nodiscard]] bool IsFinite() const { return std::isfinite(X) && std::isfinite(Y) && std::isfinite(Z); }

  friend constexpr bool operator==(const Vector3D&, const Vector3D&) = default;
};
