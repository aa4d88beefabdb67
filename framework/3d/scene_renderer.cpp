#include "framework/3d/scene_renderer.h"

#include "framework/3d/mesh_levels.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QSurfaceFormat>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <numbers>
#include <typeinfo>

namespace {

// Attribute locations shared by the mesh shader and the VAO set-up.
constexpr GLuint kPositionAttr = 0;
constexpr GLuint kNormalAttr = 1;
constexpr GLuint kModelAttr = 2;   // four columns: 2..5
constexpr GLuint kColourAttr = 6;  // rgb + ambient coefficient
constexpr GLuint kFlagsAttr = 7;   // x: unlit

// Textures and meshes that no frame has drawn for this long are freed.
constexpr std::uint64_t kUnusedFrames = 120;

// Levels of detail: a fine mesh's coarser levels are used when the
// element's radius on screen is below these sizes in pixels.
constexpr double kCoarseBelowPixels = 12.0;
constexpr double kCoarsestBelowPixels = 4.0;
// Below this radius on screen an element covers a handful of pixels, and an
// octahedron spanning its box shows the same dot for a sixth of the triangles.
constexpr double kDotBelowPixels = 2.0;

// Round spheres up to this radius on screen are drawn as impostors. Larger
// ones keep their mesh: its facets then stand a pixel or more inside the
// true sphere, and the mesh is what picking hits.
constexpr double kImpostorBelowPixels = 40.0;
// Attribute locations of the sphere shader.
constexpr GLuint kSphereAttr = 0;   // centre, radius
constexpr GLuint kPaletteAttr = 1;  // place in the palette
// The palette is started afresh when a long session has gathered this many colours.
constexpr std::size_t kPaletteLimit = 4096;
// Primitives (points, triangles, lines) sent between two fences: some 3 MB
// of the software driver's binning memory. Half as many parts cost a few
// per cent more time at a million spheres; twice as many hold twice the memory.
constexpr long long kPartPrimitives = 8192;

const char* kMeshVertexShader = R"(#version 330 core
layout(location = 0) in vec3 aPosition;
layout(location = 1) in vec3 aNormal;
layout(location = 2) in vec4 iModel0;
layout(location = 3) in vec4 iModel1;
layout(location = 4) in vec4 iModel2;
layout(location = 5) in vec4 iModel3;
layout(location = 6) in vec4 iColour;
layout(location = 7) in vec4 iFlags;
uniform mat4 uViewProjection;
out vec3 vWorld;
out vec3 vNormal;
flat out vec4 vColour;
flat out float vUnlit;
void main() {
  mat4 model = mat4(iModel0, iModel1, iModel2, iModel3);
  vec4 world = model * vec4(aPosition, 1.0);
  vWorld = world.xyz;
  // Scale is uniform, so the model's upper 3x3 turns normals correctly up to length.
  vNormal = mat3(model) * aNormal;
  vColour = iColour;
  vUnlit = iFlags.x;
  gl_Position = uViewProjection * world;
}
)";

const char* kMeshFragmentShader = R"(#version 330 core
in vec3 vWorld;
in vec3 vNormal;
flat in vec4 vColour;
flat in float vUnlit;
uniform vec3 uEye;
uniform vec3 uAmbient;
uniform vec3 uFlood;
uniform vec3 uToLight;
out vec4 fragColour;
void main() {
  if (vUnlit > 0.5) {
    fragColour = vec4(vColour.rgb, 1.0);
    return;
  }
  vec3 n = vNormal;
  float len = length(n);
  n = len > 0.0 ? n / len : vec3(0.0);
  // Light the side that faces the eye, whatever the triangle's winding.
  if (dot(n, uEye - vWorld) < 0.0) n = -n;
  float lambert = max(dot(n, uToLight), 0.0);
  vec3 light = uAmbient * vColour.a + uFlood * lambert;
  fragColour = vec4(min(vColour.rgb * light, vec3(1.0)), 1.0);
}
)";

const char* kPictureVertexShader = R"(#version 330 core
layout(location = 0) in vec2 aCorner;
uniform mat4 uModelViewProjection;
out vec2 vTexCoord;
void main() {
  // Image row 0 is its top line, at +y.
  vTexCoord = vec2(aCorner.x + 0.5, 0.5 - aCorner.y);
  gl_Position = uModelViewProjection * vec4(aCorner, 0.0, 1.0);
}
)";

const char* kPictureFragmentShader = R"(#version 330 core
in vec2 vTexCoord;
uniform sampler2D uPicture;
out vec4 fragColour;
void main() {
  vec4 c = texture(uPicture, vTexCoord);
  // Fully transparent pixels must not hide what lies behind them in depth.
  if (c.a < 0.004) discard;
  fragColour = c;  // premultiplied
}
)";

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

