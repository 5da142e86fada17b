// A RegistryHost over allocations in a map: addresses are handed out 0x1000 apart, every
// read and write must lie inside one allocation, handles are counted and can be ended.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "crash/thread_entry.h"
#include "crash/thread_registry.h"

namespace crash_test {

class FakeRegistryHost : public crash::RegistryHost {
 public:
  FakeRegistryHost() { block_ = Allocate(crash::kSharedInstanceBlockSize); }

  uint32_t Block() override { return block_; }
  bool Lock() override {
    ++locks;
    return true;
  }
  void Unlock() override { --locks; }
  uint32_t Allocate(uint32_t size) override {
    if (fail_allocations) return 0;
    const uint32_t address = next_address_;
    next_address_ += 0x1000;
    memory_[address].assign(size, 0);
    return address;
  }
  void Free(uint32_t allocation) override {
    if (memory_.erase(allocation) == 0) ++bad_frees;
  }
  uint32_t AllocationSize(uint32_t allocation) override {
    const auto it = memory_.find(allocation);
    return it == memory_.end() ? 0 : static_cast<uint32_t>(it->second.size());
  }
  bool Read(uint32_t address, void* buffer, uint32_t count) override {
    uint8_t* bytes = Find(address, count);
    if (bytes == nullptr) return false;
    std::memcpy(buffer, bytes, count);
    return true;
  }
  bool Write(uint32_t address, const void* bytes, uint32_t count) override {
    uint8_t* target = Find(address, count);
    if (target == nullptr) return false;
    std::memcpy(target, bytes, count);
    return true;
  }
  uint32_t DuplicateThreadHandle(uint32_t handle) override {
    const auto it = handles_.find(handle);
    return it == handles_.end() ? 0 : NewHandle(it->second);
  }
  uint32_t OpenThreadHandle(uint32_t thread_id) override {
    return openable.count(thread_id) ? NewHandle(thread_id) : 0;
  }
  void CloseThreadHandle(uint32_t handle) override {
    if (handles_.erase(handle) == 0) ++bad_closes;
  }
  bool ThreadHasEnded(uint32_t handle) override {
    const auto it = handles_.find(handle);
    return it != handles_.end() && ended.count(it->second) != 0;
  }

  // A handle of a thread that the test holds (as a creator would).
  uint32_t NewHandle(uint32_t thread_id) {
    const uint32_t handle = next_handle_;
    next_handle_ += 4;
    handles_[handle] = thread_id;
    return handle;
  }
  // Handles open now.
  size_t OpenHandles() const { return handles_.size(); }
  // Allocations now, the block included.
  size_t Allocations() const { return memory_.size(); }
  // Pushes a 12-byte entry at the head, as an older module writes it.
  void PushShortEntry(uint32_t thread_id, const std::string& name) {
    const uint32_t text = Allocate(static_cast<uint32_t>(name.size() + 1));
    Write(text, name.data(), static_cast<uint32_t>(name.size()));
    const uint32_t entry = Allocate(crash::kShortThreadEntrySize);
    uint32_t head = 0;
    Read(block_ + crash::kSharedBlockHeadOffset, &head, 4);
    const uint32_t words[3] = {thread_id, text, head};  // the host is little-endian
    Write(entry, words, 12);
    Write(block_ + crash::kSharedBlockHeadOffset, &entry, 4);
  }
  // Drops the block, as when the reporter never started.
  void DropBlock() { block_ = 0; }

  std::set<uint32_t> openable;  // thread ids that OpenThreadHandle opens
  std::set<uint32_t> ended;     // thread ids whose handles are signalled
  bool fail_allocations = false;
  int locks = 0;
  int bad_frees = 0;
  int bad_closes = 0;

 private:
  uint8_t* Find(uint32_t address, uint32_t count) {
    auto it = memory_.upper_bound(address);
    if (it == memory_.begin()) return nullptr;
    --it;
    const uint64_t offset = address - it->first;
    if (offset + count > it->second.size()) return nullptr;
    return it->second.data() + offset;
  }

  std::map<uint32_t, std::vector<uint8_t>> memory_;
  std::map<uint32_t, uint32_t> handles_;
  uint32_t next_address_ = 0x10000;
  uint32_t next_handle_ = 0x100;
  uint32_t block_ = 0;
};

}  // namespace crash_test
