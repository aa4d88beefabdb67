#pragma once

#include "framework/3d/element3d.h"
#include "framework/3d/instance_store.h"
#include "framework/3d/shape.h"
#include "framework/3d/submission_pacer.h"
#include "framework/3d/view_volume.h"

#include <QMatrix4x4>
#include <QOpenGLFunctions_3_3_Core>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

class QOpenGLShaderProgram;

// Everything a frame needs besides the scene itself.
struct FrameSettings {
  QMatrix4x4 view;
  QMatrix4x4 projection;  // a symmetric perspective between hither and yon
  double hither = 5.0;
  double yon = 5000.0;
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
// uploaded once and drawn with a single instanced call; round spheres that
// are neither near nor large on screen are drawn as one point or quad each,
// whose fragments compute the sphere's surface, depth and light; pictures
// become textured quads. Elements wholly outside the view are not drawn.
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
  // drawn as its mesh; everything in the scene submitted; every record sent
  // again in every frame.
  void setInstancing(bool on) { instancing_ = on; }
  [[nodiscard]] bool instancing() const { return instancing_; }
  void setSphereImpostors(bool on) { impostors_ = on; }
  [[nodiscard]] bool sphereImpostors() const { return impostors_; }
  void setCulling(bool on) { culling_ = on; }
  [[nodiscard]] bool culling() const { return culling_; }
  void setKeepInstanceBuffers(bool on) { keepBuffers_ = on; }
  [[nodiscard]] bool keepInstanceBuffers() const { return keepBuffers_; }
  // Primitives sent to the driver between two fences (see SubmissionPacer).
  void setPartPrimitives(long long n) { pacer_.setPartPrimitives(n); }

  // Counters of the last frame (tests and benchmarks). `instances` counts
  // every shape drawn, impostors among them; a shape left out because it
  // lies outside the view counts in `culled` instead.
  struct Stats {
    int drawCalls = 0;
    int instances = 0;
    int impostors = 0;
    int culled = 0;
    long long triangles = 0;
    long long uploadedBytes = 0;
    int cachedGeometries = 0;
    int cachedTextures = 0;
    // Parts the frame was sent in, and the bytes of instance records the
    // renderer holds after it (GPU buffers and CPU lists together).
    int parts = 0;
    long long heldBytes = 0;
  };
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
  // Per-instance data of a sphere impostor: world centre, radius and the
  // place of its colour in the palette.
  struct SphereRecord {
    float centre[3];
    float radius;
    std::uint32_t palette;
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
  // How one round sphere is drawn this frame.
  enum class SphereDraw { Culled, Point, Quad, Mesh };

  GpuMesh* meshFor(const std::shared_ptr<const MeshGeometry>& geometry);
  GpuLevel uploadLevel(const std::vector<float>& interleaved, bool withNormals,
                       const std::vector<std::uint32_t>& indices);
  void deleteMesh(GpuMesh& mesh);
  GpuTexture* textureFor(const QImage& image);
  void bindInstanceAttributes(std::size_t byteOffset);
  void dropUnused();
  void addMeshInstance(const Object3D& object, const MeshShape& shape, const std::array<float, 16>& model,
                       const FrameSettings& settings, const Vector3D& boundsCentre);
  SphereDraw placeSphere(const Object3D& object, const MeshShape& shape, const FrameSettings& settings);
  std::uint32_t paletteIndex(const MeshShape& shape, bool unlit);
  void drawMeshes(const QMatrix4x4& viewProjection, const FrameSettings& settings);
  void drawPointRuns();
  void uploadPalette();
  void useSphereProgram();
  // Sends the points placed since the last part, while the frame is still
  // being gathered, so that the rasterizer starts on them at once.
  void sendPlacedPoints();
  void releaseSpareRoom();
  [[nodiscard]] long long heldBytes() const;
  void drawSpheres();
  void drawPictures(const QMatrix4x4& viewProjection);

  std::unique_ptr<QOpenGLShaderProgram> meshProgram_;
  std::unique_ptr<QOpenGLShaderProgram> sphereProgram_;
  std::unique_ptr<QOpenGLShaderProgram> pictureProgram_;
  GLuint quadVao_ = 0;
  GLuint quadBuffer_ = 0;
  GLuint pointVao_ = 0;
  GLuint sphereQuadVao_ = 0;
  GLuint paletteBuffer_ = 0;
  GLuint paletteTexture_ = 0;
  GLint maxTextureSize_ = 0;
  double maxPointSize_ = 1.0;
  std::unordered_map<const MeshGeometry*, GpuMesh> meshes_;
  std::unordered_map<qint64, GpuTexture> textures_;
  std::uint64_t frame_ = 0;
  bool initialized_ = false;
  QString failure_;
  bool usable_ = false;
  bool instancing_ = true;
  bool impostors_ = true;
  bool culling_ = true;
  bool keepBuffers_ = true;
  Stats stats_;
  // This frame's view, for culling and the choice of how to draw a sphere.
  ViewVolume volume_;
  double pixelsPerNdc_ = 0.0;  // half the larger viewport side
  // Reused between frames so that a frame allocates nothing in the steady state.
  std::vector<Batch> batches_;
  std::size_t usedBatches_ = 0;
  std::unordered_map<std::uintptr_t, std::size_t> batchIndex_;  // geometry address | level
  InstanceStore meshInstances_{sizeof(Instance)};
  // Every round sphere of the scene, in scene order, whether seen or not:
  // a camera move leaves them all as they are.
  InstanceStore spheres_{sizeof(SphereRecord)};
  InstanceStore sphereQuads_{sizeof(SphereRecord)};
  std::vector<GLint> pointFirst_;
  std::vector<GLsizei> pointCount_;
  std::vector<GLint> partFirst_;
  std::vector<GLsizei> partCount_;
  // Where the point runs already sent end: a run, and the points of it sent.
  std::size_t runSent_ = 0;
  GLsizei intoRunSent_ = 0;
  long long pointsPlaced_ = 0;  // placed since the last part was sent
  const FrameSettings* frameSettings_ = nullptr;  // during render()
  bool sphereUniformsSet_ = false;
  SubmissionPacer pacer_;
  std::vector<PictureDraw> pictures_;
  // Colours of the spheres: rgb + ambient coefficient (negative: unlit).
  std::vector<std::array<float, 4>> palette_;
  std::map<std::array<std::uint32_t, 5>, std::uint32_t> paletteIndex_;
  std::size_t paletteUploaded_ = 0;
  const MeshShape* lastPaletteShape_ = nullptr;
  bool lastPaletteUnlit_ = false;
  std::uint32_t lastPalette_ = 0;
};
