#include "crash/win/registry_host_win.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "crash/thread_entry.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_enumeration_win.h"
#include "trace/system/win/try_read_memory_win.h"

namespace crash {

namespace {

constexpr DWORD kEntryHandleAccess = SYNCHRONIZE | THREAD_QUERY_INFORMATION;

HANDLE AsHandle(uint32_t value) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

uint32_t AsValue(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

class WinRegistryHost : public RegistryHost {
 public:
  uint32_t Block() override { return AsValue(SharedInstanceBlockView()); }
  bool Lock() override {
    const DWORD wait = WaitForSingleObject(RegistryMutex(), INFINITE);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
  }
  void Unlock() override { ReleaseMutex(RegistryMutex()); }
  uint32_t Allocate(uint32_t size) override { return AsValue(LocalAlloc(LPTR, size)); }
  void Free(uint32_t allocation) override { LocalFree(AsHandle(allocation)); }
  uint32_t AllocationSize(uint32_t allocation) override {
    // Only the heap knows its blocks: a reference that is no block of it gives 0 (the
    // reference is checked for readability first, since LocalSize would fault on it).
    uint8_t probe = 0;
    if (allocation == 0 || !trace::TryReadMemory(allocation, &probe, 1)) return 0;
    return static_cast<uint32_t>(LocalSize(AsHandle(allocation)));
  }
  bool Read(uint32_t address, void* buffer, uint32_t count) override {
    return trace::TryReadMemory(address, buffer, count);
  }
  bool Write(uint32_t address, const void* bytes, uint32_t count) override {
    if (address == 0) return false;
    std::memcpy(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), bytes, count);
    return true;
  }
  uint32_t DuplicateThreadHandle(uint32_t handle) override {
    HANDLE copy = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), AsHandle(handle), GetCurrentProcess(), &copy,
                         kEntryHandleAccess, FALSE, 0)) {
      return 0;
    }
    return AsValue(copy);
  }
  uint32_t OpenThreadHandle(uint32_t thread_id) override {
    return AsValue(OpenThreadById(thread_id, kEntryHandleAccess));
  }
  void CloseThreadHandle(uint32_t handle) override { CloseHandle(AsHandle(handle)); }
  bool ThreadHasEnded(uint32_t handle) override {
    return WaitForSingleObject(AsHandle(handle), 0) == WAIT_OBJECT_0;
  }
};

}  // namespace

RegistryHost& ProcessRegistryHost() {
  static WinRegistryHost host;
  return host;
}

void RegisterCreatedThread(uint32_t thread_id, void* handle, uint32_t creator_id,
                           uint32_t creation_address, std::string_view class_name) {
  ThreadUpdate update;
  update.thread_id = thread_id;
  update.handle = AsValue(handle);
  update.creator_id = creator_id;
  update.creation_address = creation_address;
  if (!class_name.empty()) update.class_name = std::string(class_name);
  UpdateThreadEntry(ProcessRegistryHost(), update);
}

void SetThreadName(uint32_t thread_id, std::string_view name) {
  NameThread(ProcessRegistryHost(), thread_id, name);
}

void RemoveThread(uint32_t thread_id) {
  RemoveThreadEntry(ProcessRegistryHost(), thread_id);
}

std::vector<RegisteredThread> RegisteredThreads() {
  return ReadThreadRegistry(ProcessRegistryHost());
}

std::optional<RegisteredThread> RegisteredThreadOf(uint32_t thread_id) {
  return FindRegisteredThread(ProcessRegistryHost(), thread_id);
}

}  // namespace crash
