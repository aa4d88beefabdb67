#pragma once

#include "scene/pd3d_object.h"
#include "scene/pd_line.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A text shown as a flat picture that keeps its place relative to the camera
// (relpos, in the orbit frame) and faces it; optionally framed and joined by
// a leader line to its anchor pos.
class PDLabel : public PD3DObject {
public:
  std::shared_ptr<PDLine> line;
  Vector3D relpos;
  Color lineclr = 0;

  void Constructor(const Vector3D* pos, const std::string& text, double verticalOffset, double horizontalOffset,
                   std::int32_t textSize, std::int32_t margin, const std::string& fontName, Color textColor,
                   Color lineColor, bool framed, bool withLeaderLine);

  [[nodiscard]] std::vector<PD3DObject*> Parts() const override;
  [[nodiscard]] bool FollowsSceneScale() const override;
  // Keeps its place relative to the camera and faces it; a leader line is
  // renewed from the anchor to the label's new place.
  void FaceCamera(const CameraFrame& frame) override;
};
