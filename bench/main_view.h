#pragma once
// What the 3D benchmarks share: the main window's view as the tester saw it
// and the plane of charges the Plane sheet makes with its default entries.

#include "charges/charge_kinds.h"
#include "charges/surface_data.h"
#include "framework/3d/element3d.h"
#include "framework/runtime/construct.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>
#include <QWindow>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <memory>
#include <numbers>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace mainview {

// The view of a 1280 × 900 main window: the window's design size is
// 860 × 621 and the view, locked to every edge, is 755 × 550 of it.
constexpr int kWidth = 1280 - (860 - 755);
constexpr int kHeight = 900 - (621 - 550);
// The view's settings as the main window makes them and its opening leaves them.
constexpr double kHither = 5.0;
constexpr double kYon = 5000.0;
constexpr int kFieldOfView = 50;
constexpr double kDistance = kYon / 10.0;
constexpr double kLatitude = 10.0;

// The Plane sheet's defaults: total charge 50, side 1000, centre 0, xy plane.
inline std::shared_ptr<ChargedObject> plane(int perSide) {
  return New<PlaneCharge>(50.0, perSide, Vector3D(0.0, 0.0, 0.0), 1000.0, 0);
}

// The Ring sheet's defaults (total charge 10, radius 150, centre 0, normal
// along z) with n charges, and its body with the grid outline shown.
inline std::shared_ptr<ChargedObject> ring(std::int32_t n) {
  return New<RingCharge>(10.0, Vector3D(0.0, 0.0, 0.0), 150.0, Vector3D(0.0, 0.0, 1.0), n);
}
inline std::shared_ptr<SurfaceData> ringOutline(std::int32_t n) {
  return std::make_shared<RingData>(Vector3D(0.0, 0.0, 0.0), 150.0, Vector3D(0.0, 0.0, 1.0), n, true, true);
}

// Per side for about 10^4, 10^5 and 10^6 charges.
inline int perSide(std::int64_t charges) {
  return static_cast<int>(std::lround(std::sqrt(static_cast<double>(charges))));
}

// Places a camera as the orbit camera does about the origin.
inline void orbit(Object3D& camera, double latitude, double longitude, double distance) {
  Quaternion q1;
  q1.SetRotateAboutAxis(0.0, 0.0, 1.0, longitude * std::numbers::pi / 180.0);
  Quaternion q2;
  q2.SetRotateAboutAxis(0.0, 1.0, 0.0, -latitude * std::numbers::pi / 180.0);
  q2.MultiplyBy(q1);
  camera.Position = q2.Transform(Vector3D(distance, 0.0, 0.0));
  camera.Orientation.SetRotateAboutAxis(1.0, 0.0, 0.0, std::numbers::pi / 2.0);
  camera.Roll(std::numbers::pi);
  const double h = std::atan2(-camera.Position.X, -camera.Position.Y);
  q1.SetRotateAboutAxis(0.0, 0.0, 1.0, -h);
  camera.Orientation.MultiplyBy(q1);
  const Vector3D f = camera.Orientation.Transform(Vector3D(0.0, 0.0, 1.0));
  Vector3D d = camera.Position.Times(-1.0);
  d.Normalize();
  double a = -std::acos(std::clamp(f.Dot(d), -1.0, 1.0));
  if (d.Z > 0.0) a = -a;
  camera.Pitch(a);
}

inline void waitExposed(QWidget& window) {
  window.show();
  QElapsedTimer t;
  t.start();
  while (t.elapsed() < 5000 && !(window.windowHandle() && window.windowHandle()->isExposed())) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

// Resident memory of the process, bytes.
inline double residentBytes() {
  std::ifstream statm("/proc/self/statm");
  long pages = 0, resident = 0;
  statm >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Minor page faults of the process so far: memory taken from the system anew.
inline long minorFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

// Processor time of every thread of the process so far (the driver draws
// on threads of its own), milliseconds: the work, whatever else the machine runs.
inline double processMilliseconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// Benchmarks run a fixed number of iterations when VOLTIX_BENCH_ITERATIONS
// is set: callgrind's instruction counts of two such runs give the count per
// frame, a measure that other load on the machine does not disturb.
inline void applyIterations(benchmark::internal::Benchmark* b) {
  if (const char* n = std::getenv("VOLTIX_BENCH_ITERATIONS")) b->Iterations(std::max(1, std::atoi(n)));
}

// How a frame is drawn: the straightforward way (every sphere as its mesh,
// every segment as a line mesh of its own, everything submitted, every
// record sent in every frame), only leaving out what is not seen, or with
// impostors, segment records and kept records as well.
enum Mode { kPlain = 0, kCulled = 1, kFast = 2 };
inline const char* modeName(std::int64_t mode) {
  return mode == kPlain ? "plain" : mode == kCulled ? "culled" : "fast";
}

}  // namespace mainview
