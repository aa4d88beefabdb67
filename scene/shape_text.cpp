#include "scene/shape_text.h"

#include "framework/text/text.h"

namespace shape_text {
namespace {

void AppendLine(std::string& text, int depth, std::string_view line) {
  for (int i = 0; i < depth; ++i) text += PD3D::Tab();
  text += line;
  text += PD3D::CR();
}

double Component(Color color, int shift, int multiplier) {
  const int byte = static_cast<int>((color >> shift) & 0xFFu);
  return static_cast<double>(byte * multiplier) / 255.0;
}

}  // namespace

std::string Triple(const Vector3D& v) { return Str(v.X) + " " + Str(v.Y) + " " + Str(v.Z); }

double Red(Color color, int multiplier) { return Component(color, 16, multiplier); }
double Green(Color color, int multiplier) { return Component(color, 8, multiplier); }
double Blue(Color color, int multiplier) { return Component(color, 0, multiplier); }

std::string DiffuseColor(Color color, int multiplier) {
  return "DiffuseColor ( " + Str(Red(color, multiplier)) + " " + Str(Green(color, multiplier)) + " " +
         Str(Blue(color, multiplier)) + " )";
}

std::string Primitive(std::string_view keyword, std::initializer_list<std::string> geometry,
                      const std::string& colorLine, Attributes attributes) {
  std::string text;
  AppendLine(text, 0, "3DMetafile ( 1 6 Normal tableofcontents0> )");
  AppendLine(text, 1, "Container (");
  AppendLine(text, 2, std::string(keyword) + " (");
  for (const std::string& line : geometry) AppendLine(text, 3, line);
  AppendLine(text, 2, ")");
  if (attributes == Attributes::Capped) {
    AppendLine(text, 2, "Caps ( Bottom | Top )");
    AppendLine(text, 2, "Container (");
    AppendLine(text, 3, "AttributeSet ( )");
    AppendLine(text, 3, colorLine);
    AppendLine(text, 2, ")");
  } else {
    AppendLine(text, 2, "AttributeSet ( )");
    AppendLine(text, 2, colorLine);
  }
  AppendLine(text, 1, ")");
  return text;
}

}  // namespace shape_text
