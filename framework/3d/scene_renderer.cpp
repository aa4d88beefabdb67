#include "framework/3d/scene_renderer.h"

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Attribute locations shared by the mesh shader and the VAO set-up.
constexpr GLuint kPositionAttr = 0;
constexpr GLuint kNormalAttr = 1;
constexpr GLuint kModelAttr = 2;   // four columns: 2..5
constexpr GLuint kColourAttr = 6;  // rgb + ambient coefficient
constexpr GLuint kFlagsAttr = 7;   // x: unlit

// Textures and meshes that no frame has drawn for this long are freed.
constexpr std::uint64_t kUnusedFrames = 120;

// Levels of detail: meshes of at least this many triangles get coarser
// versions, clustered on grids of these many cells across, used when the
// element's radius on screen is below these sizes in pixels.
constexpr std::size_t kMinTrianglesForLevels = 150;
constexpr int kLevelCells[] = {8, 3};
constexpr double kCoarseBelowPixels = 12.0;
constexpr double kCoarsestBelowPixels = 4.0;
// Below this radius on screen an element covers a handful of pixels, and an
// octahedron spanning its box shows the same dot for a sixth of the triangles.
constexpr double kDotBelowPixels = 2.0;

// An octahedron about the centre of the mesh's box, its six vertices on the
// box's axes, normals pointing away from the centre, eight triangles. It
// reaches sqrt(pi / 2) times the box's half-sides: seen along an axis it then
// covers as many pixels as the ellipsoid inscribed in the box, from other
// directions a little fewer.
void boxOctahedron(const Vector3D& boundsMin, const Vector3D& boundsMax, std::vector<float>& outVertices,
                   std::vector<std::uint32_t>& outIndices) {
  const double reach = std::sqrt(std::numbers::pi / 2.0) / 2.0;
  const double c[3] = {(boundsMin.X + boundsMax.X) / 2, (boundsMin.Y + boundsMax.Y) / 2,
                       (boundsMin.Z + boundsMax.Z) / 2};
  const double h[3] = {(boundsMax.X - boundsMin.X) * reach, (boundsMax.Y - boundsMin.Y) * reach,
                       (boundsMax.Z - boundsMin.Z) * reach};
  for (int i = 0; i < 3; ++i) {
    if (!std::isfinite(c[i]) || !std::isfinite(h[i])) return;
  }
  for (int axis = 0; axis < 3; ++axis) {
    for (int sign : {1, -1}) {
      float v[6] = {};
      for (int k = 0; k < 3; ++k) v[k] = static_cast<float>(c[k]);
      v[axis] = static_cast<float>(c[axis] + sign * h[axis]);
      v[3 + axis] = static_cast<float>(sign);
      outVertices.insert(outVertices.end(), v, v + 6);
    }
  }
  // Vertex 2a+0 is +axis a, 2a+1 is -axis a.
  for (std::uint32_t x : {0u, 1u}) {
    for (std::uint32_t y : {2u, 3u}) {
      for (std::uint32_t z : {4u, 5u}) outIndices.insert(outIndices.end(), {x, y, z});
    }
  }
}

// Vertex clustering: vertices in one grid cell merge into their mean, with
// the mean normal; triangles that collapse are dropped.
void clusterVertices(const std::vector<float>& interleaved, const std::vector<std::uint32_t>& indices,
                     const Vector3D& boundsMin, const Vector3D& boundsMax, int cells, std::vector<float>& outVertices,
                     std::vector<std::uint32_t>& outIndices) {
  constexpr std::size_t stride = 6;
  const std::size_t vertexCount = interleaved.size() / stride;
  const double extent = std::max({boundsMax.X - boundsMin.X, boundsMax.Y - boundsMin.Y, boundsMax.Z - boundsMin.Z});
  if (!(extent > 0.0) || !std::isfinite(extent)) return;
  const double cell = extent / cells;
  std::unordered_map<std::uint64_t, std::uint32_t> clusterOf;
  std::vector<std::uint32_t> remap(vertexCount);
  std::vector<double> sums;  // position and normal sums, then the count
  for (std::size_t v = 0; v < vertexCount; ++v) {
    const float* p = &interleaved[v * stride];
    auto at = [&](double x, double lo) {
      return static_cast<std::uint64_t>(std::clamp(std::floor((x - lo) / cell), 0.0, static_cast<double>(cells)));
    };
    const std::uint64_t key = (at(p[0], boundsMin.X) * 1024u + at(p[1], boundsMin.Y)) * 1024u + at(p[2], boundsMin.Z);
    auto [it, added] = clusterOf.emplace(key, static_cast<std::uint32_t>(sums.size() / 7));
    if (added) sums.insert(sums.end(), 7, 0.0);
    remap[v] = it->second;
    double* s = &sums[it->second * 7];
    for (int k = 0; k < 6; ++k) s[k] += p[k];
    s[6] += 1.0;
  }
  const std::size_t clusters = sums.size() / 7;
  outVertices.resize(clusters * stride);
  for (std::size_t c = 0; c < clusters; ++c) {
    const double* s = &sums[c * 7];
    for (int k = 0; k < 3; ++k) outVertices[c * stride + k] = static_cast<float>(s[k] / s[6]);
    const double len = std::sqrt(s[3] * s[3] + s[4] * s[4] + s[5] * s[5]);
    for (int k = 3; k < 6; ++k) outVertices[c * stride + k] = len > 0.0 ? static_cast<float>(s[k] / len) : 0.0f;
  }
  for (std::size_t i = 0; i + 3 <= indices.size(); i += 3) {
    const std::uint32_t a = remap[indices[i]], b = remap[indices[i + 1]], c = remap[indices[i + 2]];
    if (a == b || b == c || a == c) continue;
    outIndices.insert(outIndices.end(), {a, b, c});
  }
}

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

