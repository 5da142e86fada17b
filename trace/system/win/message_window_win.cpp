#include "trace/system/win/message_window_win.h"

#include <atomic>
#include <string>
#include <vector>

#include "trace/text/number_text.h"

namespace trace {
namespace {

// The system-wide messages that reach the handlers; every message from
// kFirstDispatchedMessage upwards does too.
constexpr UINT kSystemWideMessages[] = {
    0x11, 0x12, 0x15, 0x16, 0x17, 0x1A, 0x1B, 0x1C, 0x1D,
    0x1E, 0x2A, 0x41, 0x48, 0x50, 0x51, 0x54, 0x7E,
};
constexpr UINT kFirstDispatchedMessage = 0x218;

struct HandlerEntry {
  UINT message = 0;
  MessageHandler handler;
  uintptr_t key1 = 0;
  uintptr_t key2 = 0;

  bool SameRegistration(const MessageHandler& other, uintptr_t other_key1,
                        uintptr_t other_key2) const {
    return handler.function == other.function && handler.object == other.object &&
           key1 == other_key1 && key2 == other_key2;
  }
};

struct ThreadWindow {
  DWORD thread_id = 0;
  HWND window = nullptr;
  std::vector<HandlerEntry> handlers;
};

// The registry: one list per thread, under the registry mutex.
std::vector<ThreadWindow>& Registry() {
  static std::vector<ThreadWindow> registry;
  return registry;
}

std::atomic<HANDLE> registry_mutex{nullptr};

// "$" hex of the calling thread's id and of this routine's own code address.
std::string NameSuffix() {
  return FormatHex(GetCurrentThreadId()) +
         FormatHex(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(&NameSuffix)));
}

// The registry mutex, created on first use; a thread that loses the race to create it
// closes its own handle and uses the winner's.
HANDLE RegistryMutex() {
  HANDLE mutex = registry_mutex.load();
  if (mutex != nullptr) return mutex;
  const std::string name = "kivToolsMsgHandlerMutex" + NameSuffix();
  HANDLE created = CreateMutexA(nullptr, FALSE, name.c_str());
  if (created == nullptr) return nullptr;
  HANDLE expected = nullptr;
  if (!registry_mutex.compare_exchange_strong(expected, created)) {
    CloseHandle(created);
    return expected;
  }
  return created;
}

// Holds the registry mutex for its lifetime.
class RegistryLock {
 public:
  RegistryLock() : mutex_(RegistryMutex()) {
    if (mutex_ != nullptr) WaitForSingleObject(mutex_, INFINITE);
  }
  ~RegistryLock() {
    if (mutex_ != nullptr) ReleaseMutex(mutex_);
  }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;

 private:
  HANDLE mutex_;
};

bool IsDispatched(UINT message) {
  if (message >= kFirstDispatchedMessage) return true;
  for (UINT system_wide : kSystemWideMessages) {
    if (message == system_wide) return true;
  }
  return false;
}

LRESULT CALLBACK MessageWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  LRESULT result = DefWindowProcA(window, message, wparam, lparam);
  if (!IsDispatched(message)) return result;
  std::vector<HandlerEntry> handlers;
  try {
    RegistryLock lock;
    for (const ThreadWindow& entry : Registry()) {
      if (entry.window == window) {
        handlers = entry.handlers;
        break;
      }
    }
  } catch (...) {
    return result;  // no C++ exception may unwind into the system's frames
  }
  for (const HandlerEntry& entry : handlers) {
    if (entry.message != message || entry.handler.function == nullptr) continue;
    try {
      entry.handler.function(entry.handler.object, window, message, wparam, lparam, result);
    } catch (...) {
    }
  }
  return result;
}

// The calling thread's new message window; null when it cannot be made.
HWND CreateMessageWindow() {
  const std::string class_name = "kivToolsMsgHandlerWindow" + NameSuffix();
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = &MessageWindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = class_name.c_str();
  if (RegisterClassA(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    return nullptr;
  return CreateWindowExA(WS_EX_TOOLWINDOW, class_name.c_str(), "", WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, instance, nullptr);
}

DWORD ThreadOrCaller(DWORD thread_id) {
  return thread_id != 0 ? thread_id : GetCurrentThreadId();
}

// The thread's entry, made with a new window when the thread is the caller; under the lock.
ThreadWindow* FindOrCreate(DWORD thread_id) {
  const bool own_thread = thread_id == GetCurrentThreadId();
  for (ThreadWindow& entry : Registry()) {
    if (entry.thread_id != thread_id) continue;
    // A window that ended with an earlier thread of the same id is made anew.
    if (own_thread && !IsWindow(entry.window)) {
      HWND window = CreateMessageWindow();
      if (window == nullptr) return nullptr;
      entry.window = window;
      entry.handlers.clear();
    }
    return &entry;
  }
  if (!own_thread) return nullptr;
  HWND window = CreateMessageWindow();
  if (window == nullptr) return nullptr;
  Registry().push_back({thread_id, window, {}});
  return &Registry().back();
}

}  // namespace

HWND MessageWindow(DWORD thread_id) {
  try {
    RegistryLock lock;
    ThreadWindow* entry = FindOrCreate(ThreadOrCaller(thread_id));
    return entry != nullptr ? entry->window : nullptr;
  } catch (...) {
    return nullptr;
  }
}

UINT AddMessageHandler(MessageHandler handler, UINT message, DWORD thread_id, uintptr_t key1,
                       uintptr_t key2) {
  try {
    RegistryLock lock;
    ThreadWindow* entry = FindOrCreate(ThreadOrCaller(thread_id));
    if (entry == nullptr) return 0;
    if (message == 0) {
      const auto used = [entry](UINT number) {
        for (const HandlerEntry& existing : entry->handlers) {
          if (existing.message == number) return true;
        }
        return false;
      };
      message = kFirstFreeMessage;
      while (used(message)) {
        if (++message == 0) return 0;  // every number is taken
      }
    } else {
      for (const HandlerEntry& existing : entry->handlers) {
        if (existing.message == message && existing.SameRegistration(handler, key1, key2)) return 0;
      }
    }
    entry->handlers.push_back({message, handler, key1, key2});
    return message;
  } catch (...) {
    return 0;
  }
}

void RemoveMessageHandler(MessageHandler handler, UINT message, DWORD thread_id, uintptr_t key1,
                          uintptr_t key2) {
  try {
    RegistryLock lock;
    const DWORD thread = ThreadOrCaller(thread_id);
    std::vector<ThreadWindow>& registry = Registry();
    for (std::size_t t = 0; t < registry.size(); ++t) {
      if (registry[t].thread_id != thread) continue;
      std::vector<HandlerEntry>& handlers = registry[t].handlers;
      for (std::size_t i = 0; i < handlers.size();) {
        if ((message == 0 || handlers[i].message == message) &&
            handlers[i].SameRegistration(handler, key1, key2)) {
          handlers[i] = handlers.back();  // the last entry takes the removed one's place
          handlers.pop_back();
        } else {
          ++i;
        }
      }
      HWND window = registry[t].window;
      if (handlers.empty() && IsWindow(window)) {
        registry[t] = std::move(registry.back());
        registry.pop_back();
        if (thread == GetCurrentThreadId()) {
          DestroyWindow(window);
        } else {
          PostMessageA(window, WM_CLOSE, 0, 0);
        }
      }
      return;
    }
  } catch (...) {
  }
}

}  // namespace trace
