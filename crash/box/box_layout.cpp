#include "crash/box/box_layout.h"

#include <algorithm>

namespace crash {

namespace {

constexpr int kMail = 0, kShow = 3, kContinue = 4, kRestart = 5, kClose = 6;
constexpr int kRowStep = 26;
constexpr int kButtonHeight = 22;
constexpr int kBigIconRoom = 40;
constexpr int kLowMessage = 26;  // a message lower than this is centred beside the big icon

}  // namespace

std::string_view BoxCaption(const CrashSettings& settings, int action) {
  switch (action) {
    case 0:
      return settings.MailCaption;
    case 1:
      return settings.SaveCaption;
    case 2:
      return settings.PrintCaption;
    case 3:
      return settings.ShowCaption;
    case 4:
      return settings.ContinueCaption;
    case 5:
      return settings.RestartCaption;
    default:
      return settings.CloseCaption;
  }
}

CrashSettings BoxSettings(const CrashSettings& settings) {
  CrashSettings adjusted = settings;
  if (adjusted.ShowDetailsInitially) adjusted.ShowCaption = "";
  return adjusted;
}

BoxLayout LayOutBox(const CrashSettings& raw, const BoxFacts& facts,
                    const MessageMeasure& message) {
  const CrashSettings settings = BoxSettings(raw);
  BoxLayout layout;
  std::array<bool, kBoxButtons> present{};
  for (int i = 0; i < kBoxButtons; ++i)
    present[i] = !BoxCaption(settings, i).empty();

  // The focused button.
  layout.focused = settings.FocusedButton;
  if (facts.auto_close_holds && present[kClose]) {
    layout.focused = kClose;
  } else if (facts.auto_restart_holds && present[kRestart]) {
    layout.focused = kRestart;
  } else if (settings.AutoContinue && present[kContinue] && facts.can_continue) {
    layout.focused = kContinue;
  }

  // The system menu only where at most one way out is offered.
  const int ways_out = (present[kContinue] && facts.can_continue ? 1 : 0) +
                       (present[kRestart] ? 1 : 0) + (present[kClose] ? 1 : 0);
  layout.system_menu = ways_out <= 1;

  // Widths.
  int widest = 0;
  for (int i = 0; i < kBoxButtons; ++i) {
    layout.widths[i] = present[i] ? facts.caption_widths[i] + 39 : 0;
    widest = std::max(widest, layout.widths[i]);
  }
  const auto& w = layout.widths;
  layout.exit_width = std::max({w[kContinue], w[kRestart], w[kClose]});
  layout.bitmap_width = std::max(widest - 4, 0);

  // Stacked or row.
  int exits =
      (present[kContinue] ? 1 : 0) + (present[kRestart] ? 1 : 0) + (present[kClose] ? 1 : 0);
  bool left_buttons = false;
  for (int i = kMail; i <= kShow; ++i)
    left_buttons = left_buttons || present[i];
  const bool stacked = exits >= 2 && left_buttons;
  layout.kind = stacked ? BoxLayoutKind::Stacked : BoxLayoutKind::Row;
  const int left_sum = w[0] + w[1] + w[2] + w[3];
  const int exit_sum = w[kContinue] + w[kRestart] + w[kClose];
  const int min_width = stacked ? left_sum + layout.exit_width + 14 : left_sum + exit_sum + 14;
  int inset = stacked ? layout.exit_width + 40 : 26;
  if (exits == 1) exits = 2;
  // Without any exit button the left buttons still need their row; counted as none they
  // would lie over the message, as one (row 0) beside the big icon. They take row 1, as
  // beside a single exit button.
  if (exits == 0 && left_buttons) exits = 2;

  // The big icon.
  if (facts.big_icon) {
    inset += kBigIconRoom;
    layout.icon_holder = true;
    layout.icon_rect = {9, 10, 32, 32};
  }
  layout.message_inset = inset;

  // The message and the window's width.
  const BoxSize text = message.Wrapped(std::max(min_width, kReportWidth) - inset);
  layout.width = std::max(min_width, text.width + inset);
  layout.show_details = settings.ShowDetailsInitially;
  if (layout.show_details) layout.width = std::max(layout.width, kReportWidth);

  // The buttons' top.
  const bool low_beside_icon = facts.big_icon && text.height < kLowMessage;
  int top = low_beside_icon ? 31 : text.height + 5;
  if (exits == 3) {
    if (stacked) {
      top = std::max(top - kRowStep, 7);
    } else {
      exits = 2;
    }
  }
  layout.buttons_top = top;
  layout.exit_rows = exits;
  auto row_y = [&](int row) { return top + kRowStep * row; };

  // The buttons, left to right.
  int x = 6;
  for (int i = kMail; i <= kShow; ++i) {
    if (!present[i]) continue;
    layout.buttons[i] = {true, {x, row_y(exits - 1), w[i] - 4, kButtonHeight}, i, true};
    x += w[i];
  }
  x = layout.width - (stacked ? layout.exit_width : exit_sum) - 8;
  for (int i = kContinue; i <= kClose; ++i) {
    if (!present[i]) continue;
    int row = 1;
    if (stacked) {
      row = i == kContinue ? 0 : i == kRestart ? (present[kContinue] ? 1 : 0) : exits - 1;
    }
    const int width = stacked ? layout.exit_width : w[i];
    layout.buttons[i] = {true, {x, row_y(row), width - 4, kButtonHeight}, i, true};
    if (!stacked) x += w[i];
  }

  // A continue that can't continue, where another way out exists, is disabled.
  BoxButton& go_on = layout.buttons[kContinue];
  if (go_on.exists && !facts.can_continue && (present[kRestart] || present[kClose])) {
    go_on.enabled = false;
    go_on.action = kCantContinueAction;
  }
  // The focus and the default style: the first enabled button of the focused action.
  for (int i = 0; i < kBoxButtons; ++i) {
    const BoxButton& button = layout.buttons[i];
    if (button.exists && button.enabled && button.action == layout.focused) {
      layout.default_button = i;
      break;
    }
  }

  // The message.
  layout.message = {facts.big_icon ? 51 : 11,
                    low_beside_icon ? 12 + (kLowMessage - text.height) / 2 : 12, text.width,
                    text.height};

  // The report area.
  layout.report_area = settings.ShowDetailsInitially || left_buttons;
  layout.report_top = top + exits * kRowStep + 8;
  layout.report_width = std::max(layout.width, kReportWidth);
  const int t = layout.report_top;
  const int frame_width = layout.report_width - 17;
  layout.grey_frame = {6, t - 3, frame_width, 395};
  layout.white_frame = {5, t - 4, frame_width, 395};
  layout.report_edit = {7, 6, layout.report_width - 30, 383};

  // Heights and the place on the screen.
  layout.small_height = t + facts.caption_height;
  layout.full_height = layout.small_height + kReportHeight;
  layout.height = layout.show_details ? layout.full_height : layout.small_height;
  layout.left = (facts.screen_width - layout.report_width) / 2;
  layout.top = (facts.screen_height - layout.full_height) / 2;

  // The automatic button (its countdown line needs the owner-drawn buttons).
  if (settings.AnimatedButtons) {
    if (facts.auto_close_holds && present[kClose]) {
      layout.automatic = kClose;
    } else if (facts.auto_restart_holds && present[kRestart]) {
      layout.automatic = kRestart;
    } else if (settings.AutoContinue && present[kContinue] && facts.can_continue) {
      layout.automatic = kContinue;
    }
  }
  return layout;
}

ShowGrowth GrowForReport(const BoxLayout& layout, int current_width) {
  ShowGrowth growth;
  growth.width = std::max(current_width, kReportWidth);
  growth.height = layout.full_height;
  growth.shift = growth.width - current_width;
  return growth;
}

int CloseRequestAction(const BoxLayout& layout, bool can_continue) {
  if (!layout.system_menu) return -1;
  if (layout.buttons[kRestart].exists) return kRestart;
  if (layout.buttons[kClose].exists) return kClose;
  if (can_continue) return kContinue;
  return kClose;
}

}  // namespace crash
