#include "framework/3d/instance_store.h"

#include <algorithm>

namespace {
// The least room a store keeps, in records: small scenes never reallocate.
constexpr std::size_t kMinRecords = 256;

// The room for n records when it is made anew: a sixteenth to spare, so that
// a scene that grows a little does not move its buffer in the next frame.
std::size_t roomFor(std::size_t n) { return n + n / 16 + kMinRecords; }
}  // namespace

void InstanceStore::beginFrame(QOpenGLFunctions_3_3_Core& gl, bool keep, std::size_t expected) {
  gl_ = &gl;
  keep_ = keep;
  expected_ = expected;
  count_ = 0;
  written_ = 0;
  staged_ = !keep || capacity_ == 0;
  if (!staged_) {
    map();
    staged_ = mapped_ == nullptr;
  }
}

std::size_t InstanceStore::putSlow(const void* record) {
  const auto* bytes = static_cast<const std::byte*>(record);
  if (!staged_ && keep_) {
    // Out of room: a buffer twice as large, or as the frame may need, with
    // what the old one held, so that the records still to come are compared
    // with last frame's.
    const std::size_t room = std::max({2 * capacity_, kMinRecords, expected_ > count_ ? roomFor(expected_) : 0});
    reallocate(room, std::min(capacity_, std::max(valid_, count_)));
    map();
    if (mapped_ != nullptr) {
      std::byte* at = mapped_ + count_ * recordBytes_;
      if (count_ >= valid_ || std::memcmp(at, bytes, recordBytes_) != 0) {
        std::memcpy(at, bytes, recordBytes_);
        written_ += recordBytes_;
      }
      return count_++;
    }
  }
  if (!staged_) {
    // The driver would not map the buffer: what this frame put so far is read
    // back and the rest staged.
    staging_.resize(count_ * recordBytes_);
    if (count_ > 0) {
      gl_->glBindBuffer(GL_COPY_READ_BUFFER, buffer_);
      gl_->glGetBufferSubData(GL_COPY_READ_BUFFER, 0, static_cast<GLsizeiptr>(staging_.size()), staging_.data());
      gl_->glBindBuffer(GL_COPY_READ_BUFFER, 0);
    }
    staged_ = true;
  }
  staging_.insert(staging_.end(), bytes, bytes + recordBytes_);
  written_ += recordBytes_;
  return count_++;
}

std::size_t InstanceStore::finish() {
  if (gl_ == nullptr) return 0;
  if (staged_) {
    staging_.resize(count_ * recordBytes_);
    if (buffer_ == 0) gl_->glGenBuffers(1, &buffer_);
    gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, buffer_);
    gl_->glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(staging_.size()),
                      staging_.empty() ? nullptr : staging_.data(), keep_ ? GL_DYNAMIC_DRAW : GL_STREAM_DRAW);
    gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
    capacity_ = count_;
    std::vector<std::byte>().swap(staging_);
    staged_ = false;
  } else {
    unmap();
    // Far more room than the records take (the scene shrank, or the buffer
    // doubled during this frame): cut it down to what they need.
    if (capacity_ > count_ + count_ / 4 + 2 * kMinRecords) reallocate(roomFor(count_), count_);
  }
  valid_ = count_;
  return written_;
}

void InstanceStore::reallocate(std::size_t records, std::size_t keep) {
  unmap();
  keep = buffer_ != 0 ? std::min({keep, records, capacity_}) : 0;
  if (buffer_ == 0) gl_->glGenBuffers(1, &buffer_);
  // The buffer keeps its name and gets new storage: the vertex arrays that
  // draw from it hold on to the name, and would keep an old storage alive.
  GLuint kept = 0;
  const auto keepBytes = static_cast<GLsizeiptr>(keep * recordBytes_);
  if (keep > 0) {
    gl_->glGenBuffers(1, &kept);
    gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, kept);
    gl_->glBufferData(GL_COPY_WRITE_BUFFER, keepBytes, nullptr, GL_STREAM_COPY);
    gl_->glBindBuffer(GL_COPY_READ_BUFFER, buffer_);
    gl_->glCopyBufferSubData(GL_COPY_READ_BUFFER, GL_COPY_WRITE_BUFFER, 0, 0, keepBytes);
  }
  gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, buffer_);
  gl_->glBufferData(GL_COPY_WRITE_BUFFER, static_cast<GLsizeiptr>(records * recordBytes_), nullptr, GL_DYNAMIC_DRAW);
  if (keep > 0) {
    gl_->glBindBuffer(GL_COPY_READ_BUFFER, kept);
    gl_->glCopyBufferSubData(GL_COPY_READ_BUFFER, GL_COPY_WRITE_BUFFER, 0, 0, keepBytes);
    gl_->glBindBuffer(GL_COPY_READ_BUFFER, 0);
    gl_->glDeleteBuffers(1, &kept);
  }
  gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  capacity_ = records;
  valid_ = std::min(valid_, keep);
}

void InstanceStore::map() {
  if (buffer_ == 0 || capacity_ == 0) return;
  gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, buffer_);
  // Read as well as written: the frame compares with what the buffer holds.
  mapped_ = static_cast<std::byte*>(gl_->glMapBufferRange(
      GL_COPY_WRITE_BUFFER, 0, static_cast<GLsizeiptr>(capacity_ * recordBytes_), GL_MAP_READ_BIT | GL_MAP_WRITE_BIT));
  gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
}

void InstanceStore::unmap() {
  if (mapped_ == nullptr) return;
  gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, buffer_);
  // A buffer whose contents the driver lost while mapped (rare: the display
  // changed mode) is sent whole next frame.
  if (gl_->glUnmapBuffer(GL_COPY_WRITE_BUFFER) == GL_FALSE) valid_ = 0;
  gl_->glBindBuffer(GL_COPY_WRITE_BUFFER, 0);
  mapped_ = nullptr;
}

void InstanceStore::release(QOpenGLFunctions_3_3_Core& gl) {
  gl_ = &gl;
  unmap();
  if (buffer_ != 0) gl.glDeleteBuffers(1, &buffer_);
  buffer_ = 0;
  capacity_ = valid_ = count_ = written_ = 0;
  staged_ = false;
  std::vector<std::byte>().swap(staging_);
}
