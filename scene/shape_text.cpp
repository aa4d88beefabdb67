#include "scene/shape_text.h"

#include "framework/text/text.h"

namespace shape_text {
namespace {

// The line ends and indentation of one text.
struct Layout {
  const std::string& tab = PD3D::Tab();
  const std::string& cr = PD3D::CR();
};

void AppendLine(std::string& text, const Layout& layout, int depth, std::string_view line) {
  for (int i = 0; i < depth; ++i) text += layout.tab;
  text += line;
  text += layout.cr;
}

double Component(Color color, int shift, int multiplier) {
  const int byte = static_cast<int>((color >> shift) & 0xFFu);
  return static_cast<double>(byte * multiplier) / 255.0;
}

}  // namespace

std::string Triple(const Vector3D& v) {
  std::string text = Str(v.X);
  text += ' ';
  text += Str(v.Y);
  text += ' ';
  text += Str(v.Z);
  return text;
}

double Red(Color color, int multiplier) { return Component(color, 16, multiplier); }
double Green(Color color, int multiplier) { return Component(color, 8, multiplier); }
double Blue(Color color, int multiplier) { return Component(color, 0, multiplier); }

std::string DiffuseColor(Color color, int multiplier) {
  std::string text;
  text.reserve(64);
  text += "DiffuseColor ( ";
  text += Str(Red(color, multiplier));
  text += ' ';
  text += Str(Green(color, multiplier));
  text += ' ';
  text += Str(Blue(color, multiplier));
  text += " )";
  return text;
}

std::string Primitive(std::string_view keyword, std::initializer_list<std::string> geometry,
                      const std::string& colorLine, Attributes attributes) {
  const Layout layout;
  std::size_t size = 160 + keyword.size() + colorLine.size();
  for (const std::string& line : geometry) size += line.size() + 5;
  std::string text;
  text.reserve(size);
  AppendLine(text, layout, 0, "3DMetafile ( 1 6 Normal tableofcontents0> )");
  AppendLine(text, layout, 1, "Container (");
  for (int i = 0; i < 2; ++i) text += layout.tab;
  text += keyword;
  text += " (";
  text += layout.cr;
  for (const std::string& line : geometry) AppendLine(text, layout, 3, line);
  AppendLine(text, layout, 2, ")");
  if (attributes == Attributes::Capped) {
    AppendLine(text, layout, 2, "Caps ( Bottom | Top )");
    AppendLine(text, layout, 2, "Container (");
    AppendLine(text, layout, 3, "AttributeSet ( )");
    AppendLine(text, layout, 3, colorLine);
    AppendLine(text, layout, 2, ")");
  } else {
    AppendLine(text, layout, 2, "AttributeSet ( )");
    AppendLine(text, layout, 2, colorLine);
  }
  AppendLine(text, layout, 1, ")");
  return text;
}

}  // namespace shape_text
