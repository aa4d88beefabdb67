// Frames of the 3D view with many small spheres: one instanced draw per shared
// mesh against one draw per element. Needs a display (xvfb-run).
#include "framework/3d/rb3dspace.h"
#include "framework/3d/scene_renderer.h"
#include "framework/text/text.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QWidget>
#include <QWindow>

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>
#include <string>

namespace {

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

std::string sphereText(double r, double red, double green, double blue) {
  const std::string R = Str(r);
  return "3DMetafile ( 1 6 Normal tableofcontents0> )\r\tContainer (\r\t\tEllipsoid (\r\t\t\t0 0 " + R +
         "\r\t\t\t" + R + " 0 0\r\t\t\t0 " + R + " 0\r\t\t\t0 0 0\r\t\t\t0 1\r\t\t\t0 1\r\t\t)\r\t\tAttributeSet ( )\r\t\t"
         "DiffuseColor ( " + Str(red) + " " + Str(green) + " " + Str(blue) + " )\r\t)\r";
}

struct Scene {
  QWidget window;
  BenchView* view = nullptr;
  int spheres = 0;
  int trianglesPerSphere = 0;
};

Scene* g_scene = nullptr;

// 10,000 spheres of radius 2 on a 100 x 100 grid in the y-z plane, seen from +x.
void buildScene(Scene& s) {
  s.view = new BenchView(&s.window);
  s.view->setGeometry(0, 0, 800, 600);
  s.window.resize(800, 600);
  s.window.show();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000 && !(s.window.windowHandle() && s.window.windowHandle()->isExposed())) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  BenchView& v = *s.view;
  v.SkyColor = 0x000000;
  v.FloodDirection() = Vector3D(-1.0, 0.0, 0.0);
  // Camera on +x looking at the origin, own +y along world +z.
  v.Camera()->Position = Vector3D(500.0, 0.0, 0.0);
  Quaternion toX;  // own z -> world -x, own y -> world +z
  toX.SetRotateAboutAxis(1.0, 0.0, 0.0, std::numbers::pi / 2.0);
  Quaternion turn;
  turn.SetRotateAboutAxis(0.0, 0.0, 1.0, -std::numbers::pi / 2.0);
  toX.MultiplyBy(turn);
  v.Camera()->Orientation = toX;
  const std::string red = sphereText(2, 1, 0, 0);
  const std::string green = sphereText(2, 0, 1, 0);
  for (int i = 0; i < 100; ++i) {
    for (int j = 0; j < 100; ++j) {
      auto o = std::make_shared<Object3D>();
      o->AddShapeFromString((i + j) % 2 == 0 ? red : green);
      o->Position = Vector3D(0.0, -396.0 + 8.0 * i, -396.0 + 8.0 * j);
      v.Objects()->Append(o);
    }
  }
  s.spheres = v.Objects()->Count();
  auto first = std::dynamic_pointer_cast<Object3D>(v.Objects()->Item(0));
  if (first && !first->MeshShapes().empty()) {
    s.trianglesPerSphere = static_cast<int>(first->MeshShapes()[0]->geometry->indices.size() / 3);
  }
}

void BM_RenderFrame(benchmark::State& state) {
  BenchView& v = *g_scene->view;
  v.renderer().setInstancing(state.range(0) != 0);
  v.renderFrame();  // warm the caches
  for (auto _ : state) v.renderFrame();
  const auto& stats = v.renderer().lastFrameStats();
  state.counters["draw_calls"] = stats.drawCalls;
  state.counters["instances"] = stats.instances;
  state.counters["triangles"] = static_cast<double>(stats.triangles);
  state.counters["tris_per_sphere"] = g_scene->trianglesPerSphere;
  v.renderer().setInstancing(true);
}
BENCHMARK(BM_RenderFrame)->ArgName("instanced")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// The fixed cost of a frame: clearing and finishing with nothing to draw.
void BM_RenderEmptyFrame(benchmark::State& state) {
  BenchView& v = *g_scene->view;
  for (const auto& e : v.Objects()->Items()) e->Visible = false;
  v.renderFrame();
  for (auto _ : state) v.renderFrame();
  for (const auto& e : v.Objects()->Items()) e->Visible = true;
}
BENCHMARK(BM_RenderEmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();

// What a caller of Update waits for: the frame plus its composition into the window.
void BM_Update(benchmark::State& state) {
  BenchView& v = *g_scene->view;
  v.Update();
  for (auto _ : state) {
    v.Update();
    QApplication::processEvents();
  }
}
BENCHMARK(BM_Update)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  Scene scene;
  buildScene(scene);
  if (!scene.view->Objects()) {
    std::fprintf(stderr, "no OpenGL: run under a display (xvfb-run)\n");
    return 1;
  }
  g_scene = &scene;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  g_scene = nullptr;
  return 0;
}
