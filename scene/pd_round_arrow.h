#pragma once

#include "scene/pd3d_object.h"
#include "scene/pd_cone.h"
#include "scene/pd_cylinder.h"

#include <memory>
#include <vector>

// A solid arrow from pos along axis: a cylinder shaft and a cone head. The
// holder draws nothing; it and its two parts are removed together.
class PDRoundArrow : public PD3DObject {
public:
  std::shared_ptr<PDCone> cone;
  std::shared_ptr<PDCylinder> cylinder;

  void Rotate(double angle, Vector3D& axis, const Vector3D& center) override;
  [[nodiscard]] std::vector<PD3DObject*> Parts() const override { return {cylinder.get(), cone.get()}; }
  void Constructor(const Vector3D* pos, Color color, const Vector3D* axis);
  void SetAxis(const Vector3D& newAxis);
};
