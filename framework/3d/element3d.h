#pragma once

#include "framework/3d/shape.h"
#include "framework/math/quaternion.h"
#include "framework/math/vector3d.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class Picture;

// A sphere that holds an element's displayed solid, in world units.
struct Bounds3D {
  Vector3D Center;
  double Radius = 0.0;
};

// An element of a 3D scene: placed by Position, live Orientation (its own axes
// turned into the world's) and a uniform Scale. Elements are shared and
// compared by identity.
class Element3D : public std::enable_shared_from_this<Element3D> {
public:
  Element3D() = default;
  Element3D(const Element3D&) = delete;
  Element3D& operator=(const Element3D&) = delete;
  virtual ~Element3D() = default;

  Vector3D Position;
  Quaternion Orientation;  // changing it in place turns the element
  double Scale = 1.0;
  bool Visible = true;
  bool RenderBackFaces = false;
  bool NullShader = false;  // drawn unlit
  Bounds3D Bounds;

  // Turns about the element's own z (Roll) or x (Pitch) axis, right-handed;
  // the turn is applied before the current orientation.
  void Roll(double angle);
  void Pitch(double angle);
  void Yaw(double angle);

  // A sphere about Position that covers the displayed solid (mode 1 and 2 alike).
  [[nodiscard]] virtual Bounds3D ComputeBounds(int mode) const;

  // Where a point given in the element's own coordinates is displayed.
  [[nodiscard]] Vector3D ToWorld(const Vector3D& local) const;
};

// An element with shapes: 3DMF shape texts and pictures.
class Object3D : public Element3D {
public:
  // Adds the shapes described by a 3DMF text. A malformed text adds nothing;
  // the reason, naming the line, is then in LastShapeError(). Returns success.
  bool AddShapeFromString(const std::string& text, int index = -1);
  // Adds a picture as a flat shape, `scale` object units per pixel.
  void AddShapePicture(const QImage& picture, double scale = 1.0, int index = -1);
  void AddShapePicture(const Picture& picture, double scale = 1.0, int index = -1);

  [[nodiscard]] const std::vector<std::shared_ptr<const MeshShape>>& MeshShapes() const { return meshShapes_; }
  [[nodiscard]] const std::vector<PictureShape>& PictureShapes() const { return pictureShapes_; }
  [[nodiscard]] const std::string& LastShapeError() const { return lastShapeError_; }

  [[nodiscard]] Bounds3D ComputeBounds(int mode) const override;

private:
  std::vector<std::shared_ptr<const MeshShape>> meshShapes_;
  std::vector<PictureShape> pictureShapes_;
  std::string lastShapeError_;
};

// An ordered group of elements. Item(i) counts from 0; an index at or past
// Count gives no item. Removal moves later items down one place; removing an
// element that is not in the group changes nothing.
//
// Removal by element costs O(1): the element is only marked, and the marked
// elements leave the list together at the next access by index (or append).
// Taking thousands of spheres out one by one thus costs one pass, not one
// pass each.
class Group3D {
public:
  [[nodiscard]] int Count() const { return static_cast<int>(items_.size() - pendingCount_); }
  [[nodiscard]] std::shared_ptr<Element3D> Item(int i) const {
    compact();
    return (i >= 0 && i < Count()) ? items_[static_cast<std::size_t>(i)] : nullptr;
  }
  void Append(std::shared_ptr<Element3D> e);
  void Remove(const Element3D* e);
  void Remove(const Element3D& e) { Remove(&e); }
  void Remove(int index);
  [[nodiscard]] bool Contains(const Element3D* e) const;
  [[nodiscard]] int IndexOf(const Element3D* e) const;
  [[nodiscard]] const std::vector<std::shared_ptr<Element3D>>& Items() const {
    compact();
    return items_;
  }

private:
  void compact() const;

  mutable std::vector<std::shared_ptr<Element3D>> items_;
  // How often each element is in items_, not counting marked removals.
  std::unordered_map<const Element3D*, int> members_;
  // Removals not yet taken out of items_ (the last occurrences go first).
  mutable std::unordered_map<const Element3D*, int> pending_;
  mutable std::size_t pendingCount_ = 0;
};
