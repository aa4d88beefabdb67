#include "framework/3d/element3d.h"

#include "framework/3d/threedmf.h"

#include <algorithm>
#include <atomic>
#include <cmath>

namespace {
// Bits of Element3D::groupState_ for the group named by groupId_.
constexpr std::uint8_t kMember = 1;   // in the group once
constexpr std::uint8_t kPending = 2;  // removed, still in its list until the next compaction
}  // namespace

Element3D::Element3D() = default;
Element3D::~Element3D() = default;

ElementExtras& Element3D::extras() {
  if (!extras_) extras_ = std::make_unique<ElementExtras>();
  return *extras_;
}

Bounds3D& Element3D::Bounds() { return extras().bounds; }

const Bounds3D& Element3D::Bounds() const {
  static const Bounds3D none;
  return extras_ ? extras_->bounds : none;
}

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

std::shared_ptr<Element3D> Element3D::PartOf() const { return extras_ ? extras_->partOf.lock() : nullptr; }

void Element3D::SetPartOf(const std::shared_ptr<Element3D>& composite) {
  if (composite) {
    extras().partOf = composite;
  } else if (extras_) {
    extras_->partOf.reset();
  }
}

// ---- Object3D ----

bool Object3D::AddShapeFromString(const std::string& text, int) {
  ShapeParseResult result = ReadShapeText(text);
  if (!result.ok()) {
    extras().lastShapeError = result.error;
    return false;
  }
  if (extras_) extras_->lastShapeError.clear();
  for (auto& shape : result.shapes) AddMeshShape(std::move(shape));
  return true;
}

void Object3D::AddMeshShape(std::shared_ptr<const MeshShape> shape) {
  if (!mesh_ && (!extras_ || extras_->meshShapes.empty())) {
    mesh_ = std::move(shape);
    return;
  }
  auto& all = extras().meshShapes;
  if (mesh_) all.push_back(std::move(mesh_));
  all.push_back(std::move(shape));
}

void Object3D::RemoveAllShapes() {
  mesh_.reset();
  if (extras_) {
    extras_->meshShapes.clear();
    extras_->pictureShapes.clear();
  }
}

Object3D::MeshShapeList Object3D::MeshShapes() const {
  if (extras_ && !extras_->meshShapes.empty()) return extras_->meshShapes;
  return mesh_ ? MeshShapeList(&mesh_, 1) : MeshShapeList();
}

Object3D::PictureShapeList Object3D::PictureShapes() const {
  return extras_ ? PictureShapeList(extras_->pictureShapes) : PictureShapeList();
}

const std::string& Object3D::LastShapeError() const {
  static const std::string none;
  return extras_ ? extras_->lastShapeError : none;
}

void Object3D::AddShapePicture(const QImage& picture, double scale, int) {
  PictureShape shape;
  shape.image = picture.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  shape.width = picture.width() * scale;
  shape.height = picture.height() * scale;
  extras().pictureShapes.push_back(std::move(shape));
}

Bounds3D Object3D::ComputeBounds(int) const {
  double r = 0.0;
  for (const auto& s : MeshShapes()) r = std::max(r, s->Radius());
  for (const auto& p : PictureShapes()) r = std::max(r, 0.5 * std::hypot(p.width, p.height));
  return {Position, r * std::abs(Scale)};
}

// ---- Group3D ----

namespace {
// Group ids are never reused, so an element can never mistake a later group
// for the one that counted it.
std::uint32_t newGroupId() {
  static std::atomic<std::uint32_t> next{1};
  return next.fetch_add(1, std::memory_order_relaxed);
}
}  // namespace

Group3D::Group3D() : id_(newGroupId()) {}

Group3D::~Group3D() {
  // The elements may outlive the group: they keep no membership of it.
  for (const auto& e : items_) {
    if (e && ownsMembership(*e)) {
      e->groupId_ = 0;
      e->groupState_ = 0;
    }
  }
}

