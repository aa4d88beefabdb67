#pragma once

#include "framework/3d/shape.h"

#include <QOpenGLFunctions_3_3_Core>

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <vector>

// The colours of the records that the sphere and segment passes draw: one
// entry per distinct colour (rgb and the ambient coefficient, negative for
// an unlit colour), which their shaders read from a texture buffer by the
// place a record gives. A record is thus one small number instead of four
// floats, and a scene of a million elements in two colours sends two.
class ColourPalette {
public:
  ColourPalette() = default;
  ColourPalette(const ColourPalette&) = delete;
  ColourPalette& operator=(const ColourPalette&) = delete;

  // Makes the buffer and its texture; the context must be current.
  void initialize(QOpenGLFunctions_3_3_Core& gl);
  // Frees them; the context must be current.
  void release(QOpenGLFunctions_3_3_Core& gl);

  // Starts a frame: a palette that a long session has filled is started
  // afresh (the frame puts every record, and so every place, again).
  void beginFrame();
  // The place of the shape's colour, drawn lit or not.
  std::uint32_t indexOf(const MeshShape& shape, bool unlit) {
    const std::array<float, 4> colour{shape.red, shape.green, shape.blue, unlit ? -1.0f : shape.ambientCoefficient};
    if (hasLast_ && colour == lastColour_) return last_;
    return lookUp(colour, unlit);
  }
  // Sends the colours added since the last call and binds the palette to
  // texture unit `unit` (GL_TEXTUREn); returns the bytes sent.
  std::size_t bind(QOpenGLFunctions_3_3_Core& gl, GLenum unit);
  void unbind(QOpenGLFunctions_3_3_Core& gl, GLenum unit);

private:
  std::uint32_t lookUp(const std::array<float, 4>& colour, bool unlit);

  GLuint buffer_ = 0;
  GLuint texture_ = 0;
  std::vector<std::array<float, 4>> colours_;
  std::map<std::array<std::uint32_t, 5>, std::uint32_t> index_;
  std::size_t uploaded_ = 0;
  // The last colour looked up: neighbours in a scene mostly share one.
  bool hasLast_ = false;
  std::array<float, 4> lastColour_{};
  std::uint32_t last_ = 0;
};
