// Real exception boxes of crashing window programs (tests/box/programs/), driven from
// outside as a user would: the box's children against the layout worked out here with the
// same measurements, its looks on the screen, the keyboard, the countdown, and what every
// button does to the program. Screenshots of the main variants go to screenshots/.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "crash/box/box_layout.h"
#include "crash/box/box_measure_win.h"
#include "crash/box/box_painting.h"
#include "tests/integration/window_driver.h"

namespace {

constexpr DWORD kContinuedExit = 42;
constexpr char kMessage[] = "The box test's failure.";

// The settings each box program is built with (tests/box/programs/*_settings.cpp).
crash::CrashSettings Variant(const std::string& name) {
  crash::CrashSettings settings;
  if (name == "countdown") {
    settings.AutoContinue = true;
    settings.AutoDelay = 2;
  } else if (name == "later") {
    settings.RestartCaption = "restart";
    settings.ShowDetailsInitially = false;
  } else if (name == "no_exits") {
    settings.ContinueCaption = settings.CloseCaption = "";
  } else if (name == "plain") {
    settings.AnimatedButtons = false;
  } else if (name == "save") {
    settings.BugReportFile = "C:\\box_save_test.txt";
    settings.SaveCaption = "save bug report";
  }
  return settings;
}

// The first window (a top-level one for a null parent, else a child at any depth) that
// the test accepts, or null.
HWND FindWindowWhere(HWND parent, const std::function<bool(HWND)>& test) {
  struct Search {
    const std::function<bool(HWND)>* test;
    HWND found;
  } search{&test, nullptr};
  const WNDENUMPROC match = [](HWND window, LPARAM lparam) -> BOOL CALLBACK {
    auto* s = reinterpret_cast<Search*>(lparam);
    if (!(*s->test)(window)) return TRUE;
    s->found = window;
    return FALSE;
  };
  if (parent) {
    EnumChildWindows(parent, match, reinterpret_cast<LPARAM>(&search));
  } else {
    EnumWindows(match, reinterpret_cast<LPARAM>(&search));
  }
  return search.found;
}

bool OfClass(HWND window, const char* name) {
  char found[64] = "";
  GetClassNameA(window, found, sizeof found);
  return lstrcmpiA(found, name) == 0;
}

HWND ChildOfClass(HWND parent, const char* name) {
  return FindWindowWhere(parent, [&](HWND window) { return OfClass(window, name); });
}

// The visible box window of the process, or null after the time.
HWND WaitForBox(DWORD process_id, DWORD timeout_ms) {
  const DWORD start = GetTickCount();
  do {
    HWND box = FindWindowWhere(nullptr, [&](HWND window) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      return owner == process_id && IsWindowVisible(window) && OfClass(window, "kestraponWndClass");
    });
    if (box) return box;
    Sleep(50);
  } while (GetTickCount() - start < timeout_ms);
  return nullptr;
}

// A child's rectangle in the coordinates of its parent's client area.
crash::BoxRect ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

std::string TextOf(HWND window) {
  const int length = static_cast<int>(SendMessageA(window, WM_GETTEXTLENGTH, 0, 0));
  std::string text(length + 1, '\0');
  SendMessageA(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()));
  text.resize(length);
  return text;
}

