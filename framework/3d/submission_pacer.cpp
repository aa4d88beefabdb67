#include "framework/3d/submission_pacer.h"

void SubmissionPacer::beginFrame(QOpenGLFunctions_3_3_Core& gl) {
  gl_ = &gl;
  inPart_ = 0;
  parts_ = 0;
}

void SubmissionPacer::drawn(long long primitives) {
  if (gl_ == nullptr || primitives <= 0) return;
  inPart_ += primitives;
  if (inPart_ < limit_) return;
  inPart_ = 0;
  ++parts_;
  const GLsync fence = gl_->glFenceSync(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
  if (fence == nullptr) return;
  if (open_ == fences_.size()) waitOldest();
  fences_[(first_ + open_) % fences_.size()] = fence;
  ++open_;
  while (open_ > kInFlight) waitOldest();
}

void SubmissionPacer::waitOldest() {
  const GLsync fence = fences_[first_];
  // A second at a time, a minute in all: a driver that never signals must
  // not hang the program.
  constexpr GLuint64 kSecond = 1'000'000'000;
  for (int i = 0; i < 60; ++i) {
    const GLenum r = gl_->glClientWaitSync(fence, GL_SYNC_FLUSH_COMMANDS_BIT, kSecond);
    if (r != GL_TIMEOUT_EXPIRED) break;
  }
  gl_->glDeleteSync(fence);
  fences_[first_] = nullptr;
  first_ = (first_ + 1) % fences_.size();
  --open_;
}

void SubmissionPacer::endFrame() {
  if (gl_ == nullptr) return;
  while (open_ > 0) {
    gl_->glDeleteSync(fences_[first_]);
    fences_[first_] = nullptr;
    first_ = (first_ + 1) % fences_.size();
    --open_;
  }
}

void SubmissionPacer::release(QOpenGLFunctions_3_3_Core& gl) {
  gl_ = &gl;
  endFrame();
  gl_ = nullptr;
}
