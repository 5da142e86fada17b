// A minimal memory stream over bytes: size, position and a capacity kept at a multiple of
// 8192 bytes. A read copies what is there and is never an error when short.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace trace {

class TMiniStream {
 public:
  // Granularity of the capacity, in bytes.
  static constexpr int64_t kCapacityStep = 8192;

  // An empty stream.
  TMiniStream() = default;
  // A stream holding a copy of bytes, positioned at 0.
  explicit TMiniStream(std::string_view bytes);

  // Sets the size: the capacity becomes the size rounded up to kCapacityStep (0 frees the
  // memory), new bytes are zero, and the position is pulled back to the size. A negative size
  // counts as 0.
  void SetSize(int64_t size);
  // Copies min(count, size - position) bytes to buffer and advances; nothing when the
  // position or count is negative. Returns the number of bytes copied.
  int64_t Read(void* buffer, int64_t count);
  // Moves the position (any value; reads check it).
  void set_position(int64_t position) { position_ = position; }

  // The bytes held.
  const char* memory() const { return memory_.data(); }
  int64_t size() const { return size_; }
  int64_t position() const { return position_; }
  int64_t capacity() const { return static_cast<int64_t>(memory_.size()); }
  // Bytes between the position and the end (0 when the position lies beyond it).
  int64_t remaining() const { return position_ >= 0 && position_ < size_ ? size_ - position_ : 0; }

 private:
  std::string memory_;  // capacity bytes
  int64_t size_ = 0;
  int64_t position_ = 0;
};

}  // namespace trace
