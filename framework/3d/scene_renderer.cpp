#include "framework/3d/scene_renderer.h"

#include "framework/3d/gl_program.h"
#include "framework/3d/mesh_levels.h"
#include "framework/3d/model_transform.h"
#include "framework/3d/record_runs.h"
#include "framework/3d/threedmf_tessellate.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QSurfaceFormat>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <optional>
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

bool sameOwner(const std::weak_ptr<const MeshGeometry>& a, const std::shared_ptr<const MeshGeometry>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

}  // namespace

SceneRenderer::SceneRenderer() : pacer_(kPartPrimitives) {}
SceneRenderer::~SceneRenderer() = default;

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
  meshProgram_ = LinkedProgram(kMeshVertexShader, kMeshFragmentShader, log);
  if (!meshProgram_) {
    failure_ = QStringLiteral("the driver refuses its shaders (%1).").arg(log);
    qWarning("3D view: mesh shader failed: %s", qPrintable(log));
    return false;
  }
  pictureProgram_ = LinkedProgram(kPictureVertexShader, kPictureFragmentShader, log);
  if (!pictureProgram_) {
    failure_ = QStringLiteral("the driver refuses its shaders (%1).").arg(log);
    qWarning("3D view: picture shader failed: %s", qPrintable(log));
    return false;
  }
  if (!segments_.initialize(*this, log)) {
    failure_ = QStringLiteral("the driver refuses its shaders (%1).").arg(log);
    qWarning("3D view: line shader failed: %s", qPrintable(log));
    return false;
  }
  palette_.initialize(*this);
  // Spheres are then drawn as meshes.
  if (!spheres_.initialize(*this, log)) qWarning("3D view: sphere shader failed: %s", qPrintable(log));
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxTextureSize_);

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
    meshInstances_.release(*this);
    spheres_.release(*this);
    segments_.release(*this);
    palette_.release(*this);
    pacer_.release(*this);
  }
  meshes_.clear();
  segmentMeshes_.clear();
  textures_.clear();
  quadBuffer_ = quadVao_ = 0;
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
  // Segments' own meshes live only while they are drawn so.
  if (segmentRecords_) segmentMeshes_.clear();
  std::erase_if(segmentMeshes_, [](const auto& entry) { return entry.second.source.expired(); });
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
  glClearColor(sky[0], sky[1], sky[2], 1.0f);
  beginFrame(group, settings);
  // The spheres placed while the scene is walked are on their way to the
  // rasterizer already; the rest follow first, then meshes and pictures.
  gather(group);
  spheres_.draw();
  segments_.draw();
  stats_.instances += stats_.impostors + stats_.segments;
  const QMatrix4x4 viewProjection = settings.projection * settings.view;
  drawMeshes(viewProjection);
  drawPictures(viewProjection);
  endFrame();
}

void SceneRenderer::beginFrame(const Group3D& group, const FrameSettings& settings) {
  ++frame_;
  glClearDepth(1.0);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glEnable(GL_DEPTH_TEST);
  glDepthFunc(GL_LESS);
  glDepthMask(GL_TRUE);
  // Shape texts do not promise a winding; lighting faces the eye instead.
  glDisable(GL_CULL_FACE);
  glDisable(GL_BLEND);
  glPolygonMode(GL_FRONT_AND_BACK, settings.wireframe ? GL_LINE : GL_FILL);

  view_.settings = &settings;
  view_.volume = ViewVolume(settings.view, settings.projection, settings.hither, settings.yon);
  GLint viewport[4] = {0, 0, 1, 1};
  glGetIntegerv(GL_VIEWPORT, viewport);
  std::copy(std::begin(viewport), std::end(viewport), view_.viewport.begin());
  view_.pixelsPerNdc = 0.5 * std::max(viewport[2], viewport[3]);
  view_.culling = culling_;
  view_.keepBuffers = keepBuffers_;
  // Wire frames show the mesh's edges, which an impostor has not.
  impostorsThisFrame_ = impostors_ && spheres_.usable() && !settings.wireframe;

  for (Batch& b : batches_) b.instances.clear();
  usedBatches_ = 0;
  batchIndex_.clear();
  pictures_.clear();
  palette_.beginFrame();
  pacer_.beginFrame(*this);
  // Every member may be a round sphere.
  spheres_.beginFrame(*this, view_, group.Items().size(), stats_);
  segments_.beginFrame(*this, view_, stats_);
}

void SceneRenderer::gather(const Group3D& group) {
  const auto& items = group.Items();
  // Scenes hold elements of a few classes: ask once per class whether it draws shapes.
  const std::type_info* lastClass = nullptr;
  bool lastClassHasShapes = false;
  for (std::size_t i = 0; i < items.size(); ++i) {
    // Elements are scattered over the heap: fetch a few ahead.
    if (i + 8 < items.size()) __builtin_prefetch(items[i + 8].get());
    const Element3D* item = items[i].get();
    if (!item || !item->Visible || !FiniteElement(*item)) continue;
    const std::type_info& itemClass = typeid(*item);
    if (&itemClass != lastClass) {
      lastClass = &itemClass;
      lastClassHasShapes = dynamic_cast<const Object3D*>(item) != nullptr;
    }
    if (lastClassHasShapes) gatherShapes(*static_cast<const Object3D*>(item));
  }
}

