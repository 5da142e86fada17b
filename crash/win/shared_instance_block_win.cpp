#include "crash/win/shared_instance_block_win.h"

#include <array>
#include <cstring>
#include <vector>

#include "crash/thread_entry.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/thread_enumeration_win.h"

namespace crash {

namespace {

// This module's state: its view and its own mapping handle.
uint8_t* g_view = nullptr;
HANDLE g_own_mapping = nullptr;
bool g_created = false;

SharedInstanceBlock ReadBlock() {
  return ReadSharedInstanceBlock(
      std::span<const uint8_t, kSharedInstanceBlockSize>(g_view, kSharedInstanceBlockSize));
}

void WriteBlock(const SharedInstanceBlock& block) {
  WriteSharedInstanceBlock(
      block, std::span<uint8_t, kSharedInstanceBlockSize>(g_view, kSharedInstanceBlockSize));
}

uint32_t AsValue(HANDLE handle) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle));
}

HANDLE AsHandle(uint32_t value) {
  return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

}  // namespace

SharedBlockStart StartSharedInstanceBlock() {
  if (g_view != nullptr) return SharedBlockStart::kAlreadyUsed;
  const std::string name = SharedInstanceBlockName(GetCurrentProcessId());
  // Default security: only this user's processes reach the block.
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kSharedInstanceBlockSize, name.c_str());
  if (mapping == nullptr) return SharedBlockStart::kNoMapping;
  const bool existed = GetLastError() == ERROR_ALREADY_EXISTS;
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kSharedInstanceBlockSize);
  if (view == nullptr) {
    CloseHandle(mapping);
    return SharedBlockStart::kNoView;
  }
  g_view = static_cast<uint8_t*>(view);
  g_own_mapping = mapping;
  if (existed) {
    // The use count changes under the registry mutex, which the creator made.
    const HANDLE mutex = RegistryMutex();
    const bool locked = mutex != nullptr && WaitForSingleObject(mutex, INFINITE) != WAIT_FAILED;
    SharedInstanceBlock block = ReadBlock();
    ++block.use_count;
    WriteBlock(block);
    if (locked) ReleaseMutex(mutex);
    return SharedBlockStart::kOpened;
  }
  g_created = true;
  SharedInstanceBlock block;
  block.watchdog_mutex = AsValue(CreateMutexA(nullptr, FALSE, nullptr));
  block.registry_mutex = AsValue(CreateMutexA(nullptr, FALSE, nullptr));
  block.head = 0;
  block.use_count = 1;
  block.mapping = AsValue(mapping);
  WriteBlock(block);
  const std::vector<uint32_t> threads = EnumerateProcessThreads();
  if (!threads.empty()) SetThreadName(threads.front(), "main thread");
  return SharedBlockStart::kCreated;
}

void StopSharedInstanceBlock() {
  if (g_view == nullptr) return;
  const HANDLE mutex = RegistryMutex();
  const bool locked = mutex != nullptr && WaitForSingleObject(mutex, INFINITE) != WAIT_FAILED;
  SharedInstanceBlock block = ReadBlock();
  if (block.use_count > 0) --block.use_count;
  WriteBlock(block);
  const bool last = block.use_count == 0;
  if (locked) ReleaseMutex(mutex);
  if (last) {
    RemoveThread(GetCurrentThreadId());
    // Nobody reads the list any more: the other entries go too, with their handles.
    for (const RegisteredThread& thread : RegisteredThreads())
      RemoveThread(thread.thread_id);
    const SharedInstanceBlock final_block = ReadBlock();
    std::array<uint8_t, kSharedInstanceBlockSize> empty{};
    std::memcpy(g_view, empty.data(), empty.size());
    if (final_block.watchdog_mutex != 0) CloseHandle(AsHandle(final_block.watchdog_mutex));
    if (final_block.registry_mutex != 0) CloseHandle(AsHandle(final_block.registry_mutex));
    if (final_block.mapping != 0 && AsHandle(final_block.mapping) != g_own_mapping) {
      CloseHandle(AsHandle(final_block.mapping));
    }
  }
  UnmapViewOfFile(g_view);
  g_view = nullptr;
  // The creator's handle is the block's mapping handle; every opener closes its own.
  if (!g_created || last) CloseHandle(g_own_mapping);
  g_own_mapping = nullptr;
  g_created = false;
}

void* SharedInstanceBlockView() {
  return g_view;
}

HANDLE WatchdogMutex() {
  if (g_view == nullptr) return nullptr;
  return AsHandle(ReadBlock().watchdog_mutex);
}

HANDLE RegistryMutex() {
  if (g_view == nullptr) return nullptr;
  return AsHandle(ReadBlock().registry_mutex);
}

HANDLE ThreadClassMutex() {
  static HANDLE mutex =
      CreateMutexA(nullptr, FALSE, ThreadClassMutexName(GetCurrentProcessId()).c_str());
  return mutex;
}

}  // namespace crash
