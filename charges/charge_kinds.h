#pragma once

#include "charges/charged_object.h"
#include "charges/math.h"
#include "charges/surface_data.h"

#include <cstdint>
#include <optional>

// The six kinds of charged object. Each is made with New<Kind>(...): the
// Constructor runs on the shared object, so its point charges can refer back
// to it. Each sets Name and Creator (the sheet of its kind) and places its
// point charges; the four exchange operations, which ChargedObject carries out
// for every kind from the facts below, copy texts to and from that sheet.
//
// Beside each Constructor stand the number of point charges it makes, which
// the factories check against the scene's limits before they build, and what
// the factory reads from the kind's sheet: the texts as numbers, with the
// defaults that stand in for a zero or too small a count (ReadSheet).

// How a kind's sheet is laid out for the exchange of texts: its edit fields
// run from EF(firstField) up to the first index the sheet lacks, followed by
// its grid box and its popup where it has them.
struct SheetShape {
  int firstField;
  bool hasGrid;
  bool hasPopup;
};

// What the program knows of a kind beside its point charges: the Name of its
// objects (the text of their rows), its sheet, and the factory that builds one
// from that sheet.
struct ChargeKindFacts {
  const char* name;
  SheetShape sheet;
  void (ChargeFactories::*make)();
};
[[nodiscard]] const ChargeKindFacts& FactsOf(ChargeKind kind);

// One charge q at the position.
class SingleCharge : public ChargedObject {
public:
  [[nodiscard]] std::optional<ChargeKind> Kind() const override { return ChargeKind::Point; }
  static constexpr std::int64_t kPointCharges = 1;
  // The point sheet, taken as it stands.
  struct SheetInput {
    double q, x, y, z;
  };
  [[nodiscard]] static SheetInput ReadSheet(const ChargeSheet& sheet);
  virtual void Constructor(double q, double x, double y, double z);
  virtual void Constructor(double q, const Vector3D& position);
};

// |n| charges of q/|n| from center − vec/2 to center + vec/2.
class LineCharge : public ChargedObject {
public:
  [[nodiscard]] std::optional<ChargeKind> Kind() const override { return ChargeKind::Line; }
  // |n|, worked out in 64 bits so that no count can wrap.
  [[nodiscard]] static std::int64_t PointChargesFor(std::int32_t n);
  // The line sheet: length 0 becomes 1000, a count below 1 becomes 1, charge
  // 0 becomes 1; D is the unit direction times the length.
  struct SheetInput {
    double q;
    Vector3D P, D;
    std::int32_t n;
    double L;
    bool grid;
  };
  [[nodiscard]] static SheetInput ReadSheet(const ChargeSheet& sheet);
  virtual void Constructor(double q, std::int32_t n, const Vector3D& center, const Vector3D& vec);
};

// |n|×|n| charges on a square of side size about center; axis 0 x-y, 1 x-z, 2 y-z.
class PlaneCharge : public ChargedObject {
public:
  [[nodiscard]] std::optional<ChargeKind> Kind() const override { return ChargeKind::Plane; }
  // |n|², worked out in 64 bits so that no count can wrap.
  [[nodiscard]] static std::int64_t PointChargesFor(std::int32_t n);
  // The plane sheet: side 0 becomes 1000, a count below 1 becomes 1, charge 0
  // becomes 1; k is the popup's axis plane.
  struct SheetInput {
    double q, cx, cy, cz;
    std::int32_t n;
    double S;
    bool grid;
    std::int32_t k;
  };
  [[nodiscard]] static SheetInput ReadSheet(const ChargeSheet& sheet);
  virtual void Constructor(double q, std::int32_t n, const Vector3D& center, double size, std::int32_t axis);
};

// Math::kBuckyPoints charges of q/kBuckyPoints on the sphere, at the
// directions of Math::BuckyList.
class SphereCharge : public ChargedObject {
public:
  [[nodiscard]] std::optional<ChargeKind> Kind() const override { return ChargeKind::Sphere; }
  static constexpr std::int64_t kPointCharges = Math::kBuckyPoints;
  // The sphere sheet: radius 0 becomes 300, charge 0 becomes 1; showVectors
  // is the side its buttons choose.
  struct SheetInput {
    double q;
    Vector3D P;
    double R;
    SphereData::ArrowSide showVectors;
    bool grid;
  };
  [[nodiscard]] static SheetInput ReadSheet(const ChargeSheet& sheet);
  virtual void Constructor(double q, const Vector3D& center, double radius);
};

// max(n, kFewestCharges) equal charges on the circle about center,
// perpendicular to normal.
class RingCharge : public ChargedObject {
public:
  [[nodiscard]] std::optional<ChargeKind> Kind() const override { return ChargeKind::Ring; }
  static constexpr std::int32_t kFewestCharges = 4;
  // max(n, kFewestCharges).
  [[nodiscard]] static std::int64_t PointChargesFor(std::int32_t n);
  // The ring sheet: radius 0 becomes 300, a count below kFewestCharges
  // becomes kFewestCharges, charge 0 becomes 1, the normal (0, 0, 0) becomes
  // (1, 0, 0).
  struct SheetInput {
    double q;
    Vector3D P;
    double R;
    Vector3D N;
    std::int32_t n;
    bool grid;
  };
  [[nodiscard]] static SheetInput ReadSheet(const ChargeSheet& sheet);
  virtual void Constructor(double q, const Vector3D& center, double radius, const Vector3D& normal, std::int32_t n);
};

// n rings of kRingCharges charges of q/kRingCharges each (q is the charge of
// one ring) spaced evenly from one end to the other. Changes its caller's
// vectors: on return axis is the step from ring to ring (unit axis ×
// length/(n − 1)) and center lies one step beyond the last ring. A single ring
// lies at the start end; its step is then the whole length.
class CylinderCharge : public ChargedObject {
public:
  [[nodiscard]] std::optional<ChargeKind> Kind() const override { return ChargeKind::Cylinder; }
  static constexpr std::int32_t kRingCharges = 12;
  // n × kRingCharges, none for n below 1; in 64 bits, so that no count can wrap.
  [[nodiscard]] static std::int64_t PointChargesFor(std::int32_t n);
  // The cylinder sheet: length 0 becomes 1000, a count of rings below 1
  // becomes 1, charge 0 becomes 1 (the radius keeps 0); a is the popup's axis.
  struct SheetInput {
    double q;
    Vector3D P;
    std::int32_t n;
    double L, r;
    bool grid;
    std::int32_t a;
  };
  [[nodiscard]] static SheetInput ReadSheet(const ChargeSheet& sheet);
  virtual void Constructor(double q, std::int32_t n, Vector3D& center, Vector3D& axis, double length, double radius);
};

// The perpendicular that ring and cylinder charges and outlines start from:
// ((0 − y) − z, x − z, x + y), or ((0 − y) − z, x + z, x − y) when the first is zero.
[[nodiscard]] Vector3D PerpendicularTo(const Vector3D& a);
// Where the first charge of a ring or cylinder lies from its centre: along
// PerpendicularTo(axis), radius long (and so against it for a negative radius).
// The axis may have any non-zero size: it is rescaled first, so that tiny
// components do not vanish from the perpendicular nor huge ones overflow it.
[[nodiscard]] Vector3D RadiusPerpendicularTo(const Vector3D& axis, double radius);
// The unit direction from a cylinder's start end towards its other end: along
// the axis, or against it for a negative length.
[[nodiscard]] Vector3D CylinderDirection(const Vector3D& axis, double length);
