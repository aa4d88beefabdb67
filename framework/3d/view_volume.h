#pragma once

#include "framework/math/vector3d.h"

#include <QMatrix4x4>

#include <algorithm>
#include <array>
#include <cmath>

// What a symmetric perspective view shows, for deciding per element whether
// and how to draw it. Works in eye coordinates: the eye at the origin looking
// along -z, +y up, as the view matrix maps the world.
class ViewVolume {
public:
  ViewVolume() = default;
  // `view` maps world to eye coordinates; `projection` is a symmetric
  // perspective (as QMatrix4x4::perspective makes it) between the planes
  // at distances hither and yon.
  ViewVolume(const QMatrix4x4& view, const QMatrix4x4& projection, double hither, double yon);

  [[nodiscard]] std::array<double, 3> toEye(const Vector3D& p) const {
    const double* r = rows_.data();
    return {r[0] * p.X + r[1] * p.Y + r[2] * p.Z + r[3], r[4] * p.X + r[5] * p.Y + r[6] * p.Z + r[7],
            r[8] * p.X + r[9] * p.Y + r[10] * p.Z + r[11]};
  }

  enum class Place { Outside, Crossing, Inside };
  // Where a sphere (eye coordinates) lies against the six planes. Outside
  // means no part of it can show.
  [[nodiscard]] Place classify(const std::array<double, 3>& centre, double radius) const {
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

  [[nodiscard]] double hither() const { return hither_; }
  // Normalised-device units per unit of x / depth and y / depth.
  [[nodiscard]] double scaleX() const { return scaleX_; }
  [[nodiscard]] double scaleY() const { return scaleY_; }

private:
  std::array<double, 12> rows_{};  // the view matrix's upper three rows
  double hither_ = 0.0;
  double yon_ = 0.0;
  double scaleX_ = 1.0;
  double scaleY_ = 1.0;
  // Unit normals of the side planes in the (x or y, depth) plane: a point
  // (a, d) lies inside while a * cos - d * sin <= 0.
  double cosX_ = 1.0, sinX_ = 0.0, cosY_ = 1.0, sinY_ = 0.0;
};

// How far the outline of a sphere of radius r reaches on one screen axis,
// whose centre lies at offset a across the view and `depth` ahead of the eye
// (depth > r): the largest difference between a / depth and the slope of a
// line through the eye that touches the sphere. Multiplied by the
// projection's scale it gives the outline's reach from the point where the
// centre projects; off the view's axis the outline is an ellipse that
// reaches farther on its outer side.
inline double SphereOutlineReach(double a, double depth, double r) {
  // The touching lines a' = k d' have k = (a d +- r L) / (d^2 - r^2) with
  // L^2 = a^2 + d^2 - r^2; their distance from a / d is
  // r (L d +- a r) / (d (d^2 - r^2)).
  const double L = std::sqrt(std::max(a * a + depth * depth - r * r, 0.0));
  return r * (L * depth + std::abs(a) * r) / (depth * (depth * depth - r * r));
}
