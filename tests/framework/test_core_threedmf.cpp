#include "framework/3d/element3d.h"
#include "framework/3d/threedmf.h"
#include "framework/text/text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

const std::string CR = "\r";

std::string tabs(int n) { return std::string(static_cast<std::size_t>(n), '\t'); }

std::string vec(const Vector3D& v) { return Str(v.X) + " " + Str(v.Y) + " " + Str(v.Z); }

std::string colourLine(double r, double g, double b) {
  return "DiffuseColor ( " + Str(r) + " " + Str(g) + " " + Str(b) + " )";
}

// A shape text laid out as the scene objects write it: CR after every line.
std::string sceneText(const std::string& keyword, const std::vector<std::string>& fields, const std::string& colour,
                      bool capsForm = false) {
  std::string t = "3DMetafile ( 1 6 Normal tableofcontents0> )" + CR;
  t += tabs(1) + "Container (" + CR;
  t += tabs(2) + keyword + " (" + CR;
  for (const auto& f : fields) t += tabs(3) + f + CR;
  t += tabs(2) + ")" + CR;
  if (capsForm) {
    t += tabs(2) + "Caps ( Bottom | Top )" + CR;
    t += tabs(2) + "Container (" + CR;
    t += tabs(3) + "AttributeSet ( )" + CR;
    t += tabs(3) + colour + CR;
    t += tabs(2) + ")" + CR;
  } else {
    t += tabs(2) + "AttributeSet ( )" + CR;
    t += tabs(2) + colour + CR;
  }
  t += tabs(1) + ")" + CR;
  return t;
}

std::string boxText(double r = 0, double g = 0, double b = 1) {
  return sceneText("Box", {"1 0 0", "0 0 1", "0 -1 0", "-0.5 0.5 -0.5"}, colourLine(r, g, b));
}

std::string sphereText(double radius, double r = 1, double g = 0, double b = 0) {
  const std::string s = Str(radius);
  return sceneText("Ellipsoid", {"0 0 " + s, s + " 0 0", "0 " + s + " 0", "0 0 0", "0 1", "0 1"},
                   colourLine(r, g, b));
}

std::string roundText(const std::string& keyword) {
  return sceneText(keyword, {"0 0 2", "0 1.5 0", "-1.5 0 0", "0 0 0", "0 1", "0 1"}, colourLine(0, 0, 1), true);
}

// The pyramid of default arguments: its own frame, CR before each line after
// the first and none at the end.
std::string pyramidText(double r = 1, double g = 0, double b = 0) {
  const Vector3D p[5] = {{0, -0.5, 0.5}, {0, 0.5, 0.5}, {0, 0.5, -0.5}, {0, -0.5, -0.5}, {1, 0, 0}};
  const double s = 1.0 / std::sqrt(5.0);
  const Vector3D n30(-s, 2 * s, 0), n23(-s, 0, 2 * s), nb(-1, 0, 0), n12(-s, -2 * s, 0), n01(-s, 0, -2 * s);
  std::vector<std::string> lines = {"3DMetafile ( 1 6 Normal tableofcontents0> )",
                                    tabs(1) + "trimesh0:",
                                    tabs(1) + "Container (",
                                    tabs(2) + "TriMesh (",
                                    tabs(3) + "6 1 0 0 5 0",
                                    tabs(3) + "# triangles"};
  for (const char* tri : {" 3 4 0", " 2 4 3", " 0 3 1", " 1 3 2", " 1 4 2", " 0 4 1"}) lines.push_back(tabs(3) + tri);
  lines.push_back(tabs(3) + "# verticies");
  for (const auto& v : p) lines.push_back(tabs(3) + " " + vec(v));
  lines.push_back(tabs(3) + "# bounding box");
  lines.push_back(tabs(3) + " " + vec({0, -0.5, -0.5}) + " " + vec({1, 0.5, 0.5}) + " False");
  lines.push_back(tabs(2) + ")");
  lines.push_back(tabs(2) + "AttributeArray ( 3 0 0 0 0");
  lines.push_back(tabs(3) + "# triangle normals");
  for (const auto& n : {n30, n23, nb, nb, n12, n01}) lines.push_back(tabs(3) + " " + vec(n));
  lines.push_back(tabs(2) + ")");
  lines.push_back(tabs(2) + "attributeSet0:");
  lines.push_back(tabs(2) + "Container (");
  lines.push_back(tabs(3) + "AttributeSet ( )");
  lines.push_back(tabs(3) + "AmbientCoefficient ( 0.5 )");
  lines.push_back(tabs(3) + "DiffuseColor(  " + Str(r) + " " + Str(g) + " " + Str(b) + " )");
  lines.push_back(tabs(2) + ")");
  lines.push_back(tabs(1) + ")");
  std::string t = lines[0];
  for (std::size_t i = 1; i < lines.size(); ++i) t += CR + lines[i];
  return t;
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
  for (std::size_t at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size())) {
    s.replace(at, from.size(), to);
  }
  return s;
}

