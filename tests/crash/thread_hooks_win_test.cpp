#include <gtest/gtest.h>

#include <process.h>

#include <memory>
#include <string>
#include <thread>

#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_exception_seam_win.h"
#include "crash/win/thread_hooks_win.h"
#include "crash/win/thread_naming_win.h"
#include "crash/win/thread_pause_win.h"
#include "framework/exception.h"
#include "framework/guard.h"
#include "tests/crash/thread_creators_win.h"

namespace {

using crash_test::g_waiting;

// What the reporting seam received.
struct Reported {
  int count = 0;
  bool can_continue = false;
  uint32_t thread_id = 0;
  std::string message;
};
Reported g_reported;

void RecordReport(const crash::ThreadException& report) {
  ++g_reported.count;
  g_reported.can_continue = report.can_continue;
  g_reported.thread_id = report.thread_id;
  try {
    std::rethrow_exception(report.exception);
  } catch (const std::exception& e) {
    g_reported.message = e.what();
  }
}

class ThreadHooks : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool started = false;
    if (started) return;
    started = true;
    ASSERT_EQ(crash::StartSharedInstanceBlock(), crash::SharedBlockStart::kCreated);
    // The tests run on the process's first thread, which the block's creator names.
    const auto main = crash::RegisteredThreadOf(GetCurrentThreadId());
    ASSERT_TRUE(main);
    EXPECT_EQ(main->name, "main thread");
    EXPECT_EQ(crash::StartSharedInstanceBlock(), crash::SharedBlockStart::kAlreadyUsed);
    crash::InstallThreadHooks();
    crash::InstallThreadNamingListener();
    crash::SetThreadExceptionReporter(RecordReport);
    g_waiting.release = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    g_waiting.started = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }
  void SetUp() override { ResetEvent(g_waiting.release); }

  // The id of the thread that just started, once it has stored it.
  static uint32_t StartedThread() {
    EXPECT_EQ(WaitForSingleObject(g_waiting.started, 5000), WAIT_OBJECT_0);
    return static_cast<uint32_t>(g_waiting.last_id);
  }

  static void ExpectCreatedHere(uint32_t id, const std::string& class_name) {
    const auto thread = crash::RegisteredThreadOf(id);
    ASSERT_TRUE(thread) << "thread " << id << " not registered";
    EXPECT_EQ(thread->creator_id, GetCurrentThreadId());
    EXPECT_GE(thread->creation_address, crash_test::CreatorsBegin());
    EXPECT_LT(thread->creation_address, crash_test::CreatorsEnd());
    EXPECT_EQ(thread->class_name, class_name);
  }
};

TEST_F(ThreadHooks, EveryWayOfCreatingAThreadIsRegisteredWithItsCreatorAndCreationPoint) {
  DWORD create_id = 0;
  const HANDLE created = crash_test::CreateWithCreateThread(&create_id);
  ASSERT_NE(created, nullptr);
  EXPECT_EQ(StartedThread(), create_id);
  ExpectCreatedHere(create_id, "");

  std::unique_ptr<std::thread> standard(crash_test::CreateWithStdThread());
  const uint32_t standard_id = StartedThread();
  ExpectCreatedHere(standard_id, "");

  unsigned begin_id = 0;
  const auto begun = reinterpret_cast<HANDLE>(crash_test::CreateWithBeginThreadEx(&begin_id));
  ASSERT_NE(begun, nullptr);
  EXPECT_EQ(StartedThread(), begin_id);
  ExpectCreatedHere(begin_id, "");

  std::unique_ptr<crash_test::TWaitingThread> object(crash_test::CreateWithThreadObject());
  object->Start();
  EXPECT_EQ(StartedThread(), object->ThreadId());
  ExpectCreatedHere(object->ThreadId(), "TWaitingThread");

  // Ending through the wrappers removes the entries.
  SetEvent(g_waiting.release);
  WaitForSingleObject(created, INFINITE);
  WaitForSingleObject(begun, INFINITE);
  standard->join();
  EXPECT_EQ(object->WaitFor(), 0);
  EXPECT_FALSE(crash::RegisteredThreadOf(create_id));
  EXPECT_FALSE(crash::RegisteredThreadOf(standard_id));
  EXPECT_FALSE(crash::RegisteredThreadOf(begin_id));
  EXPECT_FALSE(crash::RegisteredThreadOf(object->ThreadId()));
  CloseHandle(created);
  CloseHandle(begun);
  EXPECT_EQ(g_reported.count, 0);
}

