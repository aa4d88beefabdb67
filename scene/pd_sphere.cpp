#include "scene/pd_sphere.h"

#include "framework/3d/threedmf.h"
#include "framework/runtime/construct.h"
#include "framework/text/text.h"
#include "scene/pd3d_space.h"
#include "scene/shape_text.h"

#include <array>
#include <bit>
#include <cstdint>
#include <string>

namespace {

std::string SphereText(double radius, Color color) {
  const std::string S = Str(radius);
  return shape_text::Primitive("Ellipsoid", {"0 0 " + S, S + " 0 0", "0 " + S + " 0", "0 0 0", "0 1", "0 1"},
                               shape_text::DiffuseColor(color));
}

// Scenes show thousands of spheres of a few radii and colours (the point
// charges): the texts of the last few are kept, keyed by the exact radius bits
// and colour, with the shape read from each, so neither the text nor its
// reading is done again for every sphere. The shape is held weakly: when no
// sphere shows it any more it is freed as it would be without this.
struct RecentSphere {
  std::uint64_t radiusBits = 0;
  Color color = 0;
  std::string text;
  std::weak_ptr<const MeshShape> shape;
};

RecentSphere& Recent(double radius, Color color) {
  thread_local std::array<RecentSphere, 8> recent;
  thread_local std::size_t next = 0;
  const auto bits = std::bit_cast<std::uint64_t>(radius);
  for (RecentSphere& e : recent) {
    if (!e.text.empty() && e.radiusBits == bits && e.color == color) return e;
  }
  RecentSphere& slot = recent[next];
  next = (next + 1) % recent.size();
  slot.radiusBits = bits;
  slot.color = color;
  slot.text = SphereText(radius, color);
  slot.shape.reset();
  return slot;
}

// The shape of a sphere text, read once and then shared; null if the text
// does not read as exactly one shape.
std::shared_ptr<const MeshShape> ShapeOf(RecentSphere& r) {
  if (auto shape = r.shape.lock()) return shape;
  const ShapeParseResult read = ReadShapeText(r.text);
  if (!read.ok() || read.shapes.size() != 1) return nullptr;
  r.shape = read.shapes.front();
  return read.shapes.front();
}

}  // namespace

void PDSphere::takeShape(double radius, Color color) {
  RecentSphere& r = Recent(radius, color);
  if (ShapeTextObserved()) {
    // A copy: the observer may itself build spheres, which reuse the entry.
    const std::string text = r.text;
    AddShapeText(text);
    return;
  }
  if (auto shape = ShapeOf(r)) {
    AddMeshShape(std::move(shape));
  } else {
    AddShapeText(r.text);
  }
}

void PDSphere::Constructor(const Vector3D* pos, Color color, double radius) {
  TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  if (radius == 0.0) radius = 1.0;
  takeShape(radius, color);
  Visible = true;
  PlaceAt(p);
  myColor = color;
  JoinSpace();
  ApplyScale(Scale);
}

bool PDSphere::Reshow(const Vector3D* pos, Color color, double radius) {
  PD3DSpace* view = PD3D::SelectedSpace.data();
  if (view == nullptr || space.data() != view || view->Objects() == nullptr || ShapeTextObserved()) return false;
  if (view->Objects()->Contains(this)) return false;
  // Joining the view needs the sphere's owner, which only its holder knows.
  if (!OwnerScope::Of(this)) return false;
  const Vector3D p = pos ? *pos : Vector3D();
  if (radius == 0.0) radius = 1.0;
  const auto shapes = MeshShapes();
  if (!(shapes.size() == 1 && PictureShapes().empty() && shapes.front() == Recent(radius, color).shape.lock())) {
    RemoveAllShapes();
    takeShape(radius, color);
  }
  // As the constructor leaves a new sphere (its view is the current one).
  Scale = view->GetScale();
  Orientation = Quaternion();
  RenderBackFaces = false;
  NullShader = false;
  Visible = true;
  PlaceAt(p);
  myColor = color;
  JoinSpace();
  ApplyScale(Scale);
  return true;
}

Vector3D PDSphere::GetBoundMax() { return BoundCorner(1, 1.0); }
Vector3D PDSphere::GetBoundMin() { return BoundCorner(1, -1.0); }
