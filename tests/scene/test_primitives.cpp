#include "framework/runtime/nil_object.h"
#include "scene/pd_box.h"
#include "scene/pd_cone.h"
#include "scene/pd_cylinder.h"
#include "scene/pd_disk.h"
#include "scene/pd_ellipsoid.h"
#include "scene/pd_line.h"
#include "scene/pd_pyramid.h"
#include "scene/pd_ring.h"
#include "scene/pd_sphere.h"
#include "scene_fixture.h"
#include "shape_reports.h"

#include <gtest/gtest-spi.h>

namespace {

const std::string kHeader = "3DMetafile ( 1 6 Normal tableofcontents0> )";

std::string C(double r, double g, double b) {
  return "\t\tDiffuseColor ( " + Str(r) + " " + Str(g) + " " + Str(b) + " )";
}

// The framework reads the text into at least one mesh.
void ExpectReadable(const PD3DObject& obj) {
  EXPECT_EQ(obj.LastShapeError(), "");
  EXPECT_FALSE(obj.MeshShapes().empty());
}

// The three-number line at (0-based) index i of a text.
Vector3D VectorLine(const std::string& text, int index) {
  int line = 0;
  std::size_t start = 0;
  while (line < index) {
    start = text.find('\r', start) + 1;
    ++line;
  }
  const std::string s = text.substr(start, text.find('\r', start) - start);
  Vector3D v;
  std::sscanf(s.c_str(), " %lf %lf %lf", &v.X, &v.Y, &v.Z);
  return v;
}

}  // namespace

using PrimitiveTest = SceneTest;

namespace {

// A scene object that hands on whatever text it is given.
class AnyText : public PD3DObject {
public:
  void Add(const std::string& text) { AddShapeText(text); }
};

void AddUnreadableText() { std::make_shared<AnyText>()->Add("no shape at all"); }

}  // namespace

TEST_F(PrimitiveTest, ARefusedShapeTextIsReportedAndFailsTheTestItHappensIn) {
  {
    ShapeReportCatcher catcher;
    auto object = std::make_shared<AnyText>();
    object->Add(kHeader + "\rBox ( 1 0 0 )");
    EXPECT_TRUE(object->MeshShapes().empty());
    ASSERT_EQ(catcher.Reports().size(), 1u);
    EXPECT_NE(catcher.Reports()[0].find("AnyText"), std::string::npos) << catcher.Reports()[0];
    EXPECT_NE(catcher.Reports()[0].find("line 2: expected a number in Box"), std::string::npos)
        << catcher.Reports()[0];
    // A readable text says nothing.
    object->Add(kHeader + "\rBox ( 1 0 0 0 1 0 0 0 1 0 0 0 )");
    EXPECT_EQ(object->MeshShapes().size(), 1u);
    EXPECT_EQ(catcher.Reports().size(), 1u);

    // A primitive whose numbers the reader cannot keep is named by its class.
    auto huge = New<PDSphere>(nullptr, 0xFF0000u, 1e39);
    EXPECT_TRUE(huge->MeshShapes().empty());
    ASSERT_EQ(catcher.Reports().size(), 2u);
    EXPECT_EQ(catcher.Reports()[1].rfind("PDSphere: shape text refused: line 4: number out of range", 0), 0u)
        << catcher.Reports()[1];
  }
  // Without a catcher the report is a failure of the running test.
  EXPECT_NONFATAL_FAILURE(AddUnreadableText(), "left without its shape");
}

