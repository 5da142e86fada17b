// The live mode of the stacktrace tool on Windows: the program traces the threads of its own
// process, as the bug report would.
#pragma once

#include <string>
#include <vector>

namespace tools {

// One traced thread: its id and its trace text.
struct OwnThreadTrace {
  unsigned long thread_id = 0;
  bool calling_thread = false;
  std::string text;
};

// Starts a worker thread that waits three calls deep, then traces the calling thread and
// every other thread of the process (each suspended while it is traced, from its context),
// and lets the worker end. The traces are taken before anything is printed.
std::vector<OwnThreadTrace> TraceOwnThreads(bool hide_items_without_lines, bool relative_addresses);

}  // namespace tools
