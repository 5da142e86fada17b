// The answers of the running process for the bug report: its facts, threads, contexts,
// registry entries (the lock waited for at most 50 ms), stack traces with the process's
// trace state and its modules.
#pragma once

#include <memory>

#include "crash/report/report_composer.h"

namespace crash {

// The system of the running process; one composition at a time.
std::unique_ptr<ReportSystem> MakeProcessReportSystem();

}  // namespace crash
