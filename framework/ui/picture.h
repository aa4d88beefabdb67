#pragma once

#include <QFont>
#include <QImage>

#include <cstdint>
#include <memory>
#include <string>

class Picture;

// Drawing on a picture. The state fields are read at each drawing call;
// colours are 0x00RRGGBB, lengths are pixels with (0, 0) the top-left pixel.
class Graphics {
public:
  explicit Graphics(Picture& picture) : picture_(picture) {}
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  // Font family of the text. Empty, or a name that no installed font has,
  // means the default font.
  std::string TextFont;
  // Text size in pixels; 0 or less means the default font's own size.
  int TextSize = 0;
  std::uint32_t ForeColor = 0x000000;
  // Thickness of the lines of DrawRect, inside the rectangle.
  int PenWidth = 1;

  // Advance width of the text in the current font, in pixels.
  [[nodiscard]] double StringWidth(const std::string& text) const;
  void FillRect(int left, int top, int width, int height);
  // A frame whose outermost pixels are those of the rectangle.
  void DrawRect(int left, int top, int width, int height);
  // Draws the text starting at x with its baseline at y. With wrapWidth > 0
  // the text is broken at spaces into lines no wider than wrapWidth, each
  // following line one line spacing lower; with condense as well it stays on
  // one line and is squeezed sideways to fit wrapWidth instead.
  void DrawString(const std::string& text, double x, double y, double wrapWidth = 0.0, bool condense = false);

private:
  [[nodiscard]] QFont currentFont() const;

  Picture& picture_;
  // The last font resolved from TextFont and TextSize; the font search is
  // not repeated while they stay the same.
  mutable std::string resolvedName_;
  mutable int resolvedSize_ = 0;
  mutable QFont resolvedFont_;
  mutable bool resolved_ = false;
};

// A 32-bit ARGB picture; pixels where nothing has been drawn are transparent.
// A default picture is empty (0 x 0) and drawing on it does nothing.
class Picture {
public:
  Picture() : graphics_(std::make_unique<::Graphics>(*this)) {}
  Picture(int width, int height);
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  [[nodiscard]] int Width() const { return image_.width(); }
  [[nodiscard]] int Height() const { return image_.height(); }
  [[nodiscard]] int Depth() const { return 32; }
  // The picture's drawing state, kept with the picture between calls.
  [[nodiscard]] ::Graphics& Graphics() { return *graphics_; }

  // Colour of one pixel as 0xAARRGGBB (not premultiplied); 0 outside.
  [[nodiscard]] std::uint32_t Pixel(int x, int y) const;
  // The pixels, premultiplied ARGB32, for the renderer.
  [[nodiscard]] const QImage& Image() const { return image_; }

private:
  friend class ::Graphics;
  QImage image_;
  std::unique_ptr<::Graphics> graphics_;
};

// A new picture of width x height pixels. Only depth 32 is offered; another
// depth, or a width or height below 1, gives no picture (nullptr).
std::shared_ptr<Picture> NewPicture(int width, int height, int depth);

// The installed font families, in a stable order; Font(i) counts from 0 and
// is empty for an index out of range.
int FontCount();
std::string Font(int index);
