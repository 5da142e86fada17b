// The system's answers for the bug report from the running process.
#include "crash/report/compose_report_win.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "crash/report/process_report_system_win.h"
#include "crash/report/report_composer.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_enumeration_win.h"
#include "trace/pe/file_version.h"
#include "trace/pe/win/file_version_win.h"
#include "trace/stack/win/progress_win.h"
#include "trace/stack/win/stack_trace_win.h"
#include "trace/system/win/os_info_win.h"
#include "trace/system/win/owned_handle_win.h"
#include "trace/system/win/system_resources_win.h"
#include "trace/text/system_text.h"

namespace crash {

namespace {

// How long a title lookup waits for the registry mutex.
constexpr DWORD kRegistryWaitMs = 50;
// The context parts a section reads: control, integer and segment registers.
constexpr DWORD kContextFlags = 0x10007;
// SM_REMOTESESSION.
constexpr int kRemoteSession = 0x1000;
// WTSClientName of WTS_INFO_CLASS.
constexpr int kWtsClientName = 10;

// Static initialisers run on the process's first thread.
const uint32_t g_main_thread_id = GetCurrentThreadId();

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

void* Pointer(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

template <class Fn>
Fn SystemRoutine(const char* module, const char* name) {
  const HMODULE handle = GetModuleHandleA(module);
  if (handle == nullptr) return nullptr;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(handle, name)));
}

// The process's registry seen through a lock that waits at most kRegistryWaitMs, read in
// whole pages kept for the one walk (under Wine every read of the process is a server round
// trip; the entries and their texts lie on a few heap pages). It only reads.
class BoundedRegistryHost : public RegistryHost {
 public:
  // True when the last Lock obtained the mutex.
  bool locked() const { return locked_; }

  uint32_t Block() override { return inner().Block(); }
  bool Lock() override {
    const HANDLE mutex = RegistryMutex();
    const DWORD wait = mutex != nullptr ? WaitForSingleObject(mutex, kRegistryWaitMs) : WAIT_FAILED;
    locked_ = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    return locked_;
  }
  void Unlock() override { ReleaseMutex(RegistryMutex()); }
  uint32_t Allocate(uint32_t) override { return 0; }
  void Free(uint32_t) override {}
  uint32_t AllocationSize(uint32_t allocation) override {
    // As the process's host: LocalSize would fault on a reference that can't be read.
    uint8_t probe = 0;
    if (allocation == 0 || !Read(allocation, &probe, 1)) return 0;
    return static_cast<uint32_t>(
        LocalSize(reinterpret_cast<HLOCAL>(static_cast<uintptr_t>(allocation))));
  }
  bool Read(uint32_t address, void* buffer, uint32_t count) override {
    if (count == 0) return true;
    if (address == 0 || address + count < address) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    while (count > 0) {
      const uint32_t page = address & ~(kPageSize - 1);
      const uint32_t offset = address - page;
      const uint32_t part = std::min(count, kPageSize - offset);
      const std::array<uint8_t, kPageSize>* bytes = Page(page);
      if (bytes == nullptr) return false;
      std::memcpy(out, bytes->data() + offset, part);
      out += part;
      address += part;
      count -= part;
    }
    return true;
  }
  bool Write(uint32_t, const void*, uint32_t) override { return false; }
  uint32_t DuplicateThreadHandle(uint32_t) override { return 0; }
  uint32_t OpenThreadHandle(uint32_t) override { return 0; }
  void CloseThreadHandle(uint32_t) override {}
  bool ThreadHasEnded(uint32_t handle) override { return inner().ThreadHasEnded(handle); }

 private:
  static constexpr uint32_t kPageSize = 4096;

  static RegistryHost& inner() { return ProcessRegistryHost(); }

  // The page at page, read once; null when it can't be read.
  const std::array<uint8_t, kPageSize>* Page(uint32_t page) {
    auto found = pages_.find(page);
    if (found == pages_.end()) {
      auto bytes = std::make_unique<std::array<uint8_t, kPageSize>>();
      if (!inner().Read(page, bytes->data(), kPageSize)) bytes.reset();
      found = pages_.emplace(page, std::move(bytes)).first;
    }
    return found->second.get();
  }

