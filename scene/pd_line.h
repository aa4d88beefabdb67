#pragma once

#include "scene/pd3d_object.h"

// A straight segment from p1 to p2 (nil p1: origin; nil p2: p1 + (1, 0, 0)).
class PDLine : public PD3DObject {
public:
  // Marks a label's leader line; such lines are left out of rescaling.
  bool labelline = false;

  void Constructor(const Vector3D* p1, const Vector3D* p2, Color color);
  // A label's leader line: as above, marked from the start
  // (New<PDLine>(&p1, &p2, color, PDLine::kLeaderLine)).
  struct LeaderLineTag {};
  static constexpr LeaderLineTag kLeaderLine{};
  void Constructor(const Vector3D* p1, const Vector3D* p2, Color color, LeaderLineTag);
  [[nodiscard]] bool FollowsSceneScale() const override { return !labelline; }
};
