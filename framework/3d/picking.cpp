#include "framework/3d/picking.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

ViewGeometry ViewGeometry::FromCamera(const Element3D& camera, double fovDegrees, double hither, double yon,
                                      int width, int height) {
  ViewGeometry view;
  view.eye = camera.Position;
  Quaternion q = camera.Orientation;
  const double len = std::sqrt(q.W * q.W + q.X * q.X + q.Y * q.Y + q.Z * q.Z);
  if (len > 0.0 && std::isfinite(len)) q = {q.W / len, q.X / len, q.Y / len, q.Z / len};
  view.forward = q.Transform({0.0, 0.0, 1.0});
  view.forward.Normalize();
  view.up = q.Transform({0.0, 1.0, 0.0});
  view.up.Normalize();
  view.fieldOfViewDegrees = fovDegrees;
  view.hither = hither;
  view.yon = yon;
  view.width = width;
  view.height = height;
  return view;
}

PickRay RayThroughPixel(const ViewGeometry& view, int x, int y) {
  const double w = std::max(1, view.width);
  const double h = std::max(1, view.height);
  const double px = ((x + 0.5) / w) * 2.0 - 1.0;  // -1 at the left edge, +1 at the right
  const double py = 1.0 - ((y + 0.5) / h) * 2.0;  // +1 at the top
  const double tanHalf = std::tan(view.fieldOfViewDegrees * std::numbers::pi / 360.0);
  Vector3D forward = view.forward;
  forward.Normalize();
  Vector3D right = forward.Cross(view.up);
  right.Normalize();
  const Vector3D up = right.Cross(forward);  // view.up made square to forward
  Vector3D dir = forward.Plus(right.Times(px * tanHalf * (w / h))).Plus(up.Times(py * tanHalf));
  dir.Normalize();
  return {view.eye, dir};
}

namespace {

// Möller–Trumbore, both faces: the distance along the ray, or a negative value.
double hitTriangle(const Vector3D& o, const Vector3D& d, const Vector3D& a, const Vector3D& b, const Vector3D& c) {
  const Vector3D e1 = b.Minus(a);
  const Vector3D e2 = c.Minus(a);
  const Vector3D p = d.Cross(e2);
  const double det = e1.Dot(p);
  // Edge-on triangles give a tiny determinant and meaningless u, v, t.
  if (!(std::abs(det) > 1e-10 * std::sqrt(e1.LenSquared() * e2.LenSquared() * d.LenSquared()))) return -1.0;
  const double inv = 1.0 / det;
  const Vector3D s = o.Minus(a);
  const double u = s.Dot(p) * inv;
  if (u < 0.0 || u > 1.0) return -1.0;
  const Vector3D q = s.Cross(e1);
  const double v = d.Dot(q) * inv;
  if (v < 0.0 || u + v > 1.0) return -1.0;
  return e2.Dot(q) * inv;
}

Vector3D vertexAt(const MeshGeometry& g, std::uint32_t i) {
  const std::size_t k = static_cast<std::size_t>(i) * 3;
  return {g.positions[k], g.positions[k + 1], g.positions[k + 2]};
}

// The nearer crossing of the ray o + t·d with a sphere, or a negative value;
// from inside, the way out.
double hitSphere(const Vector3D& o, const Vector3D& d, const Vector3D& centre, double radius) {
  const Vector3D oc = o.Minus(centre);
  const double a = d.LenSquared();
  const double b = oc.Dot(d);
  const double c = oc.LenSquared() - radius * radius;
  const double disc = b * b - a * c;
  if (!(a > 0.0) || disc < 0.0) return -1.0;
  const double root = std::sqrt(disc);
  const double near = (-b - root) / a;
  return near >= 0.0 ? near : (-b + root) / a;
}

// Nearest hit with the object's shapes in [lo, hi], in object coordinates: the
// ray there is o + t·d with the same t as in the world.
double hitObject(const Object3D& obj, const Vector3D& o, const Vector3D& d, double lo, double hi) {
  double best = std::numeric_limits<double>::infinity();
  auto consider = [&](double t) {
    if (t >= lo && t <= hi && t < best) best = t;
  };
  for (const auto& shape : obj.MeshShapes()) {
    // Line segments are left out: a click on a charge must not be taken by a
    // grid or axis line drawn in front of it.
    if (!shape->geometry || shape->geometry->primitive != MeshGeometry::Primitive::Triangles) continue;
    const MeshGeometry& g = *shape->geometry;
    // A round sphere is drawn as the true sphere (its mesh only where it
    // crosses the near plane): the true sphere is what a click hits.
    if (g.isSphere) {
      consider(hitSphere(o, d, g.sphereCentre, g.sphereRadius));
      continue;
    }
    const std::size_t vertexCount = g.positions.size() / 3;
    for (std::size_t k = 0; k + 2 < g.indices.size(); k += 3) {
      if (g.indices[k] >= vertexCount || g.indices[k + 1] >= vertexCount || g.indices[k + 2] >= vertexCount) continue;
      consider(hitTriangle(o, d, vertexAt(g, g.indices[k]), vertexAt(g, g.indices[k + 1]), vertexAt(g, g.indices[k + 2])));
    }
  }
  for (const auto& pic : obj.PictureShapes()) {
    // A flat rectangle in the object's x-y plane, centred on its origin.
    if (d.Z == 0.0) continue;
    const double t = -o.Z / d.Z;
    const Vector3D p = o.Plus(d.Times(t));
    if (std::abs(p.X) <= pic.width * 0.5 && std::abs(p.Y) <= pic.height * 0.5) consider(t);
  }
  return best;
}

double shapeRadius(const Object3D& obj) {
  double r = 0.0;
  for (const auto& s : obj.MeshShapes()) {
    if (s->geometry && s->geometry->primitive == MeshGeometry::Primitive::Triangles)
      r = std::max(r, s->geometry->radius);
  }
  for (const auto& p : obj.PictureShapes()) r = std::max(r, 0.5 * std::hypot(p.width, p.height));
  return r;
}

}  // namespace

