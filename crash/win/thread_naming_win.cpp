#include "crash/win/thread_naming_win.h"

#include <cstddef>
#include <string>

#include "crash/win/registry_host_win.h"
#include "trace/system/win/try_read_memory_win.h"

namespace crash {

namespace {

PVOID g_listener = nullptr;

LONG CALLBACK NamingListener(EXCEPTION_POINTERS* pointers) {
  if (pointers == nullptr || pointers->ExceptionRecord == nullptr ||
      pointers->ExceptionRecord->ExceptionCode != kThreadNamingCode) {
    return EXCEPTION_CONTINUE_SEARCH;
  }
  return CheckThreadNaming(pointers->ExceptionRecord) ? EXCEPTION_CONTINUE_EXECUTION
                                                      : EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

bool CheckThreadNaming(const EXCEPTION_RECORD* record) {
  EXCEPTION_RECORD copy{};
  constexpr uint32_t kHead = offsetof(EXCEPTION_RECORD, ExceptionInformation);
  if (record == nullptr || !trace::TryReadMemory(record, &copy, kHead)) return false;
  if (copy.ExceptionCode != kThreadNamingCode || copy.NumberParameters < 4) return false;
  if (!trace::TryReadMemory(&record->ExceptionInformation[0], copy.ExceptionInformation,
                            4 * sizeof(ULONG_PTR))) {
    return false;
  }
  const ULONG_PTR* parameters = copy.ExceptionInformation;
  if (parameters[0] != 0x1000 || parameters[3] != 0) return false;
  std::string name;
  const uint32_t text = static_cast<uint32_t>(parameters[1]);
  for (char c = 0; name.size() < kMaxAnnouncedName; name += c) {
    if (!trace::TryReadMemory(text + static_cast<uint32_t>(name.size()), &c, 1)) return false;
    if (c == '\0') break;
  }
  const uint32_t thread = static_cast<uint32_t>(parameters[2]);
  SetThreadName(thread == 0xFFFFFFFF ? GetCurrentThreadId() : thread, name);
  return true;
}

void InstallThreadNamingListener() {
  if (g_listener == nullptr) g_listener = AddVectoredExceptionHandler(1, NamingListener);
}

void RemoveThreadNamingListener() {
  if (g_listener != nullptr) RemoveVectoredExceptionHandler(g_listener);
  g_listener = nullptr;
}

}  // namespace crash
