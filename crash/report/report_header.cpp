#include "crash/report/report_header.h"

#include "trace/pe/file_version.h"
#include "trace/text/ansi_text.h"
#include "trace/text/number_text.h"

namespace crash {

namespace {

// The middle dot between two figures of one line.
constexpr char kMiddleDot = static_cast<char>(0xB7);

std::string TwoDigits(int value) {
  return trace::FormatDecimal(value, 2, '0');
}

// One unit of the up time: "1 day ", "5 hours ", or nothing for 0.
std::string UnitText(uint64_t value, std::string_view unit) {
  if (value == 0) return {};
  std::string text = trace::FormatDecimal(static_cast<int64_t>(value)) + " " + std::string(unit);
  if (value > 1) text += "s";
  return text + " ";
}

void AddLine(std::string& header, std::string_view label, std::string_view value) {
  header += label;
  header += value;
  header += kCrLf;
}

// The first character of a path, the drive it lies on; "\" stands for none.
char DriveOf(std::string_view path) {
  return path.empty() ? '\\' : path.front();
}

}  // namespace

std::string ReportDateText(const ReportDate& date) {
  return trace::FormatDecimal(date.year, 4, '0') + "-" + TwoDigits(date.month) + "-" +
         TwoDigits(date.day) + " " + TwoDigits(date.hour) + ":" + TwoDigits(date.minute);
}

std::string UpTimeText(std::optional<uint64_t> seconds) {
  if (!seconds || *seconds == 0) return {};
  const uint64_t s = *seconds;
  const uint64_t days = s / 86400;
  const uint64_t hours = (s / 3600) % 24;
  const uint64_t minutes = (s / 60) % 60;
  if (days > 0) return UnitText(days, "day") + UnitText(hours, "hour");
  if (hours > 0) return UnitText(hours, "hour") + UnitText(minutes, "minute");
  return UnitText(minutes, "minute") + UnitText(s % 60, "second");
}

std::string PhysicalMemoryText(uint64_t available_bytes, uint64_t total_bytes) {
  // Counted in 64 bits: a 32-bit count wraps or stops at 4 GB.
  const uint64_t free_mb = (available_bytes + 0x80000) >> 20;
  const uint64_t total_mb = (total_bytes + 0x80000) >> 20;
  return trace::FormatDecimal(static_cast<int64_t>(free_mb)) + kMiddleDot +
         trace::FormatDecimal(static_cast<int64_t>(total_mb)) + " MB (free/total)" +
         std::string(kCrLf);
}

std::string DiskText(char drive, std::optional<int64_t> free_bytes, char decimal_point) {
  if (drive == '\\') return {};
  return std::string("(") + trace::UpperCaseChar(drive) + ":) " +
         trace::FormatByteSize(free_bytes.value_or(0), decimal_point);
}

bool CommandLineHasParameters(std::string_view command_line) {
  size_t at = 0;
  const auto blank = [&](size_t i) { return static_cast<unsigned char>(command_line[i]) <= ' '; };
  while (at < command_line.size() && blank(at))
    ++at;
  // The program's name: up to the first blank outside quotes.
  bool quoted = false;
  while (at < command_line.size() && (quoted || !blank(at))) {
    if (command_line[at] == '"') quoted = !quoted;
    ++at;
  }
  while (at < command_line.size() && blank(at))
    ++at;
  return at < command_line.size();
}

std::string FileNameOfPath(std::string_view path) {
  const size_t slash = path.find_last_of("\\/");
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ReportHeader(const HeaderFacts& facts, bool report_command_line,
                         const char* const* version_variable) {
  std::string header;
  AddLine(header, "date/time         : ", ReportDateText(facts.now));
  AddLine(header, "computer name     : ", facts.computer_name);
  if (facts.wts_client_name) AddLine(header, "wts client name   : ", *facts.wts_client_name);
  AddLine(header, "user name         : ", facts.user_name);
  AddLine(header, "operating system  : ",
          facts.os_description + " build " + trace::FormatDecimal(facts.os_build));
  if (facts.system_language) AddLine(header, "system language   : ", *facts.system_language);
  const std::string up_time = UpTimeText(facts.up_time_seconds);
  if (!up_time.empty()) AddLine(header, "system up time    : ", up_time);
  // The memory text ends in its own line break.
  header += "physical memory   : ";
  header += PhysicalMemoryText(facts.available_physical, facts.total_physical);
  if (facts.is_9x) {
    AddLine(header, "system resources  : ",
            trace::FormatDecimal(facts.free_gdi_percent, 2, '0') + kMiddleDot +
                trace::FormatDecimal(facts.free_user_percent, 2, '0') + " (gdi/user)");
  }

  const auto disk = [&](char drive) {
    std::optional<int64_t> free_bytes;
    if (drive != '\\' && facts.free_disk_bytes) free_bytes = facts.free_disk_bytes(drive);
    return DiskText(drive, free_bytes, facts.decimal_point);
  };
  const char windows_drive = DriveOf(facts.windows_directory);
  const char executable_drive = DriveOf(facts.executable_path);
  std::string disks = disk(windows_drive);
  if (trace::UpperCaseChar(executable_drive) != trace::UpperCaseChar(windows_drive)) {
    disks += " " + disk(executable_drive);
  }
  AddLine(header, "free disk space   : ", disks);

  AddLine(header, "process id        : ", trace::FormatHex(facts.process_id, 1));
  if (report_command_line && CommandLineHasParameters(facts.command_line)) {
    AddLine(header, "command line      : ", facts.command_line);
  }
  AddLine(header, "executable        : ", FileNameOfPath(facts.executable_path));
  const bool module_is_executable = trace::TextEquals(facts.module_path, facts.executable_path);
  if (!module_is_executable) AddLine(header, "current module    : ", facts.module_path);
  if (facts.module_date) {
    AddLine(header, module_is_executable ? "exec. date/time   : " : "module date/time  : ",
            ReportDateText(*facts.module_date));
    if (version_variable != nullptr && *version_variable != nullptr) {
      AddLine(header, "version           : ", *version_variable);
    } else if (facts.module_version != 0) {
      AddLine(header, "version           : ", trace::FileVersionText(facts.module_version));
    }
  }
  AddLine(header, "kestrapon version : ", kReporterVersion);
  return header;
}

}  // namespace crash