std::optional<PickHit> PickNearest(const Group3D& group, const PickRay& ray, double hither, double yon) {
  Vector3D dir = ray.direction;
  dir.Normalize();
  if (dir.LenSquared() == 0.0 || !ray.origin.IsFinite()) return std::nullopt;
  std::optional<PickHit> nearest;
  double bestT = yon;
  for (const auto& element : group.Items()) {
    if (!element || !element->Visible) continue;
    const auto* obj = dynamic_cast<const Object3D*>(element.get());
    if (obj == nullptr) continue;
    const double scale = element->Scale;
    if (scale == 0.0 || !std::isfinite(scale)) continue;
    const double radius = shapeRadius(*obj) * std::abs(scale);
    if (!(radius > 0.0)) continue;
    // Bounding sphere about Position: reject cheaply before any triangle.
    const Vector3D oc = element->Position.Minus(ray.origin);
    const double tca = oc.Dot(dir);
    const double d2 = oc.LenSquared() - tca * tca;
    if (d2 > radius * radius) continue;
    if (tca + radius < hither || tca - radius > bestT) continue;

    // Into object space: undo the translation, the turn and the scale.
    Quaternion q = element->Orientation;
    const double qlen = std::sqrt(q.W * q.W + q.X * q.X + q.Y * q.Y + q.Z * q.Z);
    if (!(qlen > 0.0) || !std::isfinite(qlen)) continue;
    const Quaternion inverse(q.W / qlen, -q.X / qlen, -q.Y / qlen, -q.Z / qlen);
    const Vector3D localOrigin = inverse.Transform(ray.origin.Minus(element->Position)).Times(1.0 / scale);
    const Vector3D localDir = inverse.Transform(dir).Times(1.0 / scale);
    const double t = hitObject(*obj, localOrigin, localDir, hither, bestT);
    if (std::isfinite(t) && (!nearest || t < bestT)) {
      bestT = t;
      nearest = PickHit{element, ray.origin.Plus(dir.Times(t)), t};
    }
  }
  return nearest;
}
