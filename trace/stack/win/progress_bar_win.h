// The small topmost window that shows a slow bug report's progress as a bar and a
// percentage.
#pragma once

#include <windows.h>

#include <memory>

#include "trace/stack/progress.h"

namespace trace {

// Height of the window in pixels.
inline constexpr int kProgressBarHeight = 23;

// A "STATIC" popup, half the full-screen width wide and centred on the screen, painted
// from a bitmap of its own; the window goes when the object does.
class TProgressBar : public ProgressDisplay {
 public:
  // Opens and shows the window with nothing drawn yet; null when a part cannot be made.
  static std::unique_ptr<TProgressBar> Create();
  // Clears the window to the face colour, frees the drawing objects, destroys the window.
  ~TProgressBar() override;
  TProgressBar(const TProgressBar&) = delete;
  TProgressBar& operator=(const TProgressBar&) = delete;

  // Draws value (0..1000) when the bar's pixel width or the percentage shown changes.
  void Show(int value) override;

  // The window.
  HWND window() const { return window_; }
  // The memory device context holding the drawn picture.
  HDC memory_dc() const { return memory_dc_; }
  // The value drawn last; negative before the first drawing.
  int drawn_value() const { return drawn_value_; }
  // The width of the area the bar fills, in pixels.
  int inner_width() const { return width_ - 8; }

 private:
  TProgressBar() = default;
  void Draw(int value);

  HWND window_ = nullptr;
  int width_ = 0;
  int drawn_value_ = -1;
  HDC memory_dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HDC window_dc_ = nullptr;
  HGDIOBJ old_bitmap_ = nullptr;
  HGDIOBJ old_font_ = nullptr;
};

}  // namespace trace