// T(position) R(orientation) S(scale), column-major.
std::array<float, 16> modelMatrix(const Element3D& e) {
  Quaternion q = e.Orientation;
  const double n = std::sqrt(q.W * q.W + q.X * q.X + q.Y * q.Y + q.Z * q.Z);
  if (n > 0.0 && std::isfinite(n)) {
    q = {q.W / n, q.X / n, q.Y / n, q.Z / n};
  } else {
    q = {};
  }
  const double w = q.W, x = q.X, y = q.Y, z = q.Z;
  const double s = e.Scale;
  const double r[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - w * z), 2 * (x * z + w * y)},
                          {2 * (x * y + w * z), 1 - 2 * (x * x + z * z), 2 * (y * z - w * x)},
                          {2 * (x * z - w * y), 2 * (y * z + w * x), 1 - 2 * (x * x + y * y)}};
  std::array<float, 16> m{};
  for (int col = 0; col < 3; ++col) {
    for (int row = 0; row < 3; ++row) m[col * 4 + row] = static_cast<float>(r[row][col] * s);
  }
  m[12] = static_cast<float>(e.Position.X);
  m[13] = static_cast<float>(e.Position.Y);
  m[14] = static_cast<float>(e.Position.Z);
  m[15] = 1.0f;
  return m;
}

bool finiteElement(const Element3D& e) {
  return e.Position.IsFinite() && std::isfinite(e.Scale) && std::isfinite(e.Orientation.W) &&
         std::isfinite(e.Orientation.X) && std::isfinite(e.Orientation.Y) && std::isfinite(e.Orientation.Z);
}

bool sameOwner(const std::weak_ptr<const MeshGeometry>& a, const std::shared_ptr<const MeshGeometry>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

SceneRenderer::SceneRenderer() : pacer_(kPartPrimitives) {}
SceneRenderer::~SceneRenderer() = default;

namespace {

// A program of the two shaders; null, with the compiler's log in `log`, when
// the driver refuses them.
std::unique_ptr<QOpenGLShaderProgram> linkedProgram(const char* vertex, const char* fragment, QString& log) {
  auto program = std::make_unique<QOpenGLShaderProgram>();
  if (program->addShaderFromSourceCode(QOpenGLShader::Vertex, vertex) &&
      program->addShaderFromSourceCode(QOpenGLShader::Fragment, fragment) && program->link())
    return program;
  log = program->log().trimmed();
  return nullptr;
}

}  // namespace

bool SceneRenderer::initialize() {
  if (initialized_) return usable_;
  initialized_ = true;
  usable_ = false;
  failure_.clear();
  if (!initializeOpenGLFunctions()) {
    const QOpenGLContext* ctx = QOpenGLContext::currentContext();
    const QSurfaceFormat format = ctx ? ctx->format() : QSurfaceFormat();
    failure_ = QStringLiteral("it needs OpenGL 3.3, and this display offers OpenGL %1.%2.")
                   .arg(format.majorVersion())
                   .arg(format.minorVersion());
    qWarning("3D view: %s", qPrintable(failure_));
    return false;
  }

  QString log;
  meshProgram_ = linkedProgram(kMeshVertexShader, kMeshFragmentShader, log);
  if (!meshProgram_) {
    failure_ = QStringLiteral("the driver refuses its shaders (%1).").arg(log);
    qWarning("3D view: mesh shader failed: %s", qPrintable(log));
    return false;
  }
  pictureProgram_ = linkedProgram(kPictureVertexShader, kPictureFragmentShader, log);
  if (!pictureProgram_) {
    failure_ = QStringLiteral("the driver refuses its shaders (%1).").arg(log);
    qWarning("3D view: picture shader failed: %s", qPrintable(log));
    return false;
  }
  sphereProgram_ = linkedProgram(kSphereVertexShader, kSphereFragmentShader, log);
  // Spheres are then drawn as meshes.
  if (!sphereProgram_) qWarning("3D view: sphere shader failed: %s", qPrintable(log));
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);
  GLfloat pointSizes[2] = {1.0f, 1.0f};
  glGetFloatv(GL_POINT_SIZE_RANGE, pointSizes);
  maxPointSize_ = pointSizes[1];
  glGenVertexArrays(1, &pointVao_);
  glGenVertexArrays(1, &sphereQuadVao_);
  glGenBuffers(1, &paletteBuffer_);
  glGenTextures(1, &paletteTexture_);

  static const float corners[] = {-0.5f, -0.5f, 0.5f, -0.5f, 0.5f, 0.5f, -0.5f, -0.5f, 0.5f, 0.5f, -0.5f, 0.5f};
  glGenVertexArrays(1, &quadVao_);
  glGenBuffers(1, &quadBuffer_);
  glBindVertexArray(quadVao_);
  glBindBuffer(GL_ARRAY_BUFFER, quadBuffer_);
  glBufferData(GL_ARRAY_BUFFER, sizeof(corners), corners, GL_STATIC_DRAW);
  glEnableVertexAttribArray(0);
  glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 2 * sizeof(float), nullptr);
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);

  usable_ = true;
  return true;
}

void SceneRenderer::release() {
  if (!initialized_) return;
  if (usable_) {
    for (auto& [key, mesh] : meshes_) deleteMesh(mesh);
    for (auto& [key, texture] : textures_) glDeleteTextures(1, &texture.id);
    glDeleteBuffers(1, &quadBuffer_);
    glDeleteVertexArrays(1, &quadVao_);
    glDeleteVertexArrays(1, &pointVao_);
    glDeleteVertexArrays(1, &sphereQuadVao_);
    glDeleteBuffers(1, &paletteBuffer_);
    glDeleteTextures(1, &paletteTexture_);
    meshInstances_.release(*this);
    spheres_.release(*this);
    sphereQuads_.release(*this);
    pacer_.release(*this);
  }
  meshes_.clear();
  textures_.clear();
  quadBuffer_ = quadVao_ = pointVao_ = sphereQuadVao_ = paletteBuffer_ = paletteTexture_ = 0;
  meshProgram_.reset();
  sphereProgram_.reset();
  pictureProgram_.reset();
  batches_.clear();
  batchIndex_.clear();
  palette_.clear();
  paletteIndex_.clear();
  paletteUploaded_ = 0;
  initialized_ = false;
  usable_ = false;
}

