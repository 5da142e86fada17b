#include "trace/system/win/try_read_memory_win.h"

#include <windows.h>

#include "trace/system/win/os_info_win.h"
#include "trace/text/scrambled_text.h"

namespace trace {
namespace {

constexpr auto kKernelName = Scramble("kernel32.dll");
constexpr auto kReadName = Scramble("ReadProcessMemory");

using ReadProcessMemoryFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, LPVOID, SIZE_T, SIZE_T*);

HMODULE KernelModule() {
  const std::string module_name = kKernelName.Reveal();
  if (OperatingSystem().is_9x) return GetModuleHandleA(module_name.c_str());
  const std::wstring wide(module_name.begin(), module_name.end());
  return GetModuleHandleW(wide.c_str());
}

// The system's process-memory read, resolved once; null where it cannot be found.
ReadProcessMemoryFunction ReadService() {
  static const auto read = [] {
    HMODULE kernel = KernelModule();
    return kernel == nullptr ? nullptr
                             : reinterpret_cast<ReadProcessMemoryFunction>(reinterpret_cast<void*>(
                                   GetProcAddress(kernel, kReadName.Reveal().c_str())));
  }();
  return read;
}

// True when every page of the range is committed and readable without touching a guard
// page. Asked before every read: a read that touched a thread's stack guard would take the
// guard away, and Wine's read service copies no-access pages where Windows refuses them.
bool IsReadable(uintptr_t address, uint32_t count) {
  const uintptr_t end = address + count;
  if (end < address) return false;
  while (address < end) {
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(reinterpret_cast<const void*>(address), &info, sizeof(info)) != sizeof(info))
      return false;
    if (info.State != MEM_COMMIT || (info.Protect & (PAGE_NOACCESS | PAGE_GUARD)) != 0 ||
        info.Protect == 0)
      return false;
    const uintptr_t region_end =
        reinterpret_cast<uintptr_t>(info.BaseAddress) + static_cast<uintptr_t>(info.RegionSize);
    if (region_end <= address) return false;
    address = region_end;
  }
  return true;
}

}  // namespace

bool TryReadMemory(const void* address, void* buffer, uint32_t count) {
  if (address == nullptr) return false;
  const ReadProcessMemoryFunction read = ReadService();
  if (read == nullptr) return false;
  if (count == 0) return true;
  if (!IsReadable(reinterpret_cast<uintptr_t>(address), count)) return false;
  // The service fails instead of faulting where a page goes away after the check.
  SIZE_T done = 0;
  return read(GetCurrentProcess(), address, buffer, count, &done) && done == count;
}

}  // namespace trace
