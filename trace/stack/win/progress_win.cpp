#include "trace/stack/win/progress_win.h"

#include <windows.h>

#include "trace/stack/win/progress_bar_win.h"

namespace trace {

ProgressSystem WindowsProgressSystem() {
  return {[] { return static_cast<uint32_t>(GetTickCount()); },
          []() -> std::unique_ptr<ProgressDisplay> { return TProgressBar::Create(); }};
}

TProgress* NewProgress() {
  return NewProgress(WindowsProgressSystem());
}

}  // namespace trace
