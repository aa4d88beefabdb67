// Large scenes as the field pass makes them: building N sphere scene objects
// (a few colours, as point charges of both signs), emptying the view, and one
// Update (scale pass, camera, frame) of N spheres. Needs a display (xvfb-run).
#include "framework/3d/element3d.h"
#include "framework/3d/scene_renderer.h"
#include "framework/runtime/construct.h"
#include "framework/ui/application.h"
#include "scene/pd3d.h"
#include "scene/pd3d_space.h"
#include "scene/pd_sphere.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <cstdio>
#include <memory>

namespace {

PD3DSpace* g_view = nullptr;

// Spheres on a square grid in the y-z plane, radius 2, colours cycling.
void buildSpheres(int n) {
  static constexpr Color kColours[] = {0xFF0000u, 0x0000FFu, 0x00FF00u, 0xFFFF00u};
  int side = 1;
  while (side * side < n) ++side;
  for (int i = 0; i < n; ++i) {
    const Vector3D p(0.0, -2.0 * side + 4.0 * (i % side), -2.0 * side + 4.0 * (i / side));
    New<PDSphere>(&p, kColours[i % 4], 2.0);
  }
}

void BM_BuildSpheres(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    buildSpheres(n);
    state.PauseTiming();
    g_view->RemoveAllObjects();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_BuildSpheres)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_RemoveAllObjects(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    buildSpheres(n);
    state.ResumeTiming();
    g_view->RemoveAllObjects();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_RemoveAllObjects)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One Update of the whole view: the scale pass is forced (a zoom), so every
// sphere is rescaled, then the camera and the frame.
void BM_UpdateWithRescale(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  buildSpheres(n);
  g_view->Update();
  double zoom = 1.0;
  for (auto _ : state) {
    zoom = zoom == 1.0 ? 1.001 : 1.0;
    g_view->DoZoom(zoom);
    g_view->Update();
  }
  const auto& stats = g_view->renderer().lastFrameStats();
  state.counters["instances"] = stats.instances;
  state.counters["draw_calls"] = stats.drawCalls;
  g_view->RemoveAllObjects();
}
BENCHMARK(BM_UpdateWithRescale)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A frame of an unchanged scene: what the frame timer pays.
void BM_UpdateUnchanged(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  buildSpheres(n);
  g_view->Update();
  for (auto _ : state) g_view->Update();
  state.counters["instances"] = g_view->renderer().lastFrameStats().instances;
  state.counters["triangles"] = static_cast<double>(g_view->renderer().lastFrameStats().triangles);
  g_view->RemoveAllObjects();
}
BENCHMARK(BM_UpdateUnchanged)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The field pass's scene work: empty the view, redisplay N spheres, render.
void BM_RedisplayPass(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  buildSpheres(n);
  g_view->Update();
  for (auto _ : state) {
    g_view->RemoveAllObjects();
    buildSpheres(n);
    g_view->Update();
  }
  state.SetItemsProcessed(state.iterations() * n);
  g_view->RemoveAllObjects();
}
BENCHMARK(BM_RedisplayPass)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  Application app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  QWidget window;
  window.resize(800, 600);
  auto* view = new PD3DSpace(&window);
  view->setGeometry(0, 0, 800, 600);
  view->Yon = 5000.0;
  view->FieldOfView = 50;
  // No frame timer: the benchmarks decide when frames are drawn.
  QObject::connect(view, &PD3DSpace::Open, view, [view] { view->StopAutoUpdate(); });
  view->OpenView();
  window.show();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000 && !(window.windowHandle() && window.windowHandle()->isExposed())) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  if (view->Objects() == nullptr || PD3D::SelectedSpace != view) {
    std::fprintf(stderr, "no OpenGL view: run under a display (xvfb-run)\n");
    return 1;
  }
  view->SetCameraDistance(1500.0);
  g_view = view;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_view = nullptr;
  return 0;
}