std::string ClipboardText() {
  std::string text;
  if (!OpenClipboard(nullptr)) return text;
  if (HANDLE data = GetClipboardData(CF_TEXT)) {
    if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
      text = bytes;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void ClearClipboard() {
  if (OpenClipboard(nullptr)) {
    EmptyClipboard();
    CloseClipboard();
  }
}

// The layout the box should have, from this process's measurements of the same texts.
crash::BoxLayout ExpectedLayout(const crash::CrashSettings& raw, bool can_continue,
                                const std::string& message, bool big_icon = true) {
  const crash::CrashSettings settings = crash::BoxSettings(raw);
  HDC dc = CreateCompatibleDC(nullptr);
  HFONT font =
      CreateFontA(-12, 0, 0, 0, FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, "MS Sans Serif");
  HGDIOBJ old = SelectObject(dc, font);
  const crash::BoxLayout layout =
      crash::LayOutBox(settings, crash::MeasureBoxFacts(settings, dc, can_continue, big_icon),
                       crash::DrawTextMeasure(dc, message));
  SelectObject(dc, old);
  DeleteObject(font);
  DeleteDC(dc);
  return layout;
}

BOOL CALLBACK NotePendingPaint(HWND child, LPARAM pending) {
  if (GetUpdateRect(child, nullptr, FALSE)) *reinterpret_cast<bool*>(pending) = true;
  return TRUE;
}

// Waits (at most 3 s) until neither the window nor a child of it has a part left to
// paint, then gives the painting time to reach the screen.
void WaitUntilPainted(HWND window) {
  for (int i = 0; i < 150; ++i) {
    bool pending = GetUpdateRect(window, nullptr, FALSE) != FALSE;
    EnumChildWindows(window, NotePendingPaint, reinterpret_cast<LPARAM>(&pending));
    if (!pending) break;
    Sleep(20);
  }
  Sleep(150);
}

// The window as the screen shows it, pixel by pixel (0x00RRGGBB, top row first).
struct Capture {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;
  // As a system colour value (0x00BBGGRR), at a point of the window's client area.
  uint32_t At(int x, int y) const {
    const uint32_t p = pixels[y * width + x];
    return (p & 0xFF) << 16 | (p & 0xFF00) | (p >> 16 & 0xFF);
  }
  int client_x = 0;  // where the client area starts in the capture
  int client_y = 0;
  uint32_t Client(int x, int y) const { return At(client_x + x, client_y + y); }
};

Capture CaptureWindow(HWND window) {
  RECT frame;
  GetWindowRect(window, &frame);
  POINT origin{0, 0};
  ClientToScreen(window, &origin);
  Capture capture;
  capture.width = frame.right - frame.left;
  capture.height = frame.bottom - frame.top;
  capture.client_x = origin.x - frame.left;
  capture.client_y = origin.y - frame.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, capture.width, capture.height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, capture.width, capture.height, screen, frame.left, frame.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = capture.width;
  info.bmiHeader.biHeight = -capture.height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  capture.pixels.resize(static_cast<size_t>(capture.width) * capture.height);
  GetDIBits(memory, bitmap, 0, capture.height, capture.pixels.data(), &info, DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return capture;
}

// Saves the capture as screenshots/<name>.bmp in the working folder.
void SaveScreenshot(const Capture& capture, const std::string& name) {
  CreateDirectoryA("screenshots", nullptr);
  std::ofstream out("screenshots\\" + name + ".bmp", std::ios::binary);
  const uint32_t image = static_cast<uint32_t>(capture.pixels.size() * 4);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + image;
  BITMAPINFOHEADER info{};
  info.biSize = sizeof info;
  info.biWidth = capture.width;
  info.biHeight = -capture.height;
  info.biPlanes = 1;
  info.biBitCount = 32;
  out.write(reinterpret_cast<const char*>(&file), sizeof file);
  out.write(reinterpret_cast<const char*>(&info), sizeof info);
  out.write(reinterpret_cast<const char*>(capture.pixels.data()), image);
}

int BitsPerPixel() {
  HDC screen = GetDC(nullptr);
  const int bits = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
  ReleaseDC(nullptr, screen);
  return bits;
}

// A box program started with a scenario and a log of its own.
class ExceptionBox : public ::testing::Test {
 protected:
  // Starts box_<variant>.exe with the scenario and waits for its box.
  void Open(const std::string& variant, const std::string& scenario) {
    variant_ = variant;
    log_ = driver::ExecutableFolder() + "box_" + variant + "_" + scenario + ".log";
    DeleteFileA(log_.c_str());
    ClearClipboard();
    const std::string program = driver::ExecutableFolder() + "box_" + variant + ".exe";
    ASSERT_TRUE(program_.Start("\"" + program + "\" " + scenario + " \"" + log_ + "\""));
    box_ = WaitForBox(program_.id(), driver::kStartTimeoutMs);
    ASSERT_NE(box_, nullptr) << "no box";
    // The box shows before its focus arrives.
    for (int i = 0; i < 100 && !driver::FocusedWindow(box_); ++i)
      Sleep(20);
    WaitUntilPainted(box_);
  }

  // The program's exit code, or ~0 when it did not end in time.
  DWORD ExitCode(DWORD timeout_ms = 20000) {
    DWORD code = ~0u;
    if (!program_.WaitForExit(timeout_ms, &code)) return ~0u;
    return code;
  }

  std::string Log() const {
    std::ifstream in(log_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  HWND Button(const char* caption) const { return driver::FindChildWindow(box_, caption); }

  // Every button of the layout exists where it says, with its action and state.
  void ExpectLayout(const crash::BoxLayout& layout) {
    // Found by the captions as set, so that a show button made in spite of the report
    // shown at once is seen too.
    const crash::CrashSettings raw = Variant(variant_);
    const crash::CrashSettings settings = crash::BoxSettings(raw);
    for (int i = 0; i < crash::kBoxButtons; ++i) {
      SCOPED_TRACE(i);
      const crash::BoxButton& expected = layout.buttons[i];
      const std::string caption(crash::BoxCaption(raw, i));
      HWND button = caption.empty() ? nullptr : Button(caption.c_str());
      ASSERT_EQ(button != nullptr, expected.exists);
      if (!button) continue;
      EXPECT_EQ(ChildRect(button), expected.rect);
      EXPECT_EQ(GetWindowLongPtrA(button, GWLP_USERDATA), expected.action);
      EXPECT_EQ(IsWindowEnabled(button) != FALSE, expected.enabled);
      EXPECT_EQ(GetWindowLongA(button, GWL_STYLE) & BS_TYPEMASK,
                settings.AnimatedButtons     ? BS_OWNERDRAW
                : i == layout.default_button ? BS_DEFPUSHBUTTON
                                             : BS_PUSHBUTTON);
    }
    RECT frame;
    GetWindowRect(box_, &frame);
    EXPECT_EQ(frame.left, layout.left);
    EXPECT_EQ(frame.top, layout.top);
    EXPECT_EQ(frame.right - frame.left, layout.width);
    EXPECT_EQ(frame.bottom - frame.top, layout.height);
    EXPECT_EQ((GetWindowLongA(box_, GWL_STYLE) & WS_SYSMENU) != 0, layout.system_menu);
    EXPECT_NE(GetWindowLongA(box_, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  }

  std::string variant_;
  std::string log_;
  driver::ChildProcess program_;
  HWND box_ = nullptr;
};

TEST_F(ExceptionBox, DefaultSettingsShowTheReportAndContinueGoesOn) {
  Open("default", "handler");
  EXPECT_EQ(driver::WindowText(box_), "box_default.exe");
  const crash::BoxLayout layout = ExpectedLayout(Variant("default"), true, kMessage);
  ExpectLayout(layout);
  HWND message = driver::FindChildWindow(box_, kMessage);
  ASSERT_NE(message, nullptr);
  EXPECT_EQ(ChildRect(message), layout.message);
  EXPECT_EQ(driver::FindChildWindow(box_, "show bug report"), nullptr);
  EXPECT_EQ(driver::FocusedWindow(box_), Button("terminate"));

  // The report, shown at once and on the clipboard, in its frames.
  HWND edit = ChildOfClass(box_, "Edit");
  ASSERT_NE(edit, nullptr);
  const std::string report = TextOf(edit);
  EXPECT_NE(report.find("The box test's failure"), std::string::npos);
  EXPECT_GT(report.size(), 500u);
  EXPECT_EQ(ClipboardText(), report);
  EXPECT_EQ(ChildRect(edit), layout.report_edit);
  EXPECT_EQ(ChildRect(GetParent(edit)), layout.white_frame);
  EXPECT_NE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY, 0);

  // Escape and the close request do nothing without a system menu.
  driver::PressKey(box_, VK_ESCAPE);
  PostMessageA(box_, WM_CLOSE, 0, 0);
  Sleep(500);
  EXPECT_TRUE(IsWindow(box_));

  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
  EXPECT_NE(Log().find("continued"), std::string::npos);
}

TEST_F(ExceptionBox, LooksOnTheScreen) {
  Open("default", "handler");
  const Capture capture = CaptureWindow(box_);
  SaveScreenshot(capture, "default");
  const int bits = BitsPerPixel();
  const uint32_t dark = GetSysColor(COLOR_3DDKSHADOW);
  const uint32_t face = GetSysColor(COLOR_BTNFACE);
  const crash::BoxRect terminate = ChildRect(Button("terminate"));
  const crash::BoxRect go_on = ChildRect(Button("continue"));
  // Focused: the dark background, white caption; the other: the lightened face, black.
  EXPECT_EQ(capture.Client(terminate.x + 1, terminate.y + 1), dark);
  EXPECT_EQ(capture.Client(go_on.x + 1, go_on.y + 1),
            crash::UnfocusedLook(face, bits, false).background);
  int white = 0;
  int black = 0;
  for (int y = 4; y < 18; ++y) {
    for (int x = 22; x < terminate.width - 2; ++x) {
      white += capture.Client(terminate.x + x, terminate.y + y) == 0xFFFFFF;
      black += capture.Client(go_on.x + x, go_on.y + y) == 0x000000;
    }
  }
  EXPECT_GT(white, 20) << "the focused caption";
  EXPECT_GT(black, 20) << "the other caption";
  // The pictures at 3, 3: the cross's red and the arrow's green, opaque.
  EXPECT_EQ(capture.Client(terminate.x + 3 + 2, terminate.y + 3 + 2), 0x2A2AD4u);
  EXPECT_EQ(capture.Client(go_on.x + 3 + 5, go_on.y + 3 + 8), 0x3E9E2Eu);
  // The big icon: the warning sign's amber.
  EXPECT_EQ(capture.Client(9 + 15, 10 + 26), 0x00B8F5u);
  // Tab moves the focus; the looks fade over.
  driver::PressKey(box_, VK_TAB);
  Sleep(400);
  const Capture after = CaptureWindow(box_);
  SaveScreenshot(after, "default_tabbed");
  EXPECT_NE(after.Client(terminate.x + 1, terminate.y + 1), dark);
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, BitmapPicturesBlendAndMissingOnesAreLeftOut) {
  Open("bitmaps", "handler");
  ExpectLayout(ExpectedLayout(Variant("bitmaps"), true, kMessage, false));
  EXPECT_EQ(ChildRect(driver::FindChildWindow(box_, kMessage)).x, 11) << "no big icon's room";
  const Capture capture = CaptureWindow(box_);
  SaveScreenshot(capture, "bitmaps");
  const crash::BoxRect go_on = ChildRect(Button("continue"));
  const crash::BoxRect mail = ChildRect(Button("mail bug report"));
  const crash::BoxRect terminate = ChildRect(Button("terminate"));
  const uint32_t back =
      crash::UnfocusedLook(GetSysColor(COLOR_BTNFACE), BitsPerPixel(), false).background;
  // Opaque pixels as they are; a clear black one weighs 1 of 256 against the background.
  EXPECT_EQ(capture.Client(go_on.x + 3 + 5, go_on.y + 3 + 8), 0x3E9E2Eu);
  EXPECT_EQ(capture.Client(mail.x + 3 + 0, mail.y + 3 + 3), 0x202020u);
  uint32_t clear = 0;
  for (int shift = 0; shift <= 16; shift += 8)
    clear |= ((back >> shift & 0xFF) * 255 >> 8) << shift;
  EXPECT_EQ(capture.Client(go_on.x + 3, go_on.y + 3), clear);
  // No picture for terminate: its background only.
  for (int y = 3; y < 19; ++y) {
    for (int x = 3; x < 19; ++x) {
      ASSERT_EQ(capture.Client(terminate.x + x, terminate.y + y), GetSysColor(COLOR_3DDKSHADOW))
          << x << "," << y;
    }
  }
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, NotContinuableFaultDisablesContinueAndEscapeTerminates) {
  Open("default", "fault");
  HWND text = FindWindowWhere(box_, [](HWND window) {
    return OfClass(window, "Static") && GetWindowTextLengthA(window) > 0;
  });
  ASSERT_NE(text, nullptr);
  const std::string message = driver::WindowText(text);
  EXPECT_EQ(message.rfind("Access violation at address ", 0), 0u) << message;
  EXPECT_NE(message.find("Write of address $0."), std::string::npos) << message;
  const crash::BoxLayout layout = ExpectedLayout(Variant("default"), false, message);
  EXPECT_EQ(ChildRect(text), layout.message);
  ExpectLayout(layout);
  HWND go_on = Button("continue");
  ASSERT_NE(go_on, nullptr);
  EXPECT_FALSE(IsWindowEnabled(go_on));
  EXPECT_EQ(GetWindowLongPtrA(go_on, GWLP_USERDATA), crash::kCantContinueAction);

  // The disabled look: the face lightened by 8, the caption white and dark-shadowed,
  // the no-entry sign's red and white.
  const crash::BoxRect r = ChildRect(go_on);
  const uint32_t face =
      crash::UnfocusedLook(GetSysColor(COLOR_BTNFACE), BitsPerPixel(), true).background;
  // On a busy machine the button may reach the screen a little later than its box.
  Capture capture = CaptureWindow(box_);
  for (int i = 0; i < 40 && capture.Client(r.x + 1, r.y + 1) != face; ++i) {
    Sleep(50);
    capture = CaptureWindow(box_);
  }
  SaveScreenshot(capture, "fault");
  EXPECT_EQ(capture.Client(r.x + 1, r.y + 1), face);
  int white = 0;
  int shadow = 0;
  for (int y = 4; y < 19; ++y) {
    for (int x = 22; x < r.width - 2; ++x) {
      const uint32_t pixel = capture.Client(r.x + x, r.y + y);
      white += pixel == 0xFFFFFF;
      shadow += pixel == GetSysColor(COLOR_3DDKSHADOW);
    }
  }
  EXPECT_GT(white, 10);
  EXPECT_GT(shadow, 10);
  EXPECT_EQ(capture.Client(r.x + 3 + 5, r.y + 3 + 7), 0xFFFFFFu) << "the sign's bar";
  EXPECT_EQ(capture.Client(r.x + 3 + 7, r.y + 3 + 2), 0x2A2AD4u) << "the sign's red";

  // The only way out: Escape is a close request, which terminates.
  driver::PressKey(box_, VK_ESCAPE);
  EXPECT_EQ(ExitCode(), 0u);
  EXPECT_EQ(Log().find("continued"), std::string::npos);
}

TEST_F(ExceptionBox, TheWatchdogsClosingMessageClosesTheBox) {
  Open("default", "handler");
  PostMessageA(box_, WM_NULL, 777, 777);
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, FrozenProgramsBoxClosesWhenItAnswersAgain) {
  Open("frozen", "freeze");
  EXPECT_NE(driver::FindChildWindow(box_, "The application seems to be unable to respond."),
            nullptr);
  SaveScreenshot(CaptureWindow(box_), "frozen");
  for (int i = 0; i < 400 && IsWindow(box_); ++i)
    Sleep(25);
  EXPECT_FALSE(IsWindow(box_)) << "the box did not close by itself";
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, CountdownPressesContinueAfterItsDelay) {
  Open("countdown", "handler");
  const DWORD opened = GetTickCount();
  HWND go_on = Button("continue");
  EXPECT_EQ(driver::FocusedWindow(box_), go_on);
  Sleep(900);
  const Capture capture = CaptureWindow(box_);
  SaveScreenshot(capture, "countdown");
  // Somewhere across the button a column of the face colour between its mixes.
  const crash::BoxRect r = ChildRect(go_on);
  const uint32_t face = GetSysColor(COLOR_BTNFACE);
  const uint32_t dark = GetSysColor(COLOR_3DDKSHADOW);
  int line = -1;
  for (int x = 4; x < r.width - 4 && line < 0; ++x) {
    bool full = true;
    for (int y = 0; y < r.height && full; ++y)
      full = capture.Client(r.x + x, r.y + y) == face;
    if (full) line = x;
  }
  ASSERT_GE(line, 0) << "no countdown line";
  EXPECT_GT(line, r.width / 4) << "about half way after a second";
  EXPECT_LT(line, r.width * 3 / 4);
  const crash::CountdownLines lines = crash::CountdownLinesAt(line, r.width, face, dark, 32);
  for (int i = 1; i < lines.count; ++i) {
    EXPECT_EQ(capture.Client(r.x + lines.strokes[i].x, r.y + 11), lines.strokes[i].colour)
        << "x " << lines.strokes[i].x;
  }
  EXPECT_EQ(ExitCode(), kContinuedExit);
  const DWORD took = GetTickCount() - opened;
  EXPECT_GT(took, 1500u);
  EXPECT_LT(took, 8000u);
}

TEST_F(ExceptionBox, FocusChangeStopsTheCountdown) {
  Open("countdown", "handler");
  driver::PressKey(box_, VK_TAB);
  EXPECT_EQ(ExitCode(3500), ~0u) << "went on by itself";
  EXPECT_TRUE(IsWindow(box_));
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, ClickIntoTheReportStopsTheCountdown) {
  Open("countdown", "handler");
  HWND edit = ChildOfClass(box_, "Edit");
  ASSERT_NE(edit, nullptr);
  PostMessageA(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  PostMessageA(edit, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  EXPECT_EQ(ExitCode(3500), ~0u) << "went on by itself";
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, ShowExpandsAndRestartStartsTheNextInstance) {
  Open("later", "handler");
  const crash::BoxLayout layout = ExpectedLayout(Variant("later"), true, kMessage);
  ExpectLayout(layout);
  EXPECT_EQ(ChildOfClass(box_, "Edit") != nullptr, layout.report_area);
  const crash::BoxRect restart = ChildRect(Button("restart"));
  SaveScreenshot(CaptureWindow(box_), "later");
  driver::PressButton(Button("show bug report"));
  for (int i = 0; i < 100 && Button("show bug report"); ++i)
    Sleep(20);
  EXPECT_EQ(Button("show bug report"), nullptr);
  RECT frame;
  GetWindowRect(box_, &frame);
  const crash::ShowGrowth growth = crash::GrowForReport(layout, layout.width);
  EXPECT_EQ(frame.right - frame.left, growth.width);
  EXPECT_EQ(frame.bottom - frame.top, layout.full_height);
  EXPECT_EQ(frame.left, layout.left) << "keeps its place";
  EXPECT_EQ(ChildRect(Button("restart")).x, restart.x + growth.shift);
  Sleep(500);  // the moved and uncovered children paint themselves
  const Capture shown = CaptureWindow(box_);
  SaveScreenshot(shown, "later_shown");
  // The moved buttons show at their new places, not erased by the box's background.
  const crash::BoxRect go_on = ChildRect(Button("continue"));
  EXPECT_EQ(shown.Client(go_on.x + 3 + 5, go_on.y + 3 + 8), 0x3E9E2Eu) << "continue's arrow";
  EXPECT_NE(ClipboardText().find("The box test's failure"), std::string::npos);

  driver::PressButton(Button("restart"));
  EXPECT_EQ(ExitCode(), 0u);
  // The next instance takes the history over and says so.
  for (int i = 0; i < 300 && Log().find("started 1") == std::string::npos; ++i)
    Sleep(100);
  EXPECT_NE(Log().find("started 1"), std::string::npos) << Log();
}

TEST_F(ExceptionBox, WithoutExitButtonsTheCloseBoxContinues) {
  Open("no_exits", "handler");
  const crash::BoxLayout layout = ExpectedLayout(Variant("no_exits"), true, kMessage);
  ExpectLayout(layout);
  EXPECT_NE(GetWindowLongA(box_, GWL_STYLE) & WS_SYSMENU, 0);
  SaveScreenshot(CaptureWindow(box_), "no_exits");
  PostMessageA(box_, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

TEST_F(ExceptionBox, PlainButtonsCarryTheDefaultStyleAndEnterPressesTheFocusedOne) {
  Open("plain", "handler");
  ExpectLayout(ExpectedLayout(Variant("plain"), true, kMessage));
  SaveScreenshot(CaptureWindow(box_), "plain");
  EXPECT_EQ(driver::FocusedWindow(box_), Button("terminate"));
  driver::PressKey(box_, VK_RETURN);
  EXPECT_EQ(ExitCode(), 0u) << "terminated";
  EXPECT_EQ(Log().find("continued"), std::string::npos);
}

TEST_F(ExceptionBox, ShowsWhileAnotherThreadWorksTheHeap) {
  Open("default", "heap_busy");
  EXPECT_NE(driver::FindChildWindow(box_, kMessage), nullptr);
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
  EXPECT_NE(Log().find("worker went on"), std::string::npos) << Log();
}

TEST_F(ExceptionBox, SaveWritesTheReportAndRemovesItsButton) {
  const char kFile[] = "C:\\box_save_test.txt";
  DeleteFileA(kFile);
  Open("save", "handler");
  ExpectLayout(ExpectedLayout(Variant("save"), true, kMessage));
  const std::string report = TextOf(ChildOfClass(box_, "Edit"));
  driver::PressButton(Button("save bug report"));
  for (int i = 0; i < 200 && Button("save bug report"); ++i)
    Sleep(25);
  EXPECT_EQ(Button("save bug report"), nullptr) << "saved: the button goes";
  std::ifstream in(kFile, std::ios::binary);
  std::stringstream saved;
  saved << in.rdbuf();
  EXPECT_EQ(saved.str().rfind(report, 0), 0u) << "the file holds the report";
  EXPECT_TRUE(IsWindow(box_)) << "the box stays";
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
  DeleteFileA(kFile);
}

// The mail button runs the mail action with the box as owner: with no way that delivers,
// its failure message shows, titled with the mail caption, and the box stays.
TEST_F(ExceptionBox, MailThatFailsSaysSoAndTheBoxStays) {
  Open("save", "handler");
  driver::PressButton(Button("mail bug report"));
  const DWORD process = program_.id();
  HWND message = nullptr;
  for (int i = 0; i < 400 && !message; ++i) {
    message = FindWindowWhere(nullptr, [&](HWND window) {
      DWORD owner = 0;
      GetWindowThreadProcessId(window, &owner);
      return owner == process && IsWindowVisible(window) && OfClass(window, "#32770");
    });
    if (!message) Sleep(25);
  }
  ASSERT_NE(message, nullptr) << "no message box";
  EXPECT_EQ(driver::WindowText(message), "mail bug report");
  EXPECT_EQ(GetWindow(message, GW_OWNER), box_);
  EXPECT_NE(FindWindowWhere(message,
                            [](HWND window) {
                              return driver::WindowText(window) ==
                                     "Sorry, sending the mail didn't work.";
                            }),
            nullptr);
  driver::PressButton(driver::FindChildWindow(message, "OK"));
  for (int i = 0; i < 200 && IsWindow(message); ++i)
    Sleep(25);
  EXPECT_FALSE(IsWindow(message));
  EXPECT_TRUE(IsWindow(box_)) << "the box stays";
  driver::PressButton(Button("continue"));
  EXPECT_EQ(ExitCode(), kContinuedExit);
}

}  // namespace
