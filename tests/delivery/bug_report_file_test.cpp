#include "crash/delivery/bug_report_file.h"

#include <gtest/gtest.h>

namespace crash {
namespace {

TEST(BugReportFile, AppNameIsTheExecutablesNameWithoutExtensionInAnyCase) {
  EXPECT_EQ(BugReportFileName("%appname%.txt", "C:\\Program Files\\Velmo\\setup.exe"), "setup.txt");
  EXPECT_EQ(BugReportFileName("%AppName%-%APPNAME%.log", "C:\\x\\my.tool.exe"),
            "my.tool-my.tool.log");
  // A name without "." stays whole; a dot in a folder name is no extension.
  EXPECT_EQ(BugReportFileName("%appname%.txt", "C:\\v1.2\\installer"), "installer.txt");
  EXPECT_EQ(BugReportFileName("bugreport.txt", "C:\\x\\setup.exe"), "bugreport.txt");
}

TEST(BugReportFile, RelativeNamesGoAfterTheFolder) {
  EXPECT_TRUE(IsRelativeFileName("a:"));  // fewer than three characters
  EXPECT_TRUE(IsRelativeFileName("bugreport.txt"));
  EXPECT_TRUE(IsRelativeFileName("logs\\bug.txt"));
  EXPECT_FALSE(IsRelativeFileName("C:\\logs\\bug.txt"));
  EXPECT_FALSE(IsRelativeFileName("c:bug.txt"));
  EXPECT_FALSE(IsRelativeFileName("\\\\server\\share\\bug.txt"));
  EXPECT_FALSE(IsRelativeFileName("\\bug.txt"));

  EXPECT_EQ(InFolder("setup.txt", "C:\\Velmo\\"), "C:\\Velmo\\setup.txt");
  EXPECT_EQ(InFolder("D:\\r\\setup.txt", "C:\\Velmo\\"), "D:\\r\\setup.txt");
  EXPECT_EQ(FolderOfPath("C:\\Velmo\\setup.exe"), "C:\\Velmo\\");
  EXPECT_EQ(FolderOfPath("setup.exe"), "");
}

}  // namespace
}  // namespace crash
