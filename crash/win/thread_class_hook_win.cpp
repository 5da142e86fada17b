#include "crash/win/thread_class_hook_win.h"

#include <windows.h>

#include <cxxabi.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <typeinfo>

#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_exception_seam_win.h"
#include "framework/guard.h"
#include "framework/thread.h"
#include "trace/system/win/try_read_memory_win.h"

namespace crash {

namespace {

// Reaches TThread's protected members: Execute's slot and the return value.
class ThreadAccess : public fw::TThread {
 public:
  static uint32_t ExecuteSlotOffset() {
    // A pointer to a virtual member function holds 1 + the slot's byte offset in the
    // virtual table (the Itanium C++ ABI that this compiler follows).
    const auto member = &ThreadAccess::Execute;
    uint32_t word = 0;
    static_assert(sizeof(member) >= sizeof(word));
    std::memcpy(&word, &member, sizeof(word));
    return (word & 1) != 0 ? word - 1 : 0xFFFFFFFF;
  }
  static void SetReturnValueOf(fw::TThread* thread, int value) {
    (thread->*&ThreadAccess::SetReturnValue)(value);
  }
};

// The body of a class: called like a member function, the object in ECX.
using Body = void(__attribute__((thiscall)) *)(fw::TThread*);

// A wrapped class: its virtual table and the body its slot held.
struct WrappedClass {
  uint32_t table = 0;
  uint32_t body = 0;
};

constexpr int kMaxWrappedClasses = 256;
std::array<WrappedClass, kMaxWrappedClasses> g_wrapped;
// Entries below the count are complete: a writer fills an entry before counting it.
std::atomic<int> g_wrapped_count{0};

bool Read32(uint32_t address, uint32_t& value) {
  return trace::TryReadMemory(address, &value, 4);
}

uint32_t AddressOf(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// The word that the type descriptions of a kind of class begin with.
uint32_t KindOf(const std::type_info& type) {
  uint32_t kind = 0;
  std::memcpy(&kind, &type, sizeof(kind));
  return kind;
}

// A zero-terminated text at address, at most 255 bytes, read with guarded reads.
bool ReadName(uint32_t address, std::string& text) {
  text.clear();
  char chunk[16];
  while (text.size() < 256) {
    if (!trace::TryReadMemory(address + static_cast<uint32_t>(text.size()), chunk, 1)) return false;
    if (chunk[0] == '\0') return true;
    text += chunk[0];
  }
  return false;
}

std::string WithoutNamespaces(const std::string& name) {
  int depth = 0;
  size_t start = 0;
  for (size_t i = 0; i + 1 < name.size(); ++i) {
    if (name[i] == '<') ++depth;
    if (name[i] == '>') --depth;
    if (depth == 0 && name[i] == ':' && name[i + 1] == ':') start = i + 2;
  }
  return name.substr(start);
}

std::string Demangled(const std::string& mangled) {
  int status = 0;
  char* readable = abi::__cxa_demangle(mangled.c_str(), nullptr, nullptr, &status);
  std::string name = status == 0 && readable != nullptr ? readable : mangled;
  std::free(readable);
  return WithoutNamespaces(name);
}

uint32_t WrappedBodyOf(uint32_t table) {
  const int count = g_wrapped_count.load(std::memory_order_acquire);
  for (int i = 0; i < count; ++i) {
    if (g_wrapped[i].table == table) return g_wrapped[i].body;
  }
  return 0;
}

bool WriteSlot(uint32_t slot, uint32_t value) {
  void* address = reinterpret_cast<void*>(static_cast<uintptr_t>(slot));
  DWORD old = 0;
  if (!VirtualProtect(address, 4, PAGE_READWRITE, &old)) return false;
  InterlockedExchange(static_cast<volatile LONG*>(address), static_cast<LONG>(value));
  DWORD ignored = 0;
  VirtualProtect(address, 4, old, &ignored);
  return true;
}

// Runs the body of the object's class inside a guarded block; reached through the class's
// Execute slot, the object in ECX as for Execute itself.
__attribute__((thiscall)) void BodyWrapper(fw::TThread* thread) {
  uint32_t table = 0;
  std::memcpy(&table, thread, sizeof(table));
  const uint32_t body = WrappedBodyOf(table);
  try {
    fw::ExternalExceptionScope scope;
    if (body != 0) reinterpret_cast<Body>(static_cast<uintptr_t>(body))(thread);
  } catch (...) {
    ReportEscapedThreadException(AddressOf(__builtin_frame_address(0)));
    ThreadAccess::SetReturnValueOf(thread, -1);
    RemoveThread(GetCurrentThreadId());
    // The thread object keeps it as its FatalException, as without the wrapper.
    throw;
  }
  RemoveThread(GetCurrentThreadId());
}

}  // namespace

bool IdentifyThreadObject(uint32_t object, std::string& class_name) {
  static const uint32_t root = AddressOf(&typeid(fw::TObject));
  static const uint32_t thread_class = AddressOf(&typeid(fw::TThread));
  static const uint32_t single_base_kind = KindOf(typeid(fw::TThread));
  uint32_t table = 0;
  uint32_t type = 0;
  if (object == 0 || !Read32(object, table) || !Read32(table - 4, type) || type == 0) return false;
  const uint32_t own_type = type;
  uint32_t below_root = 0;
  for (int step = 0; step < kMaxClassChainSteps && type != root; ++step) {
    uint32_t kind = 0;
    uint32_t base = 0;
    // A class with one public non-virtual base: { kind, name, base }.
    if (!Read32(type, kind) || kind != single_base_kind || !Read32(type + 8, base)) return false;
    below_root = type;
    type = base;
  }
  if (type != root || below_root != thread_class) return false;
  uint32_t name = 0;
  std::string mangled;
  if (!Read32(own_type + 4, name) || !ReadName(name, mangled)) return false;
  // A name that starts with "*" is local to its unit.
  if (!mangled.empty() && mangled[0] == '*') mangled.erase(0, 1);
  class_name = Demangled(mangled);
  return true;
}

bool WrapThreadBody(uint32_t object) {
  static const uint32_t slot_offset = ThreadAccess::ExecuteSlotOffset();
  const uint32_t wrapper = AddressOf(reinterpret_cast<const void*>(&BodyWrapper));
  uint32_t table = 0;
  uint32_t body = 0;
  static const uint32_t thread_class = AddressOf(&typeid(fw::TThread));
  uint32_t type = 0;
  // TThread's own table (an object being destroyed before it ever ran) has no body.
  if (slot_offset == 0xFFFFFFFF || !Read32(object, table) || !Read32(table - 4, type) ||
      type == thread_class || !Read32(table + slot_offset, body)) {
    return false;
  }
  if (body == wrapper) return true;
  const HANDLE mutex = ThreadClassMutex();
  if (mutex == nullptr) return false;
  WaitForSingleObject(mutex, INFINITE);
  bool wrapped = false;
  // Checked again: another thread may have wrapped the class meanwhile.
  if (Read32(table + slot_offset, body) && body == wrapper) {
    wrapped = true;
  } else if (const int count = g_wrapped_count.load(); count < kMaxWrappedClasses) {
    g_wrapped[count] = {table, body};
    g_wrapped_count.store(count + 1, std::memory_order_release);
    wrapped = WriteSlot(table + slot_offset, wrapper);
  }
  ReleaseMutex(mutex);
  return wrapped;
}

void UnwrapThreadBodies() {
  static const uint32_t slot_offset = ThreadAccess::ExecuteSlotOffset();
  const uint32_t wrapper = AddressOf(reinterpret_cast<const void*>(&BodyWrapper));
  const HANDLE mutex = ThreadClassMutex();
  if (mutex != nullptr) WaitForSingleObject(mutex, INFINITE);
  // The table keeps its entries: a body already inside the wrapper still finds its own.
  const int count = g_wrapped_count.load();
  for (int i = 0; i < count; ++i) {
    uint32_t body = 0;
    if (Read32(g_wrapped[i].table + slot_offset, body) && body == wrapper) {
      WriteSlot(g_wrapped[i].table + slot_offset, g_wrapped[i].body);
    }
  }
  if (mutex != nullptr) ReleaseMutex(mutex);
}

}  // namespace crash
