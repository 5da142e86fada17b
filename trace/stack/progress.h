// The progress indicator of the bug report: an estimate over weighted areas of work, and
// the decisions on when a window shows it and when the window draws again.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace trace {

// Milliseconds the work may take before a window shows its progress.
inline constexpr uint32_t kProgressWindowDelayMs = 750;
// The window opens only while less than this much (per mille) is done.
inline constexpr int kProgressWindowMaxValue = 500;

// Where a window shows a progress value; the Windows shell's TProgressBar is one.
class ProgressDisplay {
 public:
  // Closes the display.
  virtual ~ProgressDisplay() = default;
  // Shows value, per mille of the work left when the display opened.
  virtual void Show(int value) = 0;
};

// The time and the window a progress uses, passed in so that tests control both.
struct ProgressSystem {
  // Milliseconds of a clock that wraps at 2^32, as GetTickCount; empty means time stands.
  std::function<uint32_t()> tick;
  // Opens the window; empty, or returning null, means no window.
  std::function<std::unique_ptr<ProgressDisplay>()> open_window;
};

// One area of the work, one thread to be traced: its place on the whole scale.
struct TProgressArea {
  // Where the area begins: the sum of the weights before it.
  int64_t start = 0;
  // How much of the whole the area takes.
  int64_t weight = 0;
};

// A progress estimate and the window showing it once the work turns out slow.
struct TProgress {
  // The window, null until the work has been slow.
  std::unique_ptr<ProgressDisplay> window;
  // The clock's tick when the progress was made.
  uint32_t start_tick = 0;
  // The areas in the order they are worked through.
  std::vector<TProgressArea> areas;
  // The sum of all weights.
  int64_t total = 0;
  // The index of the area being worked on.
  int current_area = 0;
  // The position at which the window opened; the window shows the work after it.
  int64_t display_offset = 0;
  // Where the time and the window come from.
  ProgressSystem system;
};

// A new progress with no areas, its start tick read from system's clock.
TProgress* NewProgress(ProgressSystem system);
// Appends an area of weight (negative counts as 0) after the others.
void AddProgressArea(TProgress* progress, int64_t weight);
// Records that per_mille (held to 0..1000) of the current area is done, opens the window
// when the work is slow, and shows the value on it.
void SetProgress(TProgress* progress, int per_mille);
// Completes the current area and moves to the next.
void NextProgressArea(TProgress* progress);
// Closes the window and frees progress.
void FreeProgress(TProgress* progress);

// The position on the whole scale when per_mille (held to 0..1000) of the current area is
// done; past the last area, and with none, the total.
int64_t ProgressPosition(const TProgress& progress, int per_mille);
// Per mille of the work after offset done at position, held to 0..1000; 1000 when nothing
// is left after offset.
int ProgressValue(int64_t position, int64_t offset, int64_t total);
// True when a window should open: more than the delay has passed and less than half is done.
bool ShouldOpenProgressWindow(uint32_t elapsed_ms, int value);
// The bar's width in pixels for value (0..1000) over inner_width pixels.
int ProgressBarWidth(int value, int inner_width);
// The percentage shown for value (0..1000), rounded.
int ProgressPercent(int value);
// True when value differs from drawn_value (negative: nothing drawn yet) in the bar's width
// or the percentage shown.
bool ProgressNeedsRedraw(int drawn_value, int value, int inner_width);

}  // namespace trace
