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
// the buffer holds at that place, and upload() sends only the blocks that
// changed. A frame that writes what the last one wrote uploads nothing.
class InstanceStore {
public:
  explicit InstanceStore(std::size_t recordBytes) : recordBytes_(recordBytes) {}

  void beginFrame() { count_ = 0; }

  template <class Record>
  std::size_t put(const Record& record) {
    // Compared byte by byte: records must have no padding.
    static_assert(std::is_trivially_copyable_v<Record>);
    assert(sizeof(Record) == recordBytes_);
    // The common case, inline: the same record as in the last frame.
    const std::size_t at = count_ * sizeof(Record);
    if (at + sizeof(Record) <= records_.size() && std::memcmp(&records_[at], &record, sizeof(Record)) == 0) {
      return count_++;
    }
    return putBytes(&record);
  }

  [[nodiscard]] std::size_t count() const { return count_; }

  // Brings the buffer up to this frame's records: only changed blocks, or,
  // with keep false, everything into a fresh store (the straightforward
  // way, for measuring). The GL context must be current. Returns the bytes sent.
  std::size_t upload(QOpenGLFunctions_3_3_Core& gl, bool keep);

  [[nodiscard]] GLuint buffer() const { return buffer_; }

  // Frees the buffer (context current) and the copy of the records.
  void release(QOpenGLFunctions_3_3_Core& gl);

private:
  static constexpr std::size_t kBlockRecords = 256;

  std::size_t putBytes(const void* record);
  void markDirty(std::size_t index) { dirty_[index / kBlockRecords] = 1; }

  std::size_t recordBytes_;
  std::vector<std::byte> records_;   // what the buffer holds, updated in place
  std::vector<std::uint8_t> dirty_;  // one flag per block of records
  std::size_t count_ = 0;
  GLuint buffer_ = 0;
  std::size_t capacityBytes_ = 0;
};
