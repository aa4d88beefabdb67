#pragma once

#include "framework/3d/shape.h"

#include <functional>
#include <memory>
#include <string>

// The 3DMF text reader: a shape text in, the shapes it describes out (the
// types are shape.h's). How a geometry becomes triangles is
// threedmf_tessellate.h's; which texts and meshes are shared, shape_cache.cpp's.

struct GeometrySpec;

// Reads a 3DMF text; identical texts are read once and shared through a
// cache (shape_cache.cpp), and texts that differ only in their attributes
// share one MeshGeometry. Texts of segments alone are not kept in the cache,
// since a scene holds a million different ones; only a small table of the
// latest (256, by hash) shares the ones an outline repeats. The cache and the
// table hold weak references: what no element uses any more is read anew.
// Thread-safe. Errors read "line N: ..." and are not cached.
ShapeParseResult ReadShapeText(const std::string& text);
// Reads a 3DMF text without the cache (for benchmarks and tests).
ShapeParseResult ReadShapeTextUncached(const std::string& text);
// Drops every cached shape (tests).
void ClearShapeCache();

// Reads a 3DMF text, each shape's geometry from `geometryFor` (which returns
// null for coordinates beyond float range; the text is then refused).
using GeometrySource = std::function<std::shared_ptr<const MeshGeometry>(const GeometrySpec&)>;
ShapeParseResult ReadShapeTextWith(const std::string& text, const GeometrySource& geometryFor);
