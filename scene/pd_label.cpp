#include "scene/pd_label.h"

#include "framework/runtime/construct.h"
#include "framework/runtime/runtime.h"
#include "framework/text/text.h"
#include "scene/pd3d_space.h"

#include <QColor>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QImage>
#include <QPainter>

namespace {

QColor ToQColor(Color c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// The font for the label: the named one if an installed font has that name,
// else the default font. Yields once per installed font.
QFont LabelFont(const std::string& fontName, std::int32_t textSize) {
  QFont font;
  if (!fontName.empty()) {
    const QString wanted = QString::fromStdString(fontName);
    for (const QString& family : QFontDatabase::families()) {
      if (family == wanted) font.setFamily(wanted);
      RuntimeBackgroundTask();
    }
  }
  // Text sizes are in points of the picture, one point a pixel.
  if (textSize > 0) font.setPixelSize(textSize);
  return font;
}

}  // namespace

void PDLabel::Constructor(const Vector3D* pos, const std::string& text, double verticalOffset,
                          double horizontalOffset, std::int32_t textSize, std::int32_t margin,
                          const std::string& fontName, Color textColor, Color lineColor, bool framed,
                          bool withLeaderLine) {
  PD3DSpace& view = TakeCurrentSpace();
  const Vector3D p = pos ? *pos : Vector3D();
  if (textSize == 0) textSize = 12;
  if (margin == 0) margin = 5;

  // The font is looked up once and serves both the measuring and the drawing.
  const QFont font = LabelFont(fontName, textSize);
  const QString qtext = QString::fromStdString(text);
  const std::int32_t w = ToInt32(QFontMetricsF(font).horizontalAdvance(qtext));
  const int width = w + 2 * margin;
  const int height = textSize + 2 * margin;

  QImage picture;
  // Negative sizes or margins can leave no picture at all: then nothing is drawn.
  if (width > 0 && height > 0) {
    picture = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    if (framed) {
      painter.fillRect(0, 0, width, height, QColor(0xFE, 0xFE, 0xFE));
      QPen pen(ToQColor(lineColor));
      pen.setWidth(1);
      painter.setPen(pen);
      // The 1-pixel frame lies on the picture's outermost pixels.
      painter.drawRect(0, 0, width - 1, height - 1);
    }
    painter.setFont(font);
    painter.setPen(ToQColor(textColor));
    painter.drawText(margin, textSize + margin - 3, qtext);
  }
  AddShapePicture(picture, 1.0, -1);

  // Place in the orbit frame: the anchor as seen from the camera of the
  // opening view (latitude 10, longitude 0).
  const double D = static_cast<double>(view.CFDistance);
  const double a = 0.17453292519943295;
  const Vector3D s(0.0, D * std::sin(a), D * std::cos(a));
  Vector3D t = p.Minus(s);
  Quaternion q;
  q.SetRotateAboutAxis(1.0, 0.0, 0.0, a);
  t = q.Transform(t);
  q.SetRotateAboutAxis(0.0, 1.0, 0.0, 1.5707963267948966);
  t = q.Transform(t);
  Vector3D working(D, 0.0, 0.0);
  working.Add(t);
  relpos = Vector3D(working.X + 0.0, working.Y + horizontalOffset, working.Z - verticalOffset);
  Position = relpos.Times(Scale);
  this->pos = p;
  RenderBackFaces = true;
  NullShader = true;
  JoinSpace();

  if (withLeaderLine) {
    const Vector3D anchor = *this->pos;
    const Vector3D end = Position;
    line = New<PDLine>(&anchor, &end, lineColor);
    line->compositeHolder = std::static_pointer_cast<PD3DObject>(shared_from_this());
    lineclr = lineColor;
    line->labelline = true;
    line->NullShader = true;
  }
}