// The one geometry of a result; it stays alive with the returned pointer.
std::shared_ptr<const MeshGeometry> onlyGeometry(const ShapeParseResult& r) {
  EXPECT_TRUE(r.ok()) << r.error;
  EXPECT_EQ(r.shapes.size(), 1u);
  return r.shapes.empty() ? std::make_shared<const MeshGeometry>() : r.shapes[0]->geometry;
}

Vector3D vertex(const MeshGeometry& g, std::size_t i) {
  return {g.positions[3 * i], g.positions[3 * i + 1], g.positions[3 * i + 2]};
}
Vector3D normal(const MeshGeometry& g, std::size_t i) {
  return {g.normals[3 * i], g.normals[3 * i + 1], g.normals[3 * i + 2]};
}

void expectBounds(const MeshGeometry& g, const Vector3D& lo, const Vector3D& hi, double tol = 1e-5) {
  EXPECT_NEAR(g.boundsMin.X, lo.X, tol);
  EXPECT_NEAR(g.boundsMin.Y, lo.Y, tol);
  EXPECT_NEAR(g.boundsMin.Z, lo.Z, tol);
  EXPECT_NEAR(g.boundsMax.X, hi.X, tol);
  EXPECT_NEAR(g.boundsMax.Y, hi.Y, tol);
  EXPECT_NEAR(g.boundsMax.Z, hi.Z, tol);
}

// For a convex solid around `centre`: unit normals pointing away from it, and
// every triangle wound counter-clockwise seen from the side its normals face.
void expectOutwardConvex(const MeshGeometry& g, const Vector3D& centre) {
  ASSERT_EQ(g.primitive, MeshGeometry::Primitive::Triangles);
  ASSERT_EQ(g.normals.size(), g.positions.size());
  ASSERT_EQ(g.indices.size() % 3, 0u);
  for (std::size_t i = 0; i < g.positions.size() / 3; ++i) {
    EXPECT_NEAR(normal(g, i).Length(), 1.0, 1e-5);
  }
  for (std::size_t k = 0; k < g.indices.size(); k += 3) {
    const Vector3D a = vertex(g, g.indices[k]), b = vertex(g, g.indices[k + 1]), c = vertex(g, g.indices[k + 2]);
    const Vector3D face = b.Minus(a).Cross(c.Minus(a));
    const Vector3D n = normal(g, g.indices[k]);
    EXPECT_GT(face.Dot(n), 0.0) << "triangle " << k / 3 << " wound against its normal";
    const Vector3D mid = a.Plus(b).Plus(c).Times(1.0 / 3.0).Minus(centre);
    EXPECT_GT(n.Dot(mid), -1e-6) << "triangle " << k / 3 << " faces inward";
  }
}

}  // namespace

TEST(CoreThreeDmf, BoxAndEllipsoidGeometry) {
  const auto r = ReadShapeTextUncached(boxText());
  const auto boxHeld = onlyGeometry(r);
  const MeshGeometry& box = *boxHeld;
  expectBounds(box, {-0.5, -0.5, -0.5}, {0.5, 0.5, 0.5});
  EXPECT_EQ(box.indices.size(), 36u);
  EXPECT_NEAR(box.radius, std::sqrt(0.75), 1e-6);
  expectOutwardConvex(box, {0, 0, 0});
  EXPECT_FLOAT_EQ(r.shapes[0]->blue, 1.0f);
  EXPECT_FLOAT_EQ(r.shapes[0]->red, 0.0f);

  // The lattice dot: edges along +x, +y, +z from the corner (-1.5, -1.5, -1.5).
  const auto dot = ReadShapeTextUncached(
      sceneText("Box", {"3 0 0", "0 3 0", "0 0 3", "-1.5 -1.5 -1.5"}, colourLine(0, 1, 0)));
  expectBounds(*onlyGeometry(dot), {-1.5, -1.5, -1.5}, {1.5, 1.5, 1.5});
  expectOutwardConvex(*onlyGeometry(dot), {0, 0, 0});

  // Semi-axes 3, 1, 2 along x, y, z; the left-handed order still faces out.
  for (const auto& fields : {std::vector<std::string>{"3 0 0", "0 1 0", "0 0 2", "0 0 0", "0 1", "0 1"},
                             std::vector<std::string>{"3 0 0", "0 0 2", "0 1 0", "0 0 0", "0 1", "0 1"}}) {
    const auto e = ReadShapeTextUncached(sceneText("Ellipsoid", fields, colourLine(1, 1, 1)));
    const auto gHeld = onlyGeometry(e);
    const MeshGeometry& g = *gHeld;
    expectBounds(g, {-3, -1, -2}, {3, 1, 2});
    EXPECT_NEAR(g.radius, 3.0, 1e-6);
    expectOutwardConvex(g, {0, 0, 0});
    EXPECT_LT(g.positions.size() / 3, 400u);  // modest: drawn tens of thousands of times
  }
  const auto sphereHeld = onlyGeometry(ReadShapeTextUncached(sphereText(2.5)));
  const MeshGeometry& sphere = *sphereHeld;
  for (std::size_t i = 0; i < sphere.positions.size() / 3; ++i) {
    ASSERT_NEAR(vertex(sphere, i).Length(), 2.5, 1e-5);
  }
}