void SceneRenderer::deleteMesh(GpuMesh& mesh) {
  for (GpuLevel& level : mesh.levels) {
    glDeleteVertexArrays(1, &level.vao);
    glDeleteBuffers(1, &level.vertexBuffer);
    glDeleteBuffers(1, &level.indexBuffer);
  }
  mesh.levels.clear();
}

SceneRenderer::GpuLevel SceneRenderer::uploadLevel(const std::vector<float>& interleaved, bool withNormals,
                                                   const std::vector<std::uint32_t>& indices) {
  GpuLevel level;
  level.indexCount = static_cast<GLsizei>(indices.size());
  glGenVertexArrays(1, &level.vao);
  glGenBuffers(1, &level.vertexBuffer);
  glGenBuffers(1, &level.indexBuffer);
  glBindVertexArray(level.vao);
  glBindBuffer(GL_ARRAY_BUFFER, level.vertexBuffer);
  glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(interleaved.size() * sizeof(float)), interleaved.data(),
               GL_STATIC_DRAW);
  const GLsizei strideBytes = static_cast<GLsizei>((withNormals ? 6 : 3) * sizeof(float));
  glEnableVertexAttribArray(kPositionAttr);
  glVertexAttribPointer(kPositionAttr, 3, GL_FLOAT, GL_FALSE, strideBytes, nullptr);
  if (withNormals) {
    glEnableVertexAttribArray(kNormalAttr);
    glVertexAttribPointer(kNormalAttr, 3, GL_FLOAT, GL_FALSE, strideBytes,
                          reinterpret_cast<const void*>(3 * sizeof(float)));
  } else {
    // Lines have no normals; they are drawn unlit, so the shader ignores it.
    glDisableVertexAttribArray(kNormalAttr);
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, level.indexBuffer);
  glBufferData(GL_ELEMENT_ARRAY_BUFFER, static_cast<GLsizeiptr>(indices.size() * sizeof(std::uint32_t)),
               indices.data(), GL_STATIC_DRAW);
  // Per-instance attributes: pointers are set per draw, divisors once.
  for (GLuint a = kModelAttr; a <= kFlagsAttr; ++a) {
    glEnableVertexAttribArray(a);
    glVertexAttribDivisor(a, 1);
  }
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  return level;
}

SceneRenderer::GpuMesh* SceneRenderer::meshFor(const std::shared_ptr<const MeshGeometry>& geometry) {
  auto it = meshes_.find(geometry.get());
  if (it != meshes_.end()) {
    if (sameOwner(it->second.source, geometry)) return &it->second;
    // Same address, different geometry: the old one is gone.
    deleteMesh(it->second);
    meshes_.erase(it);
  }
  const MeshGeometry& g = *geometry;
  const std::size_t vertexCount = g.positions.size() / 3;
  const bool lines = g.primitive == MeshGeometry::Primitive::Lines;
  const bool withNormals = !lines && g.normals.size() == g.positions.size();

  GpuMesh mesh;
  mesh.source = geometry;
  mesh.mode = lines ? GL_LINES : GL_TRIANGLES;
  mesh.radius = g.radius;
  // Indices that point past the vertices would read outside the buffer.
  std::vector<std::uint32_t> indices;
  indices.reserve(g.indices.size());
  const std::size_t per = lines ? 2 : 3;
  for (std::size_t i = 0; i + per <= g.indices.size(); i += per) {
    bool ok = true;
    for (std::size_t k = 0; k < per; ++k) ok = ok && g.indices[i + k] < vertexCount;
    if (ok) {
      indices.insert(indices.end(), g.indices.begin() + static_cast<std::ptrdiff_t>(i),
                     g.indices.begin() + static_cast<std::ptrdiff_t>(i + per));
    }
  }
  const std::size_t stride = withNormals ? 6 : 3;
  std::vector<float> interleaved(vertexCount * stride);
  for (std::size_t v = 0; v < vertexCount; ++v) {
    for (std::size_t k = 0; k < 3; ++k) interleaved[v * stride + k] = g.positions[v * 3 + k];
    if (withNormals) {
      for (std::size_t k = 0; k < 3; ++k) interleaved[v * stride + 3 + k] = g.normals[v * 3 + k];
    }
  }
  mesh.levels.push_back(uploadLevel(interleaved, withNormals, indices));
  // Fine meshes get coarser stand-ins for when they cover few pixels; small
  // meshes (boxes, arrows' cones) are cheap already and keep their edges.
  if (withNormals) {
    for (const LevelMesh& level : CoarserLevels(interleaved, indices, g.boundsMin, g.boundsMax))
      mesh.levels.push_back(uploadLevel(level.vertices, true, level.indices));
  }

  auto [pos, inserted] = meshes_.emplace(geometry.get(), std::move(mesh));
  return &pos->second;
}

