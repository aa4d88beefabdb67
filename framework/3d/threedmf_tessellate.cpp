#include "framework/3d/threedmf_tessellate.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;

Vector3D unit(Vector3D v) {
  v.Normalize();
  return v;
}

// Collects vertices and triangles. Each triangle is wound counter-clockwise
// as seen from the side its vertex normals point to, so front faces agree with
// the lighting whatever the handedness of the file's vectors.
class MeshBuilder {
public:
  explicit MeshBuilder(MeshGeometry::Primitive primitive) { mesh_->primitive = primitive; }

  std::uint32_t addVertex(const Vector3D& p, const Vector3D& n) {
    points_.push_back(p);
    Vector3D un = unit(n);
    if (un.LenSquared() == 0.0) un = Vector3D(0.0, 0.0, 1.0);  // degenerate surface
    normals_.push_back(un);
    return static_cast<std::uint32_t>(points_.size() - 1);
  }

  std::uint32_t addPoint(const Vector3D& p) {
    points_.push_back(p);
    return static_cast<std::uint32_t>(points_.size() - 1);
  }

  void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c) {
    const Vector3D& pa = points_[a];
    const Vector3D face = points_[b].Minus(pa).Cross(points_[c].Minus(pa));
    if (face.LenSquared() == 0.0) return;  // zero area, e.g. at a sphere's pole
    const Vector3D n = normals_[a].Plus(normals_[b]).Plus(normals_[c]);
    if (face.Dot(n) < 0.0) std::swap(b, c);
    auto& idx = mesh_->indices;
    idx.push_back(a);
    idx.push_back(b);
    idx.push_back(c);
  }

  void addSegment(std::uint32_t a, std::uint32_t b) {
    mesh_->indices.push_back(a);
    mesh_->indices.push_back(b);
  }

  std::shared_ptr<MeshGeometry> finish() {
    MeshGeometry& m = *mesh_;
    m.positions.reserve(points_.size() * 3);
    double r2 = 0.0;
    Vector3D lo, hi;
    for (std::size_t i = 0; i < points_.size(); ++i) {
      const Vector3D& p = points_[i];
      // The positions are kept as floats: beyond their range they would be infinite.
      constexpr double limit = std::numeric_limits<float>::max();
      if (!(std::abs(p.X) <= limit && std::abs(p.Y) <= limit && std::abs(p.Z) <= limit)) return nullptr;
      if (i == 0) {
        lo = hi = p;
      } else {
        lo = {std::min(lo.X, p.X), std::min(lo.Y, p.Y), std::min(lo.Z, p.Z)};
        hi = {std::max(hi.X, p.X), std::max(hi.Y, p.Y), std::max(hi.Z, p.Z)};
      }
      r2 = std::max(r2, p.LenSquared());
      m.positions.push_back(static_cast<float>(p.X));
      m.positions.push_back(static_cast<float>(p.Y));
      m.positions.push_back(static_cast<float>(p.Z));
    }
    if (!std::isfinite(r2)) return nullptr;
    if (m.primitive == MeshGeometry::Primitive::Triangles) {
      m.normals.reserve(normals_.size() * 3);
      for (const Vector3D& n : normals_) {
        m.normals.push_back(static_cast<float>(n.X));
        m.normals.push_back(static_cast<float>(n.Y));
        m.normals.push_back(static_cast<float>(n.Z));
      }
    }
    m.boundsMin = lo;
    m.boundsMax = hi;
    m.radius = std::sqrt(r2);
    return std::move(mesh_);
  }

  [[nodiscard]] const Vector3D& point(std::uint32_t i) const { return points_[i]; }

private:
  std::shared_ptr<MeshGeometry> mesh_ = std::make_shared<MeshGeometry>();
  std::vector<Vector3D> points_;
  std::vector<Vector3D> normals_;
};

Vector3D ringPoint(const Vector3D& major, const Vector3D& minor, double angle) {
  return major.Times(std::cos(angle)).Plus(minor.Times(std::sin(angle)));
}

