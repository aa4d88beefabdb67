// The coarser stand-ins of fine meshes, checked on their own geometry.
#include "framework/3d/mesh_levels.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <set>

namespace {

// A latitude-longitude sphere of radius r about c: rings x segments quads,
// interleaved positions and outward unit normals.
LevelMesh uvSphere(const Vector3D& c, double r, int rings, int segments) {
  LevelMesh m;
  for (int i = 0; i <= rings; ++i) {
    const double theta = std::numbers::pi * i / rings;
    for (int j = 0; j < segments; ++j) {
      const double phi = 2.0 * std::numbers::pi * j / segments;
      const double n[3] = {std::sin(theta) * std::cos(phi), std::sin(theta) * std::sin(phi), std::cos(theta)};
      m.vertices.insert(m.vertices.end(),
                        {static_cast<float>(c.X + r * n[0]), static_cast<float>(c.Y + r * n[1]),
                         static_cast<float>(c.Z + r * n[2]), static_cast<float>(n[0]), static_cast<float>(n[1]),
                         static_cast<float>(n[2])});
    }
  }
  auto at = [&](int i, int j) { return static_cast<std::uint32_t>(i * segments + (j % segments)); };
  for (int i = 0; i < rings; ++i) {
    for (int j = 0; j < segments; ++j) {
      m.indices.insert(m.indices.end(), {at(i, j), at(i + 1, j), at(i + 1, j + 1)});
      m.indices.insert(m.indices.end(), {at(i, j), at(i + 1, j + 1), at(i, j + 1)});
    }
  }
  return m;
}

std::size_t triangles(const LevelMesh& m) { return m.indices.size() / 3; }

// Indices in range, no triangle with a repeated vertex, finite unit normals.
void expectSound(const LevelMesh& m) {
  const std::size_t n = m.vertices.size() / 6;
  ASSERT_EQ(m.vertices.size() % 6, 0u);
  ASSERT_EQ(m.indices.size() % 3, 0u);
  for (std::size_t i = 0; i < m.indices.size(); i += 3) {
    const auto a = m.indices[i], b = m.indices[i + 1], c = m.indices[i + 2];
    ASSERT_LT(std::max({a, b, c}), n);
    EXPECT_TRUE(a != b && b != c && a != c) << "triangle " << i / 3;
  }
  for (std::size_t v = 0; v < n; ++v) {
    const float* p = &m.vertices[v * 6];
    for (int k = 0; k < 6; ++k) ASSERT_TRUE(std::isfinite(p[k]));
    EXPECT_NEAR(std::sqrt(p[3] * p[3] + p[4] * p[4] + p[5] * p[5]), 1.0, 1e-5) << "vertex " << v;
  }
}

}  // namespace

TEST(MeshLevels, ClusteringMergesNearbyVerticesIntoASoundCoarserSphere) {
  const Vector3D c(5, -3, 2);
  const double r = 10.0;
  const LevelMesh fine = uvSphere(c, r, 16, 32);
  const Vector3D lo(c.X - r, c.Y - r, c.Z - r), hi(c.X + r, c.Y + r, c.Z + r);
  const LevelMesh eight = ClusterVertices(fine.vertices, fine.indices, lo, hi, 8);
  const LevelMesh three = ClusterVertices(fine.vertices, fine.indices, lo, hi, 3);
  expectSound(eight);
  expectSound(three);
  EXPECT_LT(triangles(eight), triangles(fine) / 2);
  EXPECT_LT(triangles(three), triangles(eight));
  EXPECT_GT(triangles(three), 0u);
  // Each merged vertex is a mean of sphere points no more than a cell apart:
  // within a cell of the surface, and its normal still points outward.
  for (const LevelMesh* m : {&eight, &three}) {
    const double cell = 2.0 * r / (m == &eight ? 8 : 3);
    for (std::size_t v = 0; v < m->vertices.size() / 6; ++v) {
      const float* p = &m->vertices[v * 6];
      const Vector3D out(p[0] - c.X, p[1] - c.Y, p[2] - c.Z);
      EXPECT_GT(out.Length(), r - cell);
      EXPECT_LE(out.Length(), r + 1e-4);
      EXPECT_GT(out.Dot(Vector3D(p[3], p[4], p[5])), 0.0) << "vertex " << v;
    }
  }
}

