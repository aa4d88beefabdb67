#include "scene/pd_pyramid.h"

#include "scene/pd3d_space.h"
#include "scene/round_solid.h"
#include "scene/shape_text.h"

#include "framework/text/text.h"

#include <algorithm>
#include <vector>

namespace {

Vector3D Corner(const Vector3D& u, double su, const Vector3D& w, double sw) {
  Vector3D c;
  c.Add(u.Times(su));
  c.Add(w.Times(sw));
  c.MultiplyBy(0.5);
  return c;
}

// The TriMesh text joins its lines with a carriage return before every line
// after the first and none after the last.
std::string JoinLines(const std::vector<std::pair<int, std::string>>& lines) {
  std::string text;
  bool first = true;
  for (const auto& [depth, line] : lines) {
    if (!first) text += PD3D::CR();
    first = false;
    for (int i = 0; i < depth; ++i) text += PD3D::Tab();
    text += line;
  }
  return text;
}

std::string Spaced(const Vector3D& v) {
  std::string s(" ");
  s += shape_text::Triple(v);
  return s;
}

}  // namespace

void PDPyramid::Constructor(const Vector3D* pos, Color color, const Vector3D* size, const Vector3D* axis,
                            const Vector3D* up) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  const Vector3D sz = size ? *size : Vector3D(1.0, 1.0, 1.0);
  const Vector3D ax = axis ? *axis : Vector3D(1.0, 0.0, 0.0);
  const Vector3D u0 = up ? *up : view.Up;

  const Vector3D P4 = ScaledTo(ax, sz.X);
  const Vector3D u = ScaledTo(u0, sz.Z);
  const Vector3D w = ScaledTo(ax.Cross(u0), sz.Y);
  const Vector3D P0 = Corner(u, 1.0, w, 1.0);
  const Vector3D P1 = Corner(u, 1.0, w, -1.0);
  const Vector3D P2 = Corner(u, -1.0, w, -1.0);
  const Vector3D P3 = Corner(u, -1.0, w, 1.0);
  Vector3D NB = ax.Times(-1.0);
  NB.Normalize();
  const Vector3D N30 = GetNormal(P4, P3, P0);
  const Vector3D N23 = GetNormal(P4, P2, P3);
  const Vector3D N12 = GetNormal(P4, P1, P2);
  const Vector3D N01 = GetNormal(P4, P0, P1);
  Vector3D bmax = P4;
  Vector3D bmin = P4;
  for (const Vector3D* c : {&P0, &P1, &P2, &P3}) {
    MaxBoundCheck(bmax, *c);
    MinBoundCheck(bmin, *c);
  }

  std::string colorLine = "DiffuseColor(  ";
  colorLine += Str(shape_text::Red(color));
  for (double component : {shape_text::Green(color), shape_text::Blue(color)}) {
    colorLine += ' ';
    colorLine += Str(component);
  }
  colorLine += " )";
  const std::string text = JoinLines({
      {0, "3DMetafile ( 1 6 Normal tableofcontents0> )"},
      {1, "trimesh0:"},
      {1, "Container ("},
      {2, "TriMesh ("},
      {3, "6 1 0 0 5 0"},
      {3, "# triangles"},
      {3, " 3 4 0"},
      {3, " 2 4 3"},
      {3, " 0 3 1"},
      {3, " 1 3 2"},
      {3, " 1 4 2"},
      {3, " 0 4 1"},
      {3, "# verticies"},
      {3, Spaced(P0)},
      {3, Spaced(P1)},
      {3, Spaced(P2)},
      {3, Spaced(P3)},
      {3, Spaced(P4)},
      {3, "# bounding box"},
      {3, Spaced(bmin) + Spaced(bmax) + " False"},
      {2, ")"},
      {2, "AttributeArray ( 3 0 0 0 0"},
      {3, "# triangle normals"},
      {3, Spaced(N30)},
      {3, Spaced(N23)},
      {3, Spaced(NB)},
      {3, Spaced(NB)},
      {3, Spaced(N12)},
      {3, Spaced(N01)},
      {2, ")"},
      {2, "attributeSet0:"},
      {2, "Container ("},
      {3, "AttributeSet ( )"},
      {3, "AmbientCoefficient ( 0.5 )"},
      {3, colorLine},
      {2, ")"},
      {1, ")"},
  });
  AddShapeText(text);
  Visible = true;
  PlaceAt(p);
  myColor = color;
  this->axis = ax;
  this->up = u0;
  RenderBackFaces = true;
  JoinSpace();
}

Vector3D PDPyramid::GetNormal(const Vector3D& p, const Vector3D& q, const Vector3D& r) {
  Vector3D n = q.Minus(p).Cross(r.Minus(p));
  n.Normalize();
  return n;
}

Vector3D& PDPyramid::MaxBoundCheck(Vector3D& a, const Vector3D& b) {
  a.X = std::max(a.X, b.X);
  a.Y = std::max(a.Y, b.Y);
  a.Z = std::max(a.Z, b.Z);
  return a;
}

Vector3D& PDPyramid::MinBoundCheck(Vector3D& a, const Vector3D& b) {
  a.X = std::min(a.X, b.X);
  a.Y = std::min(a.Y, b.Y);
  a.Z = std::min(a.Z, b.Z);
  return a;
}

Vector3D PDPyramid::GetBoundMax() { return BoundCorner(2, 1.0, HalfHeight(axis)); }
Vector3D PDPyramid::GetBoundMin() { return BoundCorner(2, -1.0, HalfHeight(axis)); }