SceneRenderer::GpuTexture* SceneRenderer::textureFor(const QImage& image) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return nullptr;
  auto it = textures_.find(image.cacheKey());
  if (it != textures_.end()) return &it->second;
  QImage argb = image.format() == QImage::Format_ARGB32_Premultiplied
                    ? image
                    : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
  // The driver refuses a texture past its size limit and nothing would show:
  // a long label is sent at the resolution it accepts, each side on its own,
  // and still drawn over its full size.
  if (maxTextureSize_ > 0 && (argb.width() > maxTextureSize_ || argb.height() > maxTextureSize_)) {
    argb = argb.scaled(std::min(argb.width(), maxTextureSize_), std::min(argb.height(), maxTextureSize_),
                       Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (argb.isNull()) return nullptr;
  }
  GpuTexture texture;
  glGenTextures(1, &texture.id);
  glBindTexture(GL_TEXTURE_2D, texture.id);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(argb.bytesPerLine() / 4));
  // 0xAARRGGBB words read as BGRA with the reversed packed type, on any byte order.
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, argb.width(), argb.height(), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
               argb.constBits());
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glBindTexture(GL_TEXTURE_2D, 0);
  auto [pos, inserted] = textures_.emplace(image.cacheKey(), texture);
  return &pos->second;
}

void SceneRenderer::bindInstanceAttributes(std::size_t byteOffset) {
  constexpr GLsizei stride = sizeof(Instance);
  auto at = [byteOffset](std::size_t field) { return reinterpret_cast<const void*>(byteOffset + field); };
  for (GLuint c = 0; c < 4; ++c) {
    glVertexAttribPointer(kModelAttr + c, 4, GL_FLOAT, GL_FALSE, stride,
                          at(offsetof(Instance, model) + c * 4 * sizeof(float)));
  }
  glVertexAttribPointer(kColourAttr, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, colour)));
  glVertexAttribPointer(kFlagsAttr, 4, GL_FLOAT, GL_FALSE, stride, at(offsetof(Instance, flags)));
}

void SceneRenderer::dropUnused() {
  for (auto it = meshes_.begin(); it != meshes_.end();) {
    GpuMesh& m = it->second;
    if (m.source.expired() || frame_ - m.lastUsedFrame > kUnusedFrames) {
      deleteMesh(m);
      it = meshes_.erase(it);
    } else {
      ++it;
    }
  }
  for (auto it = textures_.begin(); it != textures_.end();) {
    if (frame_ - it->second.lastUsedFrame > kUnusedFrames) {
      glDeleteTextures(1, &it->second.id);
      it = textures_.erase(it);
    } else {
      ++it;
    }
  }
}

std::uint32_t SceneRenderer::paletteIndex(const MeshShape& shape, bool unlit) {
  const std::array<float, 4> colour{shape.red, shape.green, shape.blue, unlit ? -1.0f : shape.ambientCoefficient};
  std::array<std::uint32_t, 5> key{};
  std::memcpy(key.data(), colour.data(), sizeof colour);
  key[4] = unlit ? 1u : 0u;
  auto [it, added] = paletteIndex_.emplace(key, static_cast<std::uint32_t>(palette_.size()));
  if (added) palette_.push_back(colour);
  lastPaletteShape_ = &shape;
  lastPaletteUnlit_ = unlit;
  lastPalette_ = it->second;
  return it->second;
}

SceneRenderer::SphereDraw SceneRenderer::placeSphere(const Object3D& object, const MeshShape& shape,
                                                     const FrameSettings& settings) {
  const MeshGeometry& g = *shape.geometry;
  Vector3D centre = object.Position;
  if (g.sphereCentre.X != 0.0 || g.sphereCentre.Y != 0.0 || g.sphereCentre.Z != 0.0) {
    const std::array<float, 16> m = modelMatrix(object);
    const Vector3D& c = g.sphereCentre;
    centre = {m[0] * c.X + m[4] * c.Y + m[8] * c.Z + m[12], m[1] * c.X + m[5] * c.Y + m[9] * c.Z + m[13],
              m[2] * c.X + m[6] * c.Y + m[10] * c.Z + m[14]};
  }
  const double radius = g.sphereRadius * std::abs(object.Scale);
  SphereRecord record{};
  record.centre[0] = static_cast<float>(centre.X);
  record.centre[1] = static_cast<float>(centre.Y);
  record.centre[2] = static_cast<float>(centre.Z);
  record.radius = static_cast<float>(radius);
  record.palette = &shape == lastPaletteShape_ && object.NullShader == lastPaletteUnlit_
                       ? lastPalette_
                       : paletteIndex(shape, object.NullShader);
  const auto slot = static_cast<GLint>(spheres_.put(record));

  const std::array<double, 3> eye = volume_.toEye(centre);
  const ViewVolume::Place place = volume_.classify(eye, radius);
  if (place == ViewVolume::Place::Outside && culling_) return SphereDraw::Culled;
  const double depth = -eye[2];
  // Through the near plane or around the eye: only the mesh is clipped right.
  if (depth - radius <= volume_.hither() || !(radius > 0.0)) return SphereDraw::Mesh;
  if (radius * settings.pixelsPerUnitAtUnitDistance >= kImpostorBelowPixels * depth) return SphereDraw::Mesh;
  if (place == ViewVolume::Place::Inside) {
    // The point must reach the outline's farthest side from the centre.
    const double half = std::max(SphereOutlineReach(eye[0], depth, radius) * volume_.scaleX(),
                                 SphereOutlineReach(eye[1], depth, radius) * volume_.scaleY());
    if (half * pixelsPerNdc_ + 4.0 <= maxPointSize_ / 2.0) {
      // A run goes on while it has not been sent whole.
      if (runSent_ < pointFirst_.size() && pointFirst_.back() + pointCount_.back() == slot) {
        ++pointCount_.back();
      } else {
        pointFirst_.push_back(slot);
        pointCount_.push_back(1);
      }
      if (++pointsPlaced_ >= pacer_.room() && spheres_.drawableBeforeFinish()) sendPlacedPoints();
      return SphereDraw::Point;
    }
  }
  // Partly outside the view (a point is dropped whole once its centre is) or too large for a point.
  sphereQuads_.put(record);
  return SphereDraw::Quad;
}

