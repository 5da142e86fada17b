#include "crash/win/thread_enumeration_win.h"

#include <tlhelp32.h>

#include <memory>
#include <span>

#include "crash/process_thread_list.h"
#include "trace/pe/win/module_info_win.h"
#include "trace/system/win/os_info_win.h"

namespace crash {

namespace {

constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kSystemProcessInformation = 5;
constexpr ULONG kFirstGuess = 128 * 1024;
constexpr ULONG kLargestAnswer = 4 * 1024 * 1024;

using NtQuerySystemInformationFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
using OpenThreadFn = HANDLE(WINAPI*)(DWORD, BOOL, DWORD);

struct ClientId {
  void* process;
  void* thread;
};
struct ObjectAttributes {
  ULONG length;
  HANDLE root;
  void* name;
  ULONG attributes;
  void* security_descriptor;
  void* security_quality;
};
using NtOpenThreadFn = LONG(WINAPI*)(HANDLE*, DWORD, ObjectAttributes*, ClientId*);

// A routine of a system module looked up by name; null when either is missing.
template <class Fn>
Fn SystemRoutine(const char* module, const char* name) {
  const HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) return nullptr;
  const uint32_t address =
      trace::ModuleExportByName(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(handle)), name);
  return reinterpret_cast<Fn>(static_cast<uintptr_t>(address));
}

std::vector<uint32_t> ThreadsFromSnapshot() {
  using CreateSnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
  using ThreadWalkFn = BOOL(WINAPI*)(HANDLE, THREADENTRY32*);
  const auto create = SystemRoutine<CreateSnapshotFn>("kernel32.dll", "CreateToolhelp32Snapshot");
  const auto first = SystemRoutine<ThreadWalkFn>("kernel32.dll", "Thread32First");
  const auto next = SystemRoutine<ThreadWalkFn>("kernel32.dll", "Thread32Next");
  std::vector<uint32_t> ids;
  if (create == nullptr || first == nullptr || next == nullptr) return ids;
  const HANDLE snapshot = create(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return ids;
  THREADENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  const DWORD process = GetCurrentProcessId();
  for (BOOL more = first(snapshot, &entry); more; more = next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == process) ids.push_back(entry.th32ThreadID);
    entry.dwSize = sizeof(entry);
  }
  CloseHandle(snapshot);
  return ids;
}

std::vector<uint32_t> ThreadsFromProcessList(int nt_kind) {
  const auto query =
      SystemRoutine<NtQuerySystemInformationFn>("ntdll.dll", "NtQuerySystemInformation");
  if (query == nullptr) return {};
  ULONG needed = 0;
  query(kSystemProcessInformation, nullptr, 0, &needed);
  // Threads may start between the calls: twice the size leaves room for them.
  ULONG size = needed != 0 ? 2 * needed : kFirstGuess;
  while (size <= kLargestAnswer) {
    std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[size]);
    if (!buffer) return {};
    ULONG returned = 0;
    const LONG status = query(kSystemProcessInformation, buffer.get(), size, &returned);
    if (status >= 0) {
      const ULONG length = returned != 0 && returned <= size ? returned : size;
      return ProcessThreadIds(std::span<const uint8_t>(buffer.get(), length), GetCurrentProcessId(),
                              ProcessRecordLayoutForNtKind(nt_kind));
    }
    if (status != kStatusInfoLengthMismatch) return {};
    size *= 2;
  }
  return {};
}

}  // namespace

std::vector<uint32_t> EnumerateProcessThreads() {
  const trace::OsInfo os = trace::OperatingSystem();
  if (os.is_9x) return ThreadsFromSnapshot();
  return ThreadsFromProcessList(os.kind_nt);
}

HANDLE OpenThreadById(uint32_t thread_id, DWORD access) {
  static const auto open_thread = SystemRoutine<OpenThreadFn>("kernel32.dll", "OpenThread");
  if (open_thread != nullptr) return open_thread(access, FALSE, thread_id);
  if (!trace::OperatingSystem().is_nt) return nullptr;
  static const auto nt_open = SystemRoutine<NtOpenThreadFn>("ntdll.dll", "NtOpenThread");
  if (nt_open == nullptr) return nullptr;
  HANDLE handle = nullptr;
  ObjectAttributes attributes{sizeof(ObjectAttributes), nullptr, nullptr, 0, nullptr, nullptr};
  ClientId client{nullptr, reinterpret_cast<void*>(static_cast<uintptr_t>(thread_id))};
  return nt_open(&handle, access, &attributes, &client) >= 0 ? handle : nullptr;
}

}  // namespace crash