  bool locked_ = false;
  std::map<uint32_t, std::unique_ptr<std::array<uint8_t, kPageSize>>> pages_;
};

ReportDate DateOf(const SYSTEMTIME& time) {
  return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute};
}

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(module, path, MAX_PATH);
  return std::string(path, length < MAX_PATH ? length : MAX_PATH);
}

// The client of a remote session; none on any failure.
std::optional<std::string> WtsClientName() {
  using QueryFn = BOOL(WINAPI*)(HANDLE, DWORD, int, char**, DWORD*);
  using FreeFn = void(WINAPI*)(void*);
  if (GetSystemMetrics(kRemoteSession) == 0) return std::nullopt;
  const HMODULE library = LoadLibraryA("wtsapi32.dll");
  if (library == nullptr) return std::nullopt;
  std::optional<std::string> name;
  try {
    const auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(GetProcAddress(library, "WTSQuerySessionInformationA")));
    const auto free_memory =
        reinterpret_cast<FreeFn>(reinterpret_cast<void*>(GetProcAddress(library, "WTSFreeMemory")));
    char* buffer = nullptr;
    DWORD bytes = 0;
    if (query != nullptr && free_memory != nullptr &&
        query(nullptr, static_cast<DWORD>(-1), kWtsClientName, &buffer, &bytes) &&
        buffer != nullptr) {
      if (bytes > 1) {
        std::string text(buffer, bytes - 1);
        text.resize(std::min(text.find('\0'), text.size()));
        name = std::move(text);
      }
      free_memory(buffer);
    }
  } catch (...) {
    name.reset();
  }
  FreeLibrary(library);
  return name;
}

std::optional<uint64_t> UpTimeSeconds() {
  LARGE_INTEGER counter{};
  LARGE_INTEGER frequency{};
  if (!QueryPerformanceCounter(&counter) || !QueryPerformanceFrequency(&frequency) ||
      counter.QuadPart <= 0 || frequency.QuadPart <= 0) {
    return std::nullopt;
  }
  return static_cast<uint64_t>(counter.QuadPart / frequency.QuadPart);
}

// The physical memory in 64-bit counts where the system has them (GlobalMemoryStatus's
// 32-bit counts wrap or stop at 4 GB).
void PhysicalMemory(uint64_t& available, uint64_t& total) {
  using StatusExFn = BOOL(WINAPI*)(MEMORYSTATUSEX*);
  if (const auto status_ex = SystemRoutine<StatusExFn>("kernel32.dll", "GlobalMemoryStatusEx")) {
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (status_ex(&status)) {
      available = status.ullAvailPhys;
      total = status.ullTotalPhys;
      return;
    }
  }
  MEMORYSTATUS status{};
  status.dwLength = sizeof status;
  GlobalMemoryStatus(&status);
  available = status.dwAvailPhys;
  total = status.dwTotalPhys;
}

// The free bytes of a drive, GetDiskFreeSpaceExA looked up once per composition.
std::function<std::optional<int64_t>(char)> FreeDiskBytes() {
  using SpaceExFn = BOOL(WINAPI*)(const char*, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);
  const auto space_ex = SystemRoutine<SpaceExFn>("kernel32.dll", "GetDiskFreeSpaceExA");
  return [space_ex](char drive) -> std::optional<int64_t> {
    const char root[] = {drive, ':', '\\', '\0'};
    if (space_ex != nullptr) {
      ULARGE_INTEGER available{};
      ULARGE_INTEGER total{};
      ULARGE_INTEGER free_bytes{};
      if (!space_ex(root, &available, &total, &free_bytes)) return std::nullopt;
      return static_cast<int64_t>(free_bytes.QuadPart);
    }
    DWORD sectors = 0, bytes = 0, free_clusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(root, &sectors, &bytes, &free_clusters, &clusters)) {
      return std::nullopt;
    }
    return static_cast<int64_t>(uint64_t{sectors} * bytes * free_clusters);
  };
}

