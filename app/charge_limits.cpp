#include "app/charge_limits.h"

#include <cmath>

namespace {
std::string WithSeparators(std::int64_t v) {
  std::string digits = std::to_string(v);
  std::string out;
  const int lead = static_cast<int>(digits.size()) % 3;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i != 0 && (static_cast<int>(i) - lead) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}
}  // namespace

std::optional<std::string> CheckPointCharges(std::int64_t count, std::int64_t inScene) {
  const std::string limit = WithSeparators(kMaxPointCharges);
  if (count > kMaxPointCharges) {
    return "This object would hold " + WithSeparators(count) + " point charges. One object may hold at most " +
           limit + " point charges. Please enter a smaller number.";
  }
  if (inScene + count > kMaxPointCharges) {
    return "This object's " + WithSeparators(count) + " point charges would bring the scene to " +
           WithSeparators(inScene + count) + ". The scene may hold at most " + limit +
           " point charges. Please enter a smaller number or delete an object.";
  }
  return std::nullopt;
}

void SceneValueCheck::Value(const char* what, double v) {
  if (problem_) return;
  if (!(std::abs(v) <= kMaxSceneValue)) {
    const std::string limit = WithSeparators(static_cast<std::int64_t>(kMaxSceneValue));
    problem_ = std::string("The ") + what + " is too large to draw. Coordinates, lengths and radii must lie between -" +
               limit + " and " + limit + ".";
  }
}

void SceneValueCheck::Charge(double q) {
  if (problem_) return;
  if (!(std::abs(q) <= kMaxCharge)) {
    const std::string limit = WithSeparators(static_cast<std::int64_t>(kMaxCharge));
    problem_ = "The charge is too large to draw. Charges must lie between -" + limit + " and " + limit + ".";
  }
}

void SceneValueCheck::Vector(const char* what, const Vector3D& v) {
  Value(what, v.X);
  Value(what, v.Y);
  Value(what, v.Z);
}