// A software GL driver allocates and frees tens of megabytes of working memory
// in every frame of a large scene. glibc hands freed memory at the top of its
// heap back to the system at once, so the next frame page-faults all of it in
// again, which costs as much as the drawing. The heap keeps what a frame of
// this many instances uses (about a kilobyte each, at least 64 MB); the
// threshold only rises.
void keepFrameMemory(std::size_t instances) {
#if defined(__GLIBC__)
  static std::size_t kept = 0;
  constexpr std::size_t kMinimum = std::size_t{64} << 20;
  constexpr std::size_t kMaximum = std::size_t{1} << 30;
  const std::size_t wanted = std::clamp(instances * std::size_t{1024}, kMinimum, kMaximum);
  if (wanted <= kept) return;
  if (mallopt(M_TRIM_THRESHOLD, static_cast<int>(wanted)) == 1) kept = wanted;
#else
  (void)instances;
#endif
}

bool sameOwner(const std::weak_ptr<const MeshGeometry>& a, const std::shared_ptr<const MeshGeometry>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

SceneRenderer::SceneRenderer() = default;
SceneRenderer::~SceneRenderer() = default;

bool SceneRenderer::initialize() {
  if (initialized_) return usable_;
  initialized_ = true;
  usable_ = false;
  if (!initializeOpenGLFunctions()) return false;

  meshProgram_ = std::make_unique<QOpenGLShaderProgram>();
  if (!meshProgram_->addShaderFromSourceCode(QOpenGLShader::Vertex, kMeshVertexShader) ||
      !meshProgram_->addShaderFromSourceCode(QOpenGLShader::Fragment, kMeshFragmentShader) ||
      !meshProgram_->link()) {
    qWarning("3D view: mesh shader failed: %s", qPrintable(meshProgram_->log()));
    return false;
  }
  pictureProgram_ = std::make_unique<QOpenGLShaderProgram>();
  if (!pictureProgram_->addShaderFromSourceCode(QOpenGLShader::Vertex, kPictureVertexShader) ||
      !pictureProgram_->addShaderFromSourceCode(QOpenGLShader::Fragment, kPictureFragmentShader) ||
      !pictureProgram_->link()) {
    qWarning("3D view: picture shader failed: %s", qPrintable(pictureProgram_->log()));
    return false;
  }

  glGenBuffers(1, &instanceBuffer_);

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
    glDeleteBuffers(1, &instanceBuffer_);
    glDeleteBuffers(1, &quadBuffer_);
    glDeleteVertexArrays(1, &quadVao_);
  }
  meshes_.clear();
  textures_.clear();
  instanceBuffer_ = quadBuffer_ = quadVao_ = 0;
  meshProgram_.reset();
  pictureProgram_.reset();
  batches_.clear();
  batchIndex_.clear();
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
  if (withNormals && indices.size() / 3 >= kMinTrianglesForLevels) {
    for (int cells : kLevelCells) {
      std::vector<float> coarseVertices;
      std::vector<std::uint32_t> coarseIndices;
      clusterVertices(interleaved, indices, g.boundsMin, g.boundsMax, cells, coarseVertices, coarseIndices);
      if (coarseIndices.empty()) break;
      mesh.levels.push_back(uploadLevel(coarseVertices, true, coarseIndices));
    }
    if (mesh.levels.size() == 1 + std::size(kLevelCells)) {
      std::vector<float> dotVertices;
      std::vector<std::uint32_t> dotIndices;
      boxOctahedron(g.boundsMin, g.boundsMax, dotVertices, dotIndices);
      if (!dotIndices.empty()) mesh.levels.push_back(uploadLevel(dotVertices, true, dotIndices));
    }
  }

  auto [pos, inserted] = meshes_.emplace(geometry.get(), std::move(mesh));
  return &pos->second;
}

