#pragma once

#include "framework/3d/coincidence_filter.h"
#include "framework/3d/colour_palette.h"
#include "framework/3d/element3d.h"
#include "framework/3d/frame_settings.h"
#include "framework/3d/instance_store.h"
#include "framework/3d/record_runs.h"
#include "framework/3d/submission_pacer.h"

#include <QMatrix4x4>
#include <QOpenGLFunctions_3_3_Core>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class QOpenGLShaderProgram;

// Straight segments (the Line shapes of grid outlines, axes and leader
// lines), drawn unlit in their colour. A segment is a record of its two ends
// in world coordinates and the place of its colour in the palette, kept in a
// buffer that stays on the GPU between frames in scene order, whether seen
// or not: a camera move sends nothing, and a scene of a million segments
// needs no mesh, vertex array or draw call of each one's own. The records in
// view are drawn as runs of lines, in parts, while the scene is gathered.
class LineSegments {
public:
  LineSegments(SubmissionPacer& pacer, ColourPalette& palette);
  ~LineSegments();
  LineSegments(const LineSegments&) = delete;
  LineSegments& operator=(const LineSegments&) = delete;

  // Compiles the shaders; false, with the driver's log, when it refuses
  // them. The context must be current.
  bool initialize(QOpenGLFunctions_3_3_Core& gl, QString& log);
  // Frees every GL object; the context must be current.
  void release(QOpenGLFunctions_3_3_Core& gl);

  // Starts a frame; `stats` counts its draws.
  void beginFrame(QOpenGLFunctions_3_3_Core& gl, const FrameView& frame, RenderStats& stats);
  // Places a segment shape of the object; false when it lies outside the
  // view. One that would draw the pixels of a segment placed just before
  // is not drawn again (see CoincidenceFilter).
  bool place(const Object3D& object, const MeshShape& shape);
  // Draws every segment placed and not sent yet, and ends the frame.
  void draw();

  void releaseSpareRoom() { lines_.releaseSpareRoom(); }
  [[nodiscard]] std::size_t heldBytes() const { return records_.heldBytes() + lines_.heldBytes(); }

private:
  // The two vertices of a line as the shader reads them: each a position
  // and the place of the colour.
  struct Vertex {
    float position[3];
    std::uint32_t palette;
  };
  struct Record {
    Vertex from;
    Vertex to;
  };

  // Whether a segment with these ends (eye coordinates) in this colour
  // was placed just before.
  bool coincident(const std::array<double, 3>& a, const std::array<double, 3>& b, std::uint32_t colour);
  void useProgram();
  void drawUnsent();
  // Sends the lines placed since the last part while the frame is still
  // being gathered, so that the rasterizer starts on them at once.
  void sendPlacedLines();

  SubmissionPacer& pacer_;
  ColourPalette& palette_;
  std::unique_ptr<QOpenGLShaderProgram> program_;
  GLuint vao_ = 0;
  InstanceStore records_{sizeof(Record)};
  RecordRuns lines_;
  CoincidenceFilter coincident_;
  // During a frame.
  QOpenGLFunctions_3_3_Core* gl_ = nullptr;
  const FrameView* frame_ = nullptr;
  RenderStats* stats_ = nullptr;
  QMatrix4x4 viewProjection_;
};
