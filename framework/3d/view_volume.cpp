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
