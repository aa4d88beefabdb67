#pragma once

#include "framework/3d/shape.h"
#include "framework/math/quaternion.h"
#include "framework/math/vector3d.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

// A sphere that holds an element's displayed solid, in world units.
struct Bounds3D {
  Vector3D Center;
  double Radius = 0.0;
};

struct ElementExtras;

// An element of a 3D scene: placed by Position, live Orientation (its own axes
// turned into the world's) and a uniform Scale. Elements are shared and
// compared by identity.
//
// Scenes hold a million elements, so an element carries only what every
// element needs; what few use (stored bounds, a second shape, pictures, the
// reason a shape text was refused, the composite it is a part of) lives in a
// record made on first use. An element keeps no reference to itself: whoever
// needs its owner while setting it up finds it through OwnerScope.
class Element3D {
public:
  Element3D();
  Element3D(const Element3D&) = delete;
  Element3D& operator=(const Element3D&) = delete;
  virtual ~Element3D();

  Vector3D Position;
  Quaternion Orientation;  // changing it in place turns the element
  double Scale = 1.0;

  // The bounds as last stored (write, then read); zero until then.
  [[nodiscard]] Bounds3D& Bounds();
  [[nodiscard]] const Bounds3D& Bounds() const;

  // Turns about the element's own z (Roll) or x (Pitch) axis, right-handed;
  // the turn is applied before the current orientation.
  void Roll(double angle);
  void Pitch(double angle);
  void Yaw(double angle);

  // A sphere about Position that covers the displayed solid (mode 1 and 2 alike).
  [[nodiscard]] virtual Bounds3D ComputeBounds(int mode) const;

  // Where a point given in the element's own coordinates is displayed.
  [[nodiscard]] Vector3D ToWorld(const Vector3D& local) const;

protected:
  // The composite element this one is a part of, if it is one and that
  // composite still exists.
  [[nodiscard]] std::shared_ptr<Element3D> PartOf() const;
  void SetPartOf(const std::shared_ptr<Element3D>& composite);

private:
  friend class Group3D;
  friend class Object3D;
  ElementExtras& extras();
  [[nodiscard]] const ElementExtras* extrasIfAny() const { return extras_.get(); }

  std::unique_ptr<ElementExtras> extras_;
  // The one group that counts this element's membership itself (0: none);
  // see Group3D.
  mutable std::uint32_t groupId_ = 0;

public:
  bool Visible = true;
  bool RenderBackFaces = false;
  bool NullShader = false;  // drawn unlit

private:
  mutable std::uint8_t groupState_ = 0;
};

// An element with shapes: 3DMF shape texts and pictures. One mesh shape is
// held in the element itself; more, and pictures, in its record.
class Object3D : public Element3D {
public:
  using MeshShapeList = std::span<const std::shared_ptr<const MeshShape>>;
  using PictureShapeList = std::span<const PictureShape>;

  // Adds the shapes described by a 3DMF text. A malformed text adds nothing;
  // the reason, naming the line, is then in LastShapeError(). Returns success.
  bool AddShapeFromString(const std::string& text, int index = -1);
  // Adds a shape already read (from ReadShapeText).
  void AddMeshShape(std::shared_ptr<const MeshShape> shape);
  // Adds a picture as a flat shape, `scale` object units per pixel.
  void AddShapePicture(const QImage& picture, double scale = 1.0, int index = -1);
  // Takes every mesh shape and picture away.
  void RemoveAllShapes();

  [[nodiscard]] MeshShapeList MeshShapes() const;
  [[nodiscard]] PictureShapeList PictureShapes() const;
  [[nodiscard]] const std::string& LastShapeError() const;

  [[nodiscard]] Bounds3D ComputeBounds(int mode) const override;

private:
  std::shared_ptr<const MeshShape> mesh_;  // the only mesh shape, while there is one
};

// What few elements carry (see Element3D).
struct ElementExtras {
  Bounds3D bounds;
  // Every mesh shape of an object with two or more.
  std::vector<std::shared_ptr<const MeshShape>> meshShapes;
  std::vector<PictureShape> pictureShapes;
  std::string lastShapeError;
  std::weak_ptr<Element3D> partOf;
};

// An ordered group of elements. Item(i) counts from 0; an index at or past
// Count gives no item. Removal moves later items down one place; removing an
// element that is not in the group changes nothing.
//
// Removal by element costs O(1): the element is only marked, and the marked
// elements leave the list together at the next access by index (or append).
// Taking thousands of spheres out one by one thus costs one pass, not one
// pass each. An element that is in one group once (nearly every element)
// keeps that membership and its mark itself; elements in several groups, or
// several times in one, are counted in the group's tables.
class Group3D {
public:
  Group3D();
  ~Group3D();
  Group3D(const Group3D&) = delete;
  Group3D& operator=(const Group3D&) = delete;

  [[nodiscard]] int Count() const { return static_cast<int>(items_.size() - pendingCount_); }
  [[nodiscard]] std::shared_ptr<Element3D> Item(int i) const {
    compact(false);
    return (i >= 0 && i < Count()) ? items_[static_cast<std::size_t>(i)] : nullptr;
  }
  void Append(std::shared_ptr<Element3D> e);
  void Remove(const Element3D* e);
  void Remove(const Element3D& e) { Remove(&e); }
  void Remove(int index);
  [[nodiscard]] bool Contains(const Element3D* e) const;
  [[nodiscard]] int IndexOf(const Element3D* e) const;
  // The whole list, as drawing and picking walk it; a list far smaller than
  // its room gives the room back here (not while a pass takes a scene out
  // and puts it back, element by element).
  [[nodiscard]] const std::vector<std::shared_ptr<Element3D>>& Items() const {
    compact(true);
    return items_;
  }

private:
  // Takes the marked removals out; releaseRoom: and gives back the room of a
  // list that has become far smaller.
  void compact(bool releaseRoom) const;
  void takeOutMarked() const;
  void releaseSpareRoom() const;
  // One membership less (the element's own count or the table's).
  void dropMembership(const Element3D& e);
  [[nodiscard]] bool ownsMembership(const Element3D& e) const { return e.groupId_ == id_; }

  std::uint32_t id_;
  mutable std::vector<std::shared_ptr<Element3D>> items_;
  // How often each element is in items_, not counting marked removals, for
  // elements whose membership this group does not keep in the element.
  std::unordered_map<const Element3D*, int> members_;
  // Removals not yet taken out of items_ (the last occurrences go first).
  mutable std::unordered_map<const Element3D*, int> pending_;
  mutable std::size_t pendingCount_ = 0;
};
