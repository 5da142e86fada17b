// Runs one of the test programs beside the running test (same folder) and keeps what it
// wrote to standard output and standard error.
#pragma once

#include <windows.h>

#include <string>

namespace test_support {

struct ProgramRun {
  DWORD exit_code = 0;
  bool timed_out = false;
  std::string output;  // CR LF turned into LF
};

// The path of a program in the running test's folder.
std::string ProgramPath(const std::string& program);

// Starts the program with its arguments, standard output and error into a pipe whose
// reading end is returned in output_read.
PROCESS_INFORMATION Start(const std::string& program, const std::string& arguments,
                          HANDLE* output_read);

// Everything the pipe gives until it is closed, CR LF turned into LF.
std::string ReadAll(HANDLE read);

// Runs the program to its end; with a limit, a program still running then is ended and
// the run says so, else that is a failure.
ProgramRun RunProgram(const std::string& program, const std::string& arguments, DWORD limit_ms = 0);

}  // namespace test_support
