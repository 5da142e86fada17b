#include "crash/win/thread_hooks_win.h"

#include <algorithm>
#include <string>
#include <vector>

#include "crash/win/creation_point_win.h"
#include "crash/win/import_patch_win.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/thread_class_hook_win.h"
#include "crash/win/thread_exception_seam_win.h"
#include "framework/guard.h"
#include "trace/pe/win/module_info_win.h"

namespace crash {

namespace {

using CreateThreadFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE,
                                       LPVOID, DWORD, LPDWORD);
using BeginThreadExFn = uintptr_t(__cdecl*)(void*, unsigned, unsigned(__stdcall*)(void*), void*,
                                            unsigned, unsigned*);
using BeginThreadFn = uintptr_t(__cdecl*)(void(__cdecl*)(void*), unsigned, void*);

// The saved routines; null until InstallThreadHooks.
CreateThreadFn g_create_thread = nullptr;
BeginThreadExFn g_begin_thread_ex = nullptr;
BeginThreadFn g_begin_thread = nullptr;
using ExitThreadFn = void(WINAPI*)(DWORD);
ExitThreadFn g_exit_thread = nullptr;

// The creation address learnt by a _beginthread hook for the CreateThread call it makes.
thread_local uint32_t t_pending_creation_point = 0;

uint32_t AddressOf(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// What the start wrapper needs: the real start routine and its parameter, and for a thread
// object what its creation recorded.
struct StartRecord {
  LPTHREAD_START_ROUTINE start;
  LPVOID parameter;
  bool thread_object;       // the parameter is a framework thread object
  uint32_t creator_id;      // the creating thread
  uint32_t creation_point;  // the creation address
};

// A thread object's class is known only once its constructors have all run: while the
// framework's constructor creates the thread, the object is still a plain TThread. It runs
// its thread only after that (it creates it suspended), so the class is read here.
void RegisterThreadObjectClass(const StartRecord& record) {
  std::string class_name;
  const uint32_t object = AddressOf(record.parameter);
  if (!IdentifyThreadObject(object, class_name)) return;
  WrapThreadBody(object);
  RegisterCreatedThread(GetCurrentThreadId(), nullptr, record.creator_id, record.creation_point,
                        class_name);
}

uint32_t ExportOf(const char* module, const char* name) {
  const HMODULE handle = GetModuleHandleA(module);
  return handle == nullptr ? 0 : trace::ModuleExportByName(AddressOf(handle), name);
}

DWORD WINAPI StartWrapper(LPVOID argument) {
  const StartRecord record = *static_cast<StartRecord*>(argument);
  delete static_cast<StartRecord*>(argument);
  if (record.thread_object) RegisterThreadObjectClass(record);
  DWORD result = 0;
  try {
    fw::ExternalExceptionScope scope;
    result = record.start(record.parameter);
  } catch (...) {
    ReportEscapedThreadException(AddressOf(__builtin_frame_address(0)));
    result = static_cast<DWORD>(-1);
  }
  RemoveThread(GetCurrentThreadId());
  return result;
}

uintptr_t __cdecl BeginThreadExHook(void* security, unsigned stack_size,
                                    unsigned(__stdcall* start)(void*), void* parameter,
                                    unsigned flags, unsigned* thread_id) {
  t_pending_creation_point = CreationPoint(AddressOf(__builtin_return_address(0)), 0);
  const uintptr_t result =
      g_begin_thread_ex(security, stack_size, start, parameter, flags, thread_id);
  t_pending_creation_point = 0;
  return result;
}

// A thread that ends through ExitThread never returns to its start wrapper: the C
// runtime's own start routines (_beginthreadex, and so std::thread) end that way.
void WINAPI ExitThreadHook(DWORD exit_code) {
  RemoveThread(GetCurrentThreadId());
  g_exit_thread(exit_code);
}

uintptr_t __cdecl BeginThreadHook(void(__cdecl* start)(void*), unsigned stack_size,
                                  void* parameter) {
  t_pending_creation_point = CreationPoint(AddressOf(__builtin_return_address(0)), 0);
  const uintptr_t result = g_begin_thread(start, stack_size, parameter);
  t_pending_creation_point = 0;
  return result;
}

// The modules to patch: all of them when the reporter is in the executable, except the
// system's own thread-creation chain: kernel32's CreateThread may itself call kernelbase's
// through its import table, and the wrapper calling the saved routine would then come
// back into itself.
std::vector<uint32_t> ModulesToPatch(uint32_t own_module) {
  if (own_module != AddressOf(GetModuleHandleA(nullptr))) return {own_module};
  std::vector<uint32_t> modules = ProcessModules();
  for (const char* chain : {"kernel32.dll", "kernelbase.dll", "ntdll.dll"}) {
    const uint32_t module = AddressOf(GetModuleHandleA(chain));
    modules.erase(std::remove(modules.begin(), modules.end(), module), modules.end());
  }
  return modules;
}

uint32_t OwnModule() {
  const auto module = trace::ModuleOfAddress(AddressOf(reinterpret_cast<void*>(&StartWrapper)));
  return module ? module->handle : AddressOf(GetModuleHandleA(nullptr));
}

void TellInvalidImportTable() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, sizeof(path));
  std::string title = path;
  title.erase(0, title.find_last_of("\\/") + 1);
  MessageBoxA(nullptr,
              "The import table is invalid.\r\n\r\nThis way kestrapon can't install the thread "
              "hooks.",
              title.c_str(), MB_OK | MB_ICONERROR);
}

