#include "crash/delivery/bug_report_file.h"

#include "crash/delivery/mail_text.h"
#include "trace/text/ansi_text.h"

namespace crash {

std::string NameWithoutExtension(std::string_view path) {
  std::string_view name = PathFileName(path);
  const size_t dot = name.find_last_of('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return std::string(name);
}

bool IsRelativeFileName(std::string_view name) {
  if (name.size() < 3) return true;
  return name[0] != '\\' && name[1] != ':';
}

std::string BugReportFileName(std::string_view setting, std::string_view executable_path) {
  std::string name(setting);
  trace::ReplaceAll(name, "%appname%", NameWithoutExtension(executable_path), true, false);
  return name;
}

std::string InFolder(std::string_view name, std::string_view folder) {
  if (!IsRelativeFileName(name)) return std::string(name);
  return std::string(folder) + std::string(name);
}

std::string FolderOfPath(std::string_view path) {
  const size_t slash = path.find_last_of('\\');
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

}  // namespace crash
