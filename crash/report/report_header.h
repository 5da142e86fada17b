// The header of the bug report: the machine and process facts, one labelled line each,
// made from a plain record of what the system answered, and the small texts its lines use
// (date, up time, physical memory, free disk space).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace crash {

// Every label of the report is this long: an 18-character name, then ": ".
inline constexpr size_t kReportLabelWidth = 20;

// The line break of the report.
inline constexpr std::string_view kCrLf = "\r\n";

// The version of the reporter printed in its own line.
inline constexpr std::string_view kReporterVersion = "2.6a";

// A local date and time to the minute.
struct ReportDate {
  int year = 0;    // four digits
  int month = 0;   // 1..12
  int day = 0;     // 1..31
  int hour = 0;    // 0..23
  int minute = 0;  // 0..59
};

// "yyyy-mm-dd hh:mm".
std::string ReportDateText(const ReportDate& date);

// The up time as two units ("2 days 5 hours ", "59 seconds "), always ending in a blank;
// empty when the seconds are unknown or 0.
std::string UpTimeText(std::optional<uint64_t> seconds);

// "free·total MB (free/total)" and CR LF, both in megabytes rounded to the nearest.
std::string PhysicalMemoryText(uint64_t available_bytes, uint64_t total_bytes);

// The free space of a drive: "(C:) 12.34 GB"; empty for "\" (a network path). Unknown free
// space prints as 0 bytes.
std::string DiskText(char drive, std::optional<int64_t> free_bytes, char decimal_point);

// True when a command line (as GetCommandLineA gives it) carries a parameter after the
// program's name, which may be quoted.
bool CommandLineHasParameters(std::string_view command_line);

// The file name of a path: what follows its last backslash (or slash).
std::string FileNameOfPath(std::string_view path);

// What the system answered for the header; absent values leave their lines out.
struct HeaderFacts {
  ReportDate now;                              // the local time of composition
  std::string computer_name;                   // printed even when empty
  std::optional<std::string> wts_client_name;  // a remote session's client
  std::string user_name;                       // printed even when empty
  std::string os_description;                  // e.g. "Windows XP Service Pack 1"
  uint32_t os_build = 0;                       // printed in decimal after " build "
  std::optional<std::string> system_language;  // the English name of the system language
  std::optional<uint64_t> up_time_seconds;     // none when the counter gave nothing
  uint64_t available_physical = 0;             // bytes of free physical memory
  uint64_t total_physical = 0;                 // bytes of physical memory
  bool is_9x = false;                          // the resources line only there
  uint32_t free_gdi_percent = 0;               // 9x: free GDI resources
  uint32_t free_user_percent = 0;              // 9x: free USER resources
  std::string windows_directory;               // its first character names the drive
  std::string executable_path;                 // the executable's full path
  std::function<std::optional<int64_t>(char)> free_disk_bytes;  // free bytes of a drive
  char decimal_point = '.';                                     // of the byte sizes
  uint32_t process_id = 0;                                      // printed in the hexadecimal form
  std::string command_line;                                     // as GetCommandLineA gives it
  std::string module_path;                                      // the module carrying the reporter
  std::optional<ReportDate> module_date;  // its last write; none: file not found
  uint64_t module_version = 0;            // its file version, 0 when none
};

// The header's lines, each ending in CR LF. report_command_line and version_variable are
// the settings of the same names.
std::string ReportHeader(const HeaderFacts& facts, bool report_command_line,
                         const char* const* version_variable);

}  // namespace crash
