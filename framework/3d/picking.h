#pragma once

#include "framework/3d/element3d.h"

#include <memory>
#include <optional>

// How a view sees the world: the camera's place and axes and the perspective.
struct ViewGeometry {
  Vector3D eye;
  Vector3D forward{0.0, 0.0, -1.0};  // unit, the camera's own +z in world coordinates
  Vector3D up{0.0, 1.0, 0.0};        // unit, the camera's own +y
  double fieldOfViewDegrees = 50.0;  // vertical
  double hither = 5.0;
  double yon = 5000.0;
  int width = 1;                     // view size in pixels
  int height = 1;

  // The camera element's placement turned into a view.
  static ViewGeometry FromCamera(const Element3D& camera, double fovDegrees, double hither, double yon, int width,
                                 int height);
};

struct PickRay {
  Vector3D origin;
  Vector3D direction;  // unit
};

// The ray from the eye through the centre of pixel (x, y), y counted downwards
// from the top of the view.
PickRay RayThroughPixel(const ViewGeometry& view, int x, int y);

struct PickHit {
  std::shared_ptr<Element3D> element;
  Vector3D point;        // world coordinates
  double distance = 0.0; // along the ray
};

// The nearest visible element of the group whose shapes the ray hits between
// the near and far planes (distances along the ray); nothing over the
// background. Triangle meshes and pictures are hit; line segments are not, so
// that a line drawn in front of a solid never takes its click.
std::optional<PickHit> PickNearest(const Group3D& group, const PickRay& ray, double hither, double yon);
