#include "framework/3d/model_transform.h"

#include <cmath>

std::array<float, 16> ModelMatrix(const Element3D& e) {
  std::array<float, 16> m{};
  m[12] = static_cast<float>(e.Position.X);
  m[13] = static_cast<float>(e.Position.Y);
  m[14] = static_cast<float>(e.Position.Z);
  m[15] = 1.0f;
  // Most elements are not turned (every sphere, line and box of a charge):
  // their matrix is the scale alone.
  const Quaternion& o = e.Orientation;
  if (o.X == 0.0 && o.Y == 0.0 && o.Z == 0.0 && o.W > 0.0 && std::isfinite(o.W)) {
    m[0] = m[5] = m[10] = static_cast<float>(e.Scale);
    return m;
  }
  Quaternion q = o;
  const double n = std::sqrt(q.W * q.W + q.X * q.X + q.Y * q.Y + q.Z * q.Z);
  if (n > 0.0 && std::isfinite(n)) {
    q = {q.W / n, q.X / n, q.Y / n, q.Z / n};
  } else {
    q = {};
  }
  const double w = q.W, x = q.X, y = q.Y, z = q.Z;
  const double s = e.Scale;
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                          {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                          {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
  for (int col = 0; col < 3; ++col) {
    for (int row = 0; row < 3; ++row) m[col * 4 + row] = static_cast<float>(r[row][col] * s);
  }
  return m;
}

bool FiniteElement(const Element3D& e) {
  return e.Position.IsFinite() && std::isfinite(e.Scale) && std::isfinite(e.Orientation.W) &&
         std::isfinite(e.Orientation.X) && std::isfinite(e.Orientation.Y) && std::isfinite(e.Orientation.Z);
}
