#pragma once

#include "framework/3d/colour_palette.h"
#include "framework/3d/element3d.h"
#include "framework/3d/frame_settings.h"
#include "framework/3d/instance_store.h"
#include "framework/3d/line_segments.h"
#include "framework/3d/shape.h"
#include "framework/3d/sphere_impostors.h"
#include "framework/3d/submission_pacer.h"

#include <QMatrix4x4>
#include <QOpenGLFunctions_3_3_Core>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

class QOpenGLShaderProgram;

// Draws a Group3D with OpenGL 3.3 core. Meshes that share one MeshGeometry are
// uploaded once and drawn with a single instanced call; round spheres that
// do not cross the near plane are drawn as one point or quad each, whose
// fragments compute the sphere's surface, depth and light (see
// SphereImpostors); straight segments are drawn as lines from records of
// their ends (see LineSegments); pictures become textured quads. Elements wholly outside the view are not drawn.
// Instance records stay on the GPU between frames, and only those that
// changed are sent again. Every GL call expects the owner's context to be
// current.
class SceneRenderer : protected QOpenGLFunctions_3_3_Core {
public:
  SceneRenderer();
  ~SceneRenderer();
  SceneRenderer(const SceneRenderer&) = delete;
  SceneRenderer& operator=(const SceneRenderer&) = delete;

  // Compiles the shaders and makes the shared buffers; false when the context
  // cannot run them (then render() only clears, and failure() says why).
  bool initialize();
  [[nodiscard]] bool usable() const { return usable_; }
  // Why the renderer cannot draw, in words for the user; empty while usable
  // and before initialize().
  [[nodiscard]] const QString& failure() const { return failure_; }

  void render(const Group3D& group, const FrameSettings& settings);

  // Frees every GL object; the context must be current.
  void release();

  // Switches for measuring against the straightforward way and for
  // comparing pictures. Off: one draw call per mesh element; every sphere
  // drawn as its mesh; every segment drawn as a line mesh of its own;
  // everything in the scene submitted; every record sent again in every
  // frame.
  void setInstancing(bool on) { instancing_ = on; }
  [[nodiscard]] bool instancing() const { return instancing_; }
  void setSphereImpostors(bool on) { impostors_ = on; }
  [[nodiscard]] bool sphereImpostors() const { return impostors_; }
  void setSegmentRecords(bool on) { segmentRecords_ = on; }
  [[nodiscard]] bool segmentRecords() const { return segmentRecords_; }
  void setCulling(bool on) { culling_ = on; }
  [[nodiscard]] bool culling() const { return culling_; }
  void setKeepInstanceBuffers(bool on) { keepBuffers_ = on; }
  [[nodiscard]] bool keepInstanceBuffers() const { return keepBuffers_; }
  // Primitives sent to the driver between two fences (see SubmissionPacer).
  void setPartPrimitives(long long n) { pacer_.setPartPrimitives(n); }

  // Counters of the last frame (tests and benchmarks).
  using Stats = RenderStats;
  [[nodiscard]] const Stats& lastFrameStats() const { return stats_; }
  // The driver's largest texture side, known once initialised.
  [[nodiscard]] int maxTextureSize() const { return maxTextureSize_; }
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
  // Per-instance data of a mesh as the shader reads it: model matrix
  // (column-major), colour + ambient coefficient, flags (unlit).
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
  // A segment drawn the straightforward way: as a mesh of its own.
  struct SegmentMesh {
    std::weak_ptr<const MeshShape> source;
    std::shared_ptr<const MeshShape> meshed;
  };
  GpuMesh* meshFor(const std::shared_ptr<const MeshGeometry>& geometry);
  GpuLevel uploadLevel(const std::vector<float>& interleaved, bool withNormals,
                       const std::vector<std::uint32_t>& indices);
  void deleteMesh(GpuMesh& mesh);
  GpuTexture* textureFor(const QImage& image);
  void bindInstanceAttributes(std::size_t byteOffset);
  void dropUnused();
  // The passes of a frame, in the order render() runs them.
  void beginFrame(const Group3D& group, const FrameSettings& settings);
  void gather(const Group3D& group);
  void gatherShapes(const Object3D& object);
  void addMeshShape(const Object3D& object, const MeshShape& shape, std::optional<std::array<float, 16>>& model);
  void addMeshInstance(const Object3D& object, const MeshShape& shape, const std::array<float, 16>& model,
                       const Vector3D& boundsCentre);
  const MeshShape& meshedSegment(const std::shared_ptr<const MeshShape>& segment);
  void addPicture(const PictureShape& picture, const std::array<float, 16>& model);
  void drawMeshes(const QMatrix4x4& viewProjection);
  void drawPictures(const QMatrix4x4& viewProjection);
  void endFrame();
  void releaseSpareRoom();
  [[nodiscard]] long long heldBytes() const;

  std::unique_ptr<QOpenGLShaderProgram> meshProgram_;
  std::unique_ptr<QOpenGLShaderProgram> pictureProgram_;
  GLuint quadVao_ = 0;
  GLuint quadBuffer_ = 0;
  GLint maxTextureSize_ = 0;
  std::unordered_map<const MeshGeometry*, GpuMesh> meshes_;
  std::unordered_map<qint64, GpuTexture> textures_;
  std::uint64_t frame_ = 0;
  bool initialized_ = false;
  QString failure_;
  bool usable_ = false;
  bool instancing_ = true;
  bool impostors_ = true;
  bool segmentRecords_ = true;
  bool culling_ = true;
  bool keepBuffers_ = true;
  Stats stats_;
  SubmissionPacer pacer_;
  ColourPalette palette_;
  SphereImpostors spheres_{pacer_, palette_};
  LineSegments segments_{pacer_, palette_};
  std::unordered_map<const MeshShape*, SegmentMesh> segmentMeshes_;
  // This frame's view, and whether its round spheres are drawn as impostors.
  FrameView view_;
  bool impostorsThisFrame_ = false;
  // Reused between frames so that a frame allocates nothing in the steady state.
  std::vector<Batch> batches_;
  std::size_t usedBatches_ = 0;
  std::unordered_map<std::uintptr_t, std::size_t> batchIndex_;  // geometry address | level
  InstanceStore meshInstances_{sizeof(Instance)};
  std::vector<PictureDraw> pictures_;
};
