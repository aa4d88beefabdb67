// The scene as the user sees it: a plane of point charges made by the Plane
// sheet's factory with its default entries and displayed as the program
// displays it (one sphere scene object per charge), in the main window's
// view (1280 × 900 window, its opening camera: distance 500, latitude 10°,
// axes on, no frame timer). Measured: a Latitude step and a Zoom step (the
// scene toolkit's Update: camera, rescaling, frame and its composition),
// drawn the straightforward way and the fast way in the same run; displaying
// and emptying the scene; resident memory per charge. The same Latitude step
// over a ring of the Ring sheet's defaults with its grid outline shown (a
// sphere and a segment per charge). Needs a display (xvfb-run).
#include "bench/main_view.h"
#include "charges/charged_object.h"
#include "framework/3d/scene_renderer.h"
#include "framework/ui/application.h"
#include "scene/pd3d.h"
#include "scene/pd3d_space.h"

namespace {

using namespace mainview;

PD3DSpace* g_view = nullptr;

// The scene now in the view and the memory it took.
struct Current {
  std::shared_ptr<ChargedObject> charge;
  std::shared_ptr<SurfaceData> outline;
  std::int64_t charges = -1;
  bool ring = false;
  double bytesPerCharge = 0.0;
} g_current;

void removeScene() {
  g_view->RemoveAllObjects();
  g_current = {};
  g_view->Update();
}

// The plane of about `charges` charges, or the ring of `charges` with its
// outline, displayed and drawn once.
void showScene(std::int64_t charges, bool ring) {
  if (g_current.charges == charges && g_current.ring == ring) return;
  removeScene();
  const double before = residentBytes();
  auto charge = ring ? mainview::ring(static_cast<std::int32_t>(charges)) : mainview::plane(perSide(charges));
  charge->DisplayIt();
  auto outline = ring ? ringOutline(static_cast<std::int32_t>(charges)) : nullptr;
  if (outline) outline->DrawGrid();
  g_view->Update();
  const double after = residentBytes();
  const double count = static_cast<double>(charge->ChargeList.size());
  g_current = {std::move(charge), std::move(outline), charges, ring, (after - before) / count};
}
void showPlane(std::int64_t charges) { showScene(charges, false); }

void setMode(std::int64_t mode) {
  SceneRenderer& r = g_view->renderer();
  r.setSphereImpostors(mode == kFast);
  r.setSegmentRecords(mode == kFast);
  r.setKeepInstanceBuffers(mode == kFast);
  r.setCulling(mode != kPlain);
}

void reportFrame(benchmark::State& state) {
  const auto& stats = g_view->renderer().lastFrameStats();
  const double spheres = static_cast<double>(g_current.charge->ChargeList.size());
  state.counters["spheres"] = spheres;
  state.counters["drawn"] = stats.instances;
  state.counters["culled"] = stats.culled;
  state.counters["impostors"] = stats.impostors;
  state.counters["segments"] = stats.segments;
  state.counters["coincident"] = stats.coincident;
  state.counters["tris_per_sphere"] = static_cast<double>(stats.triangles) / spheres;
  state.SetLabel(modeName(state.range(1)));
}

// A Latitude step of 1° as the slider makes it: the latitude set, then Update.
void latitudeSteps(benchmark::State& state) {
  setMode(state.range(1));
  g_view->Latitude = kLatitude;
  g_view->Update();
  const double cpuBefore = processMilliseconds();
  bool up = false;
  for (auto _ : state) {
    up = !up;
    g_view->Latitude = kLatitude + (up ? 1.0 : 0.0);
    g_view->Update();
  }
  state.counters["all_threads_ms"] = (processMilliseconds() - cpuBefore) / static_cast<double>(state.iterations());
  reportFrame(state);
  // Growth of resident memory when the scene was displayed and first drawn,
  // per charge: charges, scene objects and what the renderer keeps. The
  // sizes run upwards, so little of it is memory an earlier scene freed.
  state.counters["bytes_per_charge"] = g_current.bytesPerCharge;
  g_view->Latitude = kLatitude;
  setMode(kFast);
}

void BM_LatitudeStep(benchmark::State& state) {
  showPlane(state.range(0));
  latitudeSteps(state);
}

void BM_OutlineLatitudeStep(benchmark::State& state) {
  showScene(state.range(0), true);
  latitudeSteps(state);
}

// A Zoom step: every sphere is rescaled, then the camera and the frame.
void BM_ZoomStep(benchmark::State& state) {
  showPlane(state.range(0));
  setMode(state.range(1));
  g_view->Update();
  const double cpuBefore = processMilliseconds();
  bool in = false;
  for (auto _ : state) {
    in = !in;
    g_view->DoZoom(in ? 1.01 : 1.0);
    g_view->Update();
  }
  state.counters["all_threads_ms"] = (processMilliseconds() - cpuBefore) / static_cast<double>(state.iterations());
  reportFrame(state);
  g_view->DoZoom(1.0);
  g_view->Update();
  setMode(kFast);
}

void sceneSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"charges", "mode"});
  for (const std::int64_t charges : {100, 10'000, 100'000, 1'000'000}) {
    for (const std::int64_t mode : {kPlain, kFast}) b->Args({charges, mode});
  }
  b->Unit(benchmark::kMillisecond)->UseRealTime();
  applyIterations(b);
}
BENCHMARK(BM_LatitudeStep)->Apply(sceneSizes);
// Drawn the straightforward way, a segment is a mesh, vertex array and draw
// call of its own: a million of them would take minutes and gigabytes.
BENCHMARK(BM_OutlineLatitudeStep)
    ->ArgNames({"charges", "mode"})
    ->Args({10'000, kPlain})
    ->Args({10'000, kFast})
    ->Args({100'000, kPlain})
    ->Args({100'000, kFast})
    ->Args({1'000'000, kFast})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Apply(applyIterations);
BENCHMARK(BM_ZoomStep)->Apply(sceneSizes);

// Displaying a plane (one sphere per charge, as DisplayIt does) and emptying the view.
void BM_DisplayAndRemove(benchmark::State& state) {
  removeScene();
  const auto plane = mainview::plane(perSide(state.range(0)));
  double display = 0.0, removal = 0.0;
  for (auto _ : state) {
    QElapsedTimer t;
    t.start();
    plane->DisplayIt();
    display += static_cast<double>(t.nsecsElapsed());
    t.restart();
    g_view->RemoveAllObjects();
    g_view->Update();
    removal += static_cast<double>(t.nsecsElapsed());
  }
  const double n = static_cast<double>(state.iterations());
  state.counters["display_ms"] = display / n / 1e6;
  state.counters["remove_ms"] = removal / n / 1e6;
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(plane->ChargeList.size()));
}
BENCHMARK(BM_DisplayAndRemove)
    ->ArgName("charges")
    ->Arg(10'000)->Arg(100'000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  Application app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QWidget window;
  window.resize(kWidth, kHeight);
  auto* view = new PD3DSpace(&window);
  view->setGeometry(0, 0, kWidth, kHeight);
  // The main window's settings; the view's opening sets its own defaults
  // (distance Yon / 10, latitude 10, black sky); the window then turns the
  // axes on and stops the frame timer.
  view->Hither = kHither;
  view->Yon = kYon;
  view->FieldOfView = kFieldOfView;
  view->AmbientLight = 30;
  view->FloodLight = 90;
  QObject::connect(view, &PD3DSpace::Open, view, [view] {
    view->ShowAxes = true;
    view->StopAutoUpdate();
  });
  view->OpenView();
  waitExposed(window);
  if (view->Objects() == nullptr || PD3D::SelectedSpace != view) {
    std::fprintf(stderr, "no OpenGL view: run under a display (xvfb-run)\n");
    return 1;
  }
  g_view = view;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  removeScene();
  g_view = nullptr;
  return 0;
}