// The module that holds this code.
HMODULE ReporterModule() {
  MEMORY_BASIC_INFORMATION info{};
  if (VirtualQuery(reinterpret_cast<void*>(&ReporterModule), &info, sizeof info) != sizeof info) {
    return nullptr;
  }
  return static_cast<HMODULE>(info.AllocationBase);
}

class WinReportSystem : public ReportSystem {
 public:
  HeaderFacts Header() override {
    HeaderFacts facts;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    facts.now = DateOf(now);

    char text[MAX_PATH + 1] = {};
    DWORD size = MAX_PATH;
    if (GetComputerNameA(text, &size))
      facts.computer_name.assign(text, std::min<DWORD>(size, MAX_PATH));
    const trace::OsInfo os = trace::OperatingSystem();
    if (os.is_nt) facts.wts_client_name = WtsClientName();
    size = MAX_PATH;
    if (GetUserNameA(text, &size) && size > 0) {
      facts.user_name.assign(text, std::min<DWORD>(size - 1, MAX_PATH));  // size counts the 0
      facts.user_name.resize(std::min(facts.user_name.find('\0'), facts.user_name.size()));
    }
    facts.os_description = os.description;
    facts.os_build = os.build;
    const int language = GetLocaleInfoA(0x800, 0x1001, text, sizeof text);
    if (language > 0) facts.system_language = std::string(text, static_cast<size_t>(language - 1));
    facts.up_time_seconds = UpTimeSeconds();
    PhysicalMemory(facts.available_physical, facts.total_physical);
    facts.is_9x = os.is_9x;
    if (os.is_9x) {
      facts.free_gdi_percent = trace::FreeSystemResources(trace::SystemResource::kGdi);
      facts.free_user_percent = trace::FreeSystemResources(trace::SystemResource::kUser);
    }
    const UINT windows = GetWindowsDirectoryA(text, MAX_PATH);
    if (windows > 0 && windows < MAX_PATH) facts.windows_directory.assign(text, windows);
    facts.executable_path = ModulePath(nullptr);
    facts.free_disk_bytes = FreeDiskBytes();
    facts.decimal_point = trace::LocaleDecimalPoint();
    facts.process_id = GetCurrentProcessId();
    if (const char* line = GetCommandLineA()) facts.command_line = line;
    facts.module_path = ModulePath(ReporterModule());

    WIN32_FIND_DATAA found{};
    const HANDLE search = FindFirstFileA(facts.module_path.c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
      FindClose(search);
      FILETIME local{};
      SYSTEMTIME written{};
      if (FileTimeToLocalFileTime(&found.ftLastWriteTime, &local) &&
          FileTimeToSystemTime(&local, &written)) {
        facts.module_date = DateOf(written);
      }
      facts.module_version = trace::FileVersion(facts.module_path);
    }
    return facts;
  }

  uint32_t MainThreadId() override { return g_main_thread_id; }

  std::vector<uint32_t> Threads() override { return EnumerateProcessThreads(); }

  ThreadLookup LookUpThread(uint32_t thread_id) override {
    // The list is read once for the composition, under one hold of the mutex: the threads
    // that could change it are paused. A lock not obtained within its time gives plain
    // titles for the whole composition rather than one wait per title.
    if (!registry_) {
      registry_.emplace();
      BoundedRegistryHost host;
      if (host.Block() != 0) {
        registry_->entries = ReadThreadRegistry(host);
        registry_->available = host.locked();
      }
    }
    ThreadLookup lookup;
    lookup.registry_available = registry_->available;
    if (!lookup.registry_available) return lookup;
    for (const RegisteredThread& entry : registry_->entries) {
      if (entry.thread_id == thread_id) {
        lookup.entry = entry;
        break;
      }
    }
    return lookup;
  }

