#pragma once

#include <QOpenGLFunctions_3_3_Core>

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

// Fixed-size instance records kept in one GPU buffer between frames. A frame
// writes its records in order through put(); each is compared with the record
// the buffer holds at that place and written only where it differs, so a
// frame that writes what the last one wrote sends nothing.
//
// The buffer is mapped while a frame puts its records and compared in place:
// the program keeps no second copy of a million records. Its room follows the
// scene: it grows within a frame and is cut down at the frame's end once far
// larger than the records, so a scene that shrinks gives its memory back.
class InstanceStore {
public:
  explicit InstanceStore(std::size_t recordBytes) : recordBytes_(recordBytes) {}
  InstanceStore(const InstanceStore&) = delete;
  InstanceStore& operator=(const InstanceStore&) = delete;

  // Starts a frame. With keep false every record is sent again into a buffer
  // made afresh (the straightforward way, for measuring). `expected`: how
  // many records the frame may put at most, if known; a buffer that has to
  // grow grows to that at once, rather than doubling and copying its way up.
  // The GL context must stay current until finish().
  void beginFrame(QOpenGLFunctions_3_3_Core& gl, bool keep, std::size_t expected = 0);

  template <class Record>
  std::size_t put(const Record& record) {
    // Compared byte by byte: records must have no padding.
    static_assert(std::is_trivially_copyable_v<Record>);
    assert(sizeof(Record) == recordBytes_);
    // The common case, inline: the same record as in the last frame.
    if (count_ < capacity_ && mapped_ != nullptr) {
      std::byte* at = mapped_ + count_ * sizeof(Record);
      if (count_ >= valid_ || std::memcmp(at, &record, sizeof(Record)) != 0) {
        std::memcpy(at, &record, sizeof(Record));
        written_ += sizeof(Record);
      }
      return count_++;
    }
    return putSlow(&record);
  }

  [[nodiscard]] std::size_t count() const { return count_; }

  // Whether the records put so far can be drawn before the frame ends:
  // between pause() and resume() the buffer holds them (not so when they
  // are staged, to be sent whole at the end).
  [[nodiscard]] bool drawableBeforeFinish() const { return !staged_; }
  void pause() { unmap(); }
  void resume() { map(); }

  // Ends the frame's writing: the buffer is ready to draw from. Returns the
  // bytes the frame wrote.
  std::size_t finish();

  [[nodiscard]] GLuint buffer() const { return buffer_; }
  // Bytes the store holds (the buffer's room and any staging copy).
  [[nodiscard]] std::size_t heldBytes() const { return capacity_ * recordBytes_ + staging_.capacity(); }

  // Frees the buffer; the context must be current.
  void release(QOpenGLFunctions_3_3_Core& gl);

private:
  std::size_t putSlow(const void* record);
  // A buffer of `records` room holding the first `keep` records of the old one.
  void reallocate(std::size_t records, std::size_t keep);
  void map();
  void unmap();

  std::size_t recordBytes_;
  QOpenGLFunctions_3_3_Core* gl_ = nullptr;
  GLuint buffer_ = 0;
  std::size_t capacity_ = 0;  // records the buffer has room for
  std::size_t valid_ = 0;     // records the buffer holds from the last frame
  std::size_t count_ = 0;     // records put this frame
  std::size_t written_ = 0;
  std::size_t expected_ = 0;
  std::byte* mapped_ = nullptr;
  bool keep_ = true;
  // The straightforward way, or a driver that would not map: the frame's
  // records, sent whole at the end.
  std::vector<std::byte> staging_;
  bool staged_ = false;
};