TEST_F(PrimitiveTest, LineTextFieldsAndScale) {
  auto line = New<PDLine>(nullptr, nullptr, 0xFF0000u);
  EXPECT_TRUE(ShapeTextIs(textOf(line), {kHeader, "\tContainer (", "\t\tLine (", "\t\t\t0 0 0", "\t\t\t1 0 0", "\t\t)",
                                         "\t\tAttributeSet ( )", C(20, 0, 0), "\t)"}));
  ExpectReadable(*line);
  EXPECT_VEC(*line->axis, 1, 0, 0);
  EXPECT_VEC(*line->pos, 0, 0, 0);
  EXPECT_VEC(*line->up, 0, 0, 1);
  EXPECT_FALSE(line->labelline);
  EXPECT_EQ(line->myColor, 0xFF0000u);
  EXPECT_EQ(item(count() - 1), line.get());
  EXPECT_VEC(line->GetBoundMax(), 0, 0, 0);
  EXPECT_VEC(line->GetBoundMin(), 0, 0, 0);

  // Colours ×20; p2 nil ends 1 along x; the caller's point is only copied.
  Vector3D p1(2, 3, 4);
  auto grey = New<PDLine>(&p1, nullptr, 0x808080u);
  EXPECT_NE(textOf(grey).find("DiffuseColor ( " + Str(2560 / 255.0) + " " + Str(2560 / 255.0)), std::string::npos);
  EXPECT_VEC(*grey->axis, 1, 0, 0);
  EXPECT_VEC(p1, 2, 3, 4);
  p1.X = 99;
  EXPECT_VEC(*grey->pos, 2, 3, 4);
  auto dim = New<PDLine>(&p1, &p1, 0x0D0D0Du);
  EXPECT_NE(textOf(dim).find("\t\t\t0 0 0\r\t\t)"), std::string::npos);
  EXPECT_NE(textOf(dim).find(Str(260 / 255.0)), std::string::npos);

  // At scene scale 2 the line is placed scaled, its text stays unscaled.
  view->DoZoom(2.0);
  view->Update();
  const Vector3D a(1, 0, 0), b(3, 0, 0);
  auto scaled = New<PDLine>(&a, &b, 0u);
  EXPECT_VEC(*scaled->pos, 1, 0, 0);
  EXPECT_VEC(scaled->Position, 2, 0, 0);
  EXPECT_DOUBLE_EQ(scaled->Scale, 2.0);
  EXPECT_VEC(VectorLine(textOf(scaled), 4), 2, 0, 0);
}

TEST_F(PrimitiveTest, SphereTextPlacementAndColour) {
  auto unit = New<PDSphere>(nullptr, 0xFF0000u, 1.0);
  auto zero = New<PDSphere>(nullptr, 0xFF0000u, 0.0);
  EXPECT_EQ(textOf(unit), textOf(zero));
  EXPECT_VEC(zero->Position, 0, 0, 0);
  EXPECT_VEC(*zero->pos, 0, 0, 0);
  EXPECT_FALSE(zero->axis.has_value());
  EXPECT_FALSE(zero->up.has_value());

  Vector3D p(1, 2, 3);
  auto s = New<PDSphere>(&p, 0x660000u, 2.5);
  EXPECT_TRUE(ShapeTextIs(textOf(s), {kHeader, "\tContainer (", "\t\tEllipsoid (", "\t\t\t0 0 2.5", "\t\t\t2.5 0 0",
                                      "\t\t\t0 2.5 0", "\t\t\t0 0 0", "\t\t\t0 1", "\t\t\t0 1", "\t\t)",
                                      "\t\tAttributeSet ( )", C(102 / 255.0, 0, 0), "\t)"}));
  ExpectReadable(*s);
  EXPECT_EQ(item(count() - 1), s.get());
  EXPECT_TRUE(s->Visible);
  p.X = 50;
  EXPECT_VEC(s->Position, 1, 2, 3);

  // Bits above 23 are ignored in the text but kept in myColor.
  auto high = New<PDSphere>(nullptr, 0x12FF0000u, 1.0);
  EXPECT_EQ(textOf(high), textOf(unit));
  EXPECT_EQ(high->myColor, 0x12FF0000u);

  // Bounds: a cube of half-side R about the displayed centre, R covering the sphere.
  const Vector3D bmax = s->GetBoundMax();
  const double R = s->Bounds().Radius;
  EXPECT_GE(R, 2.5 * 0.999);
  EXPECT_VEC(bmax, 1 + R, 2 + R, 3 + R);
  EXPECT_VEC(s->GetBoundMin(), 1 - R, 2 - R, 3 - R);
}

