#include "framework/3d/record_runs.h"

#include <algorithm>

void RecordRuns::clear() {
  first_.clear();
  count_.clear();
  runSent_ = 0;
  intoRunSent_ = 0;
  placed_ = 0;
}

bool RecordRuns::add(std::size_t slot, long long partRoom) {
  const auto at = static_cast<GLint>(slot);
  // A run goes on while it has not been sent whole.
  if (unsent() && first_.back() + count_.back() == at) {
    ++count_.back();
  } else {
    first_.push_back(at);
    count_.push_back(1);
  }
  return ++placed_ >= partRoom;
}

int RecordRuns::drawUnsent(QOpenGLFunctions_3_3_Core& gl, GLenum mode, GLint vertices, SubmissionPacer& pacer) {
  placed_ = 0;
  int calls = 0;
  // A run that does not fit the current part is split, and its rest opens the next.
  while (unsent()) {
    partFirst_.clear();
    partCount_.clear();
    long long room = pacer.room();
    long long records = 0;
    while (unsent() && room > 0) {
      const auto n = static_cast<GLsizei>(std::min<long long>(count_[runSent_] - intoRunSent_, room));
      partFirst_.push_back((first_[runSent_] + intoRunSent_) * vertices);
      partCount_.push_back(n * vertices);
      room -= n;
      records += n;
      intoRunSent_ += n;
      if (intoRunSent_ == count_[runSent_]) {
        ++runSent_;
        intoRunSent_ = 0;
      }
    }
    gl.glMultiDrawArrays(mode, partFirst_.data(), partCount_.data(), static_cast<GLsizei>(partFirst_.size()));
    calls += static_cast<int>(partFirst_.size());
    pacer.drawn(records);
  }
  return calls;
}

void RecordRuns::releaseSpareRoom() {
  ReleaseSpareRoom(first_);
  ReleaseSpareRoom(count_);
  ReleaseSpareRoom(partFirst_);
  ReleaseSpareRoom(partCount_);
}

std::size_t RecordRuns::heldBytes() const {
  return (first_.capacity() + partFirst_.capacity()) * sizeof(GLint) +
         (count_.capacity() + partCount_.capacity()) * sizeof(GLsizei);
}
