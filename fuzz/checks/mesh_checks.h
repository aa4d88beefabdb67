#pragma once

#include "framework/3d/shape.h"

#include <string>
#include <string_view>

// What every tessellated shape must satisfy, whatever text it came from.
// Each check returns an empty string when it holds, or what is wrong.

// Finite vertices, indices in range, unit normals on triangle meshes, each
// triangle wound counter-clockwise as seen from the side its normals point to,
// finite bounds that hold every vertex, a radius that reaches the farthest
// vertex. A closed surface must be wound consistently with its normals
// pointing out of the enclosed volume.
std::string CheckMesh(const MeshGeometry& mesh);

// The mesh check for each shape, and colour and ambient coefficient in [0, 1].
std::string CheckShape(const MeshShape& shape);

// An accepted text has shapes that pass CheckShape; a rejected one has none,
// and its error reads "line N: ..." with N a line of the text.
std::string CheckReadResult(std::string_view text, const ShapeParseResult& result);