TEST_F(PrimitiveTest, ConstructionWithoutViewRaisesAndAddsNothing) {
  const int before = count();
  PD3D::SelectedSpace = nullptr;
  EXPECT_THROW(New<PDSphere>(nullptr, 0u, 1.0), NilObjectException);
  EXPECT_THROW(New<PDBox>(nullptr, 0u, nullptr, nullptr, nullptr), NilObjectException);
  EXPECT_THROW(New<PDCone>(nullptr, 0u, nullptr, 0.0), NilObjectException);
  EXPECT_THROW(New<PDLine>(nullptr, nullptr, 0u), NilObjectException);
  view->DoSelect();
  EXPECT_EQ(count(), before);
}

TEST_F(PrimitiveTest, BoxAndEllipsoidDefaults) {
  auto box = New<PDBox>(nullptr, 0x0000FFu, nullptr, nullptr, nullptr);
  EXPECT_TRUE(ShapeTextIs(textOf(box), {kHeader, "\tContainer (", "\t\tBox (", "\t\t\t1 0 0", "\t\t\t0 0 1",
                                        "\t\t\t0 -1 0", "\t\t\t-0.5 0.5 -0.5", "\t\t)", "\t\tAttributeSet ( )",
                                        C(0, 0, 1), "\t)"}));
  ExpectReadable(*box);
  EXPECT_TRUE(messages.empty());
  EXPECT_VEC(view->Up, 0, 0, 1);

  auto ell = New<PDEllipsoid>(nullptr, 0x0000FFu, nullptr, nullptr, nullptr);
  EXPECT_TRUE(ShapeTextIs(textOf(ell), {kHeader, "\tContainer (", "\t\tEllipsoid (", "\t\t\t0.5 0 0",
                                        "\t\t\t0 0 0.5", "\t\t\t0 -0.5 0", "\t\t\t0 0 0", "\t\t\t0 1", "\t\t\t0 1",
                                        "\t\t)", "\t\tAttributeSet ( )", C(0, 0, 1), "\t)"}));
  ExpectReadable(*ell);
}

TEST_F(PrimitiveTest, BoxNormalisesCallersUpEllipsoidDoesNot) {
  const Vector3D size(3, 3, 3), axis(3, 0, 0), at(5, 6, 7);
  Vector3D up(0, 10, 0);
  auto box = New<PDBox>(&at, 0x00FF00u, &size, &axis, &up);
  const std::string t = textOf(box);
  EXPECT_VEC(VectorLine(t, 3), 3, 0, 0);
  EXPECT_VEC(VectorLine(t, 4), 0, 3, 0);
  EXPECT_VEC(VectorLine(t, 5), 0, 0, 3);
  EXPECT_VEC(VectorLine(t, 6), -1.5, -1.5, -1.5);
  EXPECT_VEC(up, 0, 1, 0);
  EXPECT_VEC(*box->up, 0, 1, 0);
  EXPECT_VEC(*box->axis, 3, 0, 0);
  EXPECT_VEC(box->Position, 5, 6, 7);

  Vector3D up2(0, 10, 0);
  auto ell = New<PDEllipsoid>(&at, 0x00FF00u, &size, &axis, &up2);
  EXPECT_VEC(up2, 0, 10, 0);
  EXPECT_VEC(*ell->up, 0, 10, 0);
  EXPECT_VEC(VectorLine(textOf(ell), 3), 1.5, 0, 0);
  EXPECT_VEC(VectorLine(textOf(ell), 4), 0, 1.5, 0);
  EXPECT_VEC(VectorLine(textOf(ell), 5), 0, 0, 1.5);

  // size (2, 4, 6): 2 along the axis, 6 along up, 4 across.
  const Vector3D s246(2, 4, 6);
  auto tall = New<PDBox>(nullptr, 0u, &s246, nullptr, nullptr);
  EXPECT_VEC(VectorLine(textOf(tall), 3), 2, 0, 0);
  EXPECT_VEC(VectorLine(textOf(tall), 4), 0, 0, 6);
  EXPECT_VEC(VectorLine(textOf(tall), 5), 0, -4, 0);
}

