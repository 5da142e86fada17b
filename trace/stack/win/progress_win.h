// A progress on the system's clock and window.
#pragma once

#include "trace/stack/progress.h"

namespace trace {

// The time and the window of a progress on Windows: GetTickCount and TProgressBar.
ProgressSystem WindowsProgressSystem();
// A new progress on GetTickCount whose window is a TProgressBar.
TProgress* NewProgress();

}  // namespace trace
