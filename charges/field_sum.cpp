// Batch field sum: lanes are different points, each lane adds its charges in
// the same order and with the same operations as ChargedObject::VoltixAt, so
// the bits agree (the build forbids fused multiply-add). Compiled once per
// instruction set and chosen at run time.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "charges/field_sum.cpp"
#include "hwy/foreach_target.h"  // IWYU pragma: keep
#include "hwy/highway.h"

#include "charges/field_sum.h"

#include <cstddef>

#ifndef VOLTIX_FIELD_SUM_SHARED
#define VOLTIX_FIELD_SUM_SHARED
namespace voltix_field {
// One object's charges, contiguous, in list order.
struct ChargeSpan {
  const double* x;
  const double* y;
  const double* z;
  const double* q;
  std::size_t n;
};
}  // namespace voltix_field
#endif

HWY_BEFORE_NAMESPACE();
namespace voltix_field {
namespace HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Adds one charge's field at a vector of points to (ox, oy, oz): the
// operations of ChargedObject::VoltixAt, in its order.
template <class V>
HWY_INLINE void AddCharge(V Px, V Py, V Pz, V cx, V cy, V cz, V cq, V& ox, V& oy, V& oz) {
  const V dx = hn::Sub(Px, cx), dy = hn::Sub(Py, cy), dz = hn::Sub(Pz, cz);
  const V L = hn::Sqrt(hn::Add(hn::Add(hn::Mul(dx, dx), hn::Mul(dy, dy)), hn::Mul(dz, dz)));
  const V f = hn::Div(cq, hn::Mul(hn::Mul(L, L), L));
  ox = hn::Add(ox, hn::Mul(dx, f));
  oy = hn::Add(oy, hn::Mul(dy, f));
  oz = hn::Add(oz, hn::Mul(dz, f));
}

// Field at `count` points (px, py, pz) into (ex, ey, ez).
void SumBlock(const ChargeSpan* objects, std::size_t objectCount, const double* HWY_RESTRICT px,
              const double* HWY_RESTRICT py, const double* HWY_RESTRICT pz, std::size_t count,
              double* HWY_RESTRICT ex, double* HWY_RESTRICT ey, double* HWY_RESTRICT ez) {
  const hn::ScalableTag<double> d;
  using V = hn::Vec<decltype(d)>;
  const std::size_t N = hn::Lanes(d);

  // Two vectors of points at a time share each charge's broadcast and keep
  // two independent dependency chains in flight.
  auto sumVectors = [&](const V& Px0, const V& Py0, const V& Pz0, const V& Px1, const V& Py1, const V& Pz1,
                        V& Ex0, V& Ey0, V& Ez0, V& Ex1, V& Ey1, V& Ez1) {
    Ex0 = hn::Zero(d); Ey0 = hn::Zero(d); Ez0 = hn::Zero(d);
    Ex1 = hn::Zero(d); Ey1 = hn::Zero(d); Ez1 = hn::Zero(d);
    for (std::size_t o = 0; o < objectCount; ++o) {
      const ChargeSpan& c = objects[o];
      V ox0 = hn::Zero(d), oy0 = hn::Zero(d), oz0 = hn::Zero(d);
      V ox1 = hn::Zero(d), oy1 = hn::Zero(d), oz1 = hn::Zero(d);
      for (std::size_t i = 0; i < c.n; ++i) {
        const V cx = hn::Set(d, c.x[i]);
        const V cy = hn::Set(d, c.y[i]);
        const V cz = hn::Set(d, c.z[i]);
        const V cq = hn::Set(d, c.q[i]);
        AddCharge(Px0, Py0, Pz0, cx, cy, cz, cq, ox0, oy0, oz0);
        AddCharge(Px1, Py1, Pz1, cx, cy, cz, cq, ox1, oy1, oz1);
      }
      Ex0 = hn::Add(Ex0, ox0); Ey0 = hn::Add(Ey0, oy0); Ez0 = hn::Add(Ez0, oz0);
      Ex1 = hn::Add(Ex1, ox1); Ey1 = hn::Add(Ey1, oy1); Ez1 = hn::Add(Ez1, oz1);
    }
  };

  // One vector of points, for short tails.
  auto sumVector = [&](const V& Px, const V& Py, const V& Pz, V& Ex, V& Ey, V& Ez) {
    Ex = hn::Zero(d); Ey = hn::Zero(d); Ez = hn::Zero(d);
    for (std::size_t o = 0; o < objectCount; ++o) {
      const ChargeSpan& c = objects[o];
      V ox = hn::Zero(d), oy = hn::Zero(d), oz = hn::Zero(d);
      for (std::size_t i = 0; i < c.n; ++i) {
        AddCharge(Px, Py, Pz, hn::Set(d, c.x[i]), hn::Set(d, c.y[i]), hn::Set(d, c.z[i]), hn::Set(d, c.q[i]),
                  ox, oy, oz);
      }
      Ex = hn::Add(Ex, ox); Ey = hn::Add(Ey, oy); Ez = hn::Add(Ez, oz);
    }
  };

  std::size_t p = 0;
  for (; p + 2 * N <= count; p += 2 * N) {
    V Ex0, Ey0, Ez0, Ex1, Ey1, Ez1;
    sumVectors(hn::LoadU(d, px + p), hn::LoadU(d, py + p), hn::LoadU(d, pz + p), hn::LoadU(d, px + p + N),
               hn::LoadU(d, py + p + N), hn::LoadU(d, pz + p + N), Ex0, Ey0, Ez0, Ex1, Ey1, Ez1);
    hn::StoreU(Ex0, d, ex + p); hn::StoreU(Ey0, d, ey + p); hn::StoreU(Ez0, d, ez + p);
    hn::StoreU(Ex1, d, ex + p + N); hn::StoreU(Ey1, d, ey + p + N); hn::StoreU(Ez1, d, ez + p + N);
  }
  // The tail goes through padded buffers, one or two vectors as needed; the
  // padding lanes repeat the last point and are dropped.
  const std::size_t rest = count - p;
  if (rest == 0) return;
  constexpr std::size_t kMax = HWY_MAX_BYTES / sizeof(double);
  HWY_ALIGN double bx[2 * kMax], by[2 * kMax], bz[2 * kMax];
  HWY_ALIGN double rx[2 * kMax], ry[2 * kMax], rz[2 * kMax];
  const std::size_t lanes = rest <= N ? N : 2 * N;
  for (std::size_t i = 0; i < lanes; ++i) {
    const std::size_t src = p + (i < rest ? i : rest - 1);
    bx[i] = px[src]; by[i] = py[src]; bz[i] = pz[src];
  }
  if (rest <= N) {
    V Ex, Ey, Ez;
    sumVector(hn::Load(d, bx), hn::Load(d, by), hn::Load(d, bz), Ex, Ey, Ez);
    hn::Store(Ex, d, rx); hn::Store(Ey, d, ry); hn::Store(Ez, d, rz);
  } else {
    V Ex0, Ey0, Ez0, Ex1, Ey1, Ez1;
    sumVectors(hn::Load(d, bx), hn::Load(d, by), hn::Load(d, bz), hn::Load(d, bx + N), hn::Load(d, by + N),
               hn::Load(d, bz + N), Ex0, Ey0, Ez0, Ex1, Ey1, Ez1);
    hn::Store(Ex0, d, rx); hn::Store(Ey0, d, ry); hn::Store(Ez0, d, rz);
    hn::Store(Ex1, d, rx + N); hn::Store(Ey1, d, ry + N); hn::Store(Ez1, d, rz + N);
  }
  for (std::size_t i = 0; i < rest; ++i) {
    ex[p + i] = rx[i]; ey[p + i] = ry[i]; ez[p + i] = rz[i];
  }
}

const char* TargetName() { return hwy::TargetName(HWY_TARGET); }

// NOLINTNEXTLINE(google-readability-namespace-comments)
}  // namespace HWY_NAMESPACE
}  // namespace voltix_field
HWY_AFTER_NAMESPACE();