TEST_F(PrimitiveTest, BoxWarnsOnceWhenAxisAndUpAreParallel) {
  const Vector3D axis(0, 0, 1);
  Vector3D up(0, 0, 2);
  auto box = New<PDBox>(nullptr, 0u, nullptr, &axis, &up);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Axis and Up Direction are parallel!");
  EXPECT_VEC(VectorLine(textOf(box), 4), 1, 0, 0);
  EXPECT_VEC(VectorLine(textOf(box), 5), 0, 1, 0);
  EXPECT_VEC(VectorLine(textOf(box), 6), -0.5, -0.5, -0.5);
  EXPECT_VEC(up, 0, 0, 2);
  EXPECT_VEC(*box->up, 0, 0, 2);

  // A squared cross length of exactly 0.001 is not parallel.
  messages.clear();
  const Vector3D x(1, 0, 0);
  Vector3D edge(0, 0.01, 0.03);
  ASSERT_EQ(x.Cross(edge).LenSquared(), 0.001);
  New<PDBox>(nullptr, 0u, nullptr, &x, &edge);
  EXPECT_TRUE(messages.empty());
}

TEST_F(PrimitiveTest, BoxAtScaleTwoAndItsBounds) {
  view->DoZoom(2.0);
  view->Update();
  const Vector3D at(10, 0, 0);
  auto box = New<PDBox>(&at, 0u, nullptr, nullptr, nullptr);
  EXPECT_DOUBLE_EQ(box->Scale, 2.0);
  EXPECT_VEC(box->Position, 20, 0, 0);
  EXPECT_VEC(*box->pos, 10, 0, 0);
  const Vector3D bmax = box->GetBoundMax();
  const double R = box->Bounds().Radius;
  EXPECT_GE(R, std::sqrt(3.0) * 0.999);  // half the diagonal of a cube of edge 2
  EXPECT_VEC(bmax, 20 + R, R, R);
  EXPECT_VEC(box->GetBoundMin(), 20 - R, -R, -R);
}

TEST_F(PrimitiveTest, CylinderAndConeRadiusVectors) {
  auto cyl = New<PDCylinder>(nullptr, 0xFF0000u, nullptr, 0.0);
  EXPECT_TRUE(ShapeTextIs(textOf(cyl), {kHeader, "\tContainer (", "\t\tCylinder (", "\t\t\t0 0 1", "\t\t\t0 1 0",
                                        "\t\t\t-1 0 0", "\t\t\t0 0 0", "\t\t\t0 1", "\t\t\t0 1", "\t\t)",
                                        "\t\tCaps ( Bottom | Top )", "\t\tContainer (", "\t\t\tAttributeSet ( )",
                                        "\t\t\tDiffuseColor ( 1 0 0 )", "\t\t)", "\t)"}));
  ExpectReadable(*cyl);
  EXPECT_VEC(*cyl->up, 0, 1, 0);
  const Vector3D a(0, 0, 2);
  auto cone = New<PDCone>(nullptr, 0x000080u, &a, 1.5);
  const std::string t = textOf(cone);
  EXPECT_NE(t.find("\t\tCone (\r"), std::string::npos);
  EXPECT_NE(t.find("\t\t\tDiffuseColor ( 0 0 " + Str(128 / 255.0) + " )\r"), std::string::npos);
  ExpectReadable(*cone);
  EXPECT_VEC(VectorLine(t, 3), 0, 0, 2);
  EXPECT_VEC(VectorLine(t, 4), 0, 1.5, 0);
  EXPECT_VEC(VectorLine(t, 5), -1.5, 0, 0);
  EXPECT_FALSE(cone->up.has_value());

  // Along x the reference direction turns to y.
  const Vector3D ax(2, 0, 0);
  auto along = New<PDCylinder>(nullptr, 0u, &ax, 1.0);
  EXPECT_VEC(VectorLine(textOf(along), 4), 0, 0, 1);
  EXPECT_VEC(VectorLine(textOf(along), 5), 0, -1, 0);
  // The threshold is absolute: 0.0005 takes y, 0.0013 keeps x.
  const Vector3D near(1, 0.01, 0.02), off(1, 0.03, 0.02);
  auto n1 = New<PDCylinder>(nullptr, 0u, &near, 1.0);
  auto n2 = New<PDCylinder>(nullptr, 0u, &off, 1.0);
  EXPECT_NE(VectorLine(textOf(n1), 4).X, 0.0);  // axis × y has an x part
  EXPECT_EQ(VectorLine(textOf(n2), 4).X, 0.0);  // axis × x has none
  // A negative radius turns M over and leaves N.
  const Vector3D z(0, 0, 1);
  auto neg = New<PDCylinder>(nullptr, 0u, &z, -1.0);
  EXPECT_VEC(VectorLine(textOf(neg), 4), 0, -1, 0);
  EXPECT_VEC(VectorLine(textOf(neg), 5), -1, 0, 0);
  auto tiny = New<PDCylinder>(nullptr, 0u, &z, 1e-9);
  EXPECT_VEC(VectorLine(textOf(tiny), 4), 0, 1e-9, 0);
}

