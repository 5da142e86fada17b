// The reporter's life and its handling thread: start-up and shut-down in their fixed
// order, ReportException (the request over the pipe, or inline), and the handling of one
// request (pause, history, composition, showing, the automatic steps, resume).
#include "crash/crash_reporter.h"

#include <windows.h>

#include <array>
#include <cstring>
#include <optional>
#include <span>

#include "crash/box/exception_box_win.h"
#include "crash/delivery/program_folders_win.h"
#include "crash/delivery/report_actions_win.h"
#include "crash/exception_request.h"
#include "crash/report/compose_report_win.h"
#include "crash/report/disassembly_section_win.h"
#include "crash/win/interception_win.h"
#include "crash/win/lock_probe_win.h"
#include "crash/win/registry_host_win.h"
#include "crash/win/restart_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_hooks_win.h"
#include "crash/win/thread_naming_win.h"
#include "crash/win/thread_pause_win.h"
#include "crash/win/watchdog_win.h"
#include "framework/guard.h"
#include "trace/text/ansi_text.h"
#include "trace/text/text_list.h"

namespace crash {

namespace {

// The reporter's state; one per module that carries the reporter.
struct Reporter {
  int use_count = 0;
  bool active = false;
  bool intercepting = false;  // interception and the shared block are ours to undo
  ActiveSettings settings;
  ExceptionHistory history;
  // The handling thread and its pipe.
  HANDLE thread = nullptr;
  DWORD thread_id = 0;
  HANDLE pipe_read = nullptr;
  HANDLE pipe_write = nullptr;
  ExceptionBoxFn box = nullptr;
};

// Built before the start-up object of reporter_startup_win.cpp (priority 102) runs.
Reporter g_reporter __attribute__((init_priority(101)));

// Whole seconds since 1601-01-01 UTC.
uint64_t SecondsNow() {
  FILETIME now;
  GetSystemTimeAsFileTime(&now);
  return (static_cast<uint64_t>(now.dwHighDateTime) << 32 | now.dwLowDateTime) / 10000000;
}

// The module this code is linked into.
HMODULE OwnModule() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(&OwnModule), &module);
  return module;
}

