#pragma once

#include "framework/3d/view_volume.h"
#include "framework/math/vector3d.h"

#include <QMatrix4x4>

#include <array>
#include <cstdint>

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

// What the passes of one frame share: its settings and what follows from
// them and the viewport.
struct FrameView {
  const FrameSettings* settings = nullptr;
  ViewVolume volume;
  std::array<int, 4> viewport{0, 0, 1, 1};  // x, y, width, height in pixels
  double pixelsPerNdc = 0.0;                // half the larger viewport side
  bool culling = true;                      // leave out what lies outside the view
  bool keepBuffers = true;                  // send only the records that changed
};

// Counters of one frame (tests and benchmarks). `instances` counts every
// shape drawn, impostors and segments among them; a shape left out because
// it lies outside the view counts in `culled` instead. `coincident` counts
// the impostors and segments among them that were not drawn, as one drawn
// just before covers the same pixels (see CoincidenceFilter).
struct RenderStats {
  int drawCalls = 0;
  int instances = 0;
  int impostors = 0;
  int segments = 0;
  int coincident = 0;
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
