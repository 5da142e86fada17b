#include "trace/stack/win/progress_bar_win.h"

#include <string>

namespace trace {
namespace {

// A rectangle filled with a system colour or an RGB value.
void Fill(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  const RECT rect{left, top, right, bottom};
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &rect, brush);
  DeleteObject(brush);
}

// A one-pixel frame just inside the rectangle.
void Frame(HDC dc, int left, int top, int right, int bottom, COLORREF colour) {
  Fill(dc, left, top, right, top + 1, colour);
  Fill(dc, left, bottom - 1, right, bottom, colour);
  Fill(dc, left, top, left + 1, bottom, colour);
  Fill(dc, right - 1, top, right, bottom, colour);
}

}  // namespace

std::unique_ptr<TProgressBar> TProgressBar::Create() {
  std::unique_ptr<TProgressBar> bar(new TProgressBar);
  bar->width_ = GetSystemMetrics(SM_CXFULLSCREEN) / 2;
  const int left = (GetSystemMetrics(SM_CXSCREEN) - bar->width_) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - kProgressBarHeight) / 2;
  bar->window_ =
      CreateWindowExA(WS_EX_TOPMOST, "STATIC", "", WS_POPUP, left, top, bar->width_,
                      kProgressBarHeight, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
  if (bar->window_ == nullptr) return nullptr;
  bar->window_dc_ = GetDC(bar->window_);
  if (bar->window_dc_ == nullptr) return nullptr;
  bar->memory_dc_ = CreateCompatibleDC(bar->window_dc_);
  if (bar->memory_dc_ == nullptr) return nullptr;
  bar->bitmap_ = CreateCompatibleBitmap(bar->window_dc_, bar->width_, kProgressBarHeight);
  HFONT font =
      CreateFontA(-12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
  if (bar->bitmap_ == nullptr || font == nullptr) {
    if (font != nullptr) DeleteObject(font);
    return nullptr;
  }
  bar->old_bitmap_ = SelectObject(bar->memory_dc_, bar->bitmap_);
  bar->old_font_ = SelectObject(bar->memory_dc_, font);
  SetBkMode(bar->memory_dc_, TRANSPARENT);
  // Shown without taking the focus, and painted by the control once before the bitmap is
  // copied over it.
  ShowWindow(bar->window_, SW_SHOWNOACTIVATE);
  UpdateWindow(bar->window_);
  return bar;
}

TProgressBar::~TProgressBar() {
  if (window_dc_ != nullptr) {
    RECT client{};
    GetClientRect(window_, &client);
    FillRect(window_dc_, &client, GetSysColorBrush(COLOR_BTNFACE));
  }
  if (memory_dc_ != nullptr) {
    if (old_bitmap_ != nullptr) SelectObject(memory_dc_, old_bitmap_);
    if (old_font_ != nullptr) DeleteObject(SelectObject(memory_dc_, old_font_));
    DeleteDC(memory_dc_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
  if (window_dc_ != nullptr) ReleaseDC(window_, window_dc_);
  if (window_ != nullptr) DestroyWindow(window_);
}

void TProgressBar::Show(int value) {
  if (!ProgressNeedsRedraw(drawn_value_, value, inner_width())) return;
  Draw(value);
  drawn_value_ = value;
}

void TProgressBar::Draw(int value) {
  HDC dc = memory_dc_;
  const int w = width_;
  const int h = kProgressBarHeight;
  Fill(dc, 0, 0, w, h, GetSysColor(COLOR_BTNFACE));
  Frame(dc, 0, 0, w, h, GetSysColor(COLOR_3DHILIGHT));
  Fill(dc, 0, h - 1, w, h, GetSysColor(COLOR_3DSHADOW));
  Fill(dc, w - 1, 0, w, h, GetSysColor(COLOR_3DSHADOW));
  Frame(dc, 2, 2, w - 2, h - 2, RGB(255, 255, 0));
  const RECT bar{4, 4, 4 + ProgressBarWidth(value, inner_width()), h - 4};
  Fill(dc, bar.left, bar.top, bar.right, bar.bottom, GetSysColor(COLOR_BTNTEXT));

  // The text in the highlight colour where the bar lies under it, in the text colour
  // elsewhere: drawn twice, clipped to each part.
  const std::string text = std::to_string(ProgressPercent(value)) + "%";
  RECT text_rect{4, 4, w - 4 - 2, h - 4};
  const UINT format = DT_RIGHT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
  int saved = SaveDC(dc);
  IntersectClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
  SetTextColor(dc, GetSysColor(COLOR_3DHILIGHT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &text_rect, format);
  RestoreDC(dc, saved);
  saved = SaveDC(dc);
  ExcludeClipRect(dc, bar.left, bar.top, bar.right, bar.bottom);
  SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &text_rect, format);
  RestoreDC(dc, saved);

  BitBlt(window_dc_, 0, 0, w, h, dc, 0, 0, SRCCOPY);
  GdiFlush();
}

}  // namespace trace
