#include "mesh_checks.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

struct P3 {
  double x, y, z;
};
P3 operator-(P3 a, P3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
P3 operator+(P3 a, P3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
double dot(P3 a, P3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
P3 cross(P3 a, P3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
double norm(P3 a) { return std::sqrt(dot(a, a)); }
double maxAbs(P3 a) { return std::max({std::abs(a.x), std::abs(a.y), std::abs(a.z)}); }

P3 at(const std::vector<float>& v, std::size_t i) { return {v[3 * i], v[3 * i + 1], v[3 * i + 2]}; }

std::string where(const char* what, std::size_t i) { return std::string(what) + " " + std::to_string(i); }

// Half a float's spacing at magnitude m, with room to spare: how far turning
// the tessellator's doubles into floats may have moved a coordinate.
double floatError(double m) { return m * 1.2e-7 + 1e-37; }

// How far the cross product of two edges of rounded vertices may lie from the
// one before rounding, for edge lengths e1, e2 and coordinates moved by err.
double crossError(double e1, double e2, double err) { return 3.5 * err * (e1 + e2) + 12.0 * err * err; }

// Vertices closer than `eps` become one, so that a closed surface whose seams
// were computed twice is seen as closed.
std::vector<std::uint32_t> weld(const std::vector<float>& pos, double eps) {
  const std::size_t n = pos.size() / 3;
  std::vector<std::uint32_t> id(n);
  using Cell = std::array<std::int64_t, 3>;
  std::map<Cell, std::vector<std::uint32_t>> grid;
  auto cellOf = [&](P3 p) {
    return Cell{static_cast<std::int64_t>(std::floor(p.x / eps)), static_cast<std::int64_t>(std::floor(p.y / eps)),
                static_cast<std::int64_t>(std::floor(p.z / eps))};
  };
  for (std::size_t i = 0; i < n; ++i) {
    const P3 p = at(pos, i);
    const Cell c = cellOf(p);
    id[i] = static_cast<std::uint32_t>(i);
    bool found = false;
    for (std::int64_t dx = -1; dx <= 1 && !found; ++dx) {
      for (std::int64_t dy = -1; dy <= 1 && !found; ++dy) {
        for (std::int64_t dz = -1; dz <= 1 && !found; ++dz) {
          auto it = grid.find(Cell{c[0] + dx, c[1] + dy, c[2] + dz});
          if (it == grid.end()) continue;
          for (std::uint32_t j : it->second) {
            if (maxAbs(at(pos, j) - p) <= eps) {
              id[i] = j;
              found = true;
              break;
            }
          }
        }
      }
    }
    if (!found) grid[c].push_back(static_cast<std::uint32_t>(i));
  }
  return id;
}

// Whether the normals at a triangle's corners lie within a right angle of
// each other. A coarse triangle across a fold sharper than itself (the rim of
// a flat, sheared ellipsoid) has corners that disagree; the tessellator winds
// it by the sum of their normals, which need not be the side away from the
// solid's centre, and it is not judged by that side.
bool cornersAgree(const MeshGeometry& m, std::size_t t) {
  const P3 a = at(m.normals, m.indices[3 * t]), b = at(m.normals, m.indices[3 * t + 1]),
           c = at(m.normals, m.indices[3 * t + 2]);
  return dot(a, b) > 0.0 && dot(b, c) > 0.0 && dot(a, c) > 0.0;
}

// True when no vertex lies on both sides of any face's plane by more than the
// rounding to floats can explain.
bool convex(const MeshGeometry& m, const std::vector<std::array<std::uint32_t, 3>>& faces, double err) {
  const std::size_t n = m.positions.size() / 3;
  for (const auto& f : faces) {
    const P3 a = at(m.positions, f[0]);
    const P3 e1 = at(m.positions, f[1]) - a, e2 = at(m.positions, f[2]) - a;
    const P3 face = cross(e1, e2);
    const double len = norm(face);
    // How far the face's direction may have turned, in radians or so.
    const double turned = 2.0 * crossError(norm(e1), norm(e2), err) / len;
    if (!(turned < 0.5)) continue;  // too small a face to tell its plane
    bool below = false, above = false;
    for (std::size_t i = 0; i < n; ++i) {
      const P3 v = at(m.positions, i) - a;
      const double d = dot(v, face) / len;
      const double tolerance = turned * norm(v) + 3.5 * err;
      below = below || d < -tolerance;
      above = above || d > tolerance;
    }
    if (below && above) return false;
  }
  return true;
}

// For a surface that closes on itself (every edge between welded vertices used
// by two triangles): a convex one of a sphere's topology has every triangle
// facing away from its centre; any one wound consistently (each edge used once in each direction)
// encloses a positive volume. A surface that folds through itself, as a tube
// thicker than its ring is curved does, may be neither and is not judged. Each
// verdict allows for the rounding of the vertices to floats.
std::string checkClosedOrientation(const MeshGeometry& m, double diagonal, double err) {
  const std::size_t triangles = m.indices.size() / 3;
  const std::size_t n = m.positions.size() / 3;
  if (triangles == 0 || n > 4000) return {};
  // Seams computed twice meet within a rounding or two.
  const std::vector<std::uint32_t> id = weld(m.positions, std::max(diagonal * 1e-7, 4.0 * err));
  std::unordered_map<std::uint64_t, int> directed;
  std::vector<std::array<std::uint32_t, 3>> faces;
  for (std::size_t t = 0; t < triangles; ++t) {
    std::array<std::uint32_t, 3> f{id[m.indices[3 * t]], id[m.indices[3 * t + 1]], id[m.indices[3 * t + 2]]};
    if (f[0] == f[1] || f[1] == f[2] || f[0] == f[2]) return {};  // collapsed: no surface to judge
    faces.push_back(f);
    for (int k = 0; k < 3; ++k) {
      const std::uint64_t key = (static_cast<std::uint64_t>(f[static_cast<std::size_t>(k)]) << 32) |
                                f[static_cast<std::size_t>((k + 1) % 3)];
      ++directed[key];
    }
  }
  bool consistent = true;
  for (const auto& [key, uses] : directed) {
    const std::uint64_t reverse = (key << 32) | (key >> 32);
    const auto r = directed.find(reverse);
    const int back = r == directed.end() ? 0 : r->second;
    if (uses + back != 2) return {};  // open or branching: no inside
    if (uses != 1) consistent = false;
  }
  // Only a surface of a sphere's topology can bound a convex solid; a ring's
  // tube can fold over itself into what looks convex from outside.
  std::unordered_map<std::uint32_t, int> corners;
  for (const auto& f : faces) {
    for (const std::uint32_t v : f) ++corners[v];
  }
  const auto euler = static_cast<std::int64_t>(corners.size()) - static_cast<std::int64_t>(faces.size()) / 2;
  P3 c{0, 0, 0};
  for (std::size_t i = 0; i < n; ++i) c = c + at(m.positions, i);
  c = {c.x / static_cast<double>(n), c.y / static_cast<double>(n), c.z / static_cast<double>(n)};
  const double moved = 3.5 * err;  // a vertex less the centre, both rounded
  if (euler == 2 && convex(m, faces, err)) {
    for (std::size_t t = 0; t < faces.size(); ++t) {
      if (!cornersAgree(m, t)) continue;
      const auto& f = faces[t];
      const P3 a = at(m.positions, f[0]), b = at(m.positions, f[1]), d = at(m.positions, f[2]);
      const P3 face = cross(b - a, d - a);
      const P3 mid{(a.x + b.x + d.x) / 3.0 - c.x, (a.y + b.y + d.y) / 3.0 - c.y, (a.z + b.z + d.z) / 3.0 - c.z};
      const double bound = crossError(norm(b - a), norm(d - a), err) * norm(mid) + norm(face) * moved;
      if (dot(face, mid) < -bound) return where("faces the centre of a convex solid: triangle", t);
    }
  }
  if (!consistent) return {};
  // Volume by the divergence theorem, about the vertex centroid.
  double volume = 0.0, bound = 0.0;
  for (const auto& f : faces) {
    const P3 a = at(m.positions, f[0]) - c, b = at(m.positions, f[1]) - c, d = at(m.positions, f[2]) - c;
    volume += dot(a, cross(b, d));
    bound += moved * (norm(b) * norm(d) + norm(a) * norm(d) + norm(a) * norm(b));
  }
  if (volume < -bound) return "closed surface encloses a negative volume: its normals point inward";
  return {};
}

}  // namespace

std::string CheckMesh(const MeshGeometry& m) {
  const bool lines = m.primitive == MeshGeometry::Primitive::Lines;
  if (m.positions.size() % 3 != 0) return "positions are not whole vertices";
  const std::size_t n = m.positions.size() / 3;
  for (std::size_t i = 0; i < m.positions.size(); ++i) {
    if (!std::isfinite(m.positions[i])) return where("non-finite coordinate of vertex", i / 3);
  }
  if (m.indices.size() % (lines ? 2 : 3) != 0) return "indices are not whole primitives";
  for (std::size_t i = 0; i < m.indices.size(); ++i) {
    if (m.indices[i] >= n) return where("index out of range at", i);
  }
  if (lines && !m.normals.empty()) return "a line mesh carries normals";
  if (!lines) {
    if (m.normals.size() != m.positions.size()) return "not one normal per vertex";
    for (std::size_t i = 0; i < n; ++i) {
      const P3 nv = at(m.normals, i);
      if (!std::isfinite(nv.x) || !std::isfinite(nv.y) || !std::isfinite(nv.z)) return where("non-finite normal", i);
      if (std::abs(norm(nv) - 1.0) > 1e-5) return where("normal not of unit length at vertex", i);
    }
  }
  if (!m.boundsMin.IsFinite() || !m.boundsMax.IsFinite()) return "non-finite bounds";
  if (!std::isfinite(m.radius) || m.radius < 0.0) return "radius not a finite length";
  if (n == 0) return {};
  const P3 lo{m.boundsMin.X, m.boundsMin.Y, m.boundsMin.Z};
  const P3 hi{m.boundsMax.X, m.boundsMax.Y, m.boundsMax.Z};
  const double scale = std::max(maxAbs(lo), maxAbs(hi));
  const double slack = floatError(scale) * 2.0;
  double farthest = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const P3 p = at(m.positions, i);
    if (p.x < lo.x - slack || p.y < lo.y - slack || p.z < lo.z - slack || p.x > hi.x + slack ||
        p.y > hi.y + slack || p.z > hi.z + slack) {
      return where("bounds miss vertex", i);
    }
    farthest = std::max(farthest, norm(p));
  }
  if (farthest > m.radius * (1.0 + 1e-6) + slack) return "radius falls short of the farthest vertex";
  if (m.radius > farthest * (1.0 + 1e-6) + slack) return "radius reaches past the farthest vertex";
  if (lines) return {};

  for (std::size_t t = 0; t < m.indices.size() / 3; ++t) {
    const std::uint32_t ia = m.indices[3 * t], ib = m.indices[3 * t + 1], ic = m.indices[3 * t + 2];
    const P3 a = at(m.positions, ia), b = at(m.positions, ib), c = at(m.positions, ic);
    const P3 e1 = b - a, e2 = c - a;
    const P3 face = cross(e1, e2);
    const P3 normals = at(m.normals, ia) + at(m.normals, ib) + at(m.normals, ic);
    // Before rounding the winding agreed with the normals; rounding may have
    // turned a thin triangle by no more than this.
    const double err = floatError(std::max({maxAbs(a), maxAbs(b), maxAbs(c)}));
    const double turned = crossError(norm(e1), norm(e2), err) + 1e-6 * norm(face);
    if (dot(face, normals) < -turned * norm(normals)) return where("wound against its normals: triangle", t);
  }
  const double diagonal = norm(hi - lo);
  if (diagonal > 0.0) return checkClosedOrientation(m, diagonal, floatError(scale));
  return {};
}

std::string CheckShape(const MeshShape& shape) {
  if (shape.geometry && shape.segment) return "shape with both a geometry and a segment";
  if (!shape.geometry && !shape.segment) return "shape without geometry";
  for (const float v : {shape.red, shape.green, shape.blue, shape.ambientCoefficient}) {
    if (!(v >= 0.0f && v <= 1.0f)) return "colour or ambient coefficient outside [0, 1]";
  }
  if (shape.segment) {
    for (const auto* end : {&shape.segment->from, &shape.segment->to}) {
      for (const float v : *end) {
        if (!std::isfinite(v)) return "segment end not finite";
      }
    }
    return {};
  }
  return CheckMesh(*shape.geometry);
}

std::string CheckReadResult(std::string_view text, const ShapeParseResult& result) {
  if (result.ok()) {
    if (result.shapes.empty()) return "accepted text without shapes";
    for (std::size_t i = 0; i < result.shapes.size(); ++i) {
      if (!result.shapes[i]) return where("null shape", i);
      if (std::string problem = CheckShape(*result.shapes[i]); !problem.empty()) {
        return where("shape", i) + ": " + problem;
      }
    }
    return {};
  }
  if (!result.shapes.empty()) return "rejected text with shapes: " + result.error;
  // CR, LF and CRLF each end a line.
  std::size_t lines = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++lines;
  }
  const std::string& e = result.error;
  std::size_t digits = 5;
  while (digits < e.size() && e[digits] >= '0' && e[digits] <= '9') ++digits;
  if (e.rfind("line ", 0) != 0 || digits == 5 || e.compare(digits, 2, ": ") != 0 || digits - 5 > 12) {
    return "error names no line: " + e;
  }
  const std::size_t line = std::stoull(e.substr(5, digits - 5));
  if (line < 1 || line > lines) return "error names line " + std::to_string(line) + " of a text of " +
                                        std::to_string(lines) + ": " + e;
  return {};
}