void SceneRenderer::addMeshInstance(const Object3D& object, const MeshShape& shape,
                                    const std::array<float, 16>& model, const FrameSettings& settings,
                                    const Vector3D& boundsCentre) {
  const MeshGeometry* key = shape.geometry.get();
  // Level of detail from the size the element appears on screen.
  int level = 0;
  if (key->primitive == MeshGeometry::Primitive::Triangles && settings.pixelsPerUnitAtUnitDistance > 0.0) {
    const double depth = boundsCentre.Minus(settings.eye).Dot(settings.forward);
    const double radius = key->radius * std::abs(object.Scale);
    if (depth > radius) {
      const double pixels = radius * settings.pixelsPerUnitAtUnitDistance / depth;
      level = pixels < kDotBelowPixels       ? 3
              : pixels < kCoarsestBelowPixels ? 2
              : pixels < kCoarseBelowPixels   ? 1
                                              : 0;
    }
  }
  const std::uintptr_t batchKey = reinterpret_cast<std::uintptr_t>(key) * 4u + static_cast<std::uintptr_t>(level);
  auto found = batchIndex_.find(batchKey);
  std::size_t index;
  if (found == batchIndex_.end()) {
    GpuMesh* mesh = meshFor(shape.geometry);
    mesh->lastUsedFrame = frame_;
    index = usedBatches_++;
    if (batches_.size() < usedBatches_) batches_.emplace_back();
    batches_[index].mesh = mesh;
    batches_[index].level = std::min(level, static_cast<int>(mesh->levels.size()) - 1);
    batchIndex_.emplace(batchKey, index);
  } else {
    index = found->second;
  }
  const bool unlit = object.NullShader || key->primitive == MeshGeometry::Primitive::Lines;
  batches_[index].instances.push_back(
      {model, {shape.red, shape.green, shape.blue, shape.ambientCoefficient}, {unlit ? 1.0f : 0.0f, 0, 0, 0}});
}