// The executable's subsystem is the console's.
bool IsConsoleProgram() {
  const auto* base = reinterpret_cast<const uint8_t*>(GetModuleHandleA(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(base + dos->e_lfanew);
  return nt->OptionalHeader.Subsystem == IMAGE_SUBSYSTEM_WINDOWS_CUI;
}

// Writes text to standard output as it is.
void WriteToStandardOutput(const std::string& text) {
  const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  if (out == nullptr || out == INVALID_HANDLE_VALUE) return;
  size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    if (!WriteFile(out, text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return;
    }
    done += written;
  }
}

// The message line: the box's text with %exceptMsg% replaced.
std::string MessageLine(const ActiveSettings& settings, bool frozen,
                        const ReportedException* exception) {
  std::string text(frozen ? settings.FrozenText : settings.ExceptionText);
  trace::ReplaceAll(text, "%exceptMsg%", ExceptionMessageOf(exception), true, false);
  return text;
}

// A window program whose box could not be made: the message in a system message box.
void ShowMessageBox(const ShownReport& shown) {
  MessageBoxA(nullptr, shown.message.c_str(), ExecutableFileName().c_str(),
              MB_OK | MB_ICONERROR | MB_TASKMODAL | MB_SETFOREGROUND);
}

// Shows the report: on standard output in a console program, else in the box.
void Show(const ShownReport& shown) {
  const ActiveSettings& settings = g_reporter.settings;
  if (settings.ConsoleOutput && IsConsoleProgram()) {
    std::string text = shown.message + "\r\n";
    if (settings.ShowDetailsInitially || !settings.ShowCaption.empty()) {
      text += "\r\n" + shown.report + "\r\n";
    }
    WriteToStandardOutput(text);
    return;
  }
  if (g_reporter.box) {
    g_reporter.box(shown);
  } else if (!RunExceptionBox(settings, shown.frozen, shown.can_continue, shown.report,
                              shown.address, shown.exception)) {
    // No window could be made: the message at least.
    ShowMessageBox(shown);
  }
}

// True when the class is one of the comma-separated names (case-insensitive, blanks
// around the names ignored).
bool ListedClass(std::string_view names, const std::string& class_name) {
  std::string list(names);
  trace::NormalizeList(list);
  return !list.empty() && trace::ListContains(list, class_name);
}

// The request's exception, read where the requester keeps it.
const ReportedException* RequestException(const ExceptionRequest& request) {
  return reinterpret_cast<const ReportedException*>(static_cast<uintptr_t>(request.exception));
}

void HandleExceptionRequest(const ExceptionRequest& request) noexcept {
  Reporter& reporter = g_reporter;
  const ActiveSettings& settings = reporter.settings;
  bool paused = false;
  try {
    DropEndedExemptThreads();
    if (!request.frozen && OwnModule() == GetModuleHandleA(nullptr) && settings.PauseOtherThreads) {
      PauseOtherThreads(true);
      paused = true;
    }
    const ReportedException* exception = RequestException(request);
    if (!exception || exception->ClassName() != "EAbort") {
      reporter.history.Push(SecondsNow());
      ShownReport shown;
      shown.frozen = request.frozen;
      shown.can_continue = request.can_continue;
      shown.message = MessageLine(settings, request.frozen, exception);
      shown.exception = exception;
      shown.address = request.address;
      if (!(exception && !settings.NoReportClasses.empty() &&
            ListedClass(settings.NoReportClasses, exception->ClassName()))) {
        ComposeRequest compose;
        compose.frozen = request.frozen;
        compose.exception = exception;
        compose.address = request.address;
        compose.thread_id = request.thread_id;
        compose.stack_frame = request.stack_frame;
        compose.handling_thread_id = reporter.thread_id;
        compose.watchdog_thread_id = WatchdogThreadId();
        // A fault inside the composition becomes an exception there, which the composer
        // turns into its closing line.
        fw::ExternalExceptionScope faults_raise;
        shown.report = ComposeBugReport(settings, compose);
      }
      if (settings.AutoSaveBugReport) SaveAction(shown.report, nullptr, true);
      if (settings.AutoMailBugReport) MailAction(shown.report, nullptr, true);
      const uint64_t now = SecondsNow();
      if (settings.ShowExceptionBox) {
        Show(shown);
      } else if (reporter.history.RuleHolds(settings.AutoClose, now)) {
        EndProcessNow();
      } else if (reporter.history.RuleHolds(settings.AutoRestart, now) || !request.can_continue) {
        StartNewInstance(reporter.history);
      }
    }
  } catch (...) {
    // Nothing of the handling may reach the handling thread's loop or the requester.
  }
  ResetWatchdogMisses();
  if (paused) ResumeOtherThreads(true);
}

DWORD WINAPI HandlingThread(void*) {
  for (;;) {
    uint8_t bytes[kRequestBytes];
    DWORD count = 0;
    if (!ReadFile(g_reporter.pipe_read, bytes, sizeof bytes, &count, nullptr)) break;
    const std::optional<ExceptionRequest> request =
        ExceptionRequest::Read(std::span<const uint8_t>(bytes, count));
    if (!request) continue;
    if (request->event == 0) break;
    HandleExceptionRequest(*request);
    SetEvent(reinterpret_cast<HANDLE>(static_cast<uintptr_t>(request->event)));
  }
  return 0;
}

bool StartHandlingThread() {
  Reporter& reporter = g_reporter;
  if (!CreatePipe(&reporter.pipe_read, &reporter.pipe_write, nullptr, 0)) return false;
  reporter.thread =
      CreateThread(nullptr, 0, HandlingThread, nullptr, CREATE_SUSPENDED, &reporter.thread_id);
  if (!reporter.thread) {
    CloseHandle(reporter.pipe_read);
    CloseHandle(reporter.pipe_write);
    reporter.pipe_read = reporter.pipe_write = nullptr;
    return false;
  }
  SetThreadName(reporter.thread_id, "-");
  SetThreadPriority(reporter.thread, THREAD_PRIORITY_HIGHEST);
  ResumeThread(reporter.thread);
  return true;
}

void StopHandlingThread() {
  Reporter& reporter = g_reporter;
  if (!reporter.thread) return;
  while (ResumeThread(reporter.thread) > 1) {
  }
  if (!HoldsSystemLock()) {
    const std::array<uint8_t, kRequestBytes> stop = ExceptionRequest{}.Bytes();
    DWORD written = 0;
    WriteFile(reporter.pipe_write, stop.data(), stop.size(), &written, nullptr);
    CloseHandle(reporter.pipe_write);
    WaitForSingleObject(reporter.thread, 500);
  } else {
    CloseHandle(reporter.pipe_write);
  }
  TerminateThread(reporter.thread, 0);
  CloseHandle(reporter.thread);
  CloseHandle(reporter.pipe_read);
  RemoveThread(reporter.thread_id);
  reporter.thread = reporter.pipe_read = reporter.pipe_write = nullptr;
  reporter.thread_id = 0;
}

// The start failed for want of the shared block: told, and the program does not run.
[[noreturn]] void FailStart(SharedBlockStart start) {
  const char* text = start == SharedBlockStart::kNoMapping
                         ? "internal error"
                         : "internal error.\n\nPlease notify the vendor: bugs@kestrapon.example";
  MessageBoxA(nullptr, text, "kestrapon", MB_OK | MB_ICONERROR | MB_TASKMODAL);
  ExitProcess(3);
}

}  // namespace

void StartCrashReporter(const CrashSettings& record) {
  Reporter& reporter = g_reporter;
  if (reporter.use_count++ > 0) return;
  reporter.settings = MakeActiveSettings(record);
  reporter.history = AwaitPreviousInstance();
  ActiveSettings& settings = reporter.settings;
  const bool intercept = settings.HandleExceptions && settings.HookRuntime;
  if (intercept || settings.AntiFreezeTimeout > 0) {
    const SharedBlockStart start = StartSharedInstanceBlock();
    if (start == SharedBlockStart::kNoMapping || start == SharedBlockStart::kNoView) {
      FailStart(start);
    }
    reporter.intercepting = true;
  }
  if (intercept) {
    fw::InstallExternalExceptionHandler();
    InstallThreadNamingListener();
    InstallInterception();
  }
  if (settings.HandleExceptions || settings.AntiFreezeTimeout > 0) {
    StartHandlingThread();
    if (settings.HandleExceptions) InstallThreadHooks();
  }
  if (settings.AntiFreezeTimeout > 0) StartWatchdog(settings.AntiFreezeTimeout);
  settings.DisasmProducer = DisassembleCrashFunction;
  reporter.active = true;
}

void StopCrashReporter() {
  Reporter& reporter = g_reporter;
  if (reporter.use_count == 0 || --reporter.use_count > 0) return;
  reporter.active = false;
  if (!reporter.intercepting) return;
  RemoveInterception();
  StopWatchdog();
  RemoveThreadHooks();
  StopHandlingThread();
  RemoveThreadNamingListener();
  StopSharedInstanceBlock();
  ReleaseExemptThreads();
  reporter.intercepting = false;
}

bool CrashReporterActive() {
  return g_reporter.active;
}

void ReportException(bool frozen, const ReportedException* exception, uint32_t address,
                     uint32_t stack_frame, bool can_continue) noexcept {
  try {
    Reporter& reporter = g_reporter;
    ExceptionRequest request;
    request.thread_id = GetCurrentThreadId();
    request.frozen = frozen;
    request.exception = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(exception));
    request.address = address;
    request.can_continue = can_continue;
    request.stack_frame = stack_frame;
    HANDLE event = nullptr;
    if (reporter.thread && GetCurrentThreadId() != reporter.thread_id && !HoldsSystemLock()) {
      event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    }
    // A long report or an open box is no freeze.
    const bool watchdog_paused = PauseWatchdog();
    if (!event) {
      HandleExceptionRequest(request);
      ResumeWatchdog(watchdog_paused);
      return;
    }
    request.event = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(event));
    const std::array<uint8_t, kRequestBytes> bytes = request.Bytes();
    DWORD written = 0;
    if (WriteFile(reporter.pipe_write, bytes.data(), bytes.size(), &written, nullptr) &&
        written == bytes.size()) {
      while (WaitForSingleObject(event, 50) == WAIT_TIMEOUT) {
        // Looking at the queue keeps the system from taking the thread for hung.
        MSG message;
        PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
      }
    }
    CloseHandle(event);
    ResumeWatchdog(watchdog_paused);
  } catch (...) {
  }
}

