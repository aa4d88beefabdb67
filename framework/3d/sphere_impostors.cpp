#include "framework/3d/sphere_impostors.h"

#include "framework/3d/gl_program.h"
#include "framework/3d/model_transform.h"

#include <QOpenGLShaderProgram>

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// Attribute locations of the sphere shader.
constexpr GLuint kSphereAttr = 0;   // centre, radius
constexpr GLuint kPaletteAttr = 1;  // place in the palette
// The palette's texture unit.
constexpr GLenum kPaletteUnit = GL_TEXTURE1;

// Sphere impostors. The vertex stage places a point on the sphere's centre,
// large enough to cover its outline (an ellipse once the sphere is off the
// view's axis), or for quads the outline's bounding rectangle. The fragment
// stage casts the pixel's ray at the sphere, writes the depth of the hit and
// lights it as the mesh shader lights a mesh. Everything is in eye
// coordinates. The software driver tests depth only after such a shader has
// run, so the shader is kept short: what is the same for every pixel of a
// sphere is worked out once, in the vertex stage.
const char* kSphereVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aSphere;
layout(location = 1) in uint aPalette;
uniform mat4 uView;
uniform vec4 uProjection;  // x and y scale, depth terms z and w
uniform vec2 uViewportSize;
uniform bool uQuads;
uniform samplerBuffer uPalette;
uniform vec3 uAmbient;
uniform vec3 uFlood;
uniform vec3 uToLight;     // eye coordinates
flat out vec4 vSphere;     // centre and squared radius, eye coordinates
// The light a mesh's fragment gets, split into what does not depend on the
// surface's direction (rgb) and what is multiplied by the flood's cosine
// (rgb); beside them the reciprocal radius and the centre's part of the
// cosine (w), with which the cosine at a hit t along the pixel's ray d is
// t (d . L) / r - (c . L) / r.
flat out vec4 vAmbientPart;
flat out vec4 vFloodPart;
// Where the outline begins and ends on one axis, as a / depth.
vec2 slopes(float a, float depth, float r) {
  float spread = r * sqrt(max(a * a + depth * depth - r * r, 0.0));
  return vec2(a * depth - spread, a * depth + spread) / (depth * depth - r * r);
}
void main() {
  vec3 c = (uView * vec4(aSphere.xyz, 1.0)).xyz;
  float r = aSphere.w;
  float depth = -c.z;
  vSphere = vec4(c, r * r);
  vec4 colour = texelFetch(uPalette, int(aPalette));
  bool unlit = colour.a < 0.0;
  vAmbientPart = vec4(unlit ? colour.rgb : colour.rgb * uAmbient * colour.a, 1.0 / r);
  vFloodPart = vec4(unlit ? vec3(0.0) : colour.rgb * uFlood, dot(c, uToLight) / r);
  vec2 sx = slopes(c.x, depth, r) * uProjection.x;
  vec2 sy = slopes(c.y, depth, r) * uProjection.y;
  // An eighth of a pixel of slack for rounding: every pixel whose centre the
  // outline covers is reached, and few more.
  vec2 pad = 0.25 / uViewportSize;
  if (uQuads) {
    vec2 corner = vec2(float(gl_VertexID & 1), float(gl_VertexID >> 1));
    gl_Position = vec4(mix(vec2(sx.x, sy.x) - pad, vec2(sx.y, sy.y) + pad, corner), 0.0, 1.0);
  } else {
    vec2 centre = c.xy / depth * uProjection.xy;
    vec2 reach = max(vec2(sx.y, sy.y) - centre, centre - vec2(sx.x, sy.x)) + pad;
    gl_PointSize = max(reach.x * uViewportSize.x, reach.y * uViewportSize.y);
    gl_Position = vec4(c.xy * uProjection.xy, c.z * uProjection.z + uProjection.w, depth);
  }
}
)";

const char* kSphereFragmentShader = R"(#version 330 core
flat in vec4 vSphere;
flat in vec4 vAmbientPart;
flat in vec4 vFloodPart;
uniform vec4 uPixelToRay;  // the pixel's ray (x, y, -1) from gl_FragCoord: scale xy, offset zw
uniform vec2 uWindowDepth; // window depth = x + y / distance along -z
uniform vec3 uToLight;     // eye coordinates
out vec4 fragColour;
void main() {
  // The ray t d with d = (x, y, -1), not normalised: its points have depth t.
  vec3 d = vec3(gl_FragCoord.xy * uPixelToRay.xy + uPixelToRay.zw, -1.0);
  float inverse = 1.0 / dot(d, d);
  // The ray's nearest approach to the centre first: stable however far the
  // sphere is compared with its size.
  float along = dot(d, vSphere.xyz) * inverse;
  vec3 miss = d * along - vSphere.xyz;
  float h2 = dot(miss, miss);
  if (h2 > vSphere.w) discard;
  float t = along - sqrt((vSphere.w - h2) * inverse);
  float depth = uWindowDepth.x + uWindowDepth.y / t;
  // Beyond the far plane, where a mesh would be clipped.
  if (depth > gl_DepthRange.far) discard;
  gl_FragDepth = depth;
  float lambert = max(t * dot(d, uToLight) * vAmbientPart.w - vFloodPart.w, 0.0);
  fragColour = vec4(min(vAmbientPart.rgb + vFloodPart.rgb * lambert, vec3(1.0)), 1.0);
}
)";