// A filled ellipse as a fan; `normal` is the side it faces.
void addCap(MeshBuilder& mb, const Vector3D& centre, const Vector3D& major, const Vector3D& minor,
            const Vector3D& normal) {
  const std::uint32_t c = mb.addVertex(centre, normal);
  const std::uint32_t first = c + 1;
  for (int i = 0; i < kRoundSegments; ++i) {
    mb.addVertex(centre.Plus(ringPoint(major, minor, kTwoPi * i / kRoundSegments)), normal);
  }
  for (int i = 0; i < kRoundSegments; ++i) {
    const auto a = first + static_cast<std::uint32_t>(i);
    const auto b = first + static_cast<std::uint32_t>((i + 1) % kRoundSegments);
    mb.addTriangle(c, a, b);
  }
}

// Normal of the flat face spanned by e1, e2, pointing along `away` when that is
// decisive (and along e1 × e2 otherwise).
Vector3D faceNormal(const Vector3D& e1, const Vector3D& e2, const Vector3D& away) {
  Vector3D n = e1.Cross(e2);
  if (n.Dot(away) < 0.0) n.MultiplyBy(-1.0);
  return n;
}

// Grid of (columns+1) x (rows+1) vertices, two triangles per cell.
void addGridTriangles(MeshBuilder& mb, std::uint32_t base, int columns, int rows) {
  const auto stride = static_cast<std::uint32_t>(columns + 1);
  for (int j = 0; j < rows; ++j) {
    for (int i = 0; i < columns; ++i) {
      const std::uint32_t a = base + static_cast<std::uint32_t>(j) * stride + static_cast<std::uint32_t>(i);
      const std::uint32_t b = a + 1;
      const std::uint32_t c = b + stride;
      const std::uint32_t d = a + stride;
      mb.addTriangle(a, b, c);
      mb.addTriangle(a, c, d);
    }
  }
}

std::shared_ptr<MeshGeometry> line(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Lines);
  const auto a = mb.addPoint(s.v[0]);
  const auto b = mb.addPoint(s.v[1]);
  mb.addSegment(a, b);
  return mb.finish();
}

std::shared_ptr<MeshGeometry> box(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Triangles);
  const Vector3D& origin = s.v[3];
  const std::array<Vector3D, 3> e{s.v[0], s.v[1], s.v[2]};
  for (int k = 0; k < 3; ++k) {
    const Vector3D& e1 = e[static_cast<std::size_t>((k + 1) % 3)];
    const Vector3D& e2 = e[static_cast<std::size_t>((k + 2) % 3)];
    const Vector3D& e3 = e[static_cast<std::size_t>(k)];
    for (int far = 0; far < 2; ++far) {
      const Vector3D c0 = far ? origin.Plus(e3) : origin;
      Vector3D n = e1.Cross(e2);
      const double side = n.Dot(e3);
      // The near face looks away from e3, the far face along it; a flat box
      // still gets two opposite faces.
      if (far ? side < 0.0 : side > 0.0) n.MultiplyBy(-1.0);
      if (side == 0.0 && far) n.MultiplyBy(-1.0);
      const auto a = mb.addVertex(c0, n);
      const auto b = mb.addVertex(c0.Plus(e1), n);
      const auto c = mb.addVertex(c0.Plus(e1).Plus(e2), n);
      const auto d = mb.addVertex(c0.Plus(e2), n);
      mb.addTriangle(a, b, c);
      mb.addTriangle(a, c, d);
    }
  }
  return mb.finish();
}

// Equal, orthogonal semi-axes make a round sphere. Written texts carry the
// axes as decimal numbers, so allow for their last digit.
void markRoundSphere(MeshGeometry& mesh, const GeometrySpec& s) {
  constexpr double kTolerance = 1e-9;
  const Vector3D& o = s.v[0];
  const Vector3D& ma = s.v[1];
  const Vector3D& mi = s.v[2];
  const double a = o.LenSquared(), b = ma.LenSquared(), c = mi.LenSquared();
  const double largest = std::max({a, b, c});
  if (!(largest > 0.0) || !std::isfinite(largest) || !s.v[3].IsFinite()) return;
  const double slack = kTolerance * largest;
  if (std::abs(a - b) > slack || std::abs(b - c) > slack || std::abs(a - c) > slack) return;
  if (std::abs(o.Dot(ma)) > slack || std::abs(o.Dot(mi)) > slack || std::abs(ma.Dot(mi)) > slack) return;
  mesh.isSphere = true;
  mesh.sphereCentre = s.v[3];
  mesh.sphereRadius = std::sqrt(largest);
}

