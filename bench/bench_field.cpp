// The field pass's hot loop: 343 lattice points against about 100,000 point
// charges, summed the straightforward way and by the batch sum. Rates are
// point-charge interactions per second (items_per_second); every batch sum
// also shows its rate as a multiple of the plain scalar loop measured in the
// same run (x_scalar). The processor is named in the context at the top.
// Small scenes (BM_SmallPass) compare one thread with the sum's own choice.
#include "charges/charge_kinds.h"
#include "charges/field_sum.h"
#include "framework/runtime/construct.h"

#include <benchmark/benchmark.h>
#include <hwy/targets.h>

#include <chrono>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Scene {
  std::vector<std::shared_ptr<ChargedObject>> objects;
  std::vector<Vector3D> lattice;
  double interactions = 0.0;

  Scene() {
    // 317 × 317 = 100,489 charges, plus a few small bodies; off the lattice planes.
    objects.push_back(New<PlaneCharge>(50.0, 317, Vector3D(3, -7, 11), 900.0, 0));
    objects.push_back(New<SphereCharge>(-5.0, Vector3D(40, 40, 40), 60.0));
    objects.push_back(New<RingCharge>(2.0, Vector3D(-20, 30, -70), 80.0, Vector3D(1, 1, 0), 64));
    for (int i = -3; i <= 3; ++i)
      for (int j = -3; j <= 3; ++j)
        for (int k = -3; k <= 3; ++k) lattice.emplace_back(50 * i, 50 * j, 50 * k);
    std::size_t charges = 0;
    for (const auto& o : objects) charges += o->ChargeList.size();
    interactions = static_cast<double>(charges) * static_cast<double>(lattice.size());
  }
};

const Scene& scene() {
  static const Scene s;
  return s;
}

void report(benchmark::State& state) {
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * scene().interactions));
}

// The plain scalar loop's rate on this machine, measured once in this run.
double scalarRate() {
  static const double rate = [] {
    const Scene& s = scene();
    const auto t0 = std::chrono::steady_clock::now();
    int rounds = 0;
    do {
      for (const Vector3D& P : s.lattice) {
        Vector3D E(0.0, 0.0, 0.0);
        for (const auto& o : s.objects) E.Add(o->VoltixAt(P));
        benchmark::DoNotOptimize(E);
      }
      ++rounds;
    } while (std::chrono::steady_clock::now() - t0 < std::chrono::milliseconds(500));
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return rounds * s.interactions / elapsed;
  }();
  return rate;
}

// Wall-clock seconds of a benchmark's loop, for its rate against the scalar loop.
class LoopClock {
public:
  LoopClock() : start_(std::chrono::steady_clock::now()) {}
  [[nodiscard]] double seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
  }

private:
  std::chrono::steady_clock::time_point start_;
};

// The wall-clock rate of a batch-sum benchmark as a multiple of the scalar loop's.
void reportAgainstScalar(benchmark::State& state, double interactionsPerIteration, const LoopClock& clock) {
  const double rate = static_cast<double>(state.iterations()) * interactionsPerIteration / clock.seconds();
  state.counters["x_scalar"] = rate / scalarRate();
}

// The sum as written out over the point-charge objects, one Vector3D at a time.
void BM_FieldPass_PointChargeObjects(benchmark::State& state) {
  const Scene& s = scene();
  for (auto _ : state) {
    for (const Vector3D& P : s.lattice) {
      Vector3D E(0.0, 0.0, 0.0);
      for (const auto& o : s.objects) {
        Vector3D e(0.0, 0.0, 0.0);
        for (const auto& c : o->ChargeList) {
          const Vector3D d = P.Minus(c->Position);
          const double L = d.Length();
          e.Add(d.Times(c->Charge / ((L * L) * L)));
        }
        E.Add(e);
      }
      benchmark::DoNotOptimize(E);
    }
  }
  report(state);
}

// Per point, per object VoltixAt (contiguous arrays, scalar).
void BM_FieldPass_ScalarVoltixAt(benchmark::State& state) {
  const Scene& s = scene();
  for (auto _ : state) {
    for (const Vector3D& P : s.lattice) {
      Vector3D E(0.0, 0.0, 0.0);
      for (const auto& o : s.objects) E.Add(o->VoltixAt(P));
      benchmark::DoNotOptimize(E);
    }
  }
  report(state);
}

// The batch sum with a given number of threads (0: its own choice).
void BM_FieldPass_SumFieldAt(benchmark::State& state) {
  const Scene& s = scene();
  const auto threads = static_cast<unsigned>(state.range(0));
  scalarRate();
  const LoopClock clock;
  for (auto _ : state) {
    auto field = SumFieldAt(s.objects, s.lattice, threads);
    benchmark::DoNotOptimize(field.data());
  }
  reportAgainstScalar(state, s.interactions, clock);
  report(state);
  state.SetLabel(FieldSumTarget());
}

// The same on one thread with each narrower instruction set this processor
// runs (range: a Highway target bit), for machines without the widest one.
void BM_FieldPass_SumFieldAt_Target(benchmark::State& state) {
  const Scene& s = scene();
  const std::int64_t target = state.range(0);
  if ((hwy::SupportedTargets() & target) == 0) {
    state.SkipWithError("instruction set not available here");
    return;
  }
  hwy::SetSupportedTargetsForTest(target);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
  scalarRate();
  const LoopClock clock;
  for (auto _ : state) {
    auto field = SumFieldAt(s.objects, s.lattice, 1);
    benchmark::DoNotOptimize(field.data());
  }
  reportAgainstScalar(state, s.interactions, clock);
  report(state);
  state.SetLabel(FieldSumTarget());
  hwy::SetSupportedTargetsForTest(0);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
}

// A small scene: a line of range(0) charges against the 343 lattice points,
// on one thread (range(1) = 1) or as the sum chooses (0). The sum's own choice
// must never be slower than one thread.
void BM_SmallPass(benchmark::State& state) {
  const Scene& s = scene();
  const auto charges = static_cast<std::int32_t>(state.range(0));
  const auto threads = static_cast<unsigned>(state.range(1));
  const std::vector<std::shared_ptr<ChargedObject>> objects = {
      New<LineCharge>(5.0, charges, Vector3D(3, -7, 11), Vector3D(0, 900, 0))};
  scalarRate();
  const LoopClock clock;
  for (auto _ : state) {
    auto field = SumFieldAt(objects, s.lattice, threads);
    benchmark::DoNotOptimize(field.data());
  }
  const double interactions = static_cast<double>(charges) * static_cast<double>(s.lattice.size());
  reportAgainstScalar(state, interactions, clock);
  state.SetItemsProcessed(static_cast<std::int64_t>(static_cast<double>(state.iterations()) * interactions));
  state.SetLabel(threads == 1 ? "one thread" : "own choice");
}

std::string processorName() {
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("model name", 0) == 0) {
      const auto colon = line.find(':');
      return colon == std::string::npos ? line : line.substr(colon + 2);
    }
  }
  return "unknown";
}

}  // namespace

BENCHMARK(BM_FieldPass_PointChargeObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldPass_ScalarVoltixAt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldPass_SumFieldAt)->Arg(1)->Arg(2)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_FieldPass_SumFieldAt_Target)->Arg(HWY_AVX2)->Arg(HWY_SSE4)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_SmallPass)
    ->ArgsProduct({{1, 10, 100, 1000, 10000, 30000}, {1, 0}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::AddCustomContext("processor", processorName());
  benchmark::AddCustomContext("field_sum_target", FieldSumTarget());
  benchmark::AddCustomContext("hardware_threads", std::to_string(std::thread::hardware_concurrency()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
