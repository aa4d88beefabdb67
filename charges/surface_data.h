#pragma once

#include "charges/math.h"
#include "framework/math/vector3d.h"

#include <cstdint>
#include <memory>
#include <vector>

class PD3DObject;

// One segment of a body's grid outline.
class GridLine {
public:
  Vector3D v1;
  Vector3D v2;
  // The scene line made by the last Display; null before.
  std::shared_ptr<PD3DObject> GraphRep;
  bool pos = false;

  GridLine(const Vector3D& v1, const Vector3D& v2, bool pos);
  // The edge's ends scaled by radius and moved by center.
  GridLine(const Edge& e, const Vector3D& center, double radius, bool pos);
  virtual ~GridLine() = default;

  // A new red (pos) or blue line in the current scene.
  virtual void Display();
};

// The body beside a charged object: the near-body test and the grid outline.
// Bodies keep their own copies of the vectors they are given.
class SurfaceData {
public:
  virtual ~SurfaceData() = default;

  std::vector<std::shared_ptr<GridLine>> LineList;
  bool gridEnabled = false;

  // True when P lies within 20 units of where the body's charges sit.
  [[nodiscard]] virtual bool DistCheck(const Vector3D& P) const;
  // Whether the field pass leaves lattice point P without an arrow: near the
  // charges, and for a sphere also on the side whose arrows are not wanted.
  [[nodiscard]] virtual bool HidesArrowAt(const Vector3D& P) const;
  // Displays every segment of LineList in order.
  virtual void DrawGrid();

protected:
  void AppendLine(const Vector3D& a, const Vector3D& b, bool pos);
};

class LineData : public SurfaceData {
public:
  Vector3D point;
  Vector3D myVec;

  LineData(const Vector3D& point, const Vector3D& myVec, bool grid, bool pos);
  [[nodiscard]] bool DistCheck(const Vector3D& P) const override;
};

class PlaneData : public SurfaceData {
public:
  double normX = 0.0, normY = 0.0, normZ = 0.0;
  double X = 0.0, Y = 0.0, Z = 0.0;

  PlaneData(double normX, double normY, double normZ, double X, double Y, double Z, double size,
            std::int32_t n, bool grid, bool pos);
  [[nodiscard]] bool DistCheck(const Vector3D& P) const override;
};

class SphereData : public SurfaceData {
public:
  // Which side of the sphere keeps its arrows: the sphere sheet's radio
  // buttons Both, Inside and Outside, as the numbers they always stood for.
  enum class ArrowSide : std::int32_t { Both = 0, Inside = 1, Outside = 2 };

  Vector3D Center;
  double radius = 0.0;
  ArrowSide ShowVectors = ArrowSide::Both;

  SphereData(const Vector3D& Center, double radius, bool grid, bool pos, ArrowSide ShowVectors);
  // No outline; the body of a single point charge and the ring test's helper.
  SphereData(const Vector3D& Center, double radius);
  [[nodiscard]] bool DistCheck(const Vector3D& P) const override;
  // A shell of half-thickness w about the sphere.
  [[nodiscard]] bool DistCheck(const Vector3D& P, double w) const;
  [[nodiscard]] bool HidesArrowAt(const Vector3D& P) const override;
};

class RingData : public SurfaceData {
public:
  Vector3D Center;
  double radius = 0.0;
  Vector3D Normal;

  RingData(const Vector3D& Center, double radius, const Vector3D& Normal, std::int32_t n, bool grid, bool pos);
  [[nodiscard]] bool DistCheck(const Vector3D& P) const override;
};

class CylinderData : public SurfaceData {
public:
  Vector3D center;
  double radius = 0.0;
  double length = 0.0;
  Vector3D normal;

  CylinderData(const Vector3D& center, const Vector3D& normal, double radius, double length, std::int32_t n,
               bool grid, bool pos);
  // Near the mantle along its whole length: within 20 of the mantle radially
  // and from 20 before one rim to 20 beyond the other along the axis.
  [[nodiscard]] bool DistCheck(const Vector3D& P) const override;
};