std::shared_ptr<MeshGeometry> ellipsoid(const GeometrySpec& s) {
  const Vector3D& o = s.v[0];
  const Vector3D& ma = s.v[1];
  const Vector3D& mi = s.v[2];
  const Vector3D& centre = s.v[3];
  // The surface is the unit sphere under the linear map [ma mi o]; its normals
  // map by the cofactor matrix, turned outward by the sign of the determinant.
  const Vector3D cx = mi.Cross(o), cy = o.Cross(ma), cz = ma.Cross(mi);
  const double det = ma.Dot(cx);
  const double sign = det < 0.0 ? -1.0 : 1.0;
  MeshBuilder grid(MeshGeometry::Primitive::Triangles);
  // Sines and cosines once per column rather than per vertex: most of the cost.
  std::array<double, kRoundSegments + 1> cosPhi{}, sinPhi{};
  for (int i = 0; i <= kRoundSegments; ++i) {
    cosPhi[static_cast<std::size_t>(i)] = std::cos(kTwoPi * i / kRoundSegments);
    sinPhi[static_cast<std::size_t>(i)] = std::sin(kTwoPi * i / kRoundSegments);
  }
  for (int j = 0; j <= kSphereRings; ++j) {
    const double theta = std::numbers::pi * j / kSphereRings;
    const double st = std::sin(theta), ct = std::cos(theta);
    for (int i = 0; i <= kRoundSegments; ++i) {
      const double sx = st * cosPhi[static_cast<std::size_t>(i)];
      const double sy = st * sinPhi[static_cast<std::size_t>(i)];
      const double sz = ct;
      const Vector3D p = centre.Plus(o.Times(sz)).Plus(ma.Times(sx)).Plus(mi.Times(sy));
      Vector3D n = cx.Times(sx).Plus(cy.Times(sy)).Plus(cz.Times(sz)).Times(sign);
      if (det == 0.0) n = p.Minus(centre);  // flat: no true normal, light it from its spread
      grid.addVertex(p, n);
    }
  }
  addGridTriangles(grid, 0, kRoundSegments, kSphereRings);
  std::shared_ptr<MeshGeometry> mesh = grid.finish();
  if (mesh) markRoundSphere(*mesh, s);
  return mesh;
}

std::shared_ptr<MeshGeometry> cylinder(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Triangles);
  const Vector3D& o = s.v[0];
  const Vector3D& ma = s.v[1];
  const Vector3D& mi = s.v[2];
  const Vector3D& origin = s.v[3];
  const Vector3D top = origin.Plus(o);
  for (int row = 0; row < 2; ++row) {
    for (int i = 0; i <= kRoundSegments; ++i) {
      const double u = kTwoPi * i / kRoundSegments;
      const Vector3D r = ringPoint(ma, mi, u);
      const Vector3D t = ringPoint(ma, mi, u + std::numbers::pi / 2.0);  // d r / d u, up to a factor
      mb.addVertex((row ? top : origin).Plus(r), faceNormal(t, o, r));
    }
  }
  addGridTriangles(mb, 0, kRoundSegments, 1);
  if (s.bottomCap) addCap(mb, origin, ma, mi, faceNormal(ma, mi, o.Times(-1.0)));
  if (s.topCap) addCap(mb, top, ma, mi, faceNormal(ma, mi, o));
  return mb.finish();
}

std::shared_ptr<MeshGeometry> cone(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Triangles);
  const Vector3D& o = s.v[0];
  const Vector3D& ma = s.v[1];
  const Vector3D& mi = s.v[2];
  const Vector3D& origin = s.v[3];
  const Vector3D apex = origin.Plus(o);
  // Outward is judged from the cone's centroid, a quarter of the way up.
  auto sideNormal = [&](double u) {
    const Vector3D r = ringPoint(ma, mi, u);
    const Vector3D t = ringPoint(ma, mi, u + std::numbers::pi / 2.0);
    return faceNormal(t, o.Minus(r), r.Minus(o.Times(0.25)));
  };
  for (int i = 0; i <= kRoundSegments; ++i) {
    const double u = kTwoPi * i / kRoundSegments;
    mb.addVertex(origin.Plus(ringPoint(ma, mi, u)), sideNormal(u));
  }
  // One apex vertex per segment, with the normal of the segment's middle.
  for (int i = 0; i < kRoundSegments; ++i) {
    const double u = kTwoPi * (i + 0.5) / kRoundSegments;
    const auto a = static_cast<std::uint32_t>(i);
    const auto tip = mb.addVertex(apex, sideNormal(u));
    mb.addTriangle(a, a + 1, tip);
  }
  if (s.bottomCap) addCap(mb, origin, ma, mi, faceNormal(ma, mi, o.Times(-1.0)));
  return mb.finish();
}