// Points the sphere attributes of a vertex array at the records from `first`
// on, one per vertex (points) or per instance (quads).
void sphereAttributes(QOpenGLFunctions_3_3_Core& gl, GLuint vao, GLuint buffer, GLuint divisor, std::size_t at,
                      GLsizei stride, std::size_t paletteOffset) {
  gl.glBindVertexArray(vao);
  gl.glBindBuffer(GL_ARRAY_BUFFER, buffer);
  gl.glEnableVertexAttribArray(kSphereAttr);
  gl.glVertexAttribPointer(kSphereAttr, 4, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(at));
  gl.glVertexAttribDivisor(kSphereAttr, divisor);
  gl.glEnableVertexAttribArray(kPaletteAttr);
  gl.glVertexAttribIPointer(kPaletteAttr, 1, GL_UNSIGNED_INT, stride,
                            reinterpret_cast<const void*>(at + paletteOffset));
  gl.glVertexAttribDivisor(kPaletteAttr, divisor);
  gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
}

}  // namespace

SphereImpostors::SphereImpostors(SubmissionPacer& pacer, ColourPalette& palette)
    : pacer_(pacer), palette_(palette) {}
SphereImpostors::~SphereImpostors() = default;

bool SphereImpostors::initialize(QOpenGLFunctions_3_3_Core& gl, QString& log) {
  program_ = LinkedProgram(kSphereVertexShader, kSphereFragmentShader, log);
  if (!program_) return false;
  GLfloat pointSizes[2] = {1.0f, 1.0f};
  gl.glGetFloatv(GL_POINT_SIZE_RANGE, pointSizes);
  maxPointSize_ = pointSizes[1];
  gl.glGenVertexArrays(1, &pointVao_);
  gl.glGenVertexArrays(1, &quadVao_);
  return true;
}

void SphereImpostors::release(QOpenGLFunctions_3_3_Core& gl) {
  if (pointVao_ != 0) gl.glDeleteVertexArrays(1, &pointVao_);
  if (quadVao_ != 0) gl.glDeleteVertexArrays(1, &quadVao_);
  pointVao_ = quadVao_ = 0;
  spheres_.release(gl);
  quads_.release(gl);
  program_.reset();
}

void SphereImpostors::beginFrame(QOpenGLFunctions_3_3_Core& gl, const FrameView& frame, std::size_t expected,
                                 RenderStats& stats) {
  gl_ = &gl;
  frame_ = &frame;
  stats_ = &stats;
  uniformsSet_ = false;
  points_.clear();
  coincident_.clear();
  spheres_.beginFrame(gl, frame.keepBuffers, expected);
  quads_.beginFrame(gl, frame.keepBuffers);
}

std::size_t SphereImpostors::heldBytes() const {
  return spheres_.heldBytes() + quads_.heldBytes() + points_.heldBytes();
}

SphereImpostors::Draw SphereImpostors::place(const Object3D& object, const MeshShape& shape) {
  const MeshGeometry& g = *shape.geometry;
  Vector3D centre = object.Position;
  if (g.sphereCentre.X != 0.0 || g.sphereCentre.Y != 0.0 || g.sphereCentre.Z != 0.0)
    centre = Transform(ModelMatrix(object), g.sphereCentre);
  const double radius = g.sphereRadius * std::abs(object.Scale);
  Record record{};
  record.centre[0] = static_cast<float>(centre.X);
  record.centre[1] = static_cast<float>(centre.Y);
  record.centre[2] = static_cast<float>(centre.Z);
  record.radius = static_cast<float>(radius);
  record.palette = palette_.indexOf(shape, object.NullShader);
  const std::size_t slot = spheres_.put(record);

  const ViewVolume& volume = frame_->volume;
  const std::array<double, 3> eye = volume.toEye(centre);
  const ViewVolume::Place place = volume.classify(eye, radius);
  if (place == ViewVolume::Place::Outside && frame_->culling) return Draw::Culled;
  const double depth = -eye[2];
  // Through the near plane or around the eye: only the mesh is clipped right.
  if (depth - radius <= volume.hither() || !(radius > 0.0)) return Draw::Mesh;
  // The outline in pixels about the centre's, and the depth in sixteenths of the radius.
  const double pixels = frame_->pixelsPerNdc / depth;
  const CoincidenceFilter::Key key{CoincidenceFilter::eighths(eye[0] * volume.scaleX() * pixels),
                                   CoincidenceFilter::eighths(eye[1] * volume.scaleY() * pixels),
                                   CoincidenceFilter::eighths(radius * volume.scaleX() * pixels),
                                   CoincidenceFilter::eighths(2.0 * depth / radius),
                                   record.palette,
                                   0};
  if (coincident_.seen(key)) return Draw::Coincident;
  if (place == ViewVolume::Place::Inside) {
    // The point must reach the outline's farthest side from the centre.
    const double half = std::max(SphereOutlineReach(eye[0], depth, radius) * volume.scaleX(),
                                 SphereOutlineReach(eye[1], depth, radius) * volume.scaleY());
    if (half * frame_->pixelsPerNdc + 4.0 <= maxPointSize_ / 2.0) {
      if (points_.add(slot, pacer_.room()) && spheres_.drawableBeforeFinish()) sendPlacedPoints();
      return Draw::Point;
    }
  }
  // Partly outside the view (a point is dropped whole once its centre is) or too large for a point.
  quads_.put(record);
  return Draw::Quad;
}

