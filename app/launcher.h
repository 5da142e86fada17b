// Runs a program through the shell and waits for its end while the calling
// thread's messages keep being dispatched; builds folder paths for it.
#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace app {

// Opens file through the shell (verb and parameters may be empty, show is the
// window show state) and waits for the started process to end, dispatching
// the calling thread's messages in 10 ms slices. False when the shell refused
// the request; never shows a message. Says nothing about the child's exit.
bool RunProgramAndWait(const std::string& file, const std::string& parameters,
                       const std::string& verb, int show);

// path unchanged when its last character (in the ANSI code page) is a
// backslash, otherwise path followed by one backslash; "" gives "\".
std::string AddTrailingBackslash(const std::string& path);

// The pieces of the two functions above, open to tests.
namespace launcher_detail {

// The mask of the request: SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_DDEWAIT |
// SEE_MASK_DOENVSUBST | SEE_MASK_FLAG_NO_UI.
constexpr ULONG kExecuteMask = 0x740;

// The 60-byte record ShellExecuteExA reads, zeroed and then filled in; its
// pointers refer to the arguments, which must outlive it.
SHELLEXECUTEINFOA MakeExecuteInfo(const std::string& file, const std::string& parameters,
                                  const std::string& verb, int show);

// The shell call RunProgramAndWait makes; tests pass their own.
using ExecuteFunction = BOOL(WINAPI*)(SHELLEXECUTEINFOA*);

// Hands info to execute, then waits for and closes the returned process
// handle as RunProgramAndWait does. False when execute failed.
bool ExecuteAndWait(SHELLEXECUTEINFOA* info, ExecuteFunction execute);

// AddTrailingBackslash with the last character judged in code_page.
std::string AddTrailingBackslashInCodePage(const std::string& path, UINT code_page);

}  // namespace launcher_detail

}  // namespace app
