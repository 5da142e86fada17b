// Where everything of the exception box lies: the window, its buttons, the message, the
// big icon and the report area, worked out from the settings, the exception's state and
// the sizes of the texts as the message font measures them. No system calls: the box
// measures, this decides, the box creates.
#pragma once

#include <array>
#include <string_view>

#include "crash/crash_settings.h"

namespace crash {

// The seven buttons by action code (ButtonAction); mail, save, print and show lie on the
// left, continue, restart and close are the exit buttons on the right.
inline constexpr int kBoxButtons = 7;
// The action code of a continue button that is disabled (it names its picture too).
inline constexpr int kCantContinueAction = 7;
// The smallest width of the window with its report area.
inline constexpr int kReportWidth = 538;
// What the report area adds to the window's height.
inline constexpr int kReportHeight = 403;

// A rectangle by its position and size.
struct BoxRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  bool operator==(const BoxRect&) const = default;
};

// The size of a measured text.
struct BoxSize {
  int width = 0;
  int height = 0;
};

// Measures the message wrapped at word boundaries into a given width.
class MessageMeasure {
 public:
  virtual ~MessageMeasure() = default;
  // The size the message takes when wrapped into width pixels.
  virtual BoxSize Wrapped(int width) const = 0;
};

// What the layout needs to know beside the settings.
struct BoxFacts {
  bool can_continue = false;
  bool auto_close_holds = false;    // the automatic-rule test holds for AutoClose
  bool auto_restart_holds = false;  // ... for AutoRestart
  bool big_icon = false;            // the icon "ktiBigIcon" was found
  // Width of each button's caption in the message font, by action code (empty ones are
  // not looked at).
  std::array<int, kBoxButtons> caption_widths{};
  int caption_height = 0;  // the system's window caption height
  int screen_width = 0;
  int screen_height = 0;
};

// The two button arrangements: exit buttons stacked on the right, or all in one row.
enum class BoxLayoutKind { Stacked, Row };

// One button of the box.
struct BoxButton {
  bool exists = false;
  BoxRect rect;    // in the window's client area
  int action = 0;  // the action code kept in the button (7: a disabled continue)
  bool enabled = true;
};

// The whole arrangement of one box.
struct BoxLayout {
  BoxLayoutKind kind = BoxLayoutKind::Row;
  std::array<BoxButton, kBoxButtons> buttons{};  // by action code
  std::array<int, kBoxButtons> widths{};         // caption width + 39, 0 for none
  int exit_width = 0;                            // the widest exit button
  int bitmap_width = 0;       // the buttons' off-screen bitmap: widest button - 4
  int exit_rows = 0;          // rows the buttons take (E as the layout counts it)
  int focused = 0;            // the action that gets the focus (FocusedButton as chosen)
  int default_button = -1;    // the button with the default style and the focus, or -1
  int automatic = -1;         // the button whose countdown runs, or -1
  bool system_menu = false;   // the window has the system menu (and its close box)
  bool show_details = false;  // the report is visible at once
  int message_inset = 0;      // I: what the message's wrapping width leaves to the rest
  BoxRect message;            // the message's static text
  bool icon_holder = false;   // the big icon's holder exists
  BoxRect icon_rect;          // ... and lies here
  int buttons_top = 0;        // Y: the top of row 0
  bool report_area = false;   // the report's frames and edit exist
  int report_top = 0;         // T
  BoxRect grey_frame;         // in the window's client area
  BoxRect white_frame;        // in the window's client area
  BoxRect report_edit;        // in the white frame
  int width = 0;              // W: the window's width
  int report_width = 0;       // W': the width with the report shown
  int small_height = 0;       // the height without the report
  int full_height = 0;        // the height with the report
  int height = 0;             // the height the window opens with
  int left = 0;               // the window's position: centred as if W' x full height
  int top = 0;
};

// A button's caption by action code (0 mail ... 6 close).
std::string_view BoxCaption(const CrashSettings& settings, int action);

// The settings after the box's first step: with ShowDetailsInitially the show button is
// never made.
CrashSettings BoxSettings(const CrashSettings& settings);

// The arrangement of the box for these (BoxSettings-adjusted or raw) settings.
BoxLayout LayOutBox(const CrashSettings& settings, const BoxFacts& facts,
                    const MessageMeasure& message);

// What pressing show does to the layout's window: the new width (at least the report
// width) and by how much continue, restart and close move right.
struct ShowGrowth {
  int width = 0;
  int height = 0;
  int shift = 0;
};
ShowGrowth GrowForReport(const BoxLayout& layout, int current_width);

// The action a close request of the window carries out (Escape, the close box), or -1
// when the request is ignored (the window has no system menu).
int CloseRequestAction(const BoxLayout& layout, bool can_continue);

}  // namespace crash
