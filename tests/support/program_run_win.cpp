#include "tests/support/program_run_win.h"

#include <gtest/gtest.h>

#include <thread>

namespace test_support {

std::string ProgramPath(const std::string& program) {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, sizeof path);
  std::string folder = path;
  folder.erase(folder.find_last_of('\\') + 1);
  return folder + program + ".exe";
}

PROCESS_INFORMATION Start(const std::string& program, const std::string& arguments,
                          HANDLE* output_read) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE write = nullptr;
  CreatePipe(output_read, &write, &inherit, 0);
  SetHandleInformation(*output_read, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write;
  startup.hStdError = write;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  std::string command = "\"" + ProgramPath(program) + "\" " + arguments;
  PROCESS_INFORMATION process{};
  EXPECT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                             &startup, &process))
      << command;
  CloseHandle(write);
  return process;
}

std::string ReadAll(HANDLE read) {
  std::string text;
  char buffer[4096];
  DWORD count = 0;
  while (ReadFile(read, buffer, sizeof buffer, &count, nullptr) && count > 0) {
    text.append(buffer, count);
  }
  std::string plain;
  for (char c : text) {
    if (c != '\r') plain += c;
  }
  return plain;
}

ProgramRun RunProgram(const std::string& program, const std::string& arguments, DWORD limit_ms) {
  HANDLE read = nullptr;
  PROCESS_INFORMATION process = Start(program, arguments, &read);
  ProgramRun run;
  // The output is read while the program runs: a full pipe would stop it.
  std::thread reader([&] { run.output = ReadAll(read); });
  if (limit_ms != 0 && WaitForSingleObject(process.hProcess, limit_ms) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    run.timed_out = true;
  }
  reader.join();
  CloseHandle(read);
  if (WaitForSingleObject(process.hProcess, 60000) != WAIT_OBJECT_0) {
    TerminateProcess(process.hProcess, 99);
    ADD_FAILURE() << "the program did not end: " << program << " " << arguments;
  }
  GetExitCodeProcess(process.hProcess, &run.exit_code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return run;
}

}  // namespace test_support
