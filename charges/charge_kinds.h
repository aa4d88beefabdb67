#pragma once

#include "charges/charged_object.h"

#include <cstdint>

// The six kinds of charged object. Each is made with New<Kind>(...): the
// Constructor runs on the shared object, so its point charges can refer back
// to it. Each sets Name and Creator (the sheet of its kind) and places its
// point charges; the four exchange operations copy texts to and from that sheet.

class SingleCharge : public ChargedObject {
public:
  bool CreatorDoneFlag() override;
  void Create() override;
  void ExportData() override;
  void ImportData() override;
  virtual void Constructor(double q, double x, double y, double z);
  virtual void Constructor(double q, const Vector3D& position);
};

// |n| charges of q/|n| from center − vec/2 to center + vec/2.
class LineCharge : public ChargedObject {
public:
  bool CreatorDoneFlag() override;
  void Create() override;
  void ExportData() override;
  void ImportData() override;
  virtual void Constructor(double q, std::int32_t n, const Vector3D& center, const Vector3D& vec);
};

// |n|×|n| charges on a square of side size about center; axis 0 x-y, 1 x-z, 2 y-z.
class PlaneCharge : public ChargedObject {
public:
  bool CreatorDoneFlag() override;
  void Create() override;
  void ExportData() override;
  void ImportData() override;
  virtual void Constructor(double q, std::int32_t n, const Vector3D& center, double size, std::int32_t axis);
};

// 60 charges of q/60 on the sphere, at the directions of Math::BuckyList.
class SphereCharge : public ChargedObject {
public:
  bool CreatorDoneFlag() override;
  void Create() override;
  void ExportData() override;
  void ImportData() override;
  virtual void Constructor(double q, const Vector3D& center, double radius);
};

// max(n, 4) equal charges on the circle about center, perpendicular to normal.
class RingCharge : public ChargedObject {
public:
  bool CreatorDoneFlag() override;
  void Create() override;
  void ExportData() override;
  void ImportData() override;
  virtual void Constructor(double q, const Vector3D& center, double radius, const Vector3D& normal, std::int32_t n);
};

// n rings of 12 charges of q/12 each (q is the charge of one ring) spaced
// evenly from one end to the other. Changes its caller's vectors: on return
// axis is the step from ring to ring (unit axis × length/(n − 1)) and center
// lies one step beyond the last ring. A single ring lies at the start end;
// its step is then the whole length.
class CylinderCharge : public ChargedObject {
public:
  bool CreatorDoneFlag() override;
  void Create() override;
  void ExportData() override;
  void ImportData() override;
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
