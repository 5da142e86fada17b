// The anti-freeze watchdog: a thread that asks the main thread's message loop for an
// answer every period and reports a frozen main thread after ten periods of silence.
//
// The question is a registered message posted to the message window of the thread that
// started the watchdog (the main thread, during the reporter's start-up); its receiver
// answers with the null message, arguments 777 and 777, in the watchdog's thread queue.
#pragma once

#include <windows.h>

#include <cstdint>

namespace crash {

// The arguments of the answer and of the frozen box's closing message.
inline constexpr WPARAM kWatchdogAnswer = 777;

// Starts the watchdog on the calling thread's message window when timeout_ms is above 0
// and none runs; the period is timeout_ms / 10. False when it does not run.
bool StartWatchdog(int timeout_ms);
// Stops it: the receiver goes, the thread is ended and leaves the thread registry.
void StopWatchdog();

// Suspends the watchdog thread while an exception is handled; false when there was
// nothing to suspend (no watchdog, or the caller is the watchdog itself).
bool PauseWatchdog();
// Resumes what PauseWatchdog suspended and starts the silence count afresh.
void ResumeWatchdog(bool paused);
// Starts the silence count afresh.
void ResetWatchdogMisses();

// The watchdog thread's id; 0 when none runs.
uint32_t WatchdogThreadId();

// Hands the frozen box to the main thread's receiver, which closes the box as soon as the
// main thread processes messages again. Does nothing without a running watchdog.
void AnnounceFrozenBox(HWND box);

}  // namespace crash
