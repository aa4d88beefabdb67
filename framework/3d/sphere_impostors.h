#pragma once

#include "framework/3d/coincidence_filter.h"
#include "framework/3d/colour_palette.h"
#include "framework/3d/element3d.h"
#include "framework/3d/frame_settings.h"
#include "framework/3d/instance_store.h"
#include "framework/3d/record_runs.h"
#include "framework/3d/submission_pacer.h"

#include <QOpenGLFunctions_3_3_Core>
#include <QString>

#include <cstdint>
#include <memory>

class QOpenGLShaderProgram;

// Round spheres drawn without their mesh: one point, or a screen-aligned
// quad, per sphere, whose fragments compute the sphere's surface, depth and
// light as the mesh shader lights a mesh. The true sphere is drawn, at any
// size on screen, and picking hits the true sphere too. A sphere across the
// near plane keeps its mesh, which alone is clipped there.
//
// Every round sphere of the scene has a record (centre, radius, colour) in a
// buffer that stays on the GPU between frames, in scene order whether seen
// or not: a camera move leaves them all as they are, and only records that
// changed are sent.
class SphereImpostors {
public:
  SphereImpostors(SubmissionPacer& pacer, ColourPalette& palette);
  ~SphereImpostors();
  SphereImpostors(const SphereImpostors&) = delete;
  SphereImpostors& operator=(const SphereImpostors&) = delete;

  // Compiles the shaders; false, with the driver's log, when it refuses them
  // (spheres are then drawn as meshes). The context must be current.
  bool initialize(QOpenGLFunctions_3_3_Core& gl, QString& log);
  [[nodiscard]] bool usable() const { return program_ != nullptr; }
  // Frees every GL object; the context must be current.
  void release(QOpenGLFunctions_3_3_Core& gl);

  // Starts a frame of at most `expected` spheres; `stats` counts its draws.
  void beginFrame(QOpenGLFunctions_3_3_Core& gl, const FrameView& frame, std::size_t expected, RenderStats& stats);
  // How a round sphere (a shape whose geometry says so) is drawn this frame;
  // Coincident: not at all, as one drawn just before covers the same pixels
  // at the same depth in the same colour (see CoincidenceFilter).
  enum class Draw { Culled, Point, Quad, Mesh, Coincident };
  Draw place(const Object3D& object, const MeshShape& shape);
  // Draws every sphere placed and not sent yet, and ends the frame.
  void draw();

  void releaseSpareRoom() { points_.releaseSpareRoom(); }
  [[nodiscard]] std::size_t heldBytes() const;

private:
  // Per-sphere data as the shader reads it: world centre, radius and the
  // place of its colour in the palette.
  struct Record {
    float centre[3];
    float radius;
    std::uint32_t palette;
  };

  void useProgram();
  void releaseProgram();
  // Sends the points placed since the last part while the frame is still
  // being gathered, so that the rasterizer starts on them at once.
  void sendPlacedPoints();
  void drawPoints();

  SubmissionPacer& pacer_;
  ColourPalette& palette_;
  std::unique_ptr<QOpenGLShaderProgram> program_;
  GLuint pointVao_ = 0;
  GLuint quadVao_ = 0;
  double maxPointSize_ = 1.0;
  InstanceStore spheres_{sizeof(Record)};
  InstanceStore quads_{sizeof(Record)};
  RecordRuns points_;
  CoincidenceFilter coincident_;
  // During a frame.
  QOpenGLFunctions_3_3_Core* gl_ = nullptr;
  const FrameView* frame_ = nullptr;
  RenderStats* stats_ = nullptr;
  bool uniformsSet_ = false;
};
