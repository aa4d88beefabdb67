#pragma once

#include "framework/3d/element3d.h"
#include "framework/3d/shape.h"

#include <QMatrix4x4>
#include <QOpenGLFunctions_3_3_Core>

#include <array>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

class QOpenGLShaderProgram;

// Everything a frame needs besides the scene itself.
struct FrameSettings {
  QMatrix4x4 view;
  QMatrix4x4 projection;
  Vector3D eye;
  std::uint32_t skyColor = 0;          // 0x00RRGGBB
  float ambient[3] = {0.3f, 0.3f, 0.3f};  // intensity × colour
  float flood[3] = {0.9f, 0.9f, 0.9f};
  Vector3D floodDirection{0.0, 0.0, -1.0};  // the way the light travels
  bool wireframe = false;
  // Pixels covered by one world unit at unit distance along the view: picks
  // the level of detail.
  double pixelsPerUnitAtUnitDistance = 0.0;
  Vector3D forward{0.0, 0.0, -1.0};
};

// Draws a Group3D with OpenGL 3.3 core. Meshes that share one MeshGeometry are
// uploaded once and drawn with a single instanced call; pictures become
// textured quads. Every GL call expects the owner's context to be current.
class SceneRenderer : protected QOpenGLFunctions_3_3_Core {
public:
  SceneRenderer();
  ~SceneRenderer();
  SceneRenderer(const SceneRenderer&) = delete;
  SceneRenderer& operator=(const SceneRenderer&) = delete;

  // Compiles the shaders and makes the shared buffers; false when the context
  // cannot run them (then render() only clears).
  bool initialize();
  [[nodiscard]] bool usable() const { return usable_; }

  void render(const Group3D& group, const FrameSettings& settings);

  // Frees every GL object; the context must be current.
  void release();

  // Off: one draw call per element, the straightforward way (for measuring).
  void setInstancing(bool on) { instancing_ = on; }
  [[nodiscard]] bool instancing() const { return instancing_; }

  // Counters of the last frame (tests and benchmarks).
  struct Stats {
    int drawCalls = 0;
    int instances = 0;
    long long triangles = 0;
    int cachedGeometries = 0;
    int cachedTextures = 0;
  };
  [[nodiscard]] const Stats& lastFrameStats() const { return stats_; }
  // Frames drawn so far.
  [[nodiscard]] std::uint64_t framesDrawn() const { return frame_; }

private:
  // One uploaded version of a mesh: level 0 is the mesh itself, higher levels
  // are coarser stand-ins for elements that cover only a few pixels.
  struct GpuLevel {
    GLuint vao = 0;
    GLuint vertexBuffer = 0;
    GLuint indexBuffer = 0;
    GLsizei indexCount = 0;
  };
  struct GpuMesh {
    std::weak_ptr<const MeshGeometry> source;  // detects a freed geometry whose address was reused
    std::vector<GpuLevel> levels;
    GLenum mode = GL_TRIANGLES;
    double radius = 0.0;
    std::uint64_t lastUsedFrame = 0;
  };
  struct GpuTexture {
    GLuint id = 0;
    std::uint64_t lastUsedFrame = 0;
  };
  // Per-instance data as the shader reads it: model matrix (column-major),
  // colour + ambient coefficient, flags (unlit).
  struct Instance {
    std::array<float, 16> model;
    std::array<float, 4> colour;
    std::array<float, 4> flags;
  };
  struct Batch {
    GpuMesh* mesh = nullptr;
    int level = 0;
    std::vector<Instance> instances;
  };
  struct PictureDraw {
    GpuTexture* texture = nullptr;
    std::array<float, 16> model;
  };

  GpuMesh* meshFor(const std::shared_ptr<const MeshGeometry>& geometry);
  GpuLevel uploadLevel(const std::vector<float>& interleaved, bool withNormals,
                       const std::vector<std::uint32_t>& indices);
  void deleteMesh(GpuMesh& mesh);
  GpuTexture* textureFor(const QImage& image);
  void bindInstanceAttributes(std::size_t byteOffset);
  void dropUnused();

  std::unique_ptr<QOpenGLShaderProgram> meshProgram_;
  std::unique_ptr<QOpenGLShaderProgram> pictureProgram_;
  GLuint instanceBuffer_ = 0;
  GLuint quadVao_ = 0;
  GLuint quadBuffer_ = 0;
  std::unordered_map<const MeshGeometry*, GpuMesh> meshes_;
  std::unordered_map<qint64, GpuTexture> textures_;
  std::uint64_t frame_ = 0;
  bool initialized_ = false;
  bool usable_ = false;
  bool instancing_ = true;
  Stats stats_;
  // Reused between frames so that a frame allocates nothing in the steady state.
  std::vector<Batch> batches_;
  std::unordered_map<std::uintptr_t, std::size_t> batchIndex_;  // geometry address | level
  std::vector<Instance> upload_;
  std::vector<PictureDraw> pictures_;
};