// The addresses a slot may hold for CreateThread: kernel32's export and, where the system
// has it, kernelbase's (modules importing through API sets are bound to that one).
std::vector<uint32_t> CreateThreadAddresses() {
  std::vector<uint32_t> addresses{AddressOf(reinterpret_cast<void*>(g_create_thread))};
  if (const uint32_t base = ExportOf("kernelbase.dll", "CreateThread");
      base != 0 && base != addresses[0]) {
    addresses.push_back(base);
  }
  return addresses;
}

}  // namespace

HANDLE WINAPI CreateThreadHook(LPSECURITY_ATTRIBUTES security, SIZE_T stack_size,
                               LPTHREAD_START_ROUTINE start, LPVOID parameter, DWORD flags,
                               LPDWORD thread_id) {
  uint32_t creation_point = t_pending_creation_point;
  t_pending_creation_point = 0;
  std::string class_name;
  const bool thread_object =
      parameter != nullptr && IdentifyThreadObject(AddressOf(parameter), class_name);
  if (creation_point == 0) {
    // A thread object's constructor is stepped over too.
    creation_point = CreationPoint(AddressOf(__builtin_return_address(0)), thread_object ? 1 : 0);
  }
  const uint32_t creator = GetCurrentThreadId();
  auto* record =
      new (std::nothrow) StartRecord{start, parameter, thread_object, creator, creation_point};
  if (record == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  // Created suspended and registered before it runs, so that a short thread can't end
  // before its entry exists (which would leave an entry of an ended thread behind).
  DWORD id = 0;
  const HANDLE handle =
      g_create_thread(security, stack_size, StartWrapper, record, flags | CREATE_SUSPENDED, &id);
  if (handle == nullptr) {
    const DWORD error = GetLastError();
    delete record;
    SetLastError(error);
    return nullptr;
  }
  if (thread_id != nullptr) *thread_id = id;
  RegisterCreatedThread(id, handle, creator, creation_point, class_name);
  if ((flags & CREATE_SUSPENDED) == 0) ResumeThread(handle);
  return handle;
}

void InstallThreadHooks() {
  if (g_create_thread == nullptr) {
    g_create_thread = reinterpret_cast<CreateThreadFn>(
        static_cast<uintptr_t>(ExportOf("kernel32.dll", "CreateThread")));
  }
  if (g_create_thread == nullptr) return;
  const uint32_t own = OwnModule();
  const std::vector<uint32_t> create_thread = CreateThreadAddresses();
  if (g_exit_thread == nullptr) {
    g_exit_thread = reinterpret_cast<ExitThreadFn>(
        static_cast<uintptr_t>(ExportOf("kernel32.dll", "ExitThread")));
  }
  std::vector<uint32_t> exit_thread;
  if (g_exit_thread != nullptr) {
    exit_thread.push_back(AddressOf(reinterpret_cast<void*>(g_exit_thread)));
    if (const uint32_t base = ExportOf("kernelbase.dll", "ExitThread");
        base != 0 && base != exit_thread[0]) {
      exit_thread.push_back(base);
    }
    if (const uint32_t rtl = ExportOf("ntdll.dll", "RtlExitUserThread");
        rtl != 0 && std::find(exit_thread.begin(), exit_thread.end(), rtl) == exit_thread.end()) {
      exit_thread.push_back(rtl);
    }
  }
  const uint32_t msvcrt = AddressOf(GetModuleHandleA("msvcrt.dll"));
  if (msvcrt != 0 && g_begin_thread_ex == nullptr) {
    g_begin_thread_ex = reinterpret_cast<BeginThreadExFn>(
        static_cast<uintptr_t>(trace::ModuleExportByName(msvcrt, "_beginthreadex")));
    g_begin_thread = reinterpret_cast<BeginThreadFn>(
        static_cast<uintptr_t>(trace::ModuleExportByName(msvcrt, "_beginthread")));
  }
  const uint32_t begin_ex = AddressOf(reinterpret_cast<void*>(g_begin_thread_ex));
  const uint32_t begin = AddressOf(reinterpret_cast<void*>(g_begin_thread));
  for (const uint32_t module : ModulesToPatch(own)) {
    const ImportPatchResult result = PatchImportSlots(
        module, create_thread, AddressOf(reinterpret_cast<void*>(&CreateThreadHook)));
    if (result.invalid && module == own) TellInvalidImportTable();
    if (!exit_thread.empty()) {
      PatchImportSlots(module, exit_thread, AddressOf(reinterpret_cast<void*>(&ExitThreadHook)));
    }
    if (module == msvcrt) continue;
    if (begin_ex != 0) {
      const uint32_t from[] = {begin_ex};
      PatchImportSlots(module, from, AddressOf(reinterpret_cast<void*>(&BeginThreadExHook)));
    }
    if (begin != 0) {
      const uint32_t from[] = {begin};
      PatchImportSlots(module, from, AddressOf(reinterpret_cast<void*>(&BeginThreadHook)));
    }
  }
}

void RemoveThreadHooks() {
  if (g_create_thread == nullptr) return;
  const uint32_t hook[] = {AddressOf(reinterpret_cast<void*>(&CreateThreadHook))};
  const uint32_t begin_ex_hook[] = {AddressOf(reinterpret_cast<void*>(&BeginThreadExHook))};
  const uint32_t begin_hook[] = {AddressOf(reinterpret_cast<void*>(&BeginThreadHook))};
  for (const uint32_t module : ModulesToPatch(OwnModule())) {
    PatchImportSlots(module, hook, AddressOf(reinterpret_cast<void*>(g_create_thread)));
    if (g_begin_thread_ex != nullptr) {
      PatchImportSlots(module, begin_ex_hook,
                       AddressOf(reinterpret_cast<void*>(g_begin_thread_ex)));
    }
    if (g_begin_thread != nullptr) {
      PatchImportSlots(module, begin_hook, AddressOf(reinterpret_cast<void*>(g_begin_thread)));
    }
  }
  if (g_exit_thread != nullptr) {
    const uint32_t exit_hook[] = {AddressOf(reinterpret_cast<void*>(&ExitThreadHook))};
    for (const uint32_t module : ModulesToPatch(OwnModule())) {
      PatchImportSlots(module, exit_hook, AddressOf(reinterpret_cast<void*>(g_exit_thread)));
    }
  }
  UnwrapThreadBodies();
}

}  // namespace crash