  std::optional<ThreadContextFacts> ThreadContext(uint32_t thread_id) override {
    if (thread_id == GetCurrentThreadId()) {
      // The composing thread's own context would be a snapshot of a running thread: it
      // is traced from where the trace is made instead.
      ThreadContextFacts facts;
      facts.calling_thread = true;
      MEMORY_BASIC_INFORMATION info{};
      if (VirtualQuery(&info, &info, sizeof info) != sizeof info) return std::nullopt;
      facts.stack_pointer = Address(&info);
      facts.stack_top = Address(info.BaseAddress) + static_cast<uint32_t>(info.RegionSize);
      return facts;
    }
    const trace::OwnedHandle thread(OpenThreadById(thread_id, THREAD_GET_CONTEXT));
    if (!thread.valid()) return std::nullopt;
    CONTEXT context{};
    context.ContextFlags = kContextFlags;
    if (!GetThreadContext(thread.get(), &context)) return std::nullopt;
    MEMORY_BASIC_INFORMATION info{};
    if (VirtualQuery(Pointer(context.Esp), &info, sizeof info) != sizeof info) return std::nullopt;
    ThreadContextFacts facts;
    facts.stack_pointer = context.Esp;
    facts.stack_top = Address(info.BaseAddress) + static_cast<uint32_t>(info.RegionSize);
    facts.instruction_pointer = context.Eip;
    return facts;
  }

  StackTraceAnswer TraceStack(const StackTraceCall& call, trace::TProgress* progress) override {
    void* exception_address = nullptr;
    void* function_entry = nullptr;
    StackTraceAnswer answer;
    if (call.calling_thread) {
      answer.text = trace::StackTrace(
          call.hide_items_without_lines, call.relative_addresses,
          call.exception_thread ? Pointer(call.current_address) : nullptr, call.exception_thread,
          call.external_exception, nullptr, nullptr, Pointer(call.thread_start), &exception_address,
          &function_entry, progress);
    } else {
      const trace::StackCopy copy{call.stack_copy_base, call.stack_copy};
      answer.text = trace::StackTrace(
          call.hide_items_without_lines, call.relative_addresses, Pointer(call.current_address),
          call.exception_thread, call.external_exception, Pointer(call.stack_begin),
          Pointer(call.stack_end), Pointer(call.thread_start), &exception_address, &function_entry,
          progress, call.stack_copy.empty() ? nullptr : &copy);
    }
    answer.exception_address = Address(exception_address);
    answer.function_entry = Address(function_entry);
    return answer;
  }

  std::vector<ModuleRecord> Modules() override {
    std::vector<ModuleRecord> modules;
    const HANDLE process = GetCurrentProcess();
    uint32_t at = 0;
    uint32_t previous_allocation = 0;
    for (;;) {
      MEMORY_BASIC_INFORMATION info{};
      if (VirtualQueryEx(process, Pointer(at), &info, sizeof info) != sizeof info) break;
      const uint32_t base = Address(info.BaseAddress);
      const uint32_t allocation = Address(info.AllocationBase);
      if (info.State == MEM_COMMIT && allocation == base && allocation != previous_allocation) {
        char path[MAX_PATH + 1];
        const DWORD length =
            GetModuleFileNameA(static_cast<HMODULE>(info.AllocationBase), path, MAX_PATH);
        if (length > 0) {
          ModuleRecord module;
          module.base = base;
          SplitModulePath(std::string(path, std::min<DWORD>(length, MAX_PATH)), module.directory,
                          module.name);
          const uint64_t version = trace::FileVersion(std::string(path, length));
          if (version != 0) module.version = trace::FileVersionText(version);
          modules.push_back(std::move(module));
        }
      }
      previous_allocation = allocation;
      const uint32_t next = base + static_cast<uint32_t>(info.RegionSize);
      if (next <= at) break;  // the last region ends at 4 GB
      at = next;
    }
    return modules;
  }

  trace::ProgressSystem Progress() override { return trace::WindowsProgressSystem(); }

 private:
  // The registry as the composition's first look-up found it.
  struct RegistrySnapshot {
    bool available = false;
    std::vector<RegisteredThread> entries;
  };
  std::optional<RegistrySnapshot> registry_;
};

}  // namespace

std::unique_ptr<ReportSystem> MakeProcessReportSystem() {
  return std::make_unique<WinReportSystem>();
}

std::string ComposeBugReport(const ActiveSettings& settings, const ComposeRequest& request) {
  try {
    WinReportSystem system;
    return ComposeReport(settings, request, system);
  } catch (...) {
    return {};
  }
}

}  // namespace crash