TEST_F(PrimitiveTest, CylinderAndConeScaleAndBounds) {
  Vector3D p(1, 0, 0), a(0, 0, 10);
  auto cyl = New<PDCylinder>(&p, 0u, &a, 1.0);
  p.X = 7;
  a.Z = 1;
  EXPECT_VEC(*cyl->pos, 1, 0, 0);
  EXPECT_VEC(*cyl->axis, 0, 0, 10);

  const Vector3D origin;
  auto c0 = New<PDCylinder>(&origin, 0u, &cyl->axis.value(), 1.0);
  Vector3D bmax = c0->GetBoundMax();
  double R = c0->Bounds().Radius;
  EXPECT_VEC(bmax, R, R, 5 + R);
  EXPECT_VEC(c0->GetBoundMin(), -R, -R, 5 - R);

  // Mid-update state: scale 2 applied, lastscale still 1.
  view->Scale = 2.0;
  const Vector3D q(1, 0, 0);
  auto cone = New<PDCone>(&q, 0u, nullptr, 1.0);
  auto cyl2 = New<PDCylinder>(&q, 0u, nullptr, 1.0);
  EXPECT_DOUBLE_EQ(cone->Scale, 4.0);
  EXPECT_VEC(cone->Position, 2, 0, 0);
  EXPECT_DOUBLE_EQ(cyl2->Scale, 2.0);
  EXPECT_VEC(cyl2->Position, 2, 0, 0);

  // The bounds' half height follows the current scene scale.
  view->lastscale = 2.0;
  bmax = c0->GetBoundMax();
  R = c0->Bounds().Radius;
  EXPECT_VEC(bmax, R, R, 10 + R);
  EXPECT_VEC(c0->GetBoundMin(), -R, -R, 10 - R);
}

