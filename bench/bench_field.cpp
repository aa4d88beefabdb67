// The field pass's hot loop: 343 lattice points against about 100,000 point
// charges, summed the straightforward way and by the batch sum. Rates are
// point-charge interactions per second (items_per_second).
#include "charges/charge_kinds.h"
#include "charges/field_sum.h"
#include "framework/runtime/construct.h"

#include <benchmark/benchmark.h>
#include <hwy/targets.h>

#include <memory>
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
  for (auto _ : state) {
    auto field = SumFieldAt(s.objects, s.lattice, threads);
    benchmark::DoNotOptimize(field.data());
  }
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
  for (auto _ : state) {
    auto field = SumFieldAt(s.objects, s.lattice, 1);
    benchmark::DoNotOptimize(field.data());
  }
  report(state);
  state.SetLabel(FieldSumTarget());
  hwy::SetSupportedTargetsForTest(0);
  hwy::GetChosenTarget().Update(hwy::SupportedTargets());
}

}  // namespace

BENCHMARK(BM_FieldPass_PointChargeObjects)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldPass_ScalarVoltixAt)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FieldPass_SumFieldAt)->Arg(1)->Arg(2)->Arg(4)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

BENCHMARK(BM_FieldPass_SumFieldAt_Target)->Arg(HWY_AVX2)->Arg(HWY_SSE4)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
