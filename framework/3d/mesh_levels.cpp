#include "framework/3d/mesh_levels.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <unordered_map>

namespace {

// Grids of these many cells across give the clustered levels.
constexpr int kLevelCells[] = {8, 3};
constexpr std::size_t kStride = 6;

}  // namespace

std::vector<LevelMesh> CoarserLevels(const std::vector<float>& vertices, const std::vector<std::uint32_t>& indices,
                                     const Vector3D& boundsMin, const Vector3D& boundsMax) {
  std::vector<LevelMesh> levels;
  if (indices.size() / 3 < kMinTrianglesForLevels) return levels;
  for (int cells : kLevelCells) {
    LevelMesh coarse = ClusterVertices(vertices, indices, boundsMin, boundsMax, cells);
    if (coarse.indices.empty()) return levels;
    levels.push_back(std::move(coarse));
  }
  LevelMesh dot = BoxOctahedron(boundsMin, boundsMax);
  if (!dot.indices.empty()) levels.push_back(std::move(dot));
  return levels;
}

LevelMesh ClusterVertices(const std::vector<float>& vertices, const std::vector<std::uint32_t>& indices,
                          const Vector3D& boundsMin, const Vector3D& boundsMax, int cells) {
  LevelMesh out;
  const std::size_t vertexCount = vertices.size() / kStride;
  const double extent = std::max({boundsMax.X - boundsMin.X, boundsMax.Y - boundsMin.Y, boundsMax.Z - boundsMin.Z});
  if (!(extent > 0.0) || !std::isfinite(extent) || cells <= 0) return out;
  const double cell = extent / cells;
  std::unordered_map<std::uint64_t, std::uint32_t> clusterOf;
  std::vector<std::uint32_t> remap(vertexCount);
  std::vector<double> sums;  // position and normal sums, then the count
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const float* p = &vertices[v * kStride];
    auto at = [&](double x, double lo) {
      return static_cast<std::uint64_t>(std::clamp(std::floor((x - lo) / cell), 0.0, static_cast<double>(cells)));
    };
    const std::uint64_t key = (at(p[0], boundsMin.X) * 1024u + at(p[1], boundsMin.Y)) * 1024u + at(p[2], boundsMin.Z);
    auto [it, added] = clusterOf.emplace(key, static_cast<std::uint32_t>(sums.size() / 7));
    if (added) sums.insert(sums.end(), 7, 0.0);
    remap[v] = it->second;
    double* s = &sums[it->second * 7];
    for (std::size_t k = 0; k < kStride; ++k) s[k] += p[k];
    s[6] += 1.0;
  }
  const std::size_t clusters = sums.size() / 7;
  out.vertices.resize(clusters * kStride);
  for (std::size_t c = 0; c < clusters; ++c) {
    const double* s = &sums[c * 7];
    for (int k = 0; k < 3; ++k) out.vertices[c * kStride + k] = static_cast<float>(s[k] / s[6]);
    const double len = std::sqrt(s[3] * s[3] + s[4] * s[4] + s[5] * s[5]);
    for (int k = 3; k < 6; ++k) out.vertices[c * kStride + k] = len > 0.0 ? static_cast<float>(s[k] / len) : 0.0f;
  }
  for (std::size_t i = 0; i + 3 <= indices.size(); i += 3) {
    if (indices[i] >= vertexCount || indices[i + 1] >= vertexCount || indices[i + 2] >= vertexCount) continue;
    const std::uint32_t a = remap[indices[i]], b = remap[indices[i + 1]], c = remap[indices[i + 2]];
    if (a == b || b == c || a == c) continue;
    out.indices.insert(out.indices.end(), {a, b, c});
  }
  return out;
}

LevelMesh BoxOctahedron(const Vector3D& boundsMin, const Vector3D& boundsMax) {
  LevelMesh out;
  const double reach = std::sqrt(std::numbers::pi / 2.0) / 2.0;
  const double c[3] = {(boundsMin.X + boundsMax.X) / 2, (boundsMin.Y + boundsMax.Y) / 2,
                       (boundsMin.Z + boundsMax.Z) / 2};
  const double h[3] = {(boundsMax.X - boundsMin.X) * reach, (boundsMax.Y - boundsMin.Y) * reach,
                       (boundsMax.Z - boundsMin.Z) * reach};
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(c[i]) || !std::isfinite(h[i])) return out;
  }
  for (int axis = 0; axis < 3; ++axis) {
    for (int sign : {1, -1}) {
      float v[kStride] = {};
      for (int k = 0; k < 3; ++k) v[k] = static_cast<float>(c[k]);
      v[axis] = static_cast<float>(c[axis] + sign * h[axis]);
      v[3 + axis] = static_cast<float>(sign);
      out.vertices.insert(out.vertices.end(), v, v + kStride);
    }
  }
  // Vertex 2a+0 is +axis a, 2a+1 is -axis a.
  for (std::uint32_t x : {0u, 1u}) {
    for (std::uint32_t y : {2u, 3u}) {
      for (std::uint32_t z : {4u, 5u}) out.indices.insert(out.indices.end(), {x, y, z});
    }
  }
  return out;
}
