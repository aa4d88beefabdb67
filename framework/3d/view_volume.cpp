#include "framework/3d/view_volume.h"

#include <algorithm>
#include <cmath>

ViewVolume::ViewVolume(const QMatrix4x4& view, const QMatrix4x4& projection, double hither, double yon)
    : hither_(hither), yon_(yon) {
  for (int row = 0; row < 3; ++row) {
    for (int col = 0; col < 4; ++col) rows_[static_cast<std::size_t>(row * 4 + col)] = view(row, col);
  }
  scaleX_ = projection(0, 0);
  scaleY_ = projection(1, 1);
  // The side planes: |x| <= depth / scaleX, |y| <= depth / scaleY.
  auto plane = [](double scale, double& c, double& s) {
    const double slope = 1.0 / scale;
    const double len = std::sqrt(1.0 + slope * slope);
    c = 1.0 / len;
    s = slope / len;
  };
  plane(scaleX_, cosX_, sinX_);
  plane(scaleY_, cosY_, sinY_);
}

std::array<double, 3> ViewVolume::toEye(const Vector3D& p) const {
  std::array<double, 3> e{};
  for (std::size_t row = 0; row < 3; ++row) {
    const double* r = &rows_[row * 4];
    e[row] = r[0] * p.X + r[1] * p.Y + r[2] * p.Z + r[3];
  }
  return e;
}

ViewVolume::Place ViewVolume::classify(const std::array<double, 3>& centre, double radius) const {
  const double depth = -centre[2];
  // Signed distances out of the volume, one per plane.
  const double distances[6] = {
      hither_ - depth,
      depth - yon_,
      centre[0] * cosX_ - depth * sinX_,
      -centre[0] * cosX_ - depth * sinX_,
      centre[1] * cosY_ - depth * sinY_,
      -centre[1] * cosY_ - depth * sinY_,
  };
  // Not a number (an absurd element) counts as outside.
  bool inside = true;
  for (const double d : distances) {
    if (!(d <= radius)) return Place::Outside;
    inside = inside && d < -radius;
  }
  return inside ? Place::Inside : Place::Crossing;
}

SlopeRange SphereSlopes(double a, double depth, double r) {
  // The lines a = k * depth at distance r from the centre solve
  // k^2 (d^2 - r^2) - 2 a d k + (a^2 - r^2) = 0.
  const double spread = r * std::sqrt(std::max(a * a + depth * depth - r * r, 0.0));
  const double q = depth * depth - r * r;
  return {(a * depth - spread) / q, (a * depth + spread) / q};
}
