#include "scene/pd_label.h"

#include "framework/runtime/construct.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "framework/ui/picture.h"
#include "scene/pd3d_space.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// The named font if an installed font has that name, else empty (the default
// font). Yields once per installed font.
std::string InstalledFontNamed(const std::string& fontName) {
  std::string found;
  if (fontName.empty()) return found;
  const int n = FontCount();
  for (int i = 0; i < n; ++i) {
    if (Font(i) == fontName) found = fontName;
    RuntimeBackgroundTask();
  }
  return found;
}

}  // namespace

std::vector<PD3DObject*> PDLabel::Parts() const {
  if (line) return {line.get()};
  return {};
}

// Placed in display units, relative to the camera.
bool PDLabel::FollowsSceneScale() const { return false; }

void PDLabel::FaceCamera(const CameraFrame& frame) {
  Position = frame.orbit.Transform(relpos).Plus(frame.center);
  Orientation = Quaternion(0.0, 0.0, 1.0, 0.0);
  Orientation.MultiplyBy(frame.orientation);
  if (!line) return;
  frame.scene.Remove(line.get());
  const Vector3D from = Need(pos).Times(frame.scale);
  const Vector3D to = Position;
  auto renewed = New<PDLine>(&from, &to, lineclr, PDLine::kLeaderLine);
  renewed->SetCompositeHolder(Self());
  line = renewed;
  renewed->ApplyScale(1.0);
  // Its points are displayed ones, so it takes no scale of its own. During an
  // update that changes the scene scale, ApplyScale leaves it the ratio of
  // the new scale to the old one, and the line would overshoot the label by
  // that factor until the next update.
  renewed->Scale = 1.0;
}

void PDLabel::Constructor(const Vector3D* pos, const std::string& text, double verticalOffset,
                          double horizontalOffset, std::int32_t textSize, std::int32_t margin,
                          const std::string& fontName, Color textColor, Color lineColor, bool framed,
                          bool withLeaderLine) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  if (textSize == 0) textSize = 12;
  if (margin == 0) margin = 5;

  // The font is looked up once and serves both the measuring and the drawing.
  const std::string font = InstalledFontNamed(fontName);
  std::int32_t w = 0;
  if (const auto measuring = NewPicture(10, 10, 32)) {
    Graphics& g = measuring->Graphics();
    g.TextFont = font;
    g.TextSize = textSize;
    w = ToInt32(g.StringWidth(text));
  }
  const int width = w + 2 * margin;
  const int height = textSize + 2 * margin;

  // Negative sizes or margins can leave no picture at all: then nothing is drawn.
  const std::shared_ptr<Picture> picture = NewPicture(width, height, 32);
  if (picture) {
    Graphics& g = picture->Graphics();
    if (framed) {
      g.ForeColor = 0xFEFEFE;
      g.FillRect(0, 0, width, height);
      g.ForeColor = lineColor;
      g.PenWidth = 1;
      g.DrawRect(0, 0, width, height);
    }
    g.TextFont = font;
    g.ForeColor = textColor;
    g.TextSize = textSize;
    // Baseline 3 pixels above the bottom margin.
    g.DrawString(text, margin, textSize + margin - 3, 0.0, false);
  }
  if (picture) {
    AddShapePicture(picture->Image(), 1.0, -1);
  } else {
    AddShapePicture(QImage(), 1.0, -1);  // an empty shape: nothing shown
  }

  // Place in the orbit frame: the anchor as seen from the camera of the
  // opening view (latitude 10, longitude 0).
  const double D = static_cast<double>(view.CFDistance);
  const double a = 10.0 * std::numbers::pi / 180.0;
  const Vector3D s(0.0, D * std::sin(a), D * std::cos(a));
  Vector3D t = p.Minus(s);
  Quaternion q;
  q.SetRotateAboutAxis(1.0, 0.0, 0.0, a);
  t = q.Transform(t);
  q.SetRotateAboutAxis(0.0, 1.0, 0.0, std::numbers::pi / 2.0);
  t = q.Transform(t);
  Vector3D working(D, 0.0, 0.0);
  working.Add(t);
  relpos = Vector3D(working.X + 0.0, working.Y + horizontalOffset, working.Z - verticalOffset);
  Position = relpos.Times(Scale);
  this->pos = p;
  RenderBackFaces = true;
  NullShader = true;
  JoinSpace();
  KeepFacingCamera();

  if (withLeaderLine) {
    const Vector3D anchor = *this->pos;
    const Vector3D end = Position;
    line = New<PDLine>(&anchor, &end, lineColor, PDLine::kLeaderLine);
    line->SetCompositeHolder(Self());
    lineclr = lineColor;
    line->NullShader = true;
  }
}
