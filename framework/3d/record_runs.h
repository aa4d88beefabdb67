#pragma once

#include "framework/3d/submission_pacer.h"

#include <QOpenGLFunctions_3_3_Core>

#include <cstddef>
#include <iterator>
#include <vector>

// The records of a frame that are drawn, as runs of consecutive places in
// their buffer. A buffer keeps every record of the scene in scene order,
// seen or not (so that a camera move changes none), and the runs pick out
// those in view. Runs are sent to the driver in parts of the pacer's size,
// also while the frame is still being gathered.
class RecordRuns {
public:
  // Starts a frame.
  void clear();
  // Adds the record at `slot`; slots come in increasing order. Returns true
  // once a part's worth of records waits unsent.
  bool add(std::size_t slot, long long partRoom);
  [[nodiscard]] bool unsent() const { return runSent_ < first_.size(); }
  // Draws the records not sent yet as `mode` primitives of `vertices`
  // vertices each (the record's place times `vertices` is its first
  // vertex), a part at a time; returns the draw calls made.
  int drawUnsent(QOpenGLFunctions_3_3_Core& gl, GLenum mode, GLint vertices, SubmissionPacer& pacer);

  // Lists that a large frame filled give their room back once far larger
  // than the frame needed.
  void releaseSpareRoom();
  [[nodiscard]] std::size_t heldBytes() const;

private:
  std::vector<GLint> first_;
  std::vector<GLsizei> count_;
  std::vector<GLint> partFirst_;
  std::vector<GLsizei> partCount_;
  // Where the runs already sent end: a run, and the records of it sent.
  std::size_t runSent_ = 0;
  GLsizei intoRunSent_ = 0;
  long long placed_ = 0;  // added since the last part was sent
};

// A list that a large frame filled keeps room for it in every later frame;
// room far beyond what the frame used goes back.
template <class T>
void ReleaseSpareRoom(std::vector<T>& v) {
  constexpr std::size_t kSmall = 1024;
  if (v.capacity() > kSmall && v.capacity() > 4 * v.size()) {
    std::vector<T> fitted;
    fitted.reserve(v.size() + v.size() / 8);
    fitted.assign(std::make_move_iterator(v.begin()), std::make_move_iterator(v.end()));
    v.swap(fitted);
  }
}
