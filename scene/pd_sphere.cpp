#include "scene/pd_sphere.h"

#include "framework/text/text.h"
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
// and colour, so the same text is not written again for every sphere.
const std::string& RecentSphereText(double radius, Color color) {
  struct Entry {
    std::uint64_t radiusBits = 0;
    Color color = 0;
    std::string text;
  };
  thread_local std::array<Entry, 8> recent;
  thread_local std::size_t next = 0;
  const auto bits = std::bit_cast<std::uint64_t>(radius);
  for (const Entry& e : recent) {
    if (!e.text.empty() && e.radiusBits == bits && e.color == color) return e.text;
  }
  Entry& slot = recent[next];
  next = (next + 1) % recent.size();
  slot.radiusBits = bits;
  slot.color = color;
  slot.text = SphereText(radius, color);
  return slot.text;
}

}  // namespace

void PDSphere::Constructor(const Vector3D* pos, Color color, double radius) {
  TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  if (radius == 0.0) radius = 1.0;
  // A copy: the observer of shape texts may itself build spheres.
  const std::string text = RecentSphereText(radius, color);
  AddShapeText(text);
  Visible = true;
  PlaceAt(p);
  myColor = color;
  JoinSpace();
  ApplyScale(Scale);
}

Vector3D PDSphere::GetBoundMax() { return BoundCorner(1, 1.0); }
Vector3D PDSphere::GetBoundMin() { return BoundCorner(1, -1.0); }
