#include "crash/win/restart_win.h"

#include <array>
#include <cstring>

#include "crash/restart_block.h"

namespace crash {

void EndProcessNow() {
  // Terminating the own process does not return; should it fail, try again rather than
  // fall back on an exit that would run the runtime's finalisation.
  for (;;) {
    TerminateProcess(GetCurrentProcess(), 0);
    Sleep(1);
  }
}

namespace restart_detail {

HANDLE PublishRestartBlock(HANDLE new_process, uint32_t new_process_id, uint32_t old_process_id,
                           const ExceptionHistory& history) {
  char name[kRestartBlockNameSize];
  WriteRestartBlockName(new_process_id, name);
  // Default security: the block's handle value is trusted by the new instance, so other
  // users' processes must not be able to open and change it.
  HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      kRestartBlockBytes, name);
  if (mapping == nullptr) return nullptr;
  if (GetLastError() == ERROR_ALREADY_EXISTS) {
    // Someone else made a block under this name; writing into it would hand the new
    // instance their data.
    CloseHandle(mapping);
    return nullptr;
  }
  void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kRestartBlockBytes);
  if (view == nullptr) {
    CloseHandle(mapping);
    return nullptr;
  }
  RestartBlock block;
  block.old_process_id = old_process_id;
  HANDLE duplicate = nullptr;
  if (DuplicateHandle(GetCurrentProcess(), mapping, new_process, &duplicate, 0, FALSE,
                      DUPLICATE_SAME_ACCESS)) {
    block.mapping_handle = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(duplicate));
  }
  block.history = history;
  std::array<uint8_t, kRestartBlockBytes> bytes{};
  block.Write(bytes);
  std::memcpy(view, bytes.data(), bytes.size());
  UnmapViewOfFile(view);
  return mapping;
}

}  // namespace restart_detail

void StartNewInstance(const ExceptionHistory& history) {
  // CreateProcessA may write into its command line; give it a copy, in pages of its own:
  // other threads are paused and one of them may hold the heap's lock.
  const char* command_line = GetCommandLineA();
  const size_t size = std::strlen(command_line) + 1;
  char* buffer = static_cast<char*>(VirtualAlloc(nullptr, size, MEM_COMMIT, PAGE_READWRITE));
  if (buffer == nullptr) EndProcessNow();
  std::memcpy(buffer, command_line, size);
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (CreateProcessA(nullptr, buffer, nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                     &startup, &process)) {
    // The mapping handle stays open until this process ends, by which time the new
    // instance holds its duplicate.
    restart_detail::PublishRestartBlock(process.hProcess, process.dwProcessId,
                                        GetCurrentProcessId(), history);
    ResumeThread(process.hThread);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  EndProcessNow();
}

namespace {

uint64_t CreationTime(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return static_cast<uint64_t>(created.dwHighDateTime) << 32 | created.dwLowDateTime;
}

// The old instance opened for waiting, or null. The old instance created this process
// while it ran, so a process under its id that was created after this one has taken over
// the id of an old instance already gone: waiting for it could last for ever. When the
// creation times can't be read, the process is waited for as found.
HANDLE OpenOldInstance(DWORD old_id) {
  const HANDLE old = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, old_id);
  if (old == nullptr) return OpenProcess(SYNCHRONIZE, FALSE, old_id);
  const uint64_t old_created = CreationTime(old);
  const uint64_t own_created = CreationTime(GetCurrentProcess());
  if (old_created != 0 && own_created != 0 && old_created > own_created) {
    CloseHandle(old);
    return nullptr;
  }
  return old;
}

}  // namespace

ExceptionHistory AwaitPreviousInstance() {
  const DWORD own_id = GetCurrentProcessId();
  char name[kRestartBlockNameSize];
  WriteRestartBlockName(own_id, name);
  const HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name);
  if (mapping == nullptr) return {};
  ExceptionHistory history;
  // A block smaller than 88 bytes gives no view.
  if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, kRestartBlockBytes)) {
    std::array<uint8_t, kRestartBlockBytes> bytes{};
    std::memcpy(bytes.data(), view, bytes.size());
    UnmapViewOfFile(view);
    const RestartBlock block = RestartBlock::Read(bytes);
    // The old instance duplicated its mapping handle into this process; it is ours to
    // close (never the handle just opened, whatever the block says).
    const HANDLE duplicate = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(block.mapping_handle));
    if (duplicate != nullptr && duplicate != mapping) CloseHandle(duplicate);
    // Waiting for the own process would never end.
    if (block.old_process_id != own_id) {
      if (const HANDLE old = OpenOldInstance(block.old_process_id)) {
        WaitForSingleObject(old, INFINITE);
        CloseHandle(old);
      }
    }
    history = block.history;
  }
  CloseHandle(mapping);
  return history;
}

}  // namespace crash
