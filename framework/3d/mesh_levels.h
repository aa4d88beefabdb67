#pragma once

#include "framework/math/vector3d.h"

#include <cstdint>
#include <vector>

// Coarser stand-ins of a fine lit mesh, drawn when it covers few pixels on
// screen. Vertices are interleaved, six floats each: position, then normal.
struct LevelMesh {
  std::vector<float> vertices;
  std::vector<std::uint32_t> indices;
};

// Meshes with fewer triangles than this are cheap already and keep their edges.
inline constexpr std::size_t kMinTrianglesForLevels = 150;

// The levels below the full mesh, finest first: vertex clusterings on grids of
// 8 and then 3 cells across the box (boundsMin, boundsMax), and last an
// octahedron spanning the box. None for a mesh under kMinTrianglesForLevels
// triangles; the list stops where a level would have no triangle left.
std::vector<LevelMesh> CoarserLevels(const std::vector<float>& vertices, const std::vector<std::uint32_t>& indices,
                                     const Vector3D& boundsMin, const Vector3D& boundsMax);

// Vertex clustering: vertices in one cell of a grid of `cells` across the
// box's longest side merge into their mean, with the mean normal; triangles
// that collapse are dropped. Empty for an empty or non-finite box.
LevelMesh ClusterVertices(const std::vector<float>& vertices, const std::vector<std::uint32_t>& indices,
                          const Vector3D& boundsMin, const Vector3D& boundsMax, int cells);

// An octahedron about the centre of the box, its six vertices on the box's
// axes, normals pointing away from the centre, eight triangles. It reaches
// sqrt(pi / 2) times the box's half-sides: seen along an axis it then covers
// as many pixels as the ellipsoid inscribed in the box, from other directions
// a little fewer. Empty for a non-finite box.
LevelMesh BoxOctahedron(const Vector3D& boundsMin, const Vector3D& boundsMax);
