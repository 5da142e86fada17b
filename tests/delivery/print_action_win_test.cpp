// The print action on the printer Wine finds through CUPS (the test run's own daemon, see
// print_with_cups.sh): the print dialog is confirmed from outside, and the report's page
// facts are written for the check of the job's PDF that follows (check_printed_report.py).
#include <windows.h>
// After windows.h, whose types it uses.
#include <winspool.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "crash/delivery/print_layout.h"
#include "crash/delivery/report_actions_win.h"
#include "tests/delivery/delivery_test_files_win.h"
#include "tests/integration/window_driver.h"

namespace crash {
namespace {

// A Unix path named by an environment variable, as a Windows path (drive Z: is the root).
std::string WindowsPathOf(const char* variable) {
  const char* unix_path = std::getenv(variable);
  if (!unix_path) return {};
  std::string path = std::string("Z:") + unix_path;
  for (char& c : path)
    if (c == '/') c = '\\';
  return path;
}

std::string DefaultPrinter() {
  char name[256] = {};
  DWORD size = sizeof name;
  return GetDefaultPrinterA(name, &size) ? name : "";
}

// The report: numbered lines, an empty one after the first, a long one that wraps, and
// enough lines for more than two pages.
std::string PrintedReport(int lines) {
  std::string report = "L001 first\r\n\r\n";
  report += "L002";
  for (int word = 1; word <= 60; ++word)
    report += " w" + std::to_string(word);
  report += "\r\n";
  for (int n = 3; n <= lines; ++n) {
    char line[16];
    std::snprintf(line, sizeof line, "L%03d", n);
    report += line;
    report += " text\r\n";
  }
  return report;
}

TEST(PrintAction, PrintsThroughTheDialogOnTheDefaultPrinter) {
  const std::string facts_path = WindowsPathOf("DELIVERY_PRINT_FACTS");
  if (facts_path.empty()) GTEST_SKIP() << "not run by print_with_cups.sh (no DELIVERY_PRINT_FACTS)";
  const std::string printer = DefaultPrinter();
  ASSERT_FALSE(printer.empty()) << "Wine's winspool sees no printer of the test's CUPS";

  // The page as the printer's device context has it, and the line pitch of the font.
  const HDC dc = CreateDCA("WINSPOOL", printer.c_str(), nullptr, nullptr);
  ASSERT_NE(dc, nullptr);
  PageFacts page{GetDeviceCaps(dc, HORZRES),         GetDeviceCaps(dc, VERTRES),
                 GetDeviceCaps(dc, HORZSIZE),        GetDeviceCaps(dc, VERTSIZE),
                 GetDeviceCaps(dc, PHYSICALOFFSETX), GetDeviceCaps(dc, PHYSICALOFFSETY)};
  const PrintArea area = PagePrintArea(page);
  const HFONT font =
      CreateFontA(CourierHeight(GetDeviceCaps(dc, LOGPIXELSY)), 0, 0, 0, FW_NORMAL, FALSE, FALSE,
                  FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                  DEFAULT_PITCH, "Courier New");
  const HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  const int pitch = metrics.tmHeight + metrics.tmExternalLeading;
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  ASSERT_GT(pitch, 0);
  const int lines_per_page = area.height / pitch;
  ASSERT_GT(lines_per_page, 20);

  // Lines enough for two full pages and a part of a third.
  const int lines = 2 * lines_per_page + 10;
  CrashSettings record;
  record.PrintCaption = "velmo report";
  const ActiveSettings settings = MakeActiveSettings(record);
  std::thread printing([&] { PrintAction(settings, PrintedReport(lines), nullptr); });
  const HWND dialog =
      driver::WaitForTopLevelWindow("Print", GetCurrentProcessId(), driver::kStartTimeoutMs);
  EXPECT_NE(dialog, nullptr) << "no print dialog appeared";
  if (dialog) driver::PressButton(GetDlgItem(dialog, IDOK));
  printing.join();

  const std::string facts = "lines_per_page " + std::to_string(lines_per_page) + "\nlines " +
                            std::to_string(lines) + "\nleft_mm 20\ntop_mm 10\n";
  ASSERT_TRUE(delivery_test::WriteFileBytes(facts_path, facts));
}

}  // namespace
}  // namespace crash
