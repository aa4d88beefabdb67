#include "framework/3d/element3d.h"

#include "framework/ui/picture.h"

#include <algorithm>
#include <cmath>

void Element3D::Roll(double angle) {
  Quaternion q;
  q.SetRotateAboutAxis(0.0, 0.0, 1.0, angle);
  Orientation = Quaternion::Product(Orientation, q);
}

void Element3D::Pitch(double angle) {
  Quaternion q;
  q.SetRotateAboutAxis(1.0, 0.0, 0.0, angle);
  Orientation = Quaternion::Product(Orientation, q);
}

void Element3D::Yaw(double angle) {
  Quaternion q;
  q.SetRotateAboutAxis(0.0, 1.0, 0.0, angle);
  Orientation = Quaternion::Product(Orientation, q);
}

Bounds3D Element3D::ComputeBounds(int) const { return {Position, 0.0}; }

Vector3D Element3D::ToWorld(const Vector3D& local) const {
  return Orientation.Transform(local.Times(Scale)).Plus(Position);
}

bool Object3D::AddShapeFromString(const std::string& text, int) {
  ShapeParseResult result = ReadShapeText(text);
  if (!result.ok()) {
    lastShapeError_ = result.error;
    return false;
  }
  lastShapeError_.clear();
  meshShapes_.insert(meshShapes_.end(), result.shapes.begin(), result.shapes.end());
  return true;
}

void Object3D::AddShapePicture(const QImage& picture, double scale, int) {
  PictureShape shape;
  shape.image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  shape.width = picture.width() * scale;
  shape.height = picture.height() * scale;
  pictureShapes_.push_back(std::move(shape));
}

void Object3D::AddShapePicture(const Picture& picture, double scale, int index) {
  AddShapePicture(picture.Image(), scale, index);
}

Bounds3D Object3D::ComputeBounds(int) const {
  double r = 0.0;
  for (const auto& s : meshShapes_) r = std::max(r, s->geometry->radius);
  for (const auto& p : pictureShapes_) r = std::max(r, 0.5 * std::hypot(p.width, p.height));
  return {Position, r * std::abs(Scale)};
}

void Group3D::Append(std::shared_ptr<Element3D> e) {
  if (!e) return;
  compact();  // keeps marked removals from matching the new occurrence
  ++members_[e.get()];
  items_.push_back(std::move(e));
}

bool Group3D::Contains(const Element3D* e) const {
  const auto it = members_.find(e);
  return it != members_.end() && it->second > 0;
}

int Group3D::IndexOf(const Element3D* e) const {
  if (!Contains(e)) return -1;
  compact();
  // Newer elements are removed more often than old ones: search from the end.
  for (int i = Count() - 1; i >= 0; --i) {
    if (items_[static_cast<std::size_t>(i)].get() == e) return i;
  }
  return -1;
}

void Group3D::Remove(const Element3D* e) {
  const auto it = members_.find(e);
  if (it == members_.end() || it->second <= 0) return;
  if (--it->second == 0) members_.erase(it);
  ++pending_[e];
  ++pendingCount_;
}

void Group3D::Remove(int index) {
  compact();
  if (index < 0 || index >= Count()) return;
  const Element3D* e = items_[static_cast<std::size_t>(index)].get();
  const auto it = members_.find(e);
  if (it != members_.end() && --it->second == 0) members_.erase(it);
  items_.erase(items_.begin() + index);
}

void Group3D::compact() const {
  if (pendingCount_ == 0) return;
  // Walk from the end so that each marked removal takes the last occurrence.
  std::vector<std::shared_ptr<Element3D>> kept;
  kept.reserve(items_.size() - pendingCount_);
  for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
    const auto p = pending_.find(it->get());
    if (p != pending_.end() && p->second > 0) {
      --p->second;
      continue;
    }
    kept.push_back(std::move(*it));
  }
  std::reverse(kept.begin(), kept.end());
  items_ = std::move(kept);
  pending_.clear();
  pendingCount_ = 0;
}
