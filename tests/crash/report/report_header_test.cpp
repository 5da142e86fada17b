#include "crash/report/report_header.h"

#include <gtest/gtest.h>

#include <map>

namespace crash {
namespace {

TEST(UpTimeText, ShowsTheTwoLargestUnitsAndEndsInABlank) {
  EXPECT_EQ(UpTimeText(59), "59 seconds ");
  EXPECT_EQ(UpTimeText(86400), "1 day ");
  EXPECT_EQ(UpTimeText(86400 + 3600), "1 day 1 hour ");
  EXPECT_EQ(UpTimeText(2 * 86400 + 5 * 3600 + 59), "2 days 5 hours ");
  EXPECT_EQ(UpTimeText(2 * 3600 + 17 * 60 + 3), "2 hours 17 minutes ");
  EXPECT_EQ(UpTimeText(61), "1 minute 1 second ");
  EXPECT_EQ(UpTimeText(3600 + 59), "1 hour ");
  EXPECT_EQ(UpTimeText(0), "");
  EXPECT_EQ(UpTimeText(std::nullopt), "");
}

TEST(PhysicalMemoryText, RoundsToMegabytesWithoutWrappingAbove4GB) {
  EXPECT_EQ(PhysicalMemoryText(211 * 1048576ull + 0x7FFFF, 511 * 1048576ull + 0x80000),
            "211\xB7"
            "512 MB (free/total)\r\n");
  // 16 GB: a 32-bit count would read 0 or stop short of 4096.
  EXPECT_EQ(PhysicalMemoryText(6ull << 30, 16ull << 30),
            "6144\xB7"
            "16384 MB (free/total)\r\n");
}

TEST(DiskText, NamesTheUpperCasedDriveAndItsFreeBytes) {
  EXPECT_EQ(DiskText('c', int64_t{13260000000}, '.'), "(C:) 12.34 GB");
  EXPECT_EQ(DiskText('D', std::nullopt, ','), "(D:) 0 Bytes");
  EXPECT_EQ(DiskText('\\', int64_t{5}, '.'), "");
}

TEST(CommandLine, HasParametersOnlyAfterTheProgramsName) {
  EXPECT_FALSE(CommandLineHasParameters("install.exe"));
  EXPECT_FALSE(CommandLineHasParameters("\"C:\\Program Files\\install.exe\"  "));
  EXPECT_TRUE(CommandLineHasParameters("\"C:\\Program Files\\install.exe\" /s"));
  EXPECT_TRUE(CommandLineHasParameters("install.exe x"));
  EXPECT_FALSE(CommandLineHasParameters(""));
}

HeaderFacts SampleFacts() {
  HeaderFacts facts;
  facts.now = {2004, 5, 17, 14, 2};
  facts.computer_name = "WORKSTATION";
  facts.user_name = "setupuser";
  facts.os_description = "Windows XP Service Pack 1";
  facts.os_build = 2600;
  facts.system_language = "English";
  facts.up_time_seconds = 2 * 3600 + 17 * 60;
  facts.available_physical = 211ull << 20;
  facts.total_physical = 511ull << 20;
  facts.windows_directory = "c:\\WINDOWS";  // the same drive as the executable's
  facts.executable_path = "C:\\Setup\\install.exe";
  facts.free_disk_bytes = [](char drive) -> std::optional<int64_t> {
    if (drive == 'C' || drive == 'c') return int64_t{7966664950};
    if (drive == 'D' || drive == 'd') return int64_t{1024};
    return std::nullopt;
  };
  facts.process_id = 0xd4c;
  facts.command_line = "install.exe";
  facts.module_path = "c:\\setup\\INSTALL.EXE";
  facts.module_date = ReportDate{2004, 5, 2, 9, 30};
  return facts;
}

TEST(ReportHeader, WritesTheLabelledLinesInOrder) {
  EXPECT_EQ(ReportHeader(SampleFacts(), true, nullptr),
            "date/time         : 2004-05-17 14:02\r\n"
            "computer name     : WORKSTATION\r\n"
            "user name         : setupuser\r\n"
            "operating system  : Windows XP Service Pack 1 build 2600\r\n"
            "system language   : English\r\n"
            "system up time    : 2 hours 17 minutes \r\n"
            "physical memory   : 211\xB7"
            "511 MB (free/total)\r\n"
            "free disk space   : (C:) 7.41 GB\r\n"
            "process id        : $d4c\r\n"
            "executable        : install.exe\r\n"
            "exec. date/time   : 2004-05-02 09:30\r\n"
            "kestrapon version : 2.6a\r\n");
}

// The lines of a header by label.
std::map<std::string, std::string> Lines(const std::string& header) {
  std::map<std::string, std::string> lines;
  size_t at = 0;
  while (at < header.size()) {
    const size_t end = header.find("\r\n", at);
    EXPECT_NE(end, std::string::npos) << "a header line without its line break";
    if (end == std::string::npos) break;
    lines[header.substr(at, kReportLabelWidth)] =
        header.substr(at + kReportLabelWidth, end - at - kReportLabelWidth);
    at = end + 2;
  }
  return lines;
}

TEST(ReportHeader, OptionalLinesFollowTheirFacts) {
  HeaderFacts facts = SampleFacts();
  facts.wts_client_name = "THINCLIENT";
  facts.system_language.reset();
  facts.up_time_seconds = 0;
  facts.is_9x = true;
  facts.free_gdi_percent = 7;
  facts.free_user_percent = 64;
  facts.executable_path = "d:\\install.exe";
  facts.command_line = "d:\\install.exe /x";
  facts.module_path = "C:\\Setup\\kestrapon.dll";
  facts.module_version = 0x0001000200030004ull;
  std::map<std::string, std::string> lines = Lines(ReportHeader(facts, true, nullptr));
  EXPECT_EQ(lines["wts client name   : "], "THINCLIENT");
  EXPECT_FALSE(lines.contains("system language   : "));
  EXPECT_FALSE(lines.contains("system up time    : "));
  EXPECT_EQ(lines["system resources  : "],
            "07\xB7"
            "64 (gdi/user)");
  EXPECT_EQ(lines["free disk space   : "], "(C:) 7.41 GB (D:) 1.00 KB");
  EXPECT_EQ(lines["command line      : "], "d:\\install.exe /x");
  EXPECT_EQ(lines["current module    : "], "C:\\Setup\\kestrapon.dll");
  EXPECT_EQ(lines["module date/time  : "], "2004-05-02 09:30");
  EXPECT_FALSE(lines.contains("exec. date/time   : "));
  EXPECT_EQ(lines["version           : "], "1.2.3.4");

  // The version variable wins over the file's version, even when it is empty; without the
  // module's file there is neither date nor version.
  const char* variable = "";
  EXPECT_EQ(Lines(ReportHeader(facts, false, &variable))["version           : "], "");
  EXPECT_FALSE(Lines(ReportHeader(facts, false, nullptr)).contains("command line      : "));
  facts.module_date.reset();
  lines = Lines(ReportHeader(facts, true, &variable));
  EXPECT_FALSE(lines.contains("module date/time  : "));
  EXPECT_FALSE(lines.contains("version           : "));

  // A network path as executable adds a blank and no drive.
  facts.executable_path = "\\\\server\\share\\install.exe";
  EXPECT_EQ(Lines(ReportHeader(facts, true, nullptr))["free disk space   : "], "(C:) 7.41 GB ");
}

}  // namespace
}  // namespace crash
