// Frames of the 3D view over a plane of point-charge spheres, seen through
// the main window's camera at its opening place (distance 500, latitude 10°,
// field of view 50°, a 1280 × 900 window): one frame after a Latitude step of
// 1°, drawn the straightforward way and the fast way in the same run. Only
// the renderer: no scene toolkit, no composition into the window. Needs a
// display (xvfb-run).
#include "bench/main_view.h"
#include "charges/charged_object.h"
#include "framework/3d/rb3dspace.h"
#include "framework/3d/scene_renderer.h"
#include "framework/text/text.h"
#include "scene/pd3d.h"
#include "scene/shape_text.h"

#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <vector>

namespace {

using namespace mainview;

class BenchView : public Rb3DSpace {
public:
  using Rb3DSpace::Rb3DSpace;
  // Our renderer alone: no composition into the window.
  void renderFrame() {
    makeCurrent();
    paintGL();
    context()->functions()->glFinish();
    doneCurrent();
  }
};

// The sphere text a point charge's sphere carries.
std::string sphereText(double radius, Color color) {
  const std::string S = Str(radius);
  return shape_text::Primitive("Ellipsoid", {"0 0 " + S, S + " 0 0", "0 " + S + " 0", "0 0 0", "0 1", "0 1"},
                               shape_text::DiffuseColor(color));
}

struct Scene {
  QWidget window;
  BenchView* view = nullptr;
  std::int64_t charges = -1;
};

Scene* g_scene = nullptr;

// Replaces the view's contents by one sphere per charge of the plane.
void buildPlane(Scene& s, std::int64_t charges) {
  if (s.charges == charges) return;
  Group3D& group = *s.view->Objects();
  while (group.Count() > 0) group.Remove(group.Count() - 1);
  const auto plane = mainview::plane(perSide(charges));
  for (const auto& c : plane->ChargeList) {
    auto o = std::make_shared<Object3D>();
    o->AddShapeFromString(sphereText(PointCharge::SphereSize(c->Charge),
                                     0.0 < c->Charge ? kPositiveColor : kNegativeColor));
    o->Position = c->Position;
    group.Append(o);
  }
  s.charges = charges;
}

void setMode(SceneRenderer& r, std::int64_t mode) {
  r.setSphereImpostors(mode == kFast);
  r.setKeepInstanceBuffers(mode == kFast);
  r.setCulling(mode != kPlain);
}

// One frame after each Latitude step: the camera alternates between 10° and 11°.
void BM_LatitudeStep(benchmark::State& state) {
  Scene& s = *g_scene;
  buildPlane(s, state.range(0));
  BenchView& v = *s.view;
  setMode(v.renderer(), state.range(1));
  orbit(*v.Camera(), kLatitude, 0.0, kDistance);
  v.renderFrame();  // warm the caches
  const long faultsBefore = minorFaults();
  const double cpuBefore = processMilliseconds();
  bool up = false;
  for (auto _ : state) {
    up = !up;
    orbit(*v.Camera(), kLatitude + (up ? 1.0 : 0.0), 0.0, kDistance);
    v.renderFrame();
  }
  state.counters["all_threads_ms"] = (processMilliseconds() - cpuBefore) / static_cast<double>(state.iterations());
  const auto& stats = v.renderer().lastFrameStats();
  const double spheres = static_cast<double>(v.Objects()->Count());
  state.counters["spheres"] = spheres;
  state.counters["drawn"] = stats.instances;
  state.counters["impostors"] = stats.impostors;
  state.counters["culled"] = stats.culled;
  state.counters["tris_per_sphere"] = static_cast<double>(stats.triangles) / spheres;
  state.counters["uploaded_MB"] = static_cast<double>(stats.uploadedBytes) / 1e6;
  state.counters["draw_calls"] = stats.drawCalls;
  // Memory the frame takes from the system anew, in 4 KiB pages.
  state.counters["page_faults"] =
      static_cast<double>(minorFaults() - faultsBefore) / static_cast<double>(state.iterations());
  state.SetLabel(modeName(state.range(1)));
  setMode(v.renderer(), kFast);
}
BENCHMARK(BM_LatitudeStep)->Apply([](benchmark::internal::Benchmark* b) {
  b->ArgNames({"charges", "mode"});
  for (const std::int64_t charges : {10'000, 100'000, 1'000'000}) {
    for (const std::int64_t mode : {kPlain, kCulled, kFast}) b->Args({charges, mode});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
  applyIterations(b);
});

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Scene scene;
  scene.view = new BenchView(&scene.window);
  scene.view->setGeometry(0, 0, kWidth, kHeight);
  scene.window.resize(kWidth, kHeight);
  waitExposed(scene.window);
  if (!scene.view->Objects()) {
    std::fprintf(stderr, "no OpenGL: run under a display (xvfb-run)\n");
    return 1;
  }
  BenchView& v = *scene.view;
  // As the view's opening leaves them: black sky, flood light from the camera.
  v.Hither = kHither;
  v.Yon = kYon;
  v.FieldOfView = kFieldOfView;
  v.SkyColor = 0x000000;
  orbit(*v.Camera(), kLatitude, 0.0, kDistance);
  v.FloodDirection() = v.Camera()->Position.Times(-1.0);
  g_scene = &scene;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_scene = nullptr;
  return 0;
}