const ActiveSettings& ReporterSettings() {
  return g_reporter.settings;
}

const ExceptionHistory& ReporterHistory() {
  return g_reporter.history;
}

void SetExceptionBox(ExceptionBoxFn box) {
  g_reporter.box = box;
}

std::string ComposeProcessReport() {
  const DWORD self = GetCurrentThreadId();
  SetThreadName(self, "-");
  std::string report;
  try {
    PauseOtherThreads(true);
    ComposeRequest compose;
    compose.frozen = true;
    compose.handling_thread_id = g_reporter.thread_id;
    report = ComposeBugReport(g_reporter.settings, compose);
  } catch (...) {
  }
  ResumeOtherThreads(true);
  SetThreadName(self, "");
  return report;
}

}  // namespace crash

extern "C" unsigned long __stdcall kivTraceProcess(void*) {
  const std::string report = crash::ComposeProcessReport();
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, report.size() + 1)) {
      if (void* bytes = GlobalLock(memory)) {
        std::memcpy(bytes, report.c_str(), report.size() + 1);
        GlobalUnlock(memory);
        if (!SetClipboardData(CF_TEXT, memory)) GlobalFree(memory);
      } else {
        GlobalFree(memory);
      }
    }
    CloseClipboard();
  }
  return 0;
}
