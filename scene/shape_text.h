#pragma once

#include "framework/math/vector3d.h"
#include "scene/pd3d.h"

#include <initializer_list>
#include <string>
#include <string_view>

// Builds the 3DMF shape texts of the primitives. Numbers are written with
// Str; a vector as its three numbers separated by one blank.
namespace shape_text {

std::string Triple(const Vector3D& v);
// "DiffuseColor ( r g b )" with each byte × multiplier ÷ 255.0.
std::string DiffuseColor(Color color, int multiplier = 1);
// Colour components: each byte of color times multiplier, divided by 255.0.
double Red(Color color, int multiplier = 1);
double Green(Color color, int multiplier = 1);
double Blue(Color color, int multiplier = 1);

// The attribute lines after the geometry: a plain attribute set, or the
// capped form of cylinder and cone.
enum class Attributes { Plain, Capped };

// The whole text of a primitive: header, container, keyword line, one depth-3
// line per geometry entry, then the attribute lines and the closing bracket.
// Every line ends with PD3D::CR().
std::string Primitive(std::string_view keyword, std::initializer_list<std::string> geometry,
                      const std::string& colorLine, Attributes attributes = Attributes::Plain);

}  // namespace shape_text
