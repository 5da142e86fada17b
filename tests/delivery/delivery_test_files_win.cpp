#include "tests/delivery/delivery_test_files_win.h"

#include <cstdio>
#include <vector>

namespace delivery_test {

namespace {

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  const HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(folder + name + "\\");
        RemoveDirectoryA((folder + name).c_str());
      } else {
        SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA((folder + name).c_str());
      }
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
}

std::optional<std::string> ReadValue(HKEY root, const std::string& key, const std::string& name) {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return {};
  char value[4096] = {};
  DWORD size = sizeof value - 1;
  const LONG read = RegQueryValueExA(opened, name.empty() ? nullptr : name.c_str(), nullptr,
                                     nullptr, reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(opened);
  if (read != ERROR_SUCCESS) return {};
  return std::string(value);
}

void WriteValue(HKEY root, const std::string& key, const std::string& name,
                const std::optional<std::string>& value) {
  HKEY opened = nullptr;
  if (RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &opened, nullptr) !=
      ERROR_SUCCESS) {
    return;
  }
  const char* value_name = name.empty() ? nullptr : name.c_str();
  if (value) {
    RegSetValueExA(opened, value_name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value->c_str()),
                   static_cast<DWORD>(value->size() + 1));
  } else {
    RegDeleteValueA(opened, value_name);
  }
  RegCloseKey(opened);
}

}  // namespace

std::string ScratchFolder(const std::string& name) {
  char temp[MAX_PATH];
  GetTempPathA(sizeof temp, temp);
  const std::string folder = std::string(temp) + "delivery-" + name + "\\";
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

std::optional<std::string> ReadFileBytes(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return {};
  std::string bytes;
  char buffer[65536];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0)
    bytes.append(buffer, got);
  std::fclose(file);
  return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

std::optional<std::string> WaitForFile(const std::string& path, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  while (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > timeout_ms) return {};
    Sleep(50);
  }
  return ReadFileBytes(path);
}

std::string ProgramFolder() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  const std::string program(path, length < sizeof path ? length : 0);
  return program.substr(0, program.find_last_of('\\') + 1);
}

std::string RecorderPath() {
  return ProgramFolder() + "command_recorder.exe";
}

std::string FreshRecorderLog() {
  const std::string log = ProgramFolder() + "command_recorder.log";
  DeleteFileA(log.c_str());
  return log;
}

RegistryValue::RegistryValue(HKEY root, std::string key, std::string name,
                             std::optional<std::string> value)
    : root_(root), key_(std::move(key)), name_(std::move(name)) {
  before_ = ReadValue(root_, key_, name_);
  WriteValue(root_, key_, name_, value);
}

RegistryValue::~RegistryValue() {
  WriteValue(root_, key_, name_, before_);
}

RunResult RunProgram(const std::string& command_line, const std::string& folder) {
  RunResult result;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr, write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return result;
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = write_end;
  startup.hStdError = write_end;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  PROCESS_INFORMATION process{};
  std::vector<char> line(command_line.begin(), command_line.end());
  line.push_back('\0');
  const BOOL started =
      CreateProcessA(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                     folder.empty() ? nullptr : folder.c_str(), &startup, &process);
  CloseHandle(write_end);
  if (started) {
    // Read while it runs, at most two minutes; a program that hangs is ended.
    const DWORD start = GetTickCount();
    char buffer[4096];
    for (;;) {
      DWORD available = 0, got = 0;
      const bool alive = WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
      if (!PeekNamedPipe(read_end, nullptr, 0, nullptr, &available, nullptr)) break;
      if (available > 0 && ReadFile(read_end, buffer, sizeof buffer, &got, nullptr)) {
        for (DWORD i = 0; i < got; ++i)
          if (buffer[i] != '\r') result.output += buffer[i];
        continue;
      }
      if (!alive) break;
      if (GetTickCount() - start > 120000) {
        TerminateProcess(process.hProcess, 0xDEAD);
        result.output += "(ended after two minutes)\n";
        break;
      }
      Sleep(10);
    }
    WaitForSingleObject(process.hProcess, 5000);
    GetExitCodeProcess(process.hProcess, &result.exit_code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  CloseHandle(read_end);
  return result;
}

}  // namespace delivery_test
