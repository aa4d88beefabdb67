#include "framework/3d/instance_store.h"

#include <algorithm>
#include <cstring>

std::size_t InstanceStore::putBytes(const void* record) {
  const std::size_t index = count_++;
  const std::size_t at = index * recordBytes_;
  if (dirty_.size() * kBlockRecords < count_) dirty_.push_back(0);
  if (at + recordBytes_ <= records_.size()) {
    if (std::memcmp(&records_[at], record, recordBytes_) != 0) {
      std::memcpy(&records_[at], record, recordBytes_);
      markDirty(index);
    }
  } else {
    const auto* bytes = static_cast<const std::byte*>(record);
    records_.insert(records_.end(), bytes, bytes + recordBytes_);
    markDirty(index);
  }
  return index;
}

std::size_t InstanceStore::upload(QOpenGLFunctions_3_3_Core& gl, bool keep) {
  const std::size_t bytes = count_ * recordBytes_;
  // Records past this frame's end are gone; give their memory back once they
  // were most of it.
  records_.resize(bytes);
  dirty_.resize((count_ + kBlockRecords - 1) / kBlockRecords);
  if (records_.capacity() > 4 * bytes + (std::size_t{1} << 16)) {
    records_.shrink_to_fit();
    dirty_.shrink_to_fit();
  }
  if (buffer_ == 0) gl.glGenBuffers(1, &buffer_);
  gl.glBindBuffer(GL_ARRAY_BUFFER, buffer_);
  std::size_t sent = 0;
  const bool tooSmall = capacityBytes_ < bytes;
  const bool tooLarge = capacityBytes_ > 4 * bytes + (std::size_t{1} << 16);
  if (!keep || tooSmall || tooLarge) {
    // A new store: with room to grow when kept, exactly the records otherwise.
    const std::size_t capacity = keep ? bytes + bytes / 2 : bytes;
    gl.glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity), nullptr,
                    keep ? GL_DYNAMIC_DRAW : GL_STREAM_DRAW);
    if (bytes > 0) gl.glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), records_.data());
    capacityBytes_ = capacity;
    sent = bytes;
  } else {
    // Runs of changed blocks, one upload each.
    const std::size_t blockBytes = kBlockRecords * recordBytes_;
    for (std::size_t b = 0; b < dirty_.size();) {
      if (!dirty_[b]) {
        ++b;
        continue;
      }
      std::size_t e = b;
      while (e < dirty_.size() && dirty_[e]) ++e;
      const std::size_t from = b * blockBytes;
      const std::size_t to = std::min(e * blockBytes, bytes);
      gl.glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(from), static_cast<GLsizeiptr>(to - from),
                         &records_[from]);
      sent += to - from;
      b = e;
    }
  }
  std::fill(dirty_.begin(), dirty_.end(), std::uint8_t{0});
  gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
  return sent;
}

void InstanceStore::release(QOpenGLFunctions_3_3_Core& gl) {
  if (buffer_ != 0) gl.glDeleteBuffers(1, &buffer_);
  buffer_ = 0;
  capacityBytes_ = 0;
  count_ = 0;
  std::vector<std::byte>().swap(records_);
  std::vector<std::uint8_t>().swap(dirty_);
}