TEST(CoreThreeDmf, OnlyRoundEllipsoidsAreMarkedAsSpheresWithTheirCentreAndRadius) {
  // Equal axes at right angles, in either order and turned about any axis: a sphere.
  const double c = std::sqrt(0.5);
  const struct {
    std::vector<std::string> fields;
    bool sphere;
    Vector3D centre;
    double radius;
  } cases[] = {
      {{"0 0 2", "2 0 0", "0 2 0", "1 -2 3", "0 1", "0 1"}, true, {1, -2, 3}, 2.0},
      {{"0 0 2", "0 2 0", "2 0 0", "0 0 0", "0 1", "0 1"}, true, {0, 0, 0}, 2.0},
      {{vec({3 * c, 3 * c, 0}), vec({-3 * c, 3 * c, 0}), "0 0 3", "0 0 0", "0 1", "0 1"}, true, {0, 0, 0}, 3.0},
      // Unequal axes, equal axes not at right angles, a flat one: ellipsoids only.
      {{"0 0 2", "2 0 0", "0 2.1 0", "0 0 0", "0 1", "0 1"}, false, {}, 0.0},
      {{"0 0 2", "2 0 0", vec({2 * c, 2 * c, 0}), "0 0 0", "0 1", "0 1"}, false, {}, 0.0},
      {{"0 0 0", "0 0 0", "0 0 0", "0 0 0", "0 1", "0 1"}, false, {}, 0.0},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.fields[0] + " / " + k.fields[1] + " / " + k.fields[2]);
    const auto r = ReadShapeTextUncached(sceneText("Ellipsoid", k.fields, colourLine(1, 0, 0)));
    if (!r.ok() || r.shapes.empty()) {
      EXPECT_FALSE(k.sphere) << r.error;
      continue;
    }
    const MeshGeometry& g = *r.shapes[0]->geometry;
    EXPECT_EQ(g.isSphere, k.sphere);
    if (!k.sphere) continue;
    EXPECT_NEAR(g.sphereRadius, k.radius, 1e-9);
    EXPECT_NEAR(g.sphereCentre.Minus(k.centre).Length(), 0.0, 1e-12);
    // The mesh lies on that sphere.
    for (std::size_t i = 0; i < g.positions.size() / 3; ++i) {
      ASSERT_NEAR(vertex(g, i).Minus(k.centre).Length(), k.radius, 1e-5);
    }
  }
  // Boxes and the rest are never spheres.
  EXPECT_FALSE(onlyGeometry(ReadShapeTextUncached(boxText()))->isSphere);
  EXPECT_FALSE(onlyGeometry(ReadShapeTextUncached(roundText("Cylinder")))->isSphere);
}