#if HWY_ONCE

#include "framework/runtime/nil_object.h"
#include "framework/runtime/runtime.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace voltix_field {
HWY_EXPORT(SumBlock);
HWY_EXPORT(TargetName);

namespace {

// Worker threads started once, on the first sum large enough to share, and
// kept for every later one: starting threads anew for each pass costs more
// than a small pass takes.
class WorkerPool {
public:
  static WorkerPool& Shared() {
    static WorkerPool pool;
    return pool;
  }

  WorkerPool() = default;
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool() {
    {
      const std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) t.join();
  }

  // Runs work(true) on the calling thread and work(false) on up to `helpers`
  // workers at once, and returns when every share has finished. Workers that
  // wake after the caller has finished its own share take no part. Returns
  // false, having run nothing, while another sum holds the pool (a sum begun
  // during a yield of this one, or on another thread).
  bool run(unsigned helpers, const std::function<void(bool)>& work) {
    if (inUse_.exchange(true, std::memory_order_acquire)) return false;
    struct Release {
      std::atomic<bool>& flag;
      ~Release() { flag.store(false, std::memory_order_release); }
    } release{inUse_};
    {
      const std::lock_guard lock(mutex_);
      while (threads_.size() < helpers) threads_.emplace_back([this] { loop(); });
      job_ = &work;
      wanted_ = helpers;
      taken_ = 0;
      ++generation_;
    }
    wake_.notify_all();
    // The job is closed and its started shares awaited however the caller's
    // share ends.
    struct Close {
      WorkerPool& pool;
      ~Close() {
        std::unique_lock lock(pool.mutex_);
        pool.job_ = nullptr;
        pool.finished_.wait(lock, [this] { return pool.running_ == 0; });
      }
    } close{*this};
    work(true);
    return true;
  }

private:
  void loop() {
    std::uint64_t seen = 0;
    std::unique_lock lock(mutex_);
    for (;;) {
      wake_.wait(lock, [&] { return stop_ || (job_ != nullptr && generation_ != seen && taken_ < wanted_); });
      if (stop_) return;
      seen = generation_;
      ++taken_;
      ++running_;
      const std::function<void(bool)>* job = job_;
      lock.unlock();
      (*job)(false);
      lock.lock();
      if (--running_ == 0) finished_.notify_all();
    }
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable finished_;
  std::vector<std::thread> threads_;
  const std::function<void(bool)>* job_ = nullptr;
  unsigned wanted_ = 0;
  unsigned taken_ = 0;
  unsigned running_ = 0;
  std::uint64_t generation_ = 0;
  bool stop_ = false;
  std::atomic<bool> inUse_{false};
};

}  // namespace
}  // namespace voltix_field

