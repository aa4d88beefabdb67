#pragma once

#include "scene/pd3d_object.h"
#include "scene/pd_box.h"
#include "scene/pd_pyramid.h"

#include <memory>
#include <vector>

// A flat arrow from pos along axis: a square box shaft and a pyramid head,
// sections turned by up. The holder draws nothing.
class PDArrow : public PD3DObject {
public:
  std::shared_ptr<PDPyramid> pyramid;
  std::shared_ptr<PDBox> Box;

  void Rotate(double angle, Vector3D& axis, const Vector3D& center) override;
  [[nodiscard]] std::vector<PD3DObject*> Parts() const override { return {Box.get(), pyramid.get()}; }
  void Constructor(const Vector3D* pos, Color color, const Vector3D* axis, Vector3D* up);
  void SetAxis(const Vector3D& newAxis);
};
