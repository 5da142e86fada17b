#include "trace/stack/win/progress_bar_win.h"

#include <gtest/gtest.h>

#include "trace/stack/win/progress_win.h"

namespace trace {
namespace {

// True when some pixel of the memory picture in the rectangle has colour.
bool AnyPixel(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  for (int y = top; y < bottom; ++y)
    for (int x = left; x < right; ++x)
      if (GetPixel(dc, x, y) == colour) return true;
  return false;
}

// Frees the progress at the end of a test.
struct ProgressOwner {
  TProgress* progress;
  ~ProgressOwner() { FreeProgress(progress); }
};

TEST(ProgressBarTest, AppearsWhenSlowAndGoesWithTheProgress) {
  ProgressOwner owner{NewProgress()};
  TProgress* p = owner.progress;
  AddProgressArea(p, 1);
  AddProgressArea(p, 1);
  SetProgress(p, 500);
  EXPECT_EQ(p->window, nullptr);  // at once
  Sleep(kProgressWindowDelayMs + 50);
  NextProgressArea(p);  // 50 %: no window
  EXPECT_EQ(p->window, nullptr);
  SetProgress(p, 200);  // 60 %: still none
  EXPECT_EQ(p->window, nullptr);

  ProgressOwner slow{NewProgress()};
  AddProgressArea(slow.progress, 10);
  Sleep(kProgressWindowDelayMs + 50);
  SetProgress(slow.progress, 300);
  auto* bar = dynamic_cast<TProgressBar*>(slow.progress->window.get());
  ASSERT_NE(bar, nullptr);
  const HWND window = bar->window();
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_NE(GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  EXPECT_NE(static_cast<DWORD>(GetWindowLongA(window, GWL_STYLE)) & WS_POPUP, 0u);
  EXPECT_EQ(GetWindow(window, GW_OWNER), nullptr);
  char name[32] = {};
  GetClassNameA(window, name, sizeof(name));
  EXPECT_STRCASEEQ(name, "Static");

  RECT rect{};
  GetWindowRect(window, &rect);
  const int width = GetSystemMetrics(SM_CXFULLSCREEN) / 2;
  EXPECT_EQ(rect.bottom - rect.top, kProgressBarHeight);
  EXPECT_EQ(rect.right - rect.left, width);
  EXPECT_EQ(rect.left, (GetSystemMetrics(SM_CXSCREEN) - width) / 2);
  EXPECT_EQ(rect.top, (GetSystemMetrics(SM_CYSCREEN) - kProgressBarHeight) / 2);
  EXPECT_EQ(slow.progress->display_offset, 3);
  EXPECT_EQ(bar->drawn_value(), 0);

  FreeProgress(slow.progress);
  slow.progress = nullptr;
  EXPECT_FALSE(IsWindow(window));
}

// A progress on the system's window whose clock the test sets.
struct ClockedProgress {
  uint32_t now = 0;
  TProgress* progress = nullptr;
  ClockedProgress() {
    ProgressSystem system = WindowsProgressSystem();
    system.tick = [this] { return now; };
    progress = NewProgress(system);
  }
  ~ClockedProgress() { FreeProgress(progress); }
  TProgressBar* bar() const { return dynamic_cast<TProgressBar*>(progress->window.get()); }
};

TEST(ProgressBarTest, PaintsFrameBarAndPercentage) {
  ClockedProgress clocked;
  AddProgressArea(clocked.progress, 1000);
  clocked.now = 1000;
  SetProgress(clocked.progress, 0);
  TProgressBar* bar = clocked.bar();
  ASSERT_NE(bar, nullptr);
  const HDC dc = bar->memory_dc();
  const int w = bar->inner_width() + 8;
  const int h = kProgressBarHeight;
  const COLORREF highlight = GetSysColor(COLOR_3DHILIGHT);
  const COLORREF face = GetSysColor(COLOR_BTNFACE);
  const COLORREF shadow = GetSysColor(COLOR_3DSHADOW);
  const COLORREF bar_colour = GetSysColor(COLOR_BTNTEXT);
  const COLORREF yellow = RGB(255, 255, 0);

  // Value 0: frame, face, yellow rectangle, no bar, "0%" in the text colour at the right.
  EXPECT_EQ(GetPixel(dc, 0, 0), highlight);
  EXPECT_EQ(GetPixel(dc, w / 2, 0), highlight);
  EXPECT_EQ(GetPixel(dc, w / 2, h - 1), shadow);
  EXPECT_EQ(GetPixel(dc, w - 1, h / 2), shadow);
  EXPECT_EQ(GetPixel(dc, 1, h / 2), face);
  EXPECT_EQ(GetPixel(dc, 2, h / 2), yellow);
  EXPECT_EQ(GetPixel(dc, w - 3, h / 2), yellow);
  EXPECT_EQ(GetPixel(dc, 4, h / 2), face);
  EXPECT_TRUE(AnyPixel(dc, w - 40, 4, w - 6, h - 4, bar_colour));
  EXPECT_FALSE(AnyPixel(dc, w - 6, 4, w - 4, h - 4, bar_colour));  // 2 pixels kept free

  // 30 %: the bar over 30 % of the inner width, face after it; the window shows the same.
  SetProgress(clocked.progress, 300);
  EXPECT_EQ(bar->drawn_value(), 300);
  const int bar_end = 4 + ProgressBarWidth(300, bar->inner_width());
  EXPECT_EQ(GetPixel(dc, 4, h / 2), bar_colour);
  EXPECT_EQ(GetPixel(dc, bar_end - 1, 4), bar_colour);
  EXPECT_EQ(GetPixel(dc, bar_end, h / 2), face);
  EXPECT_EQ(GetPixel(dc, 4, 3), face);
  const HDC screen = GetDC(bar->window());
  EXPECT_EQ(GetPixel(screen, 4, h / 2), bar_colour);
  EXPECT_EQ(GetPixel(screen, bar_end, h / 2), face);
  EXPECT_EQ(GetPixel(screen, 2, h / 2), yellow);
  ReleaseDC(bar->window(), screen);

  // A value on the same pixel and percentage is not drawn.
  SetProgress(clocked.progress, 301);
  EXPECT_EQ(bar->drawn_value(), 300);

  // 100 %: the text lies on the bar, in the highlight colour.
  SetProgress(clocked.progress, 1000);
  EXPECT_EQ(bar->drawn_value(), 1000);
  EXPECT_EQ(GetPixel(dc, w - 5, h / 2), bar_colour);
  EXPECT_TRUE(AnyPixel(dc, w - 40, 4, w - 6, h - 4, highlight));
}

}  // namespace
}  // namespace trace