const char* FieldSumTarget() { return HWY_DYNAMIC_DISPATCH(voltix_field::TargetName)(); }

std::vector<Vector3D> SumFieldAt(const std::vector<std::shared_ptr<ChargedObject>>& objects,
                                 const std::vector<Vector3D>& points, unsigned maxThreads) {
  using voltix_field::ChargeSpan;
  const std::size_t count = points.size();
  std::vector<Vector3D> result(count);
  if (count == 0) return result;

  // Our own references: the objects stay alive, and their packed arrays stay
  // put, whatever runs while this thread yields below.
  const std::vector<std::shared_ptr<ChargedObject>> held = objects;
  std::vector<ChargeSpan> spans;
  spans.reserve(held.size());
  std::size_t charges = 0;
  for (const auto& object : held) {
    const PackedCharges& c = Deref(object).Packed();
    spans.push_back({c.x.data(), c.y.data(), c.z.data(), c.q.data(), c.size()});
    charges += c.size();
  }

  std::vector<double> px(count), py(count), pz(count), ex(count), ey(count), ez(count);
  for (std::size_t i = 0; i < count; ++i) {
    px[i] = points[i].X;
    py[i] = points[i].Y;
    pz[i] = points[i].Z;
  }

  // Chunks of a few points (two full vectors on the widest instruction set);
  // threads take the next free chunk.
  constexpr std::size_t kChunk = 16;
  const std::size_t chunks = (count + kChunk - 1) / kChunk;
  // Of its own choice the sum gives each thread a fifth of a millisecond of
  // work or more, so that waking the workers (some microseconds) stays small
  // beside the sum. A small scene runs on the calling thread alone, exactly
  // as with one thread.
  constexpr double kWorkPerThread = 150000.0;  // interactions
  static const unsigned hardwareThreads = std::max(1u, std::min(8u, std::thread::hardware_concurrency()));
  unsigned threads = maxThreads;
  if (threads == 0) {
    const double work = static_cast<double>(count) * static_cast<double>(charges);
    threads = static_cast<unsigned>(std::clamp(work / kWorkPerThread, 1.0, static_cast<double>(hardwareThreads)));
  }
  threads = static_cast<unsigned>(std::min<std::size_t>({threads, chunks, 64}));

  // The first dispatch picks the instruction set; do it here, once, then let
  // every thread call the chosen function directly.
  HWY_DYNAMIC_DISPATCH(voltix_field::SumBlock)(spans.data(), 0, px.data(), py.data(), pz.data(), 0, ex.data(),
                                               ey.data(), ez.data());
  const auto sumBlock = &HWY_DYNAMIC_DISPATCH(voltix_field::SumBlock);
  std::atomic<std::size_t> next{0};
  auto work = [&](bool yielding) {
    for (;;) {
      const std::size_t chunk = next.fetch_add(1, std::memory_order_relaxed);
      if (chunk >= chunks) return;
      const std::size_t begin = chunk * kChunk;
      const std::size_t n = std::min(kChunk, count - begin);
      (*sumBlock)(spans.data(), spans.size(), px.data() + begin, py.data() + begin, pz.data() + begin, n,
                  ex.data() + begin, ey.data() + begin, ez.data() + begin);
      // Only the calling thread gives the event loop its turns.
      if (yielding) RuntimeBackgroundTask();
    }
  };

  const std::function<void(bool)> job = work;
  if (threads <= 1 || !voltix_field::WorkerPool::Shared().run(threads - 1, job)) work(true);

  for (std::size_t i = 0; i < count; ++i) result[i] = Vector3D(ex[i], ey[i], ez[i]);
  return result;
}

#endif  // HWY_ONCE
