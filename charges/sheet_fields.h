#pragma once

// The edit fields EF(index) of the six set-up sheets, named by what each one
// holds. The sheets' layouts create them under these indices, the factories
// read them, and the charged objects exchange their texts in the order of the
// indices; each sheet's fields run without a gap from First to Last.

// The point sheet: position and charge.
namespace PointField {
enum : int { X = 0, Y, Z, Charge, First = X, Last = Charge };
}

// The line sheet: centre, direction, total charge, length and the number of
// point charges. It has no EF(0).
namespace LineField {
enum : int {
  CenterX = 1,
  CenterY,
  CenterZ,
  VectorX,
  VectorY,
  VectorZ,
  Charge,
  Length,
  Count,
  First = CenterX,
  Last = Count,
};
}

// The plane sheet: the number of point charges per side, centre, total charge
// and side.
namespace PlaneField {
enum : int { Count = 0, CenterX, CenterY, CenterZ, Charge, Side, First = Count, Last = Side };
}

// The sphere sheet: centre, total charge and radius.
namespace SphereField {
enum : int { CenterX = 0, CenterY, CenterZ, Charge, Radius, First = CenterX, Last = Radius };
}

// The cylinder sheet: centre, the charge of each ring, length, the number of
// rings and radius.
namespace CylinderField {
enum : int { CenterX = 0, CenterY, CenterZ, ChargePerRing, Length, Rings, Radius, First = CenterX, Last = Radius };
}

// The ring sheet: centre, normal, total charge, radius and the number of
// point charges.
namespace RingField {
enum : int {
  CenterX = 0,
  CenterY,
  CenterZ,
  NormalX,
  NormalY,
  NormalZ,
  Charge,
  Radius,
  Count,
  First = CenterX,
  Last = Count,
};
}