void Group3D::Append(std::shared_ptr<Element3D> e) {
  if (!e) return;
  compact(false);  // keeps marked removals from matching the new occurrence
  Element3D& x = *e;
  if (ownsMembership(x)) {
    // A second occurrence: from now on the table counts this element.
    x.groupId_ = 0;
    x.groupState_ = 0;
    members_[&x] = 2;
  } else if (x.groupId_ == 0 && !members_.contains(&x)) {
    x.groupId_ = id_;
    x.groupState_ = kMember;
  } else {
    ++members_[&x];
  }
  // A large list grows by a quarter, not twice over: a scene of a million
  // elements would otherwise carry up to a million empty places.
  constexpr std::size_t kLarge = 1 << 16;
  if (items_.size() == items_.capacity() && items_.size() >= kLarge) items_.reserve(items_.size() + items_.size() / 4);
  items_.push_back(std::move(e));
}

bool Group3D::Contains(const Element3D* e) const {
  if (e == nullptr) return false;
  if (ownsMembership(*e)) return (e->groupState_ & kMember) != 0;
  const auto it = members_.find(e);
  return it != members_.end() && it->second > 0;
}

int Group3D::IndexOf(const Element3D* e) const {
  if (!Contains(e)) return -1;
  compact(false);
  // Newer elements are removed more often than old ones: search from the end.
  for (int i = Count() - 1; i >= 0; --i) {
    if (items_[static_cast<std::size_t>(i)].get() == e) return i;
  }
  return -1;
}

void Group3D::Remove(const Element3D* e) {
  if (e == nullptr) return;
  if (ownsMembership(*e)) {
    if ((e->groupState_ & kMember) == 0) return;
    // The element stays claimed by this group until compaction takes it out.
    e->groupState_ = kPending;
    ++pendingCount_;
    return;
  }
  const auto it = members_.find(e);
  if (it == members_.end() || it->second <= 0) return;
  if (--it->second == 0) members_.erase(it);
  ++pending_[e];
  ++pendingCount_;
}

void Group3D::dropMembership(const Element3D& e) {
  if (ownsMembership(e)) {
    e.groupId_ = 0;
    e.groupState_ = 0;
    return;
  }
  const auto it = members_.find(&e);
  if (it != members_.end() && --it->second == 0) members_.erase(it);
}

void Group3D::Remove(int index) {
  compact(false);
  if (index < 0 || index >= Count()) return;
  dropMembership(*items_[static_cast<std::size_t>(index)]);
  items_.erase(items_.begin() + index);
}

void Group3D::releaseSpareRoom() const {
  // A group emptied of a large scene does not keep the room it took; one
  // that only shrinks a little keeps it for the next additions.
  constexpr std::size_t kSmall = 4096;
  if (items_.capacity() > kSmall && items_.size() < items_.capacity() / 8) items_.shrink_to_fit();
}

void Group3D::compact(bool releaseRoom) const {
  if (pendingCount_ != 0) takeOutMarked();
  if (releaseRoom) releaseSpareRoom();
}

void Group3D::takeOutMarked() const {
  // Walk from the end so that each marked removal takes the last occurrence.
  // Marked elements are taken out in place: the kept ones move down.
  std::size_t write = items_.size();
  for (std::size_t read = items_.size(); read-- > 0;) {
    Element3D& x = *items_[read];
    bool removed = false;
    if (ownsMembership(x)) {
      if (x.groupState_ == kPending) {
        x.groupId_ = 0;
        x.groupState_ = 0;
        removed = true;
      }
    } else if (!pending_.empty()) {
      const auto p = pending_.find(&x);
      if (p != pending_.end() && p->second > 0) {
        --p->second;
        removed = true;
      }
    }
    if (removed) {
      items_[read].reset();
    } else if (--write != read) {
      items_[write] = std::move(items_[read]);
    }
  }
  items_.erase(items_.begin(), items_.begin() + static_cast<std::ptrdiff_t>(write));
  pending_.clear();
  pendingCount_ = 0;
}