std::shared_ptr<MeshGeometry> disk(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Triangles);
  addCap(mb, s.v[2], s.v[0], s.v[1], s.v[0].Cross(s.v[1]));
  return mb.finish();
}

std::shared_ptr<MeshGeometry> torus(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Triangles);
  const Vector3D& o = s.v[0];
  const Vector3D& ma = s.v[1];
  const Vector3D& mi = s.v[2];
  const Vector3D& centre = s.v[3];
  const double a = s.ratio * o.Length();  // tube half-width, outward from the axis
  auto surface = [&](double u, double v) {
    const Vector3D c = ringPoint(ma, mi, kTwoPi * u);
    const Vector3D radial = unit(c);
    return centre.Plus(c).Plus(radial.Times(a * std::cos(kTwoPi * v))).Plus(o.Times(std::sin(kTwoPi * v)));
  };
  constexpr double h = 1e-4;
  for (int j = 0; j <= kTorusTubeSegments; ++j) {
    const double v = static_cast<double>(j) / kTorusTubeSegments;
    for (int i = 0; i <= kRoundSegments; ++i) {
      const double u = static_cast<double>(i) / kRoundSegments;
      const Vector3D p = surface(u, v);
      const Vector3D du = surface(u + h, v).Minus(surface(u - h, v));
      const Vector3D dv = surface(u, v + h).Minus(surface(u, v - h));
      const Vector3D tubeCentre = centre.Plus(ringPoint(ma, mi, kTwoPi * u));
      mb.addVertex(p, faceNormal(du, dv, p.Minus(tubeCentre)));
    }
  }
  addGridTriangles(mb, 0, kRoundSegments, kTorusTubeSegments);
  return mb.finish();
}

std::shared_ptr<MeshGeometry> triMesh(const GeometrySpec& s) {
  MeshBuilder mb(MeshGeometry::Primitive::Triangles);
  const std::size_t count = s.triangles.size() / 3;
  auto faceOf = [&](std::size_t t) {
    const Vector3D& pa = s.points[s.triangles[3 * t]];
    return s.points[s.triangles[3 * t + 1]].Minus(pa).Cross(s.points[s.triangles[3 * t + 2]].Minus(pa));
  };
  // The centre of the points the drawn triangles use: a point no triangle
  // uses may lie anywhere, outside the solid too.
  std::vector<bool> used(s.points.size(), false);
  for (std::size_t t = 0; t < count; ++t) {
    if (faceOf(t).LenSquared() == 0.0) continue;
    for (int k = 0; k < 3; ++k) used[s.triangles[3 * t + static_cast<std::size_t>(k)]] = true;
  }
  Vector3D centroid;
  std::size_t usedCount = 0;
  for (std::size_t i = 0; i < s.points.size(); ++i) {
    if (!used[i]) continue;
    centroid.Add(s.points[i]);
    ++usedCount;
  }
  if (usedCount > 0) centroid.MultiplyBy(1.0 / static_cast<double>(usedCount));
  for (std::size_t t = 0; t < count; ++t) {
    const Vector3D& pa = s.points[s.triangles[3 * t]];
    const Vector3D& pb = s.points[s.triangles[3 * t + 1]];
    const Vector3D& pc = s.points[s.triangles[3 * t + 2]];
    const Vector3D face = faceOf(t);
    if (face.LenSquared() == 0.0) continue;
    Vector3D n;
    if (!s.triangleNormals.empty()) {
      n = s.triangleNormals[t];
    } else if (!s.vertexNormals.empty()) {
      n = s.vertexNormals[s.triangles[3 * t]]
              .Plus(s.vertexNormals[s.triangles[3 * t + 1]])
              .Plus(s.vertexNormals[s.triangles[3 * t + 2]]);
    }
    n.Normalize();
    if (n.LenSquared() == 0.0) n = unit(face);
    // Writers disagree on which way their normals point (the pyramid's sides
    // point inward): turn each one to the side of its triangle that looks away
    // from the mesh's centre, unless the triangle lies so flat through the
    // centre that this cannot be told. The side is the triangle's own: a
    // normal tilted out of its plane could point away from the centre while
    // its triangle looks toward it.
    const Vector3D out = pa.Plus(pb).Plus(pc).Times(1.0 / 3.0).Minus(centroid);
    Vector3D outward = unit(face);
    const double d = outward.Dot(out);
    if (d < 0.0) outward.MultiplyBy(-1.0);
    if (std::abs(d) > 1e-9 * out.Length() && n.Dot(outward) < 0.0) n.MultiplyBy(-1.0);
    const auto a = mb.addVertex(pa, n);
    const auto b = mb.addVertex(pb, n);
    const auto c = mb.addVertex(pc, n);
    mb.addTriangle(a, b, c);
  }
  return mb.finish();
}