void SceneRenderer::render(const Group3D& group, const FrameSettings& settings) {
  stats_ = {};
  const float sky[3] = {((settings.skyColor >> 16) & 0xFF) / 255.0f, ((settings.skyColor >> 8) & 0xFF) / 255.0f,
                        (settings.skyColor & 0xFF) / 255.0f};
  if (!usable_) {
    // Without our shaders only the sky can be shown.
    QOpenGLContext* ctx = QOpenGLContext::currentContext();
    if (ctx) {
      ctx->functions()->glClearColor(sky[0], sky[1], sky[2], 1.0f);
      ctx->functions()->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }
    return;
  }
  ++frame_;

  glClearColor(sky[0], sky[1], sky[2], 1.0f);
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  // Shape texts do not promise a winding; lighting faces the eye instead.
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glPolygonMode(GL_FRONT_AND_BACK, settings.wireframe ? GL_LINE : GL_FILL);

  volume_ = ViewVolume(settings.view, settings.projection, settings.hither, settings.yon);
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  pixelsPerNdc_ = 0.5 * std::max(viewport[2], viewport[3]);
  // Wire frames show the mesh's edges, which an impostor has not.
  const bool impostors = impostors_ && sphereProgram_ && !settings.wireframe;

  // Gather: one batch per shared geometry and level, round spheres and pictures apart.
  for (Batch& b : batches_) b.instances.clear();
  usedBatches_ = 0;
  batchIndex_.clear();
  pictures_.clear();
  pointFirst_.clear();
  pointCount_.clear();
  if (palette_.size() > kPaletteLimit) {
    palette_.clear();
    paletteIndex_.clear();
    paletteUploaded_ = 0;
  }
  lastPaletteShape_ = nullptr;
  pacer_.beginFrame(*this);
  // Every member may be a round sphere.
  spheres_.beginFrame(*this, keepBuffers_, group.Items().size());
  sphereQuads_.beginFrame(*this, keepBuffers_);
  runSent_ = 0;
  intoRunSent_ = 0;
  pointsPlaced_ = 0;
  frameSettings_ = &settings;
  sphereUniformsSet_ = false;
  const auto& items = group.Items();
  // Scenes hold elements of a few classes: ask once per class whether it draws shapes.
  const std::type_info* lastClass = nullptr;
  bool lastClassHasShapes = false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    // Elements are scattered over the heap: fetch a few ahead.
    if (i + 8 < items.size()) __builtin_prefetch(items[i + 8].get());
    const Element3D* item = items[i].get();
    if (!item || !item->Visible || !finiteElement(*item)) continue;
    const std::type_info& itemClass = typeid(*item);
    if (&itemClass != lastClass) {
      lastClass = &itemClass;
      lastClassHasShapes = dynamic_cast<const Object3D*>(item) != nullptr;
    }
    if (!lastClassHasShapes) continue;
    const auto* object = static_cast<const Object3D*>(item);
    const double scale = std::abs(object->Scale);
    bool haveModel = false;
    std::array<float, 16> model{};
    for (const auto& shape : object->MeshShapes()) {
      if (!shape || !shape->geometry || shape->geometry->indices.empty()) continue;
      const MeshGeometry& g = *shape->geometry;
      if (impostors && g.isSphere) {
        const SphereDraw how = placeSphere(*object, *shape, settings);
        if (how == SphereDraw::Culled) {
          ++stats_.culled;
          continue;
        }
        if (how != SphereDraw::Mesh) {
          ++stats_.impostors;
          continue;
        }
      }
      if (!haveModel) {
        model = modelMatrix(*object);
        haveModel = true;
      }
      // The box's centre in the world, and a sphere about it that holds the box.
      const Vector3D local((g.boundsMin.X + g.boundsMax.X) / 2, (g.boundsMin.Y + g.boundsMax.Y) / 2,
                           (g.boundsMin.Z + g.boundsMax.Z) / 2);
      const Vector3D centre(model[0] * local.X + model[4] * local.Y + model[8] * local.Z + model[12],
                            model[1] * local.X + model[5] * local.Y + model[9] * local.Z + model[13],
                            model[2] * local.X + model[6] * local.Y + model[10] * local.Z + model[14]);
      if (culling_) {
        const double reach = g.boundsMax.Minus(g.boundsMin).Length() / 2 * scale;
        if (volume_.classify(volume_.toEye(centre), reach) == ViewVolume::Place::Outside) {
          ++stats_.culled;
          continue;
        }
      }
      addMeshInstance(*object, *shape, model, settings, centre);
    }
    for (const auto& picture : object->PictureShapes()) {
      if (!(picture.width > 0.0) || !(picture.height > 0.0)) continue;
      if (culling_ && volume_.classify(volume_.toEye(object->Position),
                                       0.5 * std::hypot(picture.width, picture.height) * scale) ==
                          ViewVolume::Place::Outside) {
        ++stats_.culled;
        continue;
      }
      GpuTexture* texture = textureFor(picture.image);
      if (!texture) continue;
      texture->lastUsedFrame = frame_;
      if (!haveModel) {
        model = modelMatrix(*object);
        haveModel = true;
      }
      QMatrix4x4 m(model.data());
      m = m.transposed();  // QMatrix4x4's array constructor reads rows
      m.scale(static_cast<float>(picture.width), static_cast<float>(picture.height), 1.0f);
      PictureDraw draw;
      draw.texture = texture;
      std::copy(m.constData(), m.constData() + 16, draw.model.begin());
      pictures_.push_back(draw);
    }
  }

  // Spheres first: most of them may be on their way to the rasterizer already.
  drawSpheres();
  const QMatrix4x4 viewProjection = settings.projection * settings.view;
  drawMeshes(viewProjection, settings);
  drawPictures(viewProjection);
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  pacer_.endFrame();
  frameSettings_ = nullptr;

  dropUnused();
  releaseSpareRoom();
  stats_.cachedGeometries = static_cast<int>(meshes_.size());
  stats_.cachedTextures = static_cast<int>(textures_.size());
  stats_.parts = pacer_.parts();
  stats_.heldBytes = heldBytes();
}