TEST_F(PrimitiveTest, DiskChangesCallersAxisToUnitLength) {
  auto disk = New<PDDisk>(nullptr, 0u, nullptr, 0.0);
  EXPECT_TRUE(ShapeTextIs(textOf(disk), {kHeader, "\tContainer (", "\t\tDisk (", "\t\t\t0 1 0", "\t\t\t-1 0 0",
                                         "\t\t\t0 0 0", "\t\t\t0 1", "\t\t\t0 1", "\t\t)", "\t\tAttributeSet ( )",
                                         C(0, 0, 0), "\t)"}));
  ExpectReadable(*disk);
  EXPECT_VEC(view->Up, 0, 0, 1);
  EXPECT_TRUE(disk->RenderBackFaces);
  EXPECT_FALSE(disk->up.has_value());

  Vector3D ax(2, 0, 0);
  auto d3 = New<PDDisk>(nullptr, 0xFF8000u, &ax, 3.0);
  EXPECT_VEC(ax, 1, 0, 0);
  EXPECT_VEC(VectorLine(textOf(d3), 3), 0, 0, 3);
  EXPECT_VEC(VectorLine(textOf(d3), 4), 0, -3, 0);
  EXPECT_NE(textOf(d3).find("DiffuseColor ( 1 " + Str(128 / 255.0) + " 0 )"), std::string::npos);

  Vector3D takesY(1, 0.03, 0), keepsX(1, 0.04, 0);
  auto dy = New<PDDisk>(nullptr, 0u, &takesY, 1.0);
  auto dx = New<PDDisk>(nullptr, 0u, &keepsX, 1.0);
  EXPECT_VEC(VectorLine(textOf(dy), 3), 0, 0, 1);   // axis × y
  EXPECT_VEC(VectorLine(textOf(dx), 3), 0, 0, -1);  // axis × x

  // Bounds: a cube about the displayed position.
  const Vector3D at(10, 0, 0);
  auto placed = New<PDDisk>(&at, 0u, nullptr, 2.0);
  const Vector3D bmax = placed->GetBoundMax();
  const double R = placed->Bounds().Radius;
  EXPECT_GE(R, 2.0 * 0.999);
  EXPECT_VEC(bmax, 10 + R, R, R);
  EXPECT_VEC(placed->GetBoundMin(), 10 - R, -R, -R);
}

TEST_F(PrimitiveTest, RingOrientationThicknessAndScale) {
  Vector3D ax(0, 0, 5);
  auto ring = New<PDRing>(nullptr, 0u, &ax, 10.0, 4.0);
  EXPECT_TRUE(ShapeTextIs(textOf(ring), {kHeader, "\tContainer (", "\t\tTorus (", "\t\t\t0 0 2", "\t\t\t0 10 0",
                                         "\t\t\t-10 0 0", "\t\t\t0 0 0", "\t\t\t1", "\t\t\t0 1", "\t\t\t0 1", "\t\t)",
                                         "\t\tAttributeSet ( )", C(0, 0, 0), "\t)"}));
  ExpectReadable(*ring);
  EXPECT_VEC(ax, 0, 0, 2);
  EXPECT_VEC(*ring->axis, 0, 0, 2);
  // The same vector again: normalised before it is scaled, so the same ring.
  auto again = New<PDRing>(nullptr, 0u, &ax, 10.0, 4.0);
  EXPECT_EQ(textOf(again), textOf(ring));

  auto defaults = New<PDRing>(nullptr, 0u, nullptr, 0.0, 0.0);
  EXPECT_VEC(VectorLine(textOf(defaults), 3), 0, 0, 0.05);
  EXPECT_VEC(VectorLine(textOf(defaults), 4), 0, 1, 0);
  auto five = New<PDRing>(nullptr, 0u, nullptr, 5.0, 0.0);
  EXPECT_VEC(VectorLine(textOf(five), 3), 0, 0, 0.25);

  // With lastscale behind the scene scale, a ring takes s × s ÷ lastscale, a disk s.
  view->Scale = 2.0;
  const Vector3D p(1, 1, 1);
  auto r2 = New<PDRing>(&p, 0u, nullptr, 1.0, 0.0);
  auto d2 = New<PDDisk>(&p, 0u, nullptr, 1.0);
  EXPECT_DOUBLE_EQ(r2->Scale, 4.0);
  EXPECT_VEC(r2->Position, 2, 2, 2);
  EXPECT_DOUBLE_EQ(d2->Scale, 2.0);
}

