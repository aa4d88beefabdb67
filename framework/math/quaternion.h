#pragma once

#include "framework/math/vector3d.h"

#include <cmath>

// A rotation as a unit quaternion (W, X, Y, Z).
// Conventions the scene relies on:
//  - SetRotateAboutAxis is right-handed (counter-clockwise seen from the
//    axis tip), takes radians last, and accepts an axis of any non-zero
//    length, however small or large; a zero (or NaN) axis gives the identity.
//  - q.MultiplyBy(p) makes q the turn by q followed by p, both about world
//    axes (q := p ⊗ q).
//  - Transform(v) returns v turned, as a new vector.
class Quaternion {
public:
  double W = 1.0;
  double X = 0.0;
  double Y = 0.0;
  double Z = 0.0;

  constexpr Quaternion() = default;
  constexpr Quaternion(double w, double x, double y, double z) : W(w), X(x), Y(y), Z(z) {}

  void SetRotateAboutAxis(double x, double y, double z, double angle) {
    // Scaled first, so that an axis with tiny or huge components still turns.
    const Vector3D a = Vector3D(x, y, z).ScaledNearUnit();
    const double len = a.Length();
    if (!(len > 0.0) || !std::isfinite(len) || !std::isfinite(angle)) {
      W = 1.0; X = Y = Z = 0.0;
      return;
    }
    const double s = std::sin(angle * 0.5) / len;
    W = std::cos(angle * 0.5);
    X = a.X * s; Y = a.Y * s; Z = a.Z * s;
  }

  // Hamilton product a ⊗ b: the turn b followed by a.
  [[nodiscard]] static constexpr Quaternion Product(const Quaternion& a, const Quaternion& b) {
    return {a.W * b.W - a.X * b.X - a.Y * b.Y - a.Z * b.Z,
            a.W * b.X + a.X * b.W + a.Y * b.Z - a.Z * b.Y,
            a.W * b.Y - a.X * b.Z + a.Y * b.W + a.Z * b.X,
            a.W * b.Z + a.X * b.Y - a.Y * b.X + a.Z * b.W};
  }

  // Turn first by this, then by p.
  constexpr void MultiplyBy(const Quaternion& p) { *this = Product(p, *this); }

  [[nodiscard]] Vector3D Transform(const Vector3D& v) const {
    // v' = v + 2w(u×v) + 2u×(u×v), with u the vector part; exact for unit q.
    const Vector3D u(X, Y, Z);
    const Vector3D t = u.Cross(v).Times(2.0);
    return v.Plus(t.Times(W)).Plus(u.Cross(t));
  }

  [[nodiscard]] constexpr Quaternion Conjugate() const { return {W, -X, -Y, -Z}; }
};
