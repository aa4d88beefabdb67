#pragma once

#include "framework/math/vector3d.h"

#include <cstdint>
#include <optional>
#include <string>

// Bounds that keep a new charged object buildable: its point charges must fit
// in memory and the field pass must stay responsive, and every coordinate,
// size and vector it makes must stay a finite number that can be drawn.

// Most point charges in one object, and in the whole scene.
inline constexpr std::int64_t kMaxPointCharges = 2'000'000;
// Largest magnitude of a coordinate, length, side or radius typed into a sheet.
inline constexpr double kMaxSceneValue = 1.0e6;
// Largest magnitude of a charge typed into a sheet. No point charge then
// carries more, so its sphere (10·|q|^(1/3) in radius) stays within
// kMaxSceneValue, and the field of the most point charges a scene may hold,
// 20 units away (nearer, the bodies leave no arrow) and at the largest arrow
// scale, stays below about 1e27: a finite number whose length can be taken.
inline constexpr double kMaxCharge = 1.0e15;

// The message for a count over the limits, or nothing when `count` more point
// charges fit beside `inScene` others.
std::optional<std::string> CheckPointCharges(std::int64_t count, std::int64_t inScene);

// Collects the values a factory is about to use and names the first one too
// large to draw or to sum.
class SceneValueCheck {
public:
  // A coordinate, length, side or radius.
  void Value(const char* what, double v);
  void Vector(const char* what, const Vector3D& v);
  void Charge(double q);
  [[nodiscard]] const std::optional<std::string>& Problem() const { return problem_; }

private:
  std::optional<std::string> problem_;
};
