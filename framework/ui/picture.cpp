#include "framework/ui/picture.h"

#include <QColor>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace {

QColor toQColor(std::uint32_t c) { return QColor((c >> 16) & 0xFF, (c >> 8) & 0xFF, c & 0xFF); }

// Filled by FontCount, so a loop over Font(0..FontCount-1) builds the list once.
std::vector<std::string>& fontNames() {
  static std::vector<std::string> names;
  return names;
}

void refreshFontNames() {
  std::vector<std::string>& names = fontNames();
  names.clear();
  for (const QString& family : QFontDatabase::families()) names.push_back(family.toStdString());
}

}  // namespace

// ---------------------------------------------------------------- Picture

Picture::Picture(int width, int height) : Picture() {
  if (width < 1 || height < 1) return;
  image_ = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
  image_.fill(Qt::transparent);
}

std::uint32_t Picture::Pixel(int x, int y) const {
  if (!image_.valid(x, y)) return 0;
  const auto* row = reinterpret_cast<const QRgb*>(image_.constScanLine(y));
  return qUnpremultiply(row[x]);
}

std::shared_ptr<Picture> NewPicture(int width, int height, int depth) {
  if (depth != 32 || width < 1 || height < 1) return nullptr;
  auto picture = std::make_shared<Picture>(width, height);
  // A picture too large to allocate comes back empty: report it as none.
  if (picture->Image().isNull()) return nullptr;
  return picture;
}

// ---------------------------------------------------------------- Graphics

QFont Graphics::currentFont() const {
  if (!resolved_ || resolvedName_ != TextFont || resolvedSize_ != TextSize) {
    QFont font;
    if (!TextFont.empty()) {
      const QString wanted = QString::fromStdString(TextFont);
      // Only an installed family is taken: Qt would otherwise substitute a
      // look-alike rather than keep the default.
      if (QFontDatabase::families().contains(wanted)) font.setFamily(wanted);
    }
    if (TextSize > 0) font.setPixelSize(TextSize);
    resolvedFont_ = font;
    resolvedName_ = TextFont;
    resolvedSize_ = TextSize;
    resolved_ = true;
  }
  return resolvedFont_;
}

double Graphics::StringWidth(const std::string& text) const {
  const QString qtext = QString::fromStdString(text);
  if (picture_.image_.isNull()) return QFontMetricsF(currentFont()).horizontalAdvance(qtext);
  // Measured for the picture itself, as DrawString will draw it.
  return QFontMetricsF(currentFont(), &picture_.image_).horizontalAdvance(qtext);
}

void Graphics::FillRect(int left, int top, int width, int height) {
  if (picture_.image_.isNull() || width < 1 || height < 1) return;
  QPainter painter(&picture_.image_);
  painter.fillRect(left, top, width, height, toQColor(ForeColor));
}

void Graphics::DrawRect(int left, int top, int width, int height) {
  if (picture_.image_.isNull() || width < 1 || height < 1 || PenWidth < 1) return;
  const int p = PenWidth;
  QPainter painter(&picture_.image_);
  const QColor c = toQColor(ForeColor);
  if (2 * p >= width || 2 * p >= height) {
    painter.fillRect(left, top, width, height, c);
    return;
  }
  // Four bands, so the frame covers exactly the rectangle's outer p pixels.
  painter.fillRect(left, top, width, p, c);
  painter.fillRect(left, top + height - p, width, p, c);
  painter.fillRect(left, top + p, p, height - 2 * p, c);
  painter.fillRect(left + width - p, top + p, p, height - 2 * p, c);
}

void Graphics::DrawString(const std::string& text, double x, double y, double wrapWidth, bool condense) {
  if (picture_.image_.isNull() || text.empty()) return;
  const QString qtext = QString::fromStdString(text);
  const QFont font = currentFont();
  QPainter painter(&picture_.image_);
  painter.setFont(font);
  painter.setPen(toQColor(ForeColor));
  if (!(wrapWidth > 0.0)) {
    painter.drawText(QPointF(x, y), qtext);
    return;
  }
  const QFontMetricsF metrics(font, &picture_.image_);
  if (condense) {
    const double w = metrics.horizontalAdvance(qtext);
    if (w > wrapWidth) {
      painter.translate(x, y);
      painter.scale(wrapWidth / w, 1.0);
      painter.drawText(QPointF(0.0, 0.0), qtext);
    } else {
      painter.drawText(QPointF(x, y), qtext);
    }
    return;
  }
  // Greedy word wrap; a word wider than wrapWidth keeps a line of its own.
  double baseline = y;
  for (const QString& paragraph : qtext.split(QLatin1Char('\n'))) {
    QString line;
    for (const QString& word : paragraph.split(QLatin1Char(' '))) {
      const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
      if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > wrapWidth) {
        painter.drawText(QPointF(x, baseline), line);
        baseline += metrics.lineSpacing();
        line = word;
      } else {
        line = candidate;
      }
    }
    painter.drawText(QPointF(x, baseline), line);
    baseline += metrics.lineSpacing();
  }
}

// ---------------------------------------------------------------- fonts

int FontCount() {
  refreshFontNames();
  return static_cast<int>(fontNames().size());
}

std::string Font(int index) {
  if (fontNames().empty()) refreshFontNames();
  const std::vector<std::string>& names = fontNames();
  if (index < 0 || index >= static_cast<int>(names.size())) return {};
  return names[static_cast<std::size_t>(index)];
}