TEST_F(PrimitiveTest, PyramidTriMeshText) {
  const double a = 1 / std::sqrt(5.0), b = 2 / std::sqrt(5.0);
  auto pyr = New<PDPyramid>(nullptr, 0xFF0000u, nullptr, nullptr, nullptr);
  auto v = [](double x, double y, double z) { return "\t\t\t " + Str(x) + " " + Str(y) + " " + Str(z); };
  const std::string t = textOf(pyr);
  EXPECT_TRUE(ShapeTextIs(t,
                          {kHeader, "\ttrimesh0:", "\tContainer (", "\t\tTriMesh (", "\t\t\t6 1 0 0 5 0",
                           "\t\t\t# triangles", "\t\t\t 3 4 0", "\t\t\t 2 4 3", "\t\t\t 0 3 1", "\t\t\t 1 3 2",
                           "\t\t\t 1 4 2", "\t\t\t 0 4 1", "\t\t\t# verticies", v(0, -0.5, 0.5), v(0, 0.5, 0.5),
                           v(0, 0.5, -0.5), v(0, -0.5, -0.5), v(1, 0, 0), "\t\t\t# bounding box",
                           "\t\t\t 0 -0.5 -0.5 1 0.5 0.5 False", "\t\t)", "\t\tAttributeArray ( 3 0 0 0 0",
                           "\t\t\t# triangle normals", v(-a, b, 0), v(-a, 0, b), v(-1, 0, 0), v(-1, 0, 0), v(-a, -b, 0),
                           v(-a, 0, -b), "\t\t)", "\t\tattributeSet0:", "\t\tContainer (", "\t\t\tAttributeSet ( )",
                           "\t\t\tAmbientCoefficient ( 0.5 )", "\t\t\tDiffuseColor(  1 0 0 )", "\t\t)", "\t)"},
                          false));
  EXPECT_EQ(std::count(t.begin(), t.end(), '\r'), 36);
  EXPECT_EQ(t.substr(t.size() - 2), "\t)");
  ExpectReadable(*pyr);
  EXPECT_TRUE(pyr->RenderBackFaces);
  EXPECT_VEC(*pyr->up, 0, 0, 1);
}

TEST_F(PrimitiveTest, PyramidAlongZLeavesCallersVectors) {
  Vector3D size(3, 2, 2), axis(0, 0, 10), up(0, 1, 0), at(1, 2, 3);
  auto pyr = New<PDPyramid>(&at, 0u, &size, &axis, &up);
  const std::string t = textOf(pyr);
  EXPECT_VEC(VectorLine(t, 13), -1, 1, 0);
  EXPECT_VEC(VectorLine(t, 14), 1, 1, 0);
  EXPECT_VEC(VectorLine(t, 15), 1, -1, 0);
  EXPECT_VEC(VectorLine(t, 16), -1, -1, 0);
  EXPECT_VEC(VectorLine(t, 17), 0, 0, 3);
  EXPECT_VEC(VectorLine(t, 23), 3 / std::sqrt(10.0), 0, -1 / std::sqrt(10.0));
  EXPECT_VEC(VectorLine(t, 25), 0, 0, -1);
  EXPECT_VEC(size, 3, 2, 2);
  EXPECT_VEC(axis, 0, 0, 10);
  EXPECT_VEC(up, 0, 1, 0);
  EXPECT_VEC(at, 1, 2, 3);
  EXPECT_VEC(*pyr->axis, 0, 0, 10);
  const Vector3D bmax = pyr->GetBoundMax();
  const double R = pyr->Bounds().Radius;
  EXPECT_VEC(bmax, 1 + R, 2 + R, 3 + 5 + R);
  EXPECT_VEC(pyr->GetBoundMin(), 1 - R, 2 - R, 3 + 5 - R);

  // The helpers.
  Vector3D m(1, 5, -2);
  const Vector3D n(3, 0, -1);
  EXPECT_EQ(&pyr->MaxBoundCheck(m, n), &m);
  EXPECT_VEC(m, 3, 5, -1);
  Vector3D k(1, 5, -2);
  pyr->MinBoundCheck(k, n);
  EXPECT_VEC(k, 1, 0, -2);
  EXPECT_VEC(n, 3, 0, -1);
  EXPECT_VEC(pyr->GetNormal(Vector3D(0, 0, 0), Vector3D(1, 0, 0), Vector3D(0, 2, 0)), 0, 0, 1);
}