DWORD WINAPI EndsThroughExitThread(void*) {
  ExitThread(5);
}

TEST_F(ThreadHooks, AThreadThatEndedWithoutTheWrapperIsRemovedByALaterUpdate) {
  // Ended from outside: nothing of it runs any more.
  DWORD id = 0;
  const HANDLE thread = crash_test::CreateWithCreateThread(&id);
  ASSERT_NE(thread, nullptr);
  StartedThread();
  TerminateThread(thread, 9);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  ASSERT_TRUE(crash::RegisteredThreadOf(id));
  crash::SetThreadName(GetCurrentThreadId(), "main thread");
  EXPECT_FALSE(crash::RegisteredThreadOf(id));

  // Ended through ExitThread, past its start wrapper: the entry goes at once.
  const HANDLE exiting = CreateThread(nullptr, 0, EndsThroughExitThread, nullptr, 0, &id);
  ASSERT_NE(exiting, nullptr);
  WaitForSingleObject(exiting, INFINITE);
  DWORD exit_code = 0;
  GetExitCodeThread(exiting, &exit_code);
  CloseHandle(exiting);
  EXPECT_EQ(exit_code, 5u);
  EXPECT_FALSE(crash::RegisteredThreadOf(id));
}

DWORD WINAPI Throws(void*) {
  throw fw::Exception("thrown out of a start routine");
}

class TThrowingThread : public fw::TThread {
 protected:
  void Execute() override { throw fw::EReadError("thrown out of Execute"); }
};

TEST_F(ThreadHooks, AnExceptionEscapingAThreadIsReportedAndEndsItWithMinusOne) {
  g_reported = {};
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, Throws, nullptr, 0, &id);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, INFINITE);
  DWORD exit_code = 0;
  GetExitCodeThread(thread, &exit_code);
  CloseHandle(thread);
  EXPECT_EQ(exit_code, 0xFFFFFFFFu);
  EXPECT_EQ(g_reported.count, 1);
  EXPECT_TRUE(g_reported.can_continue);
  EXPECT_EQ(g_reported.thread_id, id);
  EXPECT_EQ(g_reported.message, "thrown out of a start routine");
  EXPECT_FALSE(crash::RegisteredThreadOf(id));

  g_reported = {};
  TThrowingThread object;
  EXPECT_EQ(object.WaitFor(), -1);
  EXPECT_EQ(g_reported.count, 1);
  EXPECT_TRUE(g_reported.can_continue);
  EXPECT_EQ(g_reported.thread_id, object.ThreadId());
  EXPECT_EQ(g_reported.message, "thrown out of Execute");
  // The thread object still learns what ended its body.
  EXPECT_TRUE(object.FatalException());
  EXPECT_FALSE(crash::RegisteredThreadOf(object.ThreadId()));
}

void Announce(const char* name, DWORD thread, ULONG_PTR reserved) {
  const ULONG_PTR parameters[4] = {0x1000, reinterpret_cast<ULONG_PTR>(name), thread, reserved};
  RaiseException(crash::kThreadNamingCode, 0, 4, parameters);
}

TEST_F(ThreadHooks, ThreadsAreNamedByTheDebuggerConvention) {
  DWORD id = 0;
  const HANDLE waiting = crash_test::CreateWithCreateThread(&id);
  StartedThread();
  const bool ended_normally = fw::CallGuarded(nullptr, [&] {
    Announce("loader", static_cast<DWORD>(-1), 0);
    Announce("worker", id, 0);
  });
  EXPECT_TRUE(ended_normally);
  EXPECT_EQ(crash::RegisteredThreadOf(GetCurrentThreadId())->name, "loader");
  const auto worker = crash::RegisteredThreadOf(id);
  ASSERT_TRUE(worker);
  EXPECT_EQ(worker->name, "worker");
  EXPECT_GE(worker->creation_address, crash_test::CreatorsBegin());  // kept by the naming

  // Announcements with another fourth parameter or flag change nothing.
  const char* other = "other";
  EXCEPTION_RECORD record{};
  record.ExceptionCode = crash::kThreadNamingCode;
  record.NumberParameters = 4;
  record.ExceptionInformation[0] = 0x1000;
  record.ExceptionInformation[1] = reinterpret_cast<ULONG_PTR>(other);
  record.ExceptionInformation[2] = id;
  record.ExceptionInformation[3] = 1;
  EXPECT_FALSE(crash::CheckThreadNaming(&record));
  record.ExceptionInformation[3] = 0;
  record.ExceptionInformation[0] = 0x1001;
  EXPECT_FALSE(crash::CheckThreadNaming(&record));
  // A name at an unreadable address names nobody.
  record.ExceptionInformation[0] = 0x1000;
  record.ExceptionInformation[1] = 0x10;
  EXPECT_FALSE(crash::CheckThreadNaming(&record));
  EXPECT_EQ(crash::RegisteredThreadOf(id)->name, "worker");

  SetEvent(g_waiting.release);
  WaitForSingleObject(waiting, INFINITE);
  CloseHandle(waiting);
  crash::SetThreadName(GetCurrentThreadId(), "main thread");
}

