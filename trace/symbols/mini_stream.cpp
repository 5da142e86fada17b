#include "trace/symbols/mini_stream.h"

#include <algorithm>
#include <cstring>

namespace trace {

TMiniStream::TMiniStream(std::string_view bytes) {
  SetSize(static_cast<int64_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(memory_.data(), bytes.data(), bytes.size());
}

void TMiniStream::SetSize(int64_t size) {
  size = std::max<int64_t>(size, 0);
  if (size == 0) {
    std::string().swap(memory_);
  } else {
    const int64_t capacity = (size + kCapacityStep - 1) / kCapacityStep * kCapacityStep;
    memory_.resize(static_cast<size_t>(capacity), '\0');
    if (size < size_) std::fill(memory_.begin() + size, memory_.end(), '\0');
  }
  size_ = size;
  position_ = std::min(position_, size_);
}

int64_t TMiniStream::Read(void* buffer, int64_t count) {
  if (position_ < 0 || count < 0) return 0;
  const int64_t available = std::min(count, remaining());
  if (available > 0) {
    std::memcpy(buffer, memory_.data() + position_, static_cast<size_t>(available));
    position_ += available;
  }
  return available;
}

}  // namespace trace
