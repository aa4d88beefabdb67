// The fuzz targets' invariants must hold for sound meshes and texts and fail
// for broken ones; a check that cannot fail would let every fault through.

#include "checks/mesh_checks.h"
#include "checks/number_reference.h"
#include "framework/3d/threedmf_tessellate.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <utility>

namespace {

GeometrySpec spec(GeometrySpec::Kind kind, Vector3D a, Vector3D b, Vector3D c, Vector3D d) {
  GeometrySpec s;
  s.kind = kind;
  s.v = {a, b, c, d};
  return s;
}

// Every closed solid the reader can make, in sound form.
std::vector<std::pair<const char*, GeometrySpec>> closedSolids() {
  using K = GeometrySpec::Kind;
  std::vector<std::pair<const char*, GeometrySpec>> solids = {
      {"box", spec(K::Box, {0, 0, 2}, {0, 3, 0}, {4, 0, 0}, {1, 1, 1})},
      {"ellipsoid", spec(K::Ellipsoid, {0, 0, 2}, {3, 0, 0}, {0, 1, 0}, {5, 5, 5})},
      {"torus", spec(K::Torus, {0, 0, 1}, {8, 0, 0}, {0, 8, 0}, {0, 0, 0})},
  };
  GeometrySpec cylinder = spec(K::Cylinder, {0, 0, 5}, {2, 0, 0}, {0, 2, 0}, {0, 0, 0});
  cylinder.bottomCap = cylinder.topCap = true;
  solids.emplace_back("capped cylinder", cylinder);
  GeometrySpec cone = spec(K::Cone, {1, 1, 6}, {0, 2, 0}, {2, 0, 0}, {0, 0, -3});
  cone.bottomCap = true;
  solids.emplace_back("capped cone", cone);
  return solids;
}

// The same mesh turned inside out: every normal reversed, every triangle
// wound the other way, so winding and normals still agree.
MeshGeometry insideOut(MeshGeometry m) {
  for (float& n : m.normals) n = -n;
  for (std::size_t t = 0; t + 2 < m.indices.size(); t += 3) std::swap(m.indices[t + 1], m.indices[t + 2]);
  return m;
}

}  // namespace

TEST(MeshChecks, SoundSolidsPassAndTurnedInsideOutFail) {
  for (const auto& [name, s] : closedSolids()) {
    SCOPED_TRACE(name);
    const auto mesh = TessellateGeometry(s);
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(CheckMesh(*mesh), "");
    // Only a check that sees the surface as closed, seams welded, can tell.
    EXPECT_NE(CheckMesh(insideOut(*mesh)), "");
  }
  // An open tube has no inside: turned over, it is still a sound mesh.
  const auto tube = TessellateGeometry(spec(GeometrySpec::Kind::Cylinder, {0, 0, 5}, {2, 0, 0}, {0, 2, 0}, {}));
  EXPECT_EQ(CheckMesh(insideOut(*tube)), "");
}

// Shapes the reader accepts whose floats or folds leave no way to tell inside
// from outside: the checks must not call them faults.
TEST(MeshChecks, RoundingAndFoldedSurfacesAreNotFaults) {
  using K = GeometrySpec::Kind;
  // Small beside its distance from the origin: floats blur its vertices.
  EXPECT_EQ(CheckMesh(*TessellateGeometry(spec(K::Ellipsoid, {0, 0, 1}, {1, 0, 0}, {0, 1, 0}, {3e5, -2e5, 1e5}))), "");
  EXPECT_EQ(CheckMesh(*TessellateGeometry(spec(K::Box, {0, 0, 1e-3}, {0, 1e-3, 0}, {1e-3, 0, 0}, {1e4, 1e4, 1e4}))), "");
  // A long, thin oblique cylinder.
  GeometrySpec needle = spec(K::Cylinder, {-3.45, -2151.1, -1.15}, {0, -0.19, 0.19}, {-0.12, 0.17, 4.17}, {});
  needle.bottomCap = needle.topCap = true;
  EXPECT_EQ(CheckMesh(*TessellateGeometry(needle)), "");
  // A flat, sheared ellipsoid and a thin oblique cylinder: coarse triangles
  // across their rims have corners whose normals point apart.
  EXPECT_EQ(CheckMesh(*TessellateGeometry(spec(K::Ellipsoid, {15, 0, -1}, {0, 2, 0}, {2, 0, 0}, {5, 5, 5}))), "");
  GeometrySpec blade = spec(K::Cylinder, {-3.45, -1.15, -1.15}, {0, -0.19, 0.19}, {-0.116, 0.174, 71.04}, {});
  blade.bottomCap = blade.topCap = true;
  EXPECT_EQ(CheckMesh(*TessellateGeometry(blade)), "");
  // Tubes thicker than their ring is curved fold through themselves.
  GeometrySpec spindle = spec(K::Torus, {0, 0, 3}, {2, 0, 0}, {0, 2, 0}, {});
  spindle.ratio = 2.0;
  EXPECT_EQ(CheckMesh(*TessellateGeometry(spindle)), "");
  EXPECT_EQ(CheckMesh(*TessellateGeometry(spec(K::Torus, {0.76, 0.88, -0.35}, {-14.2, 24.5, -9.98},
                                                {628.2, 24.5, -9.8}, {}))), "");
}

