// The save action: the report appended to the bug report file (a save dialog picks the
// place of a relative name), the file trimmed to its size through a mapping.
#include <windows.h>
// After windows.h, whose types it uses.
#include <commdlg.h>

#include <cstring>

#include "crash/delivery/bug_report_file.h"
#include "crash/delivery/delivery_log.h"
#include "crash/delivery/program_folders_win.h"
#include "crash/delivery/report_actions_win.h"
#include "crash/delivery/report_file_trim.h"
#include "crash/win/lock_probe_win.h"

namespace crash {

namespace {

// An open file handle, closed when it goes.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

// The save dialog; empty when the user cancelled.
std::string AskForFileName(const ActiveSettings& settings, const std::string& name, HWND owner) {
  char path[MAX_PATH] = {};
  std::strncpy(path, name.c_str(), sizeof path - 1);
  const std::string folder = ExecutableFolder();
  const std::string title(settings.SaveCaption);
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = "*.txt\0*.txt\0";
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path;
  dialog.nMaxFile = sizeof path;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrTitle = title.empty() ? nullptr : title.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_NOREADONLYRETURN;
  if (!GetSaveFileNameA(&dialog)) return {};
  return path;
}

bool WriteAll(HANDLE file, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    DWORD written = 0;
    if (!WriteFile(file, bytes.data() + done, static_cast<DWORD>(bytes.size() - done), &written,
                   nullptr) ||
        written == 0) {
      return false;
    }
    done += written;
  }
  return true;
}

// The size rule over the file's bytes, mapped read-write.
void Trim(HANDLE file, size_t max_size) {
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size) || size.QuadPart <= static_cast<LONGLONG>(max_size)) return;
  if (size.HighPart != 0) return;  // beyond what a 32-bit view can map
  const HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 0, nullptr);
  if (!mapping) return;
  size_t kept = size.LowPart;
  if (void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0)) {
    kept = TrimReportFile(std::span<char>(static_cast<char*>(view), size.LowPart), max_size);
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  if (kept == size.LowPart) return;
  LARGE_INTEGER end{};
  end.QuadPart = static_cast<LONGLONG>(kept);
  if (SetFilePointerEx(file, end, nullptr, FILE_BEGIN)) SetEndOfFile(file);
  DeliveryLog("save: trimmed to " + std::to_string(kept) + " bytes");
}

}  // namespace

bool SaveAction(const ActiveSettings& settings, const std::string& report, HWND owner,
                bool silent) {
  std::string name = BugReportFileName(settings.BugReportFile, ExecutablePath());
  if (IsRelativeFileName(name)) {
    if (silent) {
      name = ExecutableFolder() + name;
    } else if (HoldsSystemLock()) {
      MessageBeep(0);
      return false;
    } else {
      name = AskForFileName(settings, name, owner);
      if (name.empty()) {
        DeliveryLog("save: cancelled");
        return false;
      }
    }
  }
  FileHandle file(CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    DeliveryLog("save: cannot open " + name + " (error " + std::to_string(GetLastError()) + ")");
    return false;
  }
  if (settings.BugReportFileMaxSize == 0) {
    SetFilePointer(file.get(), 0, nullptr, FILE_BEGIN);
    SetEndOfFile(file.get());
  }
  LARGE_INTEGER zero{};
  SetFilePointerEx(file.get(), zero, nullptr, FILE_END);
  if (!WriteAll(file.get(), report + "\r\n\r\n")) {
    DeliveryLog("save: writing " + name + " failed");
    return false;
  }
  if (settings.BugReportFileMaxSize > 0) {
    Trim(file.get(), static_cast<size_t>(settings.BugReportFileMaxSize));
  }
  DeliveryLog("save: written to " + name);
  return true;
}

}  // namespace crash
