// Processor faults escaping a thread: the start and body wrappers report them as the
// framework's exception objects and end the thread with -1.
#include <gtest/gtest.h>

#include <string>

#include "crash/win/registry_host_win.h"
#include "crash/win/shared_instance_block_win.h"
#include "crash/win/thread_exception_seam_win.h"
#include "crash/win/thread_hooks_win.h"
#include "framework/exception.h"
#include "framework/guard.h"
#include "framework/thread.h"

namespace {

struct Reported {
  int count = 0;
  bool can_continue = false;
  uint32_t address = 0;
  std::string class_name;
};
Reported g_reported;

void RecordReport(const crash::ThreadException& report) {
  ++g_reported.count;
  g_reported.can_continue = report.can_continue;
  g_reported.address = report.address;
  try {
    std::rethrow_exception(report.exception);
  } catch (const fw::Exception& e) {
    g_reported.class_name = e.ClassName();
  } catch (...) {
  }
}

volatile int* volatile g_null = nullptr;
volatile int g_zero = 0;

DWORD WINAPI ReadsNull(void*) {
  return static_cast<DWORD>(*g_null);
}

class TDividingThread : public fw::TThread {
 protected:
  void Execute() override { SetReturnValue(100 / g_zero); }
};

class ThreadFaults : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    fw::InstallExternalExceptionHandler();
    crash::StartSharedInstanceBlock();
    crash::InstallThreadHooks();
    crash::SetThreadExceptionReporter(RecordReport);
  }
  void SetUp() override { g_reported = {}; }
};

TEST_F(ThreadFaults, AnAccessViolationInAStartRoutineIsReportedAndEndsTheThreadWithMinusOne) {
  DWORD id = 0;
  const HANDLE thread = CreateThread(nullptr, 0, ReadsNull, nullptr, 0, &id);
  ASSERT_NE(thread, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 10000), WAIT_OBJECT_0);
  DWORD exit_code = 0;
  GetExitCodeThread(thread, &exit_code);
  CloseHandle(thread);
  EXPECT_EQ(exit_code, 0xFFFFFFFFu);
  EXPECT_EQ(g_reported.count, 1);
  EXPECT_TRUE(g_reported.can_continue);
  EXPECT_EQ(g_reported.class_name, "EAccessViolation");
  EXPECT_NE(g_reported.address, 0u);
  EXPECT_FALSE(crash::RegisteredThreadOf(id));
}

TEST_F(ThreadFaults, ADivisionByZeroInAThreadObjectsBodyIsReported) {
  TDividingThread object;
  EXPECT_EQ(object.WaitFor(), -1);
  EXPECT_EQ(g_reported.count, 1);
  EXPECT_TRUE(g_reported.can_continue);
  EXPECT_EQ(g_reported.class_name, "EDivByZero");
  EXPECT_FALSE(crash::RegisteredThreadOf(object.ThreadId()));
}

}  // namespace
