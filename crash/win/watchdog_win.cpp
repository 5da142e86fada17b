#include "crash/win/watchdog_win.h"

namespace crash {

void AnnounceFrozenBox(HWND) {}

}  // namespace crash
