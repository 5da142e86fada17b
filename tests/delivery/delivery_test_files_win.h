// What the delivery tests share: a scratch folder of their own, whole files read and
// written, a file waited for, and registry values set for a test and put back after it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

namespace delivery_test {

// A new empty folder under the temporary folder, with its final backslash.
std::string ScratchFolder(const std::string& name);

// The file's bytes; none when it can't be read.
std::optional<std::string> ReadFileBytes(const std::string& path);
// Writes the bytes as the whole file.
bool WriteFileBytes(const std::string& path, const std::string& bytes);
// Waits up to timeout_ms for the file to exist and returns its bytes.
std::optional<std::string> WaitForFile(const std::string& path, DWORD timeout_ms);

// The folder of the test program, with its final backslash.
std::string ProgramFolder();

// The recorder that stands in for a mail program, and the log where it writes its command
// line (the log removed, ready for the next start).
std::string RecorderPath();
std::string FreshRecorderLog();
// The key whose default value is the mailto command.
inline constexpr const char* kMailtoCommandKey = "mailto\\shell\\open\\command";

// A registry value set (or, with no value, deleted) while the object lives; what was there
// before is put back when it goes.
class RegistryValue {
 public:
  RegistryValue(HKEY root, std::string key, std::string name, std::optional<std::string> value);
  ~RegistryValue();
  RegistryValue(const RegistryValue&) = delete;
  RegistryValue& operator=(const RegistryValue&) = delete;

 private:
  HKEY root_;
  std::string key_, name_;
  std::optional<std::string> before_;
};

// Runs a command line in a folder and waits for its end (ending it after two minutes); the
// exit code and what it wrote to its standard output (CR LF read as LF).
struct RunResult {
  DWORD exit_code = 0xFFFFFFFF;
  std::string output;
};
RunResult RunProgram(const std::string& command_line, const std::string& folder);

}  // namespace delivery_test