TEST(MeshLevels, AGridFinerThanTheMeshKeepsEveryTriangle) {
  const LevelMesh fine = uvSphere(Vector3D(), 1.0, 4, 8);
  // Distinct vertices of this mesh are at least 0.38 apart; cells of about
  // 2/1000 part them all. The box is off centre so that no vertex lies on a
  // cell's border, where rounding could part a pole's copies.
  const LevelMesh same =
      ClusterVertices(fine.vertices, fine.indices, Vector3D(-1.0001, -1.0001, -1.0001), Vector3D(1.0002, 1.0002, 1.0002), 1000);
  // The poles repeat one point per segment and merge; every other triangle stays.
  std::set<std::uint32_t> used(same.indices.begin(), same.indices.end());
  EXPECT_EQ(same.vertices.size() / 6, fine.vertices.size() / 6 - 2 * 8 + 2);
  EXPECT_EQ(triangles(same), triangles(fine) - 2 * 8);
  EXPECT_EQ(used.size(), same.vertices.size() / 6);
}

TEST(MeshLevels, EmptyOrNonFiniteBoxesGiveNoLevel) {
  const LevelMesh fine = uvSphere(Vector3D(), 1.0, 16, 32);
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(ClusterVertices(fine.vertices, fine.indices, Vector3D(1, 1, 1), Vector3D(1, 1, 1), 8).indices.empty());
  EXPECT_TRUE(ClusterVertices(fine.vertices, fine.indices, Vector3D(), Vector3D(inf, 1, 1), 8).indices.empty());
  EXPECT_TRUE(BoxOctahedron(Vector3D(), Vector3D(inf, 1, 1)).indices.empty());
  EXPECT_TRUE(BoxOctahedron(Vector3D(NAN, 0, 0), Vector3D(1, 1, 1)).indices.empty());
  EXPECT_TRUE(CoarserLevels(fine.vertices, fine.indices, Vector3D(), Vector3D()).empty());
}

TEST(MeshLevels, TheOctahedronSpansItsBoxAsTheInscribedEllipsoidDoes) {
  const LevelMesh o = BoxOctahedron(Vector3D(-1, 0, 10), Vector3D(3, 8, 12));
  expectSound(o);
  ASSERT_EQ(o.vertices.size() / 6, 6u);
  ASSERT_EQ(triangles(o), 8u);
  const double reach = std::sqrt(std::numbers::pi / 2.0);
  const double centre[3] = {1, 4, 11}, half[3] = {2, 4, 1};
  for (int axis = 0; axis < 3; ++axis) {
    for (int s = 0; s < 2; ++s) {
      const float* p = &o.vertices[(2 * axis + s) * 6];
      const double sign = s == 0 ? 1.0 : -1.0;
      for (int k = 0; k < 3; ++k) {
        const double want = k == axis ? centre[k] + sign * reach * half[k] : centre[k];
        EXPECT_NEAR(p[k], want, 1e-5) << axis << " " << k;
        EXPECT_EQ(p[3 + k], k == axis ? sign : 0.0);
      }
    }
  }
  // Every triangle takes one end of each axis: the eight octants, each once.
  std::set<std::uint32_t> octants;
  for (std::size_t i = 0; i < o.indices.size(); i += 3) {
    ASSERT_LT(o.indices[i], 2u);
    ASSERT_TRUE(o.indices[i + 1] / 2 == 1 && o.indices[i + 2] / 2 == 2);
    octants.insert(o.indices[i] * 4 + (o.indices[i + 1] - 2) * 2 + (o.indices[i + 2] - 4));
  }
  EXPECT_EQ(octants.size(), 8u);
}

TEST(MeshLevels, OnlyFineMeshesGetLevelsEachCoarserThanTheLast) {
  const LevelMesh small = uvSphere(Vector3D(), 1.0, 6, 12);  // 144 triangles
  ASSERT_LT(triangles(small), kMinTrianglesForLevels);
  EXPECT_TRUE(CoarserLevels(small.vertices, small.indices, Vector3D(-1, -1, -1), Vector3D(1, 1, 1)).empty());

  const LevelMesh fine = uvSphere(Vector3D(), 1.0, 16, 32);
  const std::vector<LevelMesh> levels = CoarserLevels(fine.vertices, fine.indices, Vector3D(-1, -1, -1),
                                                      Vector3D(1, 1, 1));
  ASSERT_EQ(levels.size(), 3u);
  std::size_t last = triangles(fine);
  for (const LevelMesh& level : levels) {
    expectSound(level);
    EXPECT_LT(triangles(level), last);
    last = triangles(level);
  }
  EXPECT_EQ(triangles(levels.back()), 8u);  // the octahedron
}
