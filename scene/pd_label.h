#pragma once

#include "scene/pd3d_object.h"
#include "scene/pd_line.h"

#include <cstdint>
#include <memory>
#include <string>

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

  // Whether any label is a member of the group. Labels are few and scenes
  // large: the camera's label pass asks this instead of testing every member.
  [[nodiscard]] static bool AnyIn(const Group3D& group);
};
