#include "trace/stack/progress.h"

#include <algorithm>
#include <utility>

namespace trace {
namespace {

uint32_t Now(const TProgress& progress) {
  return progress.system.tick ? progress.system.tick() : 0;
}

}  // namespace

TProgress* NewProgress(ProgressSystem system) {
  auto* progress = new TProgress;
  progress->system = std::move(system);
  progress->start_tick = Now(*progress);
  return progress;
}

void AddProgressArea(TProgress* progress, int64_t weight) {
  if (progress == nullptr) return;
  weight = std::max<int64_t>(weight, 0);
  progress->areas.push_back({progress->total, weight});
  progress->total += weight;
}

void SetProgress(TProgress* progress, int per_mille) {
  if (progress == nullptr) return;
  const int64_t position = ProgressPosition(*progress, per_mille);
  int value = ProgressValue(position, progress->display_offset, progress->total);
  if (progress->window == nullptr && progress->system.open_window &&
      ShouldOpenProgressWindow(Now(*progress) - progress->start_tick, value)) {
    progress->window = progress->system.open_window();
    if (progress->window != nullptr) {
      progress->display_offset = position;
      value = 0;
    }
  }
  if (progress->window != nullptr) progress->window->Show(value);
}

void NextProgressArea(TProgress* progress) {
  if (progress == nullptr) return;
  SetProgress(progress, 1000);
  if (progress->current_area < static_cast<int>(progress->areas.size())) ++progress->current_area;
}

void FreeProgress(TProgress* progress) {
  delete progress;
}

int64_t ProgressPosition(const TProgress& progress, int per_mille) {
  const int index = progress.current_area;
  if (index < 0 || index >= static_cast<int>(progress.areas.size())) return progress.total;
  const TProgressArea& area = progress.areas[static_cast<size_t>(index)];
  return area.start + area.weight * std::clamp(per_mille, 0, 1000) / 1000;
}

int ProgressValue(int64_t position, int64_t offset, int64_t total) {
  const int64_t left = total - offset;
  if (left <= 0) return 1000;
  return static_cast<int>(std::clamp<int64_t>((position - offset) * 1000 / left, 0, 1000));
}

bool ShouldOpenProgressWindow(uint32_t elapsed_ms, int value) {
  return elapsed_ms > kProgressWindowDelayMs && value < kProgressWindowMaxValue;
}

int ProgressBarWidth(int value, int inner_width) {
  return static_cast<int>(static_cast<int64_t>(std::max(inner_width, 0)) *
                          std::clamp(value, 0, 1000) / 1000);
}

int ProgressPercent(int value) {
  return (std::clamp(value, 0, 1000) + 5) / 10;
}

bool ProgressNeedsRedraw(int drawn_value, int value, int inner_width) {
  if (drawn_value < 0) return true;
  return ProgressBarWidth(drawn_value, inner_width) != ProgressBarWidth(value, inner_width) ||
         ProgressPercent(drawn_value) != ProgressPercent(value);
}

}  // namespace trace