void SphereImpostors::useProgram() {
  stats_->uploadedBytes += static_cast<long long>(palette_.bind(*gl_, kPaletteUnit));
  program_->bind();
  if (uniformsSet_) return;
  uniformsSet_ = true;
  const FrameSettings& settings = *frame_->settings;
  const auto& viewport = frame_->viewport;
  const QMatrix4x4& p = settings.projection;
  Vector3D toLight = settings.floodDirection.Times(-1.0);
  toLight.Normalize();
  const QVector3D toLightEye = settings.view.mapVector(
      QVector3D(static_cast<float>(toLight.X), static_cast<float>(toLight.Y), static_cast<float>(toLight.Z)));
  const float w = static_cast<float>(std::max(1, viewport[2])), h = static_cast<float>(std::max(1, viewport[3]));
  program_->setUniformValue("uView", settings.view);
  program_->setUniformValue("uProjection", QVector4D(p(0, 0), p(1, 1), p(2, 2), p(2, 3)));
  program_->setUniformValue("uViewportSize", QVector2D(w, h));
  // The pixel's ray and the window depth of a point, from the projection:
  // x / -z = ndc.x / p00 with ndc.x = 2 (pixel - origin) / width - 1, and
  // window depth = near + diff (ndc.z + 1) / 2 with ndc.z = -p22 + p23 / -z.
  program_->setUniformValue("uPixelToRay",
                            QVector4D(2.0f / (w * p(0, 0)), 2.0f / (h * p(1, 1)),
                                      (-2.0f * static_cast<float>(viewport[0]) / w - 1.0f) / p(0, 0),
                                      (-2.0f * static_cast<float>(viewport[1]) / h - 1.0f) / p(1, 1)));
  GLfloat depthRange[2] = {0.0f, 1.0f};
  gl_->glGetFloatv(GL_DEPTH_RANGE, depthRange);
  const float diff = depthRange[1] - depthRange[0];
  program_->setUniformValue("uWindowDepth", QVector2D(depthRange[0] + diff * (1.0f - p(2, 2)) / 2.0f,
                                                      diff * p(2, 3) / 2.0f));
  program_->setUniformValue("uAmbient", QVector3D(settings.ambient[0], settings.ambient[1], settings.ambient[2]));
  program_->setUniformValue("uFlood", QVector3D(settings.flood[0], settings.flood[1], settings.flood[2]));
  program_->setUniformValue("uToLight", toLightEye.normalized());
  program_->setUniformValue("uPalette", static_cast<int>(kPaletteUnit - GL_TEXTURE0));
}

void SphereImpostors::releaseProgram() {
  gl_->glBindVertexArray(0);
  palette_.unbind(*gl_, kPaletteUnit);
  program_->release();
}

void SphereImpostors::drawPoints() {
  sphereAttributes(*gl_, pointVao_, spheres_.buffer(), 0, 0, sizeof(Record), offsetof(Record, palette));
  gl_->glEnable(GL_PROGRAM_POINT_SIZE);
  stats_->drawCalls += points_.drawUnsent(*gl_, GL_POINTS, 1, pacer_);
  gl_->glDisable(GL_PROGRAM_POINT_SIZE);
}

void SphereImpostors::sendPlacedPoints() {
  spheres_.pause();
  useProgram();
  drawPoints();
  releaseProgram();
  spheres_.resume();
}

void SphereImpostors::draw() {
  stats_->uploadedBytes += static_cast<long long>(spheres_.finish());
  stats_->uploadedBytes += static_cast<long long>(quads_.finish());
  const std::size_t quads = quads_.count();
  if (!points_.unsent() && quads == 0) return;
  useProgram();
  if (points_.unsent()) drawPoints();
  if (quads > 0) {
    program_->setUniformValue("uQuads", true);
    for (std::size_t done = 0; done < quads;) {
      const auto n = static_cast<std::size_t>(
          std::clamp<long long>(pacer_.room() / 2, 1, static_cast<long long>(quads - done)));
      sphereAttributes(*gl_, quadVao_, quads_.buffer(), 1, done * sizeof(Record), sizeof(Record),
                       offsetof(Record, palette));
      gl_->glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(n));
      ++stats_->drawCalls;
      pacer_.drawn(2 * static_cast<long long>(n));
      done += n;
    }
    program_->setUniformValue("uQuads", false);
    stats_->triangles += 2 * static_cast<long long>(quads);
  }
  releaseProgram();
}