SceneRenderer::GpuTexture* SceneRenderer::textureFor(const QImage& image) {
  if (image.isNull() || image.width() <= 0 || image.height() <= 0) return nullptr;
  auto it = textures_.find(image.cacheKey());
  if (it != textures_.end()) return &it->second;
  const QImage argb = image.format() == QImage::Format_ARGB32_Premultiplied
                          ? image
                          : image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
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

  // Gather: one batch per shared geometry, pictures apart.
  for (Batch& b : batches_) b.instances.clear();
  std::size_t usedBatches = 0;
  batchIndex_.clear();
  pictures_.clear();
  for (const auto& item : group.Items()) {
    if (!item || !item->Visible || !finiteElement(*item)) continue;
    const auto* object = dynamic_cast<const Object3D*>(item.get());
    if (!object) continue;
    const auto& meshShapes = object->MeshShapes();
    const auto& pictureShapes = object->PictureShapes();
    if (meshShapes.empty() && pictureShapes.empty()) continue;
    const std::array<float, 16> model = modelMatrix(*object);
    for (const auto& shape : meshShapes) {
      if (!shape || !shape->geometry || shape->geometry->indices.empty()) continue;
      const MeshGeometry* key = shape->geometry.get();
      // Level of detail from the size the element appears on screen.
      int level = 0;
      if (key->primitive == MeshGeometry::Primitive::Triangles && settings.pixelsPerUnitAtUnitDistance > 0.0) {
        const double depth = object->Position.Minus(settings.eye).Dot(settings.forward);
        const double radius = key->radius * std::abs(object->Scale);
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
        GpuMesh* mesh = meshFor(shape->geometry);
        mesh->lastUsedFrame = frame_;
        index = usedBatches++;
        if (batches_.size() < usedBatches) batches_.emplace_back();
        batches_[index].mesh = mesh;
        batches_[index].level = std::min(level, static_cast<int>(mesh->levels.size()) - 1);
        batchIndex_.emplace(batchKey, index);
      } else {
        index = found->second;
      }
      const bool unlit = object->NullShader || key->primitive == MeshGeometry::Primitive::Lines;
      batches_[index].instances.push_back(
          {model, {shape->red, shape->green, shape->blue, shape->ambientCoefficient}, {unlit ? 1.0f : 0.0f, 0, 0, 0}});
    }
    for (const auto& picture : pictureShapes) {
      if (!(picture.width > 0.0) || !(picture.height > 0.0)) continue;
      GpuTexture* texture = textureFor(picture.image);
      if (!texture) continue;
      texture->lastUsedFrame = frame_;
      QMatrix4x4 m(model.data());
      m = m.transposed();  // QMatrix4x4's array constructor reads rows
      m.scale(static_cast<float>(picture.width), static_cast<float>(picture.height), 1.0f);
      PictureDraw draw;
      draw.texture = texture;
      std::copy(m.constData(), m.constData() + 16, draw.model.begin());
      pictures_.push_back(draw);
    }
  }

  const QMatrix4x4 viewProjection = settings.projection * settings.view;

  if (usedBatches > 0) {
    std::size_t instances = 0;
    for (std::size_t b = 0; b < usedBatches; ++b) instances += batches_[b].instances.size();
    keepFrameMemory(instances);
    upload_.clear();
    upload_.reserve(instances);
    for (std::size_t b = 0; b < usedBatches; ++b) {
      upload_.insert(upload_.end(), batches_[b].instances.begin(), batches_[b].instances.end());
    }
    glBindBuffer(GL_ARRAY_BUFFER, instanceBuffer_);
    // Orphan the old store so the driver need not wait for the previous frame.
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(upload_.size() * sizeof(Instance)), upload_.data(),
                 GL_STREAM_DRAW);

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
    std::size_t first = 0;
    for (std::size_t b = 0; b < usedBatches; ++b) {
      Batch& batch = batches_[b];
      const GpuMesh& mesh = *batch.mesh;
      const GpuLevel& level = mesh.levels[static_cast<std::size_t>(batch.level)];
      const auto count = static_cast<GLsizei>(batch.instances.size());
      glBindVertexArray(level.vao);
      if (instancing_) {
        bindInstanceAttributes(first * sizeof(Instance));
        glDrawElementsInstanced(mesh.mode, level.indexCount, GL_UNSIGNED_INT, nullptr, count);
        ++stats_.drawCalls;
      } else {
        for (GLsizei i = 0; i < count; ++i) {
          bindInstanceAttributes((first + static_cast<std::size_t>(i)) * sizeof(Instance));
          glDrawElementsInstanced(mesh.mode, level.indexCount, GL_UNSIGNED_INT, nullptr, 1);
          ++stats_.drawCalls;
        }
      }
      stats_.instances += count;
      if (mesh.mode == GL_TRIANGLES) stats_.triangles += static_cast<long long>(count) * (level.indexCount / 3);
      first += batch.instances.size();
    }
    glBindVertexArray(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    meshProgram_->release();
  }

  if (!pictures_.empty()) {
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
    glBindVertexArray(0);
    glBindTexture(GL_TEXTURE_2D, 0);
    pictureProgram_->release();
    glDisable(GL_BLEND);
  }
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);

  dropUnused();
  stats_.cachedGeometries = static_cast<int>(meshes_.size());
  stats_.cachedTextures = static_cast<int>(textures_.size());
}
