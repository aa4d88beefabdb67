#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "framework/3d/element3d.h"
#include "framework/ui/picture.h"

namespace {

// The smallest box holding every pixel that is not fully transparent.
struct Ink {
  int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
  [[nodiscard]] bool empty() const { return right < 0; }
};

Ink inkOf(const Picture& p) {
  Ink ink;
  for (int y = 0; y < p.Height(); ++y)
    for (int x = 0; x < p.Width(); ++x)
      if ((p.Pixel(x, y) >> 24) != 0) {
        ink.left = std::min(ink.left, x);
        ink.right = std::max(ink.right, x);
        ink.top = std::min(ink.top, y);
        ink.bottom = std::max(ink.bottom, y);
      }
  return ink;
}

}  // namespace

TEST(UiPicture, NewPictureIsTransparentAndFillRectCoversExactlyItsRectangle) {
  auto p = NewPicture(40, 20, 32);
  ASSERT_TRUE(p);
  EXPECT_EQ(p->Width(), 40);
  EXPECT_EQ(p->Height(), 20);
  EXPECT_EQ(p->Depth(), 32);
  EXPECT_TRUE(inkOf(*p).empty());
  EXPECT_FALSE(NewPicture(0, 5, 32));
  EXPECT_FALSE(NewPicture(5, -1, 32));
  EXPECT_FALSE(NewPicture(5, 5, 8));

  Graphics& g = p->Graphics();
  g.ForeColor = 0xFEFEFE;
  g.FillRect(2, 3, 10, 5);
  EXPECT_EQ(p->Pixel(2, 3), 0xFFFEFEFEu);
  EXPECT_EQ(p->Pixel(11, 7), 0xFFFEFEFEu);
  const Ink ink = inkOf(*p);
  EXPECT_EQ(ink.left, 2);
  EXPECT_EQ(ink.top, 3);
  EXPECT_EQ(ink.right, 11);
  EXPECT_EQ(ink.bottom, 7);
  EXPECT_EQ(p->Pixel(-1, 0), 0u);  // outside the picture

  // Drawing past the edges is clipped; on an empty picture it does nothing.
  g.ForeColor = 0x102030;
  g.FillRect(-5, -5, 100, 100);
  EXPECT_EQ(p->Pixel(0, 0), 0xFF102030u);
  EXPECT_EQ(p->Pixel(39, 19), 0xFF102030u);
  Picture empty;
  empty.Graphics().FillRect(0, 0, 10, 10);
  empty.Graphics().DrawString("x", 0, 10);
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.Pixel(0, 0), 0u);
}

TEST(UiPicture, DrawRectFramesTheOuterPenWidthPixels) {
  auto p = NewPicture(20, 10, 32);
  Graphics& g = p->Graphics();
  g.ForeColor = 0x0000FF;
  g.PenWidth = 1;
  g.DrawRect(0, 0, 20, 10);
  for (auto [x, y] : {std::pair{0, 0}, {19, 0}, {0, 9}, {19, 9}, {10, 0}, {10, 9}, {0, 5}, {19, 5}})
    EXPECT_EQ(p->Pixel(x, y), 0xFF0000FFu) << x << "," << y;
  for (auto [x, y] : {std::pair{1, 1}, {18, 8}, {10, 5}}) EXPECT_EQ(p->Pixel(x, y) >> 24, 0u) << x << "," << y;

  auto thick = NewPicture(20, 10, 32);
  thick->Graphics().PenWidth = 3;
  thick->Graphics().DrawRect(0, 0, 20, 10);
  EXPECT_EQ(thick->Pixel(2, 2), 0xFF000000u);
  EXPECT_EQ(thick->Pixel(17, 7), 0xFF000000u);
  EXPECT_EQ(thick->Pixel(3, 3) >> 24, 0u);
  EXPECT_EQ(thick->Pixel(16, 6) >> 24, 0u);
}

TEST(UiPicture, StringWidthGrowsWithTextAndSizeAndFontsAreListed) {
  auto p = NewPicture(10, 10, 32);
  Graphics& g = p->Graphics();
  g.TextSize = 12;
  EXPECT_EQ(g.StringWidth(""), 0.0);
  const double a = g.StringWidth("A");
  EXPECT_GT(a, 0.0);
  EXPECT_GT(g.StringWidth("AA"), a);
  EXPECT_GT(g.StringWidth("Hello world"), g.StringWidth("Hello"));
  const double small = g.StringWidth("Hello world");
  g.TextSize = 24;
  const double large = g.StringWidth("Hello world");
  EXPECT_GT(large / small, 1.6);
  EXPECT_LT(large / small, 2.4);

  ASSERT_GT(FontCount(), 0);
  EXPECT_FALSE(Font(0).empty());
  EXPECT_TRUE(Font(-1).empty());
  EXPECT_TRUE(Font(FontCount()).empty());
}