TEST(CoreThreeDmf, CylinderConeDiskTorusAndLine) {
  const auto cylHeld = onlyGeometry(ReadShapeTextUncached(roundText("Cylinder")));
  const MeshGeometry& cyl = *cylHeld;
  expectBounds(cyl, {-1.5, -1.5, 0}, {1.5, 1.5, 2});
  EXPECT_EQ(cyl.indices.size() / 3, 48u + 48u);  // side and two caps
  expectOutwardConvex(cyl, {0, 0, 1});

  const auto coneHeld = onlyGeometry(ReadShapeTextUncached(roundText("Cone")));
  const MeshGeometry& cone = *coneHeld;
  expectBounds(cone, {-1.5, -1.5, 0}, {1.5, 1.5, 2});
  EXPECT_EQ(cone.indices.size() / 3, 24u + 24u);  // side and the base; no top cap on a cone
  expectOutwardConvex(cone, {0, 0, 0.5});

  // Without Caps the cylinder is an open tube.
  std::string open = replaceAll(roundText("Cylinder"), "\t\tCaps ( Bottom | Top )\r", "");
  EXPECT_EQ(onlyGeometry(ReadShapeTextUncached(open))->indices.size() / 3, 48u);

  const auto diskHeld = onlyGeometry(ReadShapeTextUncached(
      sceneText("Disk", {"0 1 0", "-1 0 0", "0 0 0", "0 1", "0 1"}, colourLine(1, 0.5, 0))));
  const MeshGeometry& disk = *diskHeld;
  expectBounds(disk, {-1, -1, 0}, {1, 1, 0});
  for (std::size_t i = 0; i < disk.positions.size() / 3; ++i) {
    EXPECT_NEAR(normal(disk, i).Z, 1.0, 1e-6);  // faces major x minor
  }
  expectOutwardConvex(disk, {0, 0, -1});

  const auto ringHeld = onlyGeometry(ReadShapeTextUncached(
      sceneText("Torus", {"0 0 2", "10 0 0", "0 10 0", "0 0 0", "1", "0 1", "0 1"}, colourLine(1, 1, 0))));
  const MeshGeometry& ring = *ringHeld;
  expectBounds(ring, {-12, -12, -2}, {12, 12, 2}, 1e-4);
  EXPECT_NEAR(ring.radius, 12.0, 1e-4);
  // Normals point away from the tube's centre line.
  for (std::size_t i = 0; i < ring.positions.size() / 3; ++i) {
    const Vector3D p = vertex(ring, i);
    Vector3D c(p.X, p.Y, 0);
    c.Normalize();
    EXPECT_GT(normal(ring, i).Dot(p.Minus(c.Times(10))), 0.0);
  }

  // A line is kept as its two points, not tessellated. The scene's line
  // writes colour components up to 20: they are clamped.
  const auto line = ReadShapeTextUncached(sceneText("Line", {"0 0 0", "3 -4 0"}, colourLine(20, 0, 10.0392)));
  ASSERT_TRUE(line.ok()) << line.error;
  ASSERT_EQ(line.shapes.size(), 1u);
  EXPECT_EQ(line.shapes[0]->geometry, nullptr);
  ASSERT_TRUE(line.shapes[0]->segment.has_value());
  EXPECT_EQ(line.shapes[0]->segment->from, (std::array<float, 3>{0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(line.shapes[0]->segment->to, (std::array<float, 3>{3.0f, -4.0f, 0.0f}));
  EXPECT_NEAR(line.shapes[0]->Radius(), 5.0, 1e-9);
  EXPECT_FLOAT_EQ(line.shapes[0]->red, 1.0f);
  EXPECT_FLOAT_EQ(line.shapes[0]->green, 0.0f);
  EXPECT_FLOAT_EQ(line.shapes[0]->blue, 1.0f);
}

TEST(CoreThreeDmf, PyramidTriMesh) {
  const std::string text = pyramidText(1, 0, 0);
  ASSERT_EQ(text.back(), ')');
  const auto r = ReadShapeTextUncached(text);
  const auto gHeld = onlyGeometry(r);
  const MeshGeometry& g = *gHeld;
  EXPECT_FLOAT_EQ(r.shapes[0]->ambientCoefficient, 0.5f);
  EXPECT_FLOAT_EQ(r.shapes[0]->red, 1.0f);
  EXPECT_FLOAT_EQ(r.shapes[0]->green, 0.0f);
  ASSERT_EQ(g.indices.size(), 18u);
  expectBounds(g, {0, -0.5, -0.5}, {1, 0.5, 0.5});
  // Every mesh vertex is one of the five points.
  const Vector3D pts[5] = {{0, -0.5, 0.5}, {0, 0.5, 0.5}, {0, 0.5, -0.5}, {0, -0.5, -0.5}, {1, 0, 0}};
  for (std::size_t i = 0; i < g.positions.size() / 3; ++i) {
    bool found = false;
    for (const auto& p : pts) found = found || vertex(g, i).Minus(p).Length() < 1e-6;
    EXPECT_TRUE(found) << "vertex " << i;
  }
  // The written side normals point inward; the mesh's face outward, so both
  // lighting and back-face culling work. Triangle 0 (3 4 0): -N30.
  expectOutwardConvex(g, {0.2, 0, 0});
  const double s = 1.0 / std::sqrt(5.0);
  const Vector3D n0 = normal(g, g.indices[0]);
  EXPECT_NEAR(n0.X, s, 1e-6);
  EXPECT_NEAR(n0.Y, -2 * s, 1e-6);
  EXPECT_NEAR(n0.Z, 0.0, 1e-6);
  // Base triangles keep the written outward normal (-1, 0, 0).
  int base = 0;
  for (std::size_t k = 0; k < g.indices.size(); k += 3) base += normal(g, g.indices[k]).X < -0.999 ? 1 : 0;
  EXPECT_EQ(base, 2);
}

// A writer's normals may lean out of their triangles' planes. Each is turned
// to its own triangle's outer side, however the lean points: here the base,
// stretched far along itself, has normals leaning toward its long end, which
// from the mesh's centre looks like the inside.
TEST(CoreThreeDmf, LeaningTriMeshNormalsAreTurnedToTheirTrianglesOuterSide) {
  std::string text = replaceAll(pyramidText(), tabs(3) + " 0 -0.5 0.5", tabs(3) + " 0 -0.5 50");
  text = replaceAll(text, tabs(3) + " -1 0 0", tabs(3) + " -0.8 0 0.6");
  const auto g = onlyGeometry(ReadShapeTextUncached(text));
  ASSERT_EQ(g->indices.size(), 18u);
  Vector3D centre;
  for (std::size_t i = 0; i < g->positions.size() / 3; ++i) centre.Add(vertex(*g, i));
  centre.MultiplyBy(3.0 / static_cast<double>(g->positions.size()));
  int base = 0;
  for (std::size_t k = 0; k < g->indices.size(); k += 3) {
    const Vector3D a = vertex(*g, g->indices[k]), b = vertex(*g, g->indices[k + 1]), c = vertex(*g, g->indices[k + 2]);
    Vector3D outer = b.Minus(a).Cross(c.Minus(a));
    if (outer.Dot(a.Plus(b).Plus(c).Times(1.0 / 3.0).Minus(centre)) < 0.0) outer.MultiplyBy(-1.0);
    const Vector3D n = normal(*g, g->indices[k]);
    EXPECT_GT(n.Dot(outer), 0.0) << "triangle " << k / 3;
    if (a.X == 0.0 && b.X == 0.0 && c.X == 0.0) {
      ++base;  // keeps its writer's lean
      EXPECT_NEAR(n.X, -0.8, 1e-6);
      EXPECT_NEAR(n.Z, 0.6, 1e-6);
    }
  }
  EXPECT_EQ(base, 2);
}

// A point that no triangle uses may lie anywhere: far off, it must not pull
// the centre that tells the triangles' outer sides out of the solid.
TEST(CoreThreeDmf, ATriMeshPointNoTriangleUsesLeavesTheOuterSidesAsTheyAre) {
  std::string text = replaceAll(pyramidText(), tabs(3) + "6 1 0 0 5 0", tabs(3) + "6 1 0 0 6 0");
  text = replaceAll(text, tabs(3) + " 1 0 0", tabs(3) + " 1 0 0" + CR + tabs(3) + " 0 100000 0");
  const auto g = onlyGeometry(ReadShapeTextUncached(text));
  ASSERT_EQ(g->indices.size(), 18u);
  expectOutwardConvex(*g, {0.2, 0, 0});
}

TEST(CoreThreeDmf, LineEndingsLayoutAndSkippedObjects) {
  const std::string cr = sphereText(2);
  const auto a = ReadShapeTextUncached(cr);
  const auto b = ReadShapeTextUncached(replaceAll(cr, "\r", "\n"));
  const auto c = ReadShapeTextUncached(replaceAll(cr, "\r", "\r\n"));
  ASSERT_TRUE(a.ok() && b.ok() && c.ok()) << a.error << b.error << c.error;
  EXPECT_EQ(a.shapes[0]->geometry->positions, b.shapes[0]->geometry->positions);
  EXPECT_EQ(a.shapes[0]->geometry->positions, c.shapes[0]->geometry->positions);

  // Attributes in the geometry's container without a set, comments, labels,
  // quoted strings, a leading-dot number, unknown objects at every level, a
  // part-attribute set that must not colour the whole shape, and a TOC.
  const std::string loose =
      "3DMetafile ( 1 5 Stream tableofcontents0> ) # header ( (\n"
      "BeginGroup ( DisplayGroup ( ) \"a ) string\" )\n"
      "cyl1: Container ( Cylinder ( 0 0 1 .5 0 0 0 .5 0 0 0 0 )\n"
      "  Caps ( Bottom )\n"
      "  Container ( TopCapAttributeSet ( ) Container ( AttributeSet ( ) DiffuseColor ( 0 1 0 ) ) )\n"
      "  SpecularControl ( 4 )\n"
      "  DiffuseColor ( 0.25 0.5 0.75 ) AmbientCoefficient ( 2 )\n"
      ")\n"
      "tableofcontents0: TableOfContents ( nextTOC> 1 0 12 1 ( 1 cyl1> ) )\n";
  const auto l = ReadShapeTextUncached(loose);
  ASSERT_TRUE(l.ok()) << l.error;
  ASSERT_EQ(l.shapes.size(), 1u);
  EXPECT_FLOAT_EQ(l.shapes[0]->red, 0.25f);
  EXPECT_FLOAT_EQ(l.shapes[0]->green, 0.5f);
  EXPECT_FLOAT_EQ(l.shapes[0]->ambientCoefficient, 1.0f);  // clamped
  EXPECT_EQ(l.shapes[0]->geometry->indices.size() / 3, 48u + 24u);  // side and bottom cap only
  expectBounds(*l.shapes[0]->geometry, {-0.5, -0.5, 0}, {0.5, 0.5, 1});

  // Two geometry containers give two shapes, in order.
  const std::string two = "3DMetafile ( 1 6 Normal toc> )\n"
                          "Container ( Line ( 0 0 0 1 0 0 ) )\n"
                          "Box ( 1 0 0 0 1 0 0 0 1 0 0 0 )\n";
  const auto t = ReadShapeTextUncached(two);
  ASSERT_TRUE(t.ok()) << t.error;
  ASSERT_EQ(t.shapes.size(), 2u);
  EXPECT_TRUE(t.shapes[0]->segment.has_value());
  EXPECT_EQ(t.shapes[1]->geometry->primitive, MeshGeometry::Primitive::Triangles);
}

TEST(CoreThreeDmf, MalformedTextsNameTheLine) {
  struct Case {
    std::string text;
    std::string expected;  // the error must contain this
  };
  const std::string box = boxText();
  const std::vector<Case> cases = {
      {"", "line 1: the text is empty"},
      {"  \r\r# nothing\r", "line 4: the text is empty"},
      {"Hello ( )", "line 1: not a 3DMF text"},
      {replaceAll(box, "( 1 6 Normal", "( 2 0 Normal"), "line 1: unsupported 3DMF version 2.0"},
      {replaceAll(box, "Normal", "Weird"), "line 1: expected Normal, Stream or Database"},
      {replaceAll(box, "0 0 1\r", "0 zero 1\r"), "line 5: expected a number in Box"},
      {replaceAll(box, "-0.5 0.5 -0.5\r", "-0.5 0.5\r"), "line 8: expected a number in Box"},
      {replaceAll(box, "0 -1 0", "0 -1 1e999"), "line 6: number out of range"},
      // Beyond the range of the floats the shapes are kept in.
      {replaceAll(box, "0 -1 0", "0 -3.5e38 0"), "line 6: number out of range in Box: -3.5e38"},
      {replaceAll(pyramidText(), "\t 1 0 0", "\t 1 0 -1e39"), "line 18: number out of range in TriMesh"},
      {replaceAll(box, "DiffuseColor ( 0 0 1 )", "DiffuseColor ( 0 1e39 1 )"), "line 10: number out of range"},
      // In range one by one, beyond it added up: named by the geometry's line.
      {replaceAll(replaceAll(box, "-0.5 0.5 -0.5", "3e38 0 0"), "\t1 0 0\r", "\t3e38 0 0\r"),
       "line 3: a shape is too large to draw"},
      {box.substr(0, box.size() - 3), "unexpected end of text"},
      {box + ")", "line 12: unmatched \")\""},
      {replaceAll(box, "DiffuseColor ( 0 0 1 )", "DiffuseColor ( 0 0 1 1 )"),
       "line 10: expected \")\" in DiffuseColor"},
      {replaceAll(box, "Box (", "Box"), "line 4: expected \"(\" after Box"},
      {replaceAll(pyramidText(), " 1 4 2", " 1 9 2"), "line 11: point index out of range in TriMesh"},
      {replaceAll(pyramidText(), "6 1 0 0 5 0", "6 1 0 0 -5 0"), "line 5: expected a whole number"},
      {replaceAll(roundText("Cone"), "Bottom | Top", "Bottom | | Top"), "line 11: expected a cap flag in Caps"},
      {"3DMetafile ( 1 6 Normal toc> )\rFoo ( \"open", "line 2: unterminated string"},
      {"3DMetafile ( 1 6 Normal toc> )\rGroup ( )\r", "line 3: the text holds no shape"},
      {"3DMetafile ( 1 6 Normal toc> ) " + std::string(200, '(') , "line 1: expected an object"},
  };
  for (const auto& c : cases) {
    const auto r = ReadShapeTextUncached(c.text);
    EXPECT_FALSE(r.ok()) << c.expected;
    EXPECT_TRUE(r.shapes.empty());
    EXPECT_NE(r.error.find(c.expected), std::string::npos) << "got: " << r.error << "\nwanted: " << c.expected;
  }
  // The largest float itself is a coordinate like any other.
  const auto edge = ReadShapeTextUncached(replaceAll(box, "-0.5 0.5 -0.5", "-0.5 0.5 3.4028234663852886e38"));
  ASSERT_TRUE(edge.ok()) << edge.error;
  for (const float v : edge.shapes.at(0)->geometry->positions) EXPECT_TRUE(std::isfinite(v));
  // Deep nesting inside a geometry's container is refused, not recursed into.
  std::string deep = "3DMetafile ( 1 6 Normal toc> ) Container ( Line ( 0 0 0 1 1 1 ) ";
  for (int i = 0; i < 5000; ++i) deep += "Container ( AttributeSet ( ) Container ( Foo ( ";
  EXPECT_FALSE(ReadShapeTextUncached(deep).ok());
}

TEST(CoreThreeDmf, SurvivesRandomMutations) {
  const std::vector<std::string> seeds = {boxText(), sphereText(3), roundText("Cylinder"), roundText("Cone"),
                                          pyramidText(0.2, 0.4, 0.6),
                                          sceneText("Torus", {"0 0 2", "10 0 0", "0 10 0", "0 0 0", "1", "0 1", "0 1"},
                                                    colourLine(1, 1, 0))};
  const std::string alphabet = "()#|\":>\r\n\t 0123456789.-+eE abcTrueFalseContainer";
  std::mt19937 rng(12345);
  int accepted = 0, rejected = 0;
  for (int iter = 0; iter < 3000; ++iter) {
    std::string s = seeds[rng() % seeds.size()];
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && !s.empty(); ++e) {
      const std::size_t at = rng() % s.size();
      switch (rng() % 5) {
        case 0: s.erase(at, 1 + rng() % 8); break;
        case 1: s.insert(at, 1, alphabet[rng() % alphabet.size()]); break;
        case 2: s[at] = alphabet[rng() % alphabet.size()]; break;
        case 3: s.resize(at); break;
        default: s.insert(at, s.substr(rng() % s.size(), rng() % 20)); break;
      }
    }
    const auto r = ReadShapeTextUncached(s);
    if (r.ok()) {
      ++accepted;
      ASSERT_FALSE(r.shapes.empty());
      for (const auto& shape : r.shapes) {
        const MeshGeometry& g = *shape->geometry;
        for (const float v : g.positions) ASSERT_TRUE(std::isfinite(v));
        for (const auto i : g.indices) ASSERT_LT(i, g.positions.size() / 3);
        ASSERT_TRUE(shape->red >= 0.0f && shape->red <= 1.0f);
      }
    } else {
      ++rejected;
      ASSERT_TRUE(r.shapes.empty());
      ASSERT_EQ(r.error.rfind("line ", 0), 0u) << r.error;
    }
  }
  // Both outcomes occur, so the mutations reach past the header.
  EXPECT_GT(accepted, 50);
  EXPECT_GT(rejected, 50);
}

TEST(CoreThreeDmf, CacheSharesShapesAndGeometry) {
  ClearShapeCache();
  std::weak_ptr<const MeshGeometry> released;
  {
    const auto first = ReadShapeText(sphereText(4, 1, 0, 0));
    const auto again = ReadShapeText(sphereText(4, 1, 0, 0));
    ASSERT_TRUE(first.ok() && again.ok());
    EXPECT_EQ(first.shapes[0], again.shapes[0]);  // the same text is read once

    // Texts that differ only in colour share one geometry, for instancing.
    const auto blue = ReadShapeText(sphereText(4, 0, 0, 1));
    ASSERT_TRUE(blue.ok());
    EXPECT_NE(blue.shapes[0], first.shapes[0]);
    EXPECT_EQ(blue.shapes[0]->geometry, first.shapes[0]->geometry);
    EXPECT_FLOAT_EQ(blue.shapes[0]->blue, 1.0f);
    // The same geometry written with other line ends is still the same geometry.
    const auto lf = ReadShapeText(replaceAll(sphereText(4, 0, 1, 0), "\r", "\n"));
    EXPECT_EQ(lf.shapes[0]->geometry, first.shapes[0]->geometry);
    // A different radius is a different geometry; the uncached reader never shares.
    EXPECT_NE(ReadShapeText(sphereText(5)).shapes[0]->geometry, first.shapes[0]->geometry);
    EXPECT_NE(ReadShapeTextUncached(sphereText(4)).shapes[0]->geometry, first.shapes[0]->geometry);
    released = first.shapes[0]->geometry;
  }
  // The cache alone keeps nothing alive: a redrawn scene does not pile up meshes.
  EXPECT_TRUE(released.expired());
  const auto fresh = ReadShapeText(sphereText(4, 1, 0, 0));
  ASSERT_TRUE(fresh.ok()) << fresh.error;
  EXPECT_EQ(fresh.shapes[0]->geometry->indices.size(), ReadShapeTextUncached(sphereText(4)).shapes[0]->geometry->indices.size());

  // A failed read is reported every time and leaves no entry behind.
  EXPECT_FALSE(ReadShapeText("nonsense").ok());
  EXPECT_FALSE(ReadShapeText("nonsense").ok());

  // Segments: the latest texts are shared while held (the repeated sides of
  // a cylinder's rings); a thousand different ones keep nothing alive.
  const auto side = [](int i) { return sceneText("Line", {"0 0 0", Str(i) + " 1 0"}, colourLine(1, 0, 0)); };
  const auto held = ReadShapeText(side(0));
  EXPECT_EQ(ReadShapeText(side(0)).shapes[0], held.shapes[0]);
  std::weak_ptr<const MeshShape> unheld = ReadShapeText(side(1)).shapes[0];
  EXPECT_TRUE(unheld.expired());
  for (int i = 2; i < 1000; ++i) {
    const auto other = ReadShapeText(side(i));
    ASSERT_TRUE(other.ok());
    EXPECT_EQ(other.shapes[0]->segment->to[0], static_cast<float>(i));
  }
  const auto later = ReadShapeText(side(0));
  EXPECT_EQ(later.shapes[0]->segment->to, held.shapes[0]->segment->to);
}

TEST(CoreObject3D, AddShapeFromStringKeepsObjectIntactOnError) {
  Object3D obj;
  EXPECT_FALSE(obj.AddShapeFromString(replaceAll(boxText(), "0 0 1\r", "0 x 1\r"), -1));
  EXPECT_TRUE(obj.MeshShapes().empty());
  EXPECT_NE(obj.LastShapeError().find("line 5"), std::string::npos) << obj.LastShapeError();

  EXPECT_TRUE(obj.AddShapeFromString(boxText(), -1));
  EXPECT_TRUE(obj.LastShapeError().empty());
  ASSERT_EQ(obj.MeshShapes().size(), 1u);
  EXPECT_FALSE(obj.AddShapeFromString("garbage", -1));
  EXPECT_EQ(obj.MeshShapes().size(), 1u);  // the earlier shape stays

  obj.Scale = 2.0;
  obj.Position = {1, 2, 3};
  const Bounds3D b = obj.ComputeBounds(1);
  EXPECT_NEAR(b.Radius, 2.0 * std::sqrt(0.75), 1e-6);
  EXPECT_EQ(b.Center, Vector3D(1, 2, 3));
}

// One shape is kept in the object itself, more and pictures beside it: the
// object shows the same shapes in the same order however many it has.
TEST(CoreObject3D, ShapesKeepTheirOrderFromOneToManyAndCanBeTakenAway) {
  Object3D obj;
  EXPECT_TRUE(obj.MeshShapes().empty());
  EXPECT_TRUE(obj.PictureShapes().empty());
  EXPECT_EQ(obj.Bounds().Radius, 0.0);  // nothing stored yet
  const auto red = ReadShapeText(boxText(1, 0, 0));
  const auto green = ReadShapeText(sphereText(4, 0, 1, 0));
  const auto blue = ReadShapeText(boxText(0, 0, 1));
  ASSERT_TRUE(red.ok() && green.ok() && blue.ok());

  obj.AddMeshShape(red.shapes[0]);
  ASSERT_EQ(obj.MeshShapes().size(), 1u);
  EXPECT_EQ(obj.MeshShapes()[0], red.shapes[0]);
  EXPECT_TRUE(obj.AddShapeFromString(sphereText(4, 0, 1, 0)));
  obj.AddMeshShape(blue.shapes[0]);
  ASSERT_EQ(obj.MeshShapes().size(), 3u);
  EXPECT_EQ(obj.MeshShapes()[0], red.shapes[0]);
  EXPECT_EQ(obj.MeshShapes()[1], green.shapes[0]);
  EXPECT_EQ(obj.MeshShapes()[2], blue.shapes[0]);
  // The bounds cover the largest shape, the sphere of radius 4.
  EXPECT_NEAR(obj.ComputeBounds(1).Radius, 4.0, 1e-6);

  QImage picture(4, 2, QImage::Format_ARGB32);
  picture.fill(Qt::white);
  obj.AddShapePicture(picture, 3.0);
  ASSERT_EQ(obj.PictureShapes().size(), 1u);
  EXPECT_EQ(obj.PictureShapes()[0].width, 12.0);
  EXPECT_EQ(obj.MeshShapes().size(), 3u);

  // The picture, 12 by 6 units, now reaches farthest.
  obj.Bounds() = obj.ComputeBounds(2);
  EXPECT_NEAR(std::as_const(obj).Bounds().Radius, 0.5 * std::hypot(12.0, 6.0), 1e-9);

  obj.RemoveAllShapes();
  EXPECT_TRUE(obj.MeshShapes().empty());
  EXPECT_TRUE(obj.PictureShapes().empty());
  // An object emptied of many shapes takes one again as it took its first.
  obj.AddMeshShape(blue.shapes[0]);
  ASSERT_EQ(obj.MeshShapes().size(), 1u);
  EXPECT_EQ(obj.MeshShapes()[0], blue.shapes[0]);
}
