#include "framework/3d/colour_palette.h"

#include <cstring>

namespace {
// The palette is started afresh when a long session has gathered this many colours.
constexpr std::size_t kPaletteLimit = 4096;
}  // namespace

void ColourPalette::initialize(QOpenGLFunctions_3_3_Core& gl) {
  gl.glGenBuffers(1, &buffer_);
  gl.glGenTextures(1, &texture_);
}

void ColourPalette::release(QOpenGLFunctions_3_3_Core& gl) {
  if (buffer_ != 0) gl.glDeleteBuffers(1, &buffer_);
  if (texture_ != 0) gl.glDeleteTextures(1, &texture_);
  buffer_ = texture_ = 0;
  colours_.clear();
  index_.clear();
  uploaded_ = 0;
  hasLast_ = false;
}

void ColourPalette::beginFrame() {
  if (colours_.size() > kPaletteLimit) {
    colours_.clear();
    index_.clear();
    uploaded_ = 0;
  }
  hasLast_ = false;
}

std::uint32_t ColourPalette::lookUp(const std::array<float, 4>& colour, bool unlit) {
  std::array<std::uint32_t, 5> key{};
  std::memcpy(key.data(), colour.data(), sizeof colour);
  key[4] = unlit ? 1u : 0u;
  auto [it, added] = index_.emplace(key, static_cast<std::uint32_t>(colours_.size()));
  if (added) colours_.push_back(colour);
  hasLast_ = true;
  lastColour_ = colour;
  last_ = it->second;
  return it->second;
}

std::size_t ColourPalette::bind(QOpenGLFunctions_3_3_Core& gl, GLenum unit) {
  std::size_t sent = 0;
  if (uploaded_ != colours_.size()) {
    gl.glBindBuffer(GL_TEXTURE_BUFFER, buffer_);
    sent = colours_.size() * sizeof(colours_[0]);
    gl.glBufferData(GL_TEXTURE_BUFFER, static_cast<GLsizeiptr>(sent), colours_.data(), GL_STATIC_DRAW);
    gl.glBindBuffer(GL_TEXTURE_BUFFER, 0);
    uploaded_ = colours_.size();
  }
  gl.glActiveTexture(unit);
  gl.glBindTexture(GL_TEXTURE_BUFFER, texture_);
  gl.glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, buffer_);
  gl.glActiveTexture(GL_TEXTURE0);
  return sent;
}

void ColourPalette::unbind(QOpenGLFunctions_3_3_Core& gl, GLenum unit) {
  gl.glActiveTexture(unit);
  gl.glBindTexture(GL_TEXTURE_BUFFER, 0);
  gl.glActiveTexture(GL_TEXTURE0);
}
