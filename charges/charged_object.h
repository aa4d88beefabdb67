#pragma once

#include "charges/sheet_link.h"
#include "framework/math/vector3d.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class PD3DObject;
class ChargedObject;

// Colours of a point charge's sphere by sign; the main window recognises a
// highlighted object by the two selection colours.
inline constexpr std::uint32_t kPositiveColor = 0xFF0000;
inline constexpr std::uint32_t kNegativeColor = 0x0000FF;
inline constexpr std::uint32_t kPositiveSelectedColor = 0x660000;
inline constexpr std::uint32_t kNegativeSelectedColor = 0x000066;

// One point charge of a charged object.
class PointCharge {
public:
  virtual ~PointCharge() = default;

  double Charge = 0.0;
  Vector3D Position;
  // The sphere made by the last Display or DisplaySelected; null before.
  std::shared_ptr<PD3DObject> GraphRep;
  // Back reference to the owner; never keeps it alive.
  std::weak_ptr<ChargedObject> Parent;

  // Keeps its own copy of position.
  virtual void Constructor(double q, const Vector3D& position, std::weak_ptr<ChargedObject> parent);
  // Each makes a new sphere in the current scene and keeps it in GraphRep;
  // the previous sphere stays in the scene until the caller removes it.
  virtual void Display();
  virtual void DisplaySelected();
  // Shows the charge as Display (selected: DisplaySelected) does, for a
  // caller that has taken the charge's sphere out of the scene: the sphere
  // in GraphRep goes back into the scene in the look a new one would have,
  // instead of a new one being made. Where it cannot (no sphere, or one of
  // another view), a new sphere is made.
  void Redisplay(bool selected);

  // Radius of the sphere that shows a charge q: ten times its cube root, at least 2.
  [[nodiscard]] static double SphereSize(double q);
};

// The point charges of one object as contiguous arrays, in list order, so
// that field sums stream through memory.
struct PackedCharges {
  std::vector<double> x;
  std::vector<double> y;
  std::vector<double> z;
  std::vector<double> q;
  [[nodiscard]] std::size_t size() const { return q.size(); }
};

// A charge distribution as a fixed list of point charges, built once by the
// Constructor of its kind (charges/charge_kinds.h).
class ChargedObject : public std::enable_shared_from_this<ChargedObject> {
public:
  virtual ~ChargedObject() = default;

  std::vector<std::shared_ptr<PointCharge>> ChargeList;
  std::string Name;
  ChargeSheet* Creator = nullptr;
  // The sheet texts the object was made from, for an edit.
  std::vector<std::string> InputData;

  // Σ qᵢ (P − rᵢ) / |P − rᵢ|³ over ChargeList in list order. At a point
  // charge's own position the sum is NaN: callers may scale it, take its
  // Length and compare it (every comparison is false) without failing.
  // Yields to the event loop after each point charge, so call it on the GUI
  // thread only; workers use SumFieldAt, which has the same bits.
  [[nodiscard]] virtual Vector3D VoltixAt(const Vector3D& P) const;
  virtual void DisplayIt();
  // The kind of object, whose facts (charge_kinds.h) drive the four exchanges
  // with its sheet below (charge_kinds.cpp); a plain ChargedObject is of no
  // kind and its four do nothing (CreatorDoneFlag is false).
  [[nodiscard]] virtual std::optional<ChargeKind> Kind() const { return std::nullopt; }
  virtual bool CreatorDoneFlag();
  virtual void Create();
  virtual void ExportData();
  virtual void ImportData();
  virtual void DisplaySelected();
  // DisplayIt (selected: DisplaySelected) for a caller that has taken the
  // object's spheres out of the scene: each point charge's Redisplay, with
  // the same yields.
  void Redisplay(bool selected);

  // Lets go of the point charges and of all made from them (their spheres,
  // the packed copy), for an object that will be neither shown nor summed
  // again: an unlisted object that is only held, so that it does not hold
  // the memory of its charges too.
  void DropCharges();

  // The contiguous copy of ChargeList's charges and positions. Built by the
  // kinds' constructors; rebuilt here if ChargeList has changed size since.
  // Call it on the owning thread before handing the object to workers.
  [[nodiscard]] const PackedCharges& Packed() const;

protected:
  // Appends a new point charge with this object as its parent.
  void AddCharge(double q, const Vector3D& position);
  // Copies ChargeList into the packed arrays; the kinds call it last.
  void PackCharges() const;

private:
  mutable PackedCharges packed_;
  // Point charges are made many at a time, in blocks that live as long as
  // any of their charges is referred to.
  std::shared_ptr<std::vector<PointCharge>> chargeBlock_;
};