TEST(UiPicture, DrawStringSitsOnItsBaselineInTheForeColor) {
  auto p = NewPicture(80, 60, 32);
  Graphics& g = p->Graphics();
  g.TextSize = 20;
  g.ForeColor = 0xFF0000;
  g.DrawString("H", 10, 30, 0.0, false);
  const Ink h = inkOf(*p);
  ASSERT_FALSE(h.empty());
  EXPECT_GE(h.bottom, 28);  // a capital ends on the baseline
  EXPECT_LE(h.bottom, 30);
  EXPECT_GE(h.top, 30 - 20);  // and rises less than the text size
  EXPECT_LE(h.top, 30 - 10);
  EXPECT_GE(h.left, 10);
  EXPECT_LE(h.left, 14);
  EXPECT_LT(h.right, 10 + static_cast<int>(g.StringWidth("H")) + 1);
  EXPECT_EQ(p->Pixel((h.left + 1), (h.top + h.bottom) / 2), 0xFFFF0000u);  // the stem: solid text colour

  auto q = NewPicture(80, 60, 32);
  q->Graphics().TextSize = 20;
  q->Graphics().DrawString("g", 10, 30);
  EXPECT_GT(inkOf(*q).bottom, 32);  // a descender goes below it
}

TEST(UiPicture, UnknownTextFontKeepsTheDefaultAndAKnownOneIsUsed) {
  const std::string text = "Hello World 0123";
  auto plain = NewPicture(200, 30, 32);
  plain->Graphics().TextSize = 16;
  plain->Graphics().DrawString(text, 2, 20);
  auto unknown = NewPicture(200, 30, 32);
  unknown->Graphics().TextSize = 16;
  unknown->Graphics().TextFont = "NoSuchFontAnywhere";
  EXPECT_EQ(unknown->Graphics().StringWidth(text), plain->Graphics().StringWidth(text));
  unknown->Graphics().DrawString(text, 2, 20);
  EXPECT_EQ(unknown->Image(), plain->Image());

  // With several installed fonts, some font measures the text differently.
  if (FontCount() > 1) {
    auto m = NewPicture(10, 10, 32);
    m->Graphics().TextSize = 16;
    const double base = m->Graphics().StringWidth(text);
    bool differs = false;
    for (int i = 0; i < FontCount() && !differs; ++i) {
      m->Graphics().TextFont = Font(i);
      differs = m->Graphics().StringWidth(text) != base;
    }
    EXPECT_TRUE(differs);
  }
}

TEST(UiPicture, WrapWidthBreaksLinesAndCondenseSqueezes) {
  const std::string text = "one two three four five six";
  auto wide = NewPicture(400, 120, 32);
  wide->Graphics().TextSize = 14;
  const double full = wide->Graphics().StringWidth(text);
  ASSERT_GT(full, 80.0);

  auto wrapped = NewPicture(400, 120, 32);
  wrapped->Graphics().TextSize = 14;
  wrapped->Graphics().DrawString(text, 5, 20, 80.0, false);
  const Ink w = inkOf(*wrapped);
  EXPECT_LE(w.right, 5 + 80);
  EXPECT_GT(w.bottom, 20 + 14);  // more than one line

  auto condensed = NewPicture(400, 120, 32);
  condensed->Graphics().TextSize = 14;
  condensed->Graphics().DrawString(text, 5, 20, 80.0, true);
  const Ink c = inkOf(*condensed);
  EXPECT_LE(c.right, 5 + 80);
  EXPECT_GT(c.right, 5 + 60);  // squeezed to fill the width, not cut
  EXPECT_LE(c.bottom, 20 + 5);  // one line
}

TEST(UiPicture, AddShapePictureTakesTheCurrentPixels) {
  auto p = NewPicture(30, 12, 32);
  p->Graphics().ForeColor = 0x00FF00;
  p->Graphics().FillRect(0, 0, 30, 12);
  auto object = std::make_shared<Object3D>();
  object->AddShapePicture(p->Image(), 2.0, -1);
  ASSERT_EQ(object->PictureShapes().size(), 1u);
  EXPECT_EQ(object->PictureShapes()[0].width, 60.0);
  EXPECT_EQ(object->PictureShapes()[0].height, 24.0);
  EXPECT_EQ(object->PictureShapes()[0].image.pixel(5, 5) & 0xFFFFFFu, 0x00FF00u);
  // Drawing on afterwards leaves the shape as it was.
  p->Graphics().ForeColor = 0x0000FF;
  p->Graphics().FillRect(0, 0, 30, 12);
  EXPECT_EQ(object->PictureShapes()[0].image.pixel(5, 5) & 0xFFFFFFu, 0x00FF00u);
}