void appendBytes(std::string& key, const void* data, std::size_t size) {
  key.append(static_cast<const char*>(data), size);
}

void appendVector(std::string& key, const Vector3D& v) {
  const double xyz[3] = {v.X, v.Y, v.Z};
  appendBytes(key, xyz, sizeof xyz);
}

}  // namespace

std::string GeometryKey(const GeometrySpec& s) {
  std::string key;
  key.push_back(static_cast<char>(s.kind));
  switch (s.kind) {
    case GeometrySpec::Kind::Line:
      appendVector(key, s.v[0]);
      appendVector(key, s.v[1]);
      break;
    case GeometrySpec::Kind::Disk:
      for (int i = 0; i < 3; ++i) appendVector(key, s.v[static_cast<std::size_t>(i)]);
      break;
    case GeometrySpec::Kind::Box:
    case GeometrySpec::Kind::Ellipsoid:
      for (const Vector3D& v : s.v) appendVector(key, v);
      break;
    case GeometrySpec::Kind::Cylinder:
    case GeometrySpec::Kind::Cone:
      for (const Vector3D& v : s.v) appendVector(key, v);
      key.push_back(static_cast<char>((s.bottomCap ? 1 : 0) | (s.topCap && s.kind == GeometrySpec::Kind::Cylinder ? 2 : 0)));
      break;
    case GeometrySpec::Kind::Torus:
      for (const Vector3D& v : s.v) appendVector(key, v);
      appendBytes(key, &s.ratio, sizeof s.ratio);
      break;
    case GeometrySpec::Kind::TriMesh: {
      const std::uint64_t counts[4] = {s.triangles.size(), s.points.size(), s.triangleNormals.size(),
                                       s.vertexNormals.size()};
      appendBytes(key, counts, sizeof counts);
      appendBytes(key, s.triangles.data(), s.triangles.size() * sizeof(std::uint32_t));
      for (const Vector3D& p : s.points) appendVector(key, p);
      for (const Vector3D& n : s.triangleNormals) appendVector(key, n);
      for (const Vector3D& n : s.vertexNormals) appendVector(key, n);
      break;
    }
  }
  return key;
}

std::optional<Segment> SegmentOf(const GeometrySpec& spec) {
  constexpr double limit = std::numeric_limits<float>::max();
  Segment s;
  for (int i = 0; i < 3; ++i) {
    const double from[3] = {spec.v[0].X, spec.v[0].Y, spec.v[0].Z};
    const double to[3] = {spec.v[1].X, spec.v[1].Y, spec.v[1].Z};
    if (!(std::abs(from[i]) <= limit && std::abs(to[i]) <= limit)) return std::nullopt;
    s.from[static_cast<std::size_t>(i)] = static_cast<float>(from[i]);
    s.to[static_cast<std::size_t>(i)] = static_cast<float>(to[i]);
  }
  return s;
}

std::shared_ptr<MeshGeometry> TessellateGeometry(const GeometrySpec& spec) {
  switch (spec.kind) {
    case GeometrySpec::Kind::Line: return line(spec);
    case GeometrySpec::Kind::Box: return box(spec);
    case GeometrySpec::Kind::Ellipsoid: return ellipsoid(spec);
    case GeometrySpec::Kind::Cylinder: return cylinder(spec);
    case GeometrySpec::Kind::Cone: return cone(spec);
    case GeometrySpec::Kind::Disk: return disk(spec);
    case GeometrySpec::Kind::Torus: return torus(spec);
    case GeometrySpec::Kind::TriMesh: return triMesh(spec);
  }
  return nullptr;
}
