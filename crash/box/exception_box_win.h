// The exception box: the window that tells the user that an exception happened (or that
// the program is frozen), shows the bug report and offers mail, save, print, show,
// continue, restart and close. It is built on the system's window functions alone, since
// it runs on the handling thread while the program's other threads are suspended: nothing
// here may wait for them.
#pragma once

#include <windows.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "crash/box/box_layout.h"
#include "crash/box/box_measure_win.h"
#include "crash/box/box_painting.h"
#include "crash/crash_settings.h"
#include "crash/reported_exception.h"
#include "trace/system/win/window_proc_thunk_win.h"

namespace crash {

// The window class of every exception box.
inline constexpr char kBoxWindowClass[] = "kestraponWndClass";
// The countdown timer's id and period.
inline constexpr UINT_PTR kCountdownTimer = 777;
inline constexpr UINT kCountdownPeriodMs = 10;
// The control id of a button: this plus its action code.
inline constexpr int kBoxButtonIdBase = 100;

// One box; the constructor builds and shows the window and returns at once. The window
// ends through the actions (or the frozen program's answer); the object outlives it.
class TExceptionBox {
 public:
  TExceptionBox(const ActiveSettings& settings, bool frozen, bool can_continue,
                std::string bug_report, uint32_t exception_address,
                const ReportedException* exception);
  ~TExceptionBox();
  TExceptionBox(const TExceptionBox&) = delete;
  TExceptionBox& operator=(const TExceptionBox&) = delete;

  // The box window; null when it could not be made.
  HWND window() const { return window_; }
  // The report's edit field, or null.
  HWND report_edit() const { return report_edit_; }

 private:
  struct Button {
    HWND window = nullptr;
    int action = 0;  // the action code kept in the button's user data too
    int width = 0;   // of the window
    int caption_width = 0;
    HICON picture = nullptr;
    bool picture_bitmap = false;  // the picture is a 1064-byte bitmap resource
    std::string caption;
  };

  static LRESULT CALLBACK Procedure(void* object, HWND window, UINT message, WPARAM wparam,
                                    LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);

  void CreateButtons();
  void CreateReportArea();
  void PutReportOnClipboard() const;
  void Press(int index);
  void RunAction(int action);
  void StopCountdown();
  void Tick();
  void DrawItem(const DRAWITEMSTRUCT& item);
  // Paints the button in the look into dc (the button's own), through the memory context.
  void PaintButton(int index, HDC dc, const ButtonLook& look, bool disabled);
  void PaintInto(int index, const ButtonLook& look, bool disabled);
  ButtonLook LookOf(int index, bool focused) const;
  void Fade(int index, bool to_focused);
  void Flash(int index);
  int IndexOf(HWND button) const;
  int CountdownAt() const;
  void FocusAfterRemoval();

  trace::WindowProcThunk thunk_;
  HDC memory_dc_ = nullptr;
  HBITMAP button_bitmap_ = nullptr;
  HFONT message_font_ = nullptr;
  HFONT report_font_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  HGDIOBJ old_font_ = nullptr;
  HWND window_ = nullptr;
  HWND report_edit_ = nullptr;
  std::array<Button, kBoxButtons> buttons_{};
  int automatic_ = -1;
  DWORD last_animation_ = 0;
  bool frozen_ = false;
  const ReportedException* exception_ = nullptr;
  uint32_t exception_address_ = 0;
  std::string bug_report_;
  bool can_continue_ = false;
  DWORD countdown_start_ = 0;
  int last_progress_ = -1;
  HICON big_icon_ = nullptr;
  HWND icon_holder_ = nullptr;

  const ActiveSettings& settings_;
  CrashSettings box_settings_;
  BoxLayout layout_;
  std::string message_;
  int bits_per_pixel_ = 32;
  bool constructing_ = true;
};

// Shows the box for one report and runs its message loop on the calling thread until the
// window is gone (continue, the frozen program's answer), or the process ends (close,
// restart). False when no window could be made.
bool RunExceptionBox(const ActiveSettings& settings, bool frozen, bool can_continue,
                     const std::string& bug_report, uint32_t exception_address,
                     const ReportedException* exception);

}  // namespace crash