void SceneRenderer::gatherShapes(const Object3D& object) {
  const double scale = std::abs(object.Scale);
  std::optional<std::array<float, 16>> model;
  for (const auto& listed : object.MeshShapes()) {
    if (!listed) continue;
    if (listed->segment && segmentRecords_) {
      if (!segments_.place(object, *listed)) ++stats_.culled;
      continue;
    }
    const MeshShape* shape = listed->segment ? &meshedSegment(listed) : listed.get();
    if (!shape->geometry || shape->geometry->indices.empty()) continue;
    if (impostorsThisFrame_ && shape->geometry->isSphere) {
      switch (spheres_.place(object, *shape)) {
        case SphereImpostors::Draw::Culled: ++stats_.culled; break;
        case SphereImpostors::Draw::Coincident: ++stats_.coincident; [[fallthrough]];
        case SphereImpostors::Draw::Point:
        case SphereImpostors::Draw::Quad: ++stats_.impostors; break;
        case SphereImpostors::Draw::Mesh: addMeshShape(object, *shape, model); break;
      }
      continue;
    }
    addMeshShape(object, *shape, model);
  }
  for (const auto& picture : object.PictureShapes()) {
    if (!(picture.width > 0.0) || !(picture.height > 0.0)) continue;
    if (culling_ && view_.volume.classify(view_.volume.toEye(object.Position),
                                          0.5 * std::hypot(picture.width, picture.height) * scale) ==
                        ViewVolume::Place::Outside) {
      ++stats_.culled;
      continue;
    }
    if (!model) model = ModelMatrix(object);
    addPicture(picture, *model);
  }
}

void SceneRenderer::addMeshShape(const Object3D& object, const MeshShape& shape,
                                 std::optional<std::array<float, 16>>& model) {
  const MeshGeometry& g = *shape.geometry;
  if (!model) model = ModelMatrix(object);
  // The box's centre in the world, and a sphere about it that holds the box.
  const Vector3D centre = Transform(*model, g.boundsMin.Plus(g.boundsMax).Times(0.5));
  if (culling_) {
    const double reach = g.boundsMax.Minus(g.boundsMin).Length() / 2 * std::abs(object.Scale);
    if (view_.volume.classify(view_.volume.toEye(centre), reach) == ViewVolume::Place::Outside) {
      ++stats_.culled;
      return;
    }
  }
  addMeshInstance(object, shape, *model, centre);
}

void SceneRenderer::addMeshInstance(const Object3D& object, const MeshShape& shape,
                                    const std::array<float, 16>& model, const Vector3D& boundsCentre) {
  const FrameSettings& settings = *view_.settings;
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

const MeshShape& SceneRenderer::meshedSegment(const std::shared_ptr<const MeshShape>& segment) {
  SegmentMesh& entry = segmentMeshes_[segment.get()];
  if (!entry.meshed || entry.source.owner_before(segment) || segment.owner_before(entry.source)) {
    GeometrySpec spec;
    spec.kind = GeometrySpec::Kind::Line;
    spec.v[0] = Vector3D(segment->segment->from[0], segment->segment->from[1], segment->segment->from[2]);
    spec.v[1] = Vector3D(segment->segment->to[0], segment->segment->to[1], segment->segment->to[2]);
    auto meshed = std::make_shared<MeshShape>(*segment);
    meshed->geometry = TessellateGeometry(spec);
    entry = {segment, std::move(meshed)};
  }
  return *entry.meshed;
}

void SceneRenderer::addPicture(const PictureShape& picture, const std::array<float, 16>& model) {
  GpuTexture* texture = textureFor(picture.image);
  if (!texture) return;
  texture->lastUsedFrame = frame_;
  QMatrix4x4 m(model.data());
  m = m.transposed();  // QMatrix4x4's array constructor reads rows
  m.scale(static_cast<float>(picture.width), static_cast<float>(picture.height), 1.0f);
  PictureDraw draw;
  draw.texture = texture;
  std::copy(m.constData(), m.constData() + 16, draw.model.begin());
  pictures_.push_back(draw);
}

void SceneRenderer::endFrame() {
  glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
  pacer_.endFrame();
  dropUnused();
  releaseSpareRoom();
  stats_.cachedGeometries = static_cast<int>(meshes_.size());
  stats_.cachedTextures = static_cast<int>(textures_.size());
  stats_.parts = pacer_.parts();
  stats_.heldBytes = heldBytes();
}

void SceneRenderer::releaseSpareRoom() {
  for (std::size_t b = 0; b < batches_.size(); ++b) {
    if (b >= usedBatches_) batches_[b].instances.clear();
    ReleaseSpareRoom(batches_[b].instances);
  }
  if (batches_.size() > usedBatches_ + 64) batches_.resize(usedBatches_);
  ReleaseSpareRoom(pictures_);
  spheres_.releaseSpareRoom();
  segments_.releaseSpareRoom();
}

long long SceneRenderer::heldBytes() const {
  std::size_t bytes = spheres_.heldBytes() + segments_.heldBytes() + meshInstances_.heldBytes();
  for (const Batch& b : batches_) bytes += b.instances.capacity() * sizeof(Instance);
  bytes += pictures_.capacity() * sizeof(PictureDraw);
  return static_cast<long long>(bytes);
}

void SceneRenderer::drawMeshes(const QMatrix4x4& viewProjection) {
  const FrameSettings& settings = *view_.settings;
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
