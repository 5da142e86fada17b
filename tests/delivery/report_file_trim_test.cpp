#include "crash/delivery/report_file_trim.h"

#include <gtest/gtest.h>

#include <string>

namespace crash {
namespace {

// A saved report of exactly size bytes (its CR LF CR LF included) whose header holds the
// lines a real report starts with, "exec. date/time" among them.
std::string SavedReport(size_t size, char fill) {
  std::string report =
      "date/time         : 2026-12-09 12:00\r\n"
      "computer name     : BUILD\r\n"
      "exec. date/time   : 2026-12-01 08:00\r\n"
      "module date/time  : 2026-12-01 08:00\r\n";
  report += std::string(size - report.size() - 4, fill);
  return report + "\r\n\r\n";
}

std::string Trimmed(std::string file, size_t max_size) {
  file.resize(TrimReportFile(std::span<char>(file.data(), file.size()), max_size));
  return file;
}

TEST(ReportFileTrim, FourReportsOf15000In50000KeepTheLastTwo) {
  const std::string a = SavedReport(15000, 'a'), b = SavedReport(15000, 'b'),
                    c = SavedReport(15000, 'c'), d = SavedReport(15000, 'd');
  EXPECT_EQ(Trimmed(a + b + c + d, 50000), c + d);
}

TEST(ReportFileTrim, CutsOnlyWhereAReportStarts) {
  // The second report starts 37520 bytes from the end, just too far; its "exec. date/time"
  // line lies within 37500 of the end. The cut must go to the third report, not there.
  const std::string a = SavedReport(20000, 'a'), b = SavedReport(300, 'b'),
                    c = SavedReport(37220, 'c');
  const std::string file = a + b + c;
  ASSERT_EQ(file.size() - a.size(), 37520u);
  ASSERT_LT(file.size() - file.find("exec. date/time", a.size()), 37500u);
  EXPECT_EQ(Trimmed(file, 50000), c);
  // A report whose body holds "date/time" at a line start but not after an empty line.
  EXPECT_FALSE(StartsReport("x\r\ndate/time", 3));
  EXPECT_TRUE(StartsReport("x\r\n\r\ndate/time", 5));
  EXPECT_TRUE(StartsReport("x\n\ndate/time", 3));
  EXPECT_FALSE(StartsReport("x\r\n\r\nexec. date/time", 11));
}

TEST(ReportFileTrim, LeavesTheFileAloneWhenNothingQualifies) {
  const std::string small = SavedReport(1000, 'a') + SavedReport(1000, 'b');
  EXPECT_EQ(Trimmed(small, 50000), small);  // not larger than the maximum
  EXPECT_EQ(Trimmed(small, 0), small);      // no maximum
  // One report larger than the maximum: no start qualifies, the file stays.
  const std::string one = SavedReport(60000, 'a');
  EXPECT_EQ(Trimmed(one, 50000), one);
  // The last report alone is larger than three quarters: it is not cut either.
  const std::string two = SavedReport(20000, 'a') + SavedReport(40000, 'b');
  EXPECT_EQ(Trimmed(two, 50000), two);
  EXPECT_EQ(TrimOffset("", 10), std::nullopt);
}

}  // namespace
}  // namespace crash
