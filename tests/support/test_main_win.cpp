// Entry point of our Windows test programs.
//
// GoogleTest hands every failure message to OutputDebugStringA as well as to
// the console. Where Wine's 32-bit side runs under an emulator, the debug
// output exception that call raises can end the process before the failure is
// printed in full and before the XML report is written. A first-chance handler
// takes the debug output exceptions and lets the caller go on, so failures are
// reported like on Windows; nothing else passes through it.
#include <windows.h>

#include <gtest/gtest.h>

namespace {

constexpr DWORD kDebugPrintException = 0x40010006;      // DBG_PRINTEXCEPTION_C
constexpr DWORD kDebugPrintWideException = 0x4001000A;  // DBG_PRINTEXCEPTION_WIDE_C

LONG CALLBACK SwallowDebugOutput(EXCEPTION_POINTERS* pointers) {
  const DWORD code = pointers->ExceptionRecord->ExceptionCode;
  if (code == kDebugPrintException || code == kDebugPrintWideException) {
    return EXCEPTION_CONTINUE_EXECUTION;
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

int main(int argc, char** argv) {
  AddVectoredExceptionHandler(1, SwallowDebugOutput);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