namespace {
// A list that a large frame filled keeps room for it in every later frame;
// room far beyond what the frame used goes back.
template <class T>
void releaseSpare(std::vector<T>& v) {
  constexpr std::size_t kSmall = 1024;
  if (v.capacity() > kSmall && v.capacity() > 4 * v.size()) {
    std::vector<T> fitted;
    fitted.reserve(v.size() + v.size() / 8);
    fitted.assign(std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
    v.swap(fitted);
  }
}
}  // namespace

void SceneRenderer::releaseSpareRoom() {
  for (std::size_t b = 0; b < batches_.size(); ++b) {
    if (b >= usedBatches_) batches_[b].instances.clear();
    releaseSpare(batches_[b].instances);
  }
  if (batches_.size() > usedBatches_ + 64) batches_.resize(usedBatches_);
  releaseSpare(pointFirst_);
  releaseSpare(pointCount_);
  releaseSpare(partFirst_);
  releaseSpare(partCount_);
  releaseSpare(pictures_);
}

long long SceneRenderer::heldBytes() const {
  std::size_t bytes = spheres_.heldBytes() + sphereQuads_.heldBytes() + meshInstances_.heldBytes();
  for (const Batch& b : batches_) bytes += b.instances.capacity() * sizeof(Instance);
  bytes += (pointFirst_.capacity() + partFirst_.capacity()) * sizeof(GLint);
  bytes += (pointCount_.capacity() + partCount_.capacity()) * sizeof(GLsizei);
  bytes += pictures_.capacity() * sizeof(PictureDraw);
  return static_cast<long long>(bytes);
}

void SceneRenderer::drawMeshes(const QMatrix4x4& viewProjection, const FrameSettings& settings) {
  meshInstances_.beginFrame(*this, keepBuffers_);
  for (std::size_t b = 0; b < usedBatches_; ++b) {
    for (const Instance& instance : batches_[b].instances) meshInstances_.put(instance);
  }
  stats_.uploadedBytes += static_cast<long long>(meshInstances_.finish());
  if (usedBatches_ == 0) return;

  Vector3D toLight = settings.floodDirection.Times(-1.0);
  toLight.Normalize();
  meshProgram_->bind();
  meshProgram_->setUniformValue("uViewProjection", viewProjection);
  meshProgram_->setUniformValue("uEye", QVector3D(static_cast<float>(settings.eye.X),
                                                  static_cast<float>(settings.eye.Y),
                                                  static_cast<float>(settings.eye.Z)));
  meshProgram_->setUniformValue("uAmbient", QVector3D(settings.ambient[0], settings.ambient[1], settings.ambient[2]));
  meshProgram_->setUniformValue("uFlood", QVector3D(settings.flood[0], settings.flood[1], settings.flood[2]));
  meshProgram_->setUniformValue("uToLight", QVector3D(static_cast<float>(toLight.X), static_cast<float>(toLight.Y),
                                                      static_cast<float>(toLight.Z)));
  glBindBuffer(GL_ARRAY_BUFFER, meshInstances_.buffer());
  std::size_t first = 0;
  for (std::size_t b = 0; b < usedBatches_; ++b) {
    Batch& batch = batches_[b];
    const GpuMesh& mesh = *batch.mesh;
    const GpuLevel& level = mesh.levels[static_cast<std::size_t>(batch.level)];
    const auto count = static_cast<GLsizei>(batch.instances.size());
    glBindVertexArray(level.vao);
    const long long perInstance = std::max(1, level.indexCount / (mesh.mode == GL_TRIANGLES ? 3 : 2));
    for (GLsizei done = 0; done < count;) {
      // As many instances as the current part takes (one at least); one by
      // one the straightforward way.
      const GLsizei n = !instancing_ ? 1
                                     : static_cast<GLsizei>(std::clamp<long long>(pacer_.room() / perInstance, 1,
                                                                                  count - done));
      bindInstanceAttributes((first + static_cast<std::size_t>(done)) * sizeof(Instance));
      glDrawElementsInstanced(mesh.mode, level.indexCount, GL_UNSIGNED_INT, nullptr, n);
      ++stats_.drawCalls;
      pacer_.drawn(perInstance * n);
      done += n;
    }
    stats_.instances += count;
    if (mesh.mode == GL_TRIANGLES) stats_.triangles += static_cast<long long>(count) * (level.indexCount / 3);
    first += batch.instances.size();
  }
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  meshProgram_->release();
}

void SceneRenderer::uploadPalette() {
  if (paletteUploaded_ == palette_.size()) return;
  glBindBuffer(GL_TEXTURE_BUFFER, paletteBuffer_);
  glBufferData(GL_TEXTURE_BUFFER, static_cast<GLsizeiptr>(palette_.size() * sizeof(palette_[0])), palette_.data(),
               GL_STATIC_DRAW);
  glBindBuffer(GL_TEXTURE_BUFFER, 0);
  stats_.uploadedBytes += static_cast<long long>(palette_.size() * sizeof(palette_[0]));
  paletteUploaded_ = palette_.size();
}

void SceneRenderer::useSphereProgram() {
  uploadPalette();
  sphereProgram_->bind();
  glActiveTexture(GL_TEXTURE1);
  glBindTexture(GL_TEXTURE_BUFFER, paletteTexture_);
  glTexBuffer(GL_TEXTURE_BUFFER, GL_RGBA32F, paletteBuffer_);
  glActiveTexture(GL_TEXTURE0);
  if (sphereUniformsSet_) return;
  sphereUniformsSet_ = true;
  const FrameSettings& settings = *frameSettings_;
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  const QMatrix4x4& p = settings.projection;
  Vector3D toLight = settings.floodDirection.Times(-1.0);
  toLight.Normalize();
  const QVector3D toLightEye = settings.view.mapVector(
      QVector3D(static_cast<float>(toLight.X), static_cast<float>(toLight.Y), static_cast<float>(toLight.Z)));
  sphereProgram_->setUniformValue("uView", settings.view);
  sphereProgram_->setUniformValue("uProjection", QVector4D(p(0, 0), p(1, 1), p(2, 2), p(2, 3)));
  sphereProgram_->setUniformValue("uViewportSize", QVector2D(static_cast<float>(std::max(1, viewport[2])),
                                                             static_cast<float>(std::max(1, viewport[3]))));
  // The pixel's ray and the window depth of a point, from the projection:
  // x / -z = ndc.x / p00 with ndc.x = 2 (pixel - origin) / width - 1, and
  // window depth = near + diff (ndc.z + 1) / 2 with ndc.z = -p22 + p23 / -z.
  const float w = static_cast<float>(std::max(1, viewport[2])), h = static_cast<float>(std::max(1, viewport[3]));
  sphereProgram_->setUniformValue(
      "uPixelToRay", QVector4D(2.0f / (w * p(0, 0)), 2.0f / (h * p(1, 1)),
                               (-2.0f * static_cast<float>(viewport[0]) / w - 1.0f) / p(0, 0),
                               (-2.0f * static_cast<float>(viewport[1]) / h - 1.0f) / p(1, 1)));
  GLfloat depthRange[2] = {0.0f, 1.0f};
  glGetFloatv(GL_DEPTH_RANGE, depthRange);
  const float diff = depthRange[1] - depthRange[0];
  sphereProgram_->setUniformValue("uWindowDepth", QVector2D(depthRange[0] + diff * (1.0f - p(2, 2)) / 2.0f,
                                                            diff * p(2, 3) / 2.0f));
  sphereProgram_->setUniformValue("uAmbient", QVector3D(settings.ambient[0], settings.ambient[1], settings.ambient[2]));
  sphereProgram_->setUniformValue("uFlood", QVector3D(settings.flood[0], settings.flood[1], settings.flood[2]));
  sphereProgram_->setUniformValue("uToLight", toLightEye.normalized());
  sphereProgram_->setUniformValue("uPalette", 1);
}

namespace {
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

void SceneRenderer::sendPlacedPoints() {
  pointsPlaced_ = 0;
  if (runSent_ >= pointFirst_.size()) return;
  spheres_.pause();
  useSphereProgram();
  sphereAttributes(*this, pointVao_, spheres_.buffer(), 0, 0, sizeof(SphereRecord), offsetof(SphereRecord, palette));
  glEnable(GL_PROGRAM_POINT_SIZE);
  drawPointRuns();
  glDisable(GL_PROGRAM_POINT_SIZE);
  glBindVertexArray(0);
  sphereProgram_->release();
  spheres_.resume();
}

void SceneRenderer::drawSpheres() {
  stats_.uploadedBytes += static_cast<long long>(spheres_.finish());
  stats_.uploadedBytes += static_cast<long long>(sphereQuads_.finish());
  if (runSent_ < pointFirst_.size()) {
    useSphereProgram();
    sphereAttributes(*this, pointVao_, spheres_.buffer(), 0, 0, sizeof(SphereRecord),
                     offsetof(SphereRecord, palette));
    glEnable(GL_PROGRAM_POINT_SIZE);
    drawPointRuns();
    glDisable(GL_PROGRAM_POINT_SIZE);
  }
  if (const std::size_t quads = sphereQuads_.count(); quads > 0) {
    useSphereProgram();
    sphereProgram_->setUniformValue("uQuads", true);
    for (std::size_t done = 0; done < quads;) {
      const auto n = static_cast<std::size_t>(
          std::clamp<long long>(pacer_.room() / 2, 1, static_cast<long long>(quads - done)));
      sphereAttributes(*this, sphereQuadVao_, sphereQuads_.buffer(), 1, done * sizeof(SphereRecord),
                       sizeof(SphereRecord), offsetof(SphereRecord, palette));
      glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, static_cast<GLsizei>(n));
      ++stats_.drawCalls;
      pacer_.drawn(2 * static_cast<long long>(n));
      done += n;
    }
    sphereProgram_->setUniformValue("uQuads", false);
    stats_.triangles += 2 * static_cast<long long>(quads);
  }
  stats_.instances += stats_.impostors;
  glBindVertexArray(0);
  glBindBuffer(GL_ARRAY_BUFFER, 0);
  if (sphereUniformsSet_) {
    glActiveTexture(GL_TEXTURE1);
    glBindTexture(GL_TEXTURE_BUFFER, 0);
    glActiveTexture(GL_TEXTURE0);
    sphereProgram_->release();
  }
}

void SceneRenderer::drawPointRuns() {
  // The runs of points not sent yet, in parts: a run that does not fit the
  // current part is split, and its rest opens the next.
  while (runSent_ < pointFirst_.size()) {
    partFirst_.clear();
    partCount_.clear();
    long long room = pacer_.room();
    long long points = 0;
    while (runSent_ < pointFirst_.size() && room > 0) {
      const auto n = static_cast<GLsizei>(std::min<long long>(pointCount_[runSent_] - intoRunSent_, room));
      partFirst_.push_back(pointFirst_[runSent_] + intoRunSent_);
      partCount_.push_back(n);
      room -= n;
      points += n;
      intoRunSent_ += n;
      if (intoRunSent_ == pointCount_[runSent_]) {
        ++runSent_;
        intoRunSent_ = 0;
      }
    }
    glMultiDrawArrays(GL_POINTS, partFirst_.data(), partCount_.data(), static_cast<GLsizei>(partFirst_.size()));
    stats_.drawCalls += static_cast<int>(partFirst_.size());
    pacer_.drawn(points);
  }
}

void SceneRenderer::drawPictures(const QMatrix4x4& viewProjection) {
  if (pictures_.empty()) return;
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  pictureProgram_->bind();
  pictureProgram_->setUniformValue("uPicture", 0);
  glActiveTexture(GL_TEXTURE0);
  glBindVertexArray(quadVao_);
  for (const PictureDraw& draw : pictures_) {
    QMatrix4x4 model(draw.model.data());
    model = model.transposed();
    pictureProgram_->setUniformValue("uModelViewProjection", viewProjection * model);
    glBindTexture(GL_TEXTURE_2D, draw.texture->id);
    glDrawArrays(GL_TRIANGLES, 0, 6);
    ++stats_.drawCalls;
  }
  stats_.instances += static_cast<int>(pictures_.size());
  glBindVertexArray(0);
  glBindTexture(GL_TEXTURE_2D, 0);
  pictureProgram_->release();
  glDisable(GL_BLEND);
}
