#pragma once

#include <QOpenGLFunctions_3_3_Core>

#include <array>
#include <cstddef>

// Sends a large frame to the driver in parts of a bounded number of
// primitives, with a fence after each part, and lets no more than two parts
// wait for the rasterizer at a time.
//
// The software driver bins each part's primitives into memory of the part's
// own and frees it only when it reuses that part's slot; a frame drawn in
// one piece made it take a slot per 36 MB while the rasterizer lagged, and a
// million spheres left 60 to 170 MB held for good after the scene was gone.
// Parts of bounded size, in bounded number, cap what it holds; the
// rasterizer still has parts queued while the next is binned.
class SubmissionPacer {
public:
  explicit SubmissionPacer(long long partPrimitives) : limit_(partPrimitives > 0 ? partPrimitives : 1) {}
  SubmissionPacer(const SubmissionPacer&) = delete;
  SubmissionPacer& operator=(const SubmissionPacer&) = delete;

  void setPartPrimitives(long long n) { limit_ = n > 0 ? n : 1; }
  [[nodiscard]] long long partPrimitives() const { return limit_; }

  // Starts a frame (the context current until endFrame).
  void beginFrame(QOpenGLFunctions_3_3_Core& gl);
  // Primitives the current part still takes: at least 1.
  [[nodiscard]] long long room() const { return limit_ - inPart_; }
  // Counts a draw's primitives; a full part is closed with a fence, after
  // waiting, if need be, for the oldest part in flight.
  void drawn(long long primitives);
  // Ends the frame without waiting: the fences still open are let go.
  void endFrame();
  // Parts closed this frame (tests and benchmarks).
  [[nodiscard]] int parts() const { return parts_; }
  // Frees every fence; the context must be current.
  void release(QOpenGLFunctions_3_3_Core& gl);

private:
  static constexpr std::size_t kInFlight = 2;
  void waitOldest();

  QOpenGLFunctions_3_3_Core* gl_ = nullptr;
  long long limit_;
  long long inPart_ = 0;
  int parts_ = 0;
  std::array<GLsync, kInFlight + 1> fences_{};
  std::size_t first_ = 0;
  std::size_t open_ = 0;
};