struct Spinner {
  volatile LONG count = 0;
  volatile LONG stop = 0;
};

DWORD WINAPI Spin(void* argument) {
  auto* spinner = static_cast<Spinner*>(argument);
  while (spinner->stop == 0)
    InterlockedIncrement(&spinner->count);
  return 0;
}

// True when the spinner's count moves within 200 ms.
bool Moves(Spinner& spinner) {
  const LONG before = spinner.count;
  Sleep(200);
  return spinner.count != before;
}

TEST_F(ThreadHooks, PausedThreadsStopAndGoOnAndAThreadStartedDuringAPauseIsExemptLater) {
  Spinner old_spinner;
  Spinner new_spinner;
  const HANDLE old_thread = CreateThread(nullptr, 0, Spin, &old_spinner, 0, nullptr);
  ASSERT_NE(old_thread, nullptr);
  while (old_spinner.count == 0)
    Sleep(1);

  crash::DropEndedExemptThreads();
  crash::PauseOtherThreads(true);
  Sleep(50);
  EXPECT_FALSE(Moves(old_spinner));
  // Started during the handling, as mail delivery would.
  DWORD new_id = 0;
  const HANDLE new_thread = CreateThread(nullptr, 0, Spin, &new_spinner, 0, &new_id);
  ASSERT_NE(new_thread, nullptr);
  EXPECT_TRUE(Moves(new_spinner));
  crash::ResumeOtherThreads(true);
  EXPECT_TRUE(Moves(old_spinner));
  const auto exempt = crash::ExemptThreadIds();
  EXPECT_NE(std::find(exempt.begin(), exempt.end(), new_id), exempt.end());

  crash::DropEndedExemptThreads();
  crash::PauseOtherThreads(true);
  Sleep(50);
  const bool old_moved = Moves(old_spinner);
  const bool new_moved = Moves(new_spinner);
  crash::ResumeOtherThreads(true);
  EXPECT_FALSE(old_moved);
  EXPECT_TRUE(new_moved);

  old_spinner.stop = 1;
  new_spinner.stop = 1;
  WaitForSingleObject(old_thread, INFINITE);
  WaitForSingleObject(new_thread, INFINITE);
  CloseHandle(old_thread);
  CloseHandle(new_thread);
  crash::DropEndedExemptThreads();
  const auto left = crash::ExemptThreadIds();
  EXPECT_EQ(std::find(left.begin(), left.end(), new_id), left.end());
}

TEST_F(ThreadHooks, WithTheHooksRemovedThreadsAreNoLongerRegistered) {
  crash::RemoveThreadHooks();
  DWORD id = 0;
  const HANDLE thread = crash_test::CreateWithCreateThread(&id);
  StartedThread();
  EXPECT_FALSE(crash::RegisteredThreadOf(id));
  SetEvent(g_waiting.release);
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
  crash::InstallThreadHooks();
  ResetEvent(g_waiting.release);
  const HANDLE again = crash_test::CreateWithCreateThread(&id);
  StartedThread();
  EXPECT_TRUE(crash::RegisteredThreadOf(id));
  SetEvent(g_waiting.release);
  WaitForSingleObject(again, INFINITE);
  CloseHandle(again);
}

TEST_F(ThreadHooks, TheBlockIsNamedAfterTheProcess) {
  const std::string name = "kestraponThreadNameBuf$" + [] {
    char digits[16];
    wsprintfA(digits, "%x", GetCurrentProcessId());
    return std::string(digits);
  }();
  const HANDLE mapping = OpenFileMappingA(FILE_MAP_READ, FALSE, name.c_str());
  EXPECT_NE(mapping, nullptr) << name;
  if (mapping != nullptr) CloseHandle(mapping);
}

}  // namespace
