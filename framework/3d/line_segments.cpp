#include "framework/3d/line_segments.h"

#include "framework/3d/gl_program.h"
#include "framework/3d/model_transform.h"

#include <QOpenGLShaderProgram>

#include <cmath>
#include <cstddef>

namespace {

constexpr GLuint kPositionAttr = 0;
constexpr GLuint kPaletteAttr = 1;
constexpr GLenum kPaletteUnit = GL_TEXTURE1;

const char* kLineVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in uint aPalette;
uniform mat4 uViewProjection;
uniform samplerBuffer uPalette;
flat out vec3 vColour;
void main() {
  vColour = texelFetch(uPalette, int(aPalette)).rgb;
  gl_Position = uViewProjection * vec4(aPosition, 1.0);
}
)";

const char* kLineFragmentShader = R"(#version 330 core
flat in vec3 vColour;
out vec4 fragColour;
void main() { fragColour = vec4(vColour, 1.0); }
)";

}  // namespace

LineSegments::LineSegments(SubmissionPacer& pacer, ColourPalette& palette) : pacer_(pacer), palette_(palette) {}
LineSegments::~LineSegments() = default;

bool LineSegments::initialize(QOpenGLFunctions_3_3_Core& gl, QString& log) {
  program_ = LinkedProgram(kLineVertexShader, kLineFragmentShader, log);
  if (!program_) return false;
  gl.glGenVertexArrays(1, &vao_);
  return true;
}

void LineSegments::release(QOpenGLFunctions_3_3_Core& gl) {
  if (vao_ != 0) gl.glDeleteVertexArrays(1, &vao_);
  vao_ = 0;
  records_.release(gl);
  program_.reset();
}

void LineSegments::beginFrame(QOpenGLFunctions_3_3_Core& gl, const FrameView& frame, RenderStats& stats) {
  gl_ = &gl;
  frame_ = &frame;
  stats_ = &stats;
  viewProjection_ = frame.settings->projection * frame.settings->view;
  lines_.clear();
  coincident_.clear();
  records_.beginFrame(gl, frame.keepBuffers);
}

bool LineSegments::place(const Object3D& object, const MeshShape& shape) {
  const Segment& s = *shape.segment;
  const std::array<float, 16> model = ModelMatrix(object);
  const Vector3D a = Transform(model, Vector3D(s.from[0], s.from[1], s.from[2]));
  const Vector3D b = Transform(model, Vector3D(s.to[0], s.to[1], s.to[2]));
  // Lines have no light of their own: unlit, as every line is.
  const std::uint32_t colour = palette_.indexOf(shape, true);
  const Record record{{{static_cast<float>(a.X), static_cast<float>(a.Y), static_cast<float>(a.Z)}, colour},
                      {{static_cast<float>(b.X), static_cast<float>(b.Y), static_cast<float>(b.Z)}, colour}};
  const std::size_t slot = records_.put(record);
  ++stats_->segments;
  if (!frame_->culling) {
    // The straightforward way: every segment drawn.
    if (lines_.add(slot, pacer_.room()) && records_.drawableBeforeFinish()) sendPlacedLines();
    return true;
  }
  const ViewVolume& volume = frame_->volume;
  const std::array<double, 3> ea = volume.toEye(a);
  const std::array<double, 3> eb = volume.toEye(b);
  const std::array<double, 3> mid{(ea[0] + eb[0]) / 2, (ea[1] + eb[1]) / 2, (ea[2] + eb[2]) / 2};
  if (volume.classify(mid, b.Minus(a).Length() / 2.0) == ViewVolume::Place::Outside) {
    --stats_->segments;
    return false;
  }
  if (coincident(ea, eb, colour)) {
    ++stats_->coincident;
    return true;
  }
  if (lines_.add(slot, pacer_.room()) && records_.drawableBeforeFinish()) sendPlacedLines();
  return true;
}

bool LineSegments::coincident(const std::array<double, 3>& a, const std::array<double, 3>& b,
                              std::uint32_t colour) {
  const ViewVolume& volume = frame_->volume;
  const double da = -a[2], db = -b[2];
  // Across the near plane the ends have no place on the screen.
  if (!(da > volume.hither() && db > volume.hither())) return false;
  const double x = volume.scaleX() * frame_->pixelsPerNdc, y = volume.scaleY() * frame_->pixelsPerNdc;
  // Both ends in pixels, and the depth to a part in a thousand.
  return coincident_.seen({CoincidenceFilter::eighths(a[0] / da * x), CoincidenceFilter::eighths(a[1] / da * y),
                           CoincidenceFilter::eighths(b[0] / db * x), CoincidenceFilter::eighths(b[1] / db * y),
                           CoincidenceFilter::thousandths(da + db), colour});
}

void LineSegments::useProgram() {
  stats_->uploadedBytes += static_cast<long long>(palette_.bind(*gl_, kPaletteUnit));
  program_->bind();
  program_->setUniformValue("uViewProjection", viewProjection_);
  program_->setUniformValue("uPalette", static_cast<int>(kPaletteUnit - GL_TEXTURE0));
  // Each record's two vertices follow each other: record k draws vertices 2k and 2k + 1.
  gl_->glBindVertexArray(vao_);
  gl_->glBindBuffer(GL_ARRAY_BUFFER, records_.buffer());
  gl_->glEnableVertexAttribArray(kPositionAttr);
  gl_->glVertexAttribPointer(kPositionAttr, 3, GL_FLOAT, GL_FALSE, sizeof(Vertex), nullptr);
  gl_->glEnableVertexAttribArray(kPaletteAttr);
  gl_->glVertexAttribIPointer(kPaletteAttr, 1, GL_UNSIGNED_INT, sizeof(Vertex),
                              reinterpret_cast<const void*>(offsetof(Vertex, palette)));
  gl_->glBindBuffer(GL_ARRAY_BUFFER, 0);
}

void LineSegments::drawUnsent() {
  useProgram();
  stats_->drawCalls += lines_.drawUnsent(*gl_, GL_LINES, 2, pacer_);
  gl_->glBindVertexArray(0);
  palette_.unbind(*gl_, kPaletteUnit);
  program_->release();
}

void LineSegments::sendPlacedLines() {
  records_.pause();
  drawUnsent();
  records_.resume();
}

void LineSegments::draw() {
  stats_->uploadedBytes += static_cast<long long>(records_.finish());
  if (lines_.unsent()) drawUnsent();
}
