// The anti-freeze watchdog: a thread that asks the main thread's message loop for an
// answer every period and reports a frozen main thread after ten periods of silence.
#pragma once

#include <windows.h>

namespace crash {

// Hands the frozen box to the main thread's receiver, which closes the box as soon as the
// main thread processes messages again. Does nothing without a running watchdog.
void AnnounceFrozenBox(HWND box);

}  // namespace crash
