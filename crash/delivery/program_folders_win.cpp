#include "crash/delivery/program_folders_win.h"

#include <windows.h>

#include "crash/delivery/bug_report_file.h"
#include "crash/delivery/mail_text.h"

namespace crash {

namespace {

std::string ModulePath(HMODULE module) {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(module, path, sizeof path);
  if (length == 0 || length >= sizeof path) return {};
  return std::string(path, length);
}

}  // namespace

std::string ExecutablePath() {
  return ModulePath(nullptr);
}

std::string ExecutableFileName() {
  return std::string(PathFileName(ExecutablePath()));
}

std::string ExecutableFolder() {
  return FolderOfPath(ExecutablePath());
}

std::string ReporterModuleFolder() {
  HMODULE module = nullptr;
  GetModuleHandleExA(
      GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
      reinterpret_cast<const char*>(&ReporterModuleFolder), &module);
  return FolderOfPath(ModulePath(module));
}

}  // namespace crash