TEST(MeshChecks, EachBrokenPartIsNamed) {
  const auto box = TessellateGeometry(closedSolids()[0].second);
  ASSERT_NE(box, nullptr);
  auto broken = [&](auto&& change) {
    MeshGeometry m = *box;
    change(m);
    return CheckMesh(m);
  };
  EXPECT_NE(broken([](MeshGeometry& m) { m.positions[4] = std::numeric_limits<float>::infinity(); }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.indices[7] = static_cast<std::uint32_t>(m.positions.size() / 3); }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.indices.pop_back(); }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { for (int c = 0; c < 3; ++c) m.normals[static_cast<std::size_t>(c)] *= 2.0f; }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.normals.resize(3); }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.radius *= 0.5; }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.radius *= 2.0; }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.boundsMax.X -= 1.0; }), "");
  EXPECT_NE(broken([](MeshGeometry& m) { m.boundsMin.Y = std::nan(""); }), "");
  // One triangle wound against its own normals.
  EXPECT_NE(broken([](MeshGeometry& m) { std::swap(m.indices[1], m.indices[2]); }), "");
  // One face of a convex solid lit from inside, winding and normals agreeing.
  EXPECT_NE(broken([](MeshGeometry& m) {
              for (int k = 0; k < 6; ++k) {
                const std::uint32_t v = m.indices[static_cast<std::size_t>(k)];
                for (int c = 0; c < 3; ++c) m.normals[3 * v + static_cast<std::uint32_t>(c)] *= -1.0f;
              }
              std::swap(m.indices[1], m.indices[2]);
              std::swap(m.indices[4], m.indices[5]);
            }),
            "");
}

TEST(MeshChecks, ReadResultsNeedShapesOrALineOfTheText) {
  ShapeParseResult accepted;
  accepted.shapes.push_back(std::make_shared<MeshShape>(MeshShape{.geometry = TessellateGeometry(closedSolids()[0].second)}));
  EXPECT_EQ(CheckReadResult("x", accepted), "");
  auto tinted = std::make_shared<MeshShape>(*accepted.shapes[0]);
  tinted->green = 1.5f;
  EXPECT_NE(CheckReadResult("x", ShapeParseResult{{tinted}, ""}), "");
  EXPECT_NE(CheckReadResult("x", ShapeParseResult{}), "");  // accepted, nothing in it
  // A segment: finite ends, and no geometry beside them.
  auto segment = std::make_shared<MeshShape>();
  segment->segment = Segment{{0.0f, 1.0f, 2.0f}, {3.0f, 4.0f, 5.0f}};
  EXPECT_EQ(CheckReadResult("x", ShapeParseResult{{segment}, ""}), "");
  auto endless = std::make_shared<MeshShape>(*segment);
  endless->segment->to[1] = std::numeric_limits<float>::infinity();
  EXPECT_NE(CheckReadResult("x", ShapeParseResult{{endless}, ""}), "");
  auto both = std::make_shared<MeshShape>(*segment);
  both->geometry = accepted.shapes[0]->geometry;
  EXPECT_NE(CheckReadResult("x", ShapeParseResult{{both}, ""}), "");

  auto rejected = [](const std::string& error) { return ShapeParseResult{{}, error}; };
  EXPECT_EQ(CheckReadResult("a\r\nb\rc\n", rejected("line 4: unexpected end of text")), "");
  EXPECT_NE(CheckReadResult("a\r\nb\rc\n", rejected("line 5: unexpected end of text")), "");
  EXPECT_NE(CheckReadResult("a", rejected("line 0: x")), "");
  EXPECT_NE(CheckReadResult("a", rejected("a shape is too large to draw")), "");
  EXPECT_NE(CheckReadResult("a", rejected("line : x")), "");
}

TEST(NumberReference, PrefixValueAndSaturation) {
  EXPECT_EQ(DecimalPrefixLength("-12.5e+3x"), 8u);
  EXPECT_EQ(DecimalPrefixLength("2e"), 1u);
  EXPECT_EQ(DecimalPrefixLength(".e5"), 0u);
  EXPECT_EQ(DecimalPrefixLength("+."), 0u);
  EXPECT_EQ(ReferenceCDbl(" \t-.5abc"), -0.5);
  EXPECT_EQ(ReferenceCDbl("0x1p3"), 0.0);  // no hexadecimal floats, no words
  EXPECT_EQ(ReferenceCDbl("inf"), 0.0);
  EXPECT_EQ(ReferenceCDbl("1e999"), std::numeric_limits<double>::max());
  EXPECT_EQ(ReferenceCDbl("-1e999"), -std::numeric_limits<double>::max());
  EXPECT_TRUE(std::signbit(ReferenceCDbl("-1e-999")));
  EXPECT_EQ(ReferenceCDbl("4e-324"), std::numeric_limits<double>::denorm_min());
  // Magnitude, not the exponent's sign, decides between overflow and underflow.
  EXPECT_EQ(ReferenceCDbl("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_EQ(ReferenceCDbl("1" + std::string(400, '0') + "e-50"), std::numeric_limits<double>::max());
  EXPECT_EQ(ReferenceVal("&hff"), 255.0);
  EXPECT_EQ(ReferenceVal("&o17x"), 15.0);
  EXPECT_EQ(ReferenceVal("&b102"), 2.0);
  EXPECT_EQ(ReferenceVal("&h"), 0.0);
  EXPECT_EQ(ReferenceVal("&h1" + std::string(20, '0')), 18446744073709551615.0);
  EXPECT_EQ(ReferenceVal("&x5"), 0.0);
  EXPECT_EQ(ReferenceToInt32(-2.9), -2);
  EXPECT_EQ(ReferenceToInt32(2147483647.9), 2147483647);
  EXPECT_EQ(ReferenceToInt32(-2147483648.9), -2147483647 - 1);
  EXPECT_EQ(ReferenceToInt32(-1e300), -2147483647 - 1);
  EXPECT_EQ(ReferenceToInt32(std::nan("")), 0);
}
