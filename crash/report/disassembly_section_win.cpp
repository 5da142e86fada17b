#include "crash/report/disassembly_section_win.h"

#include "trace/stack/win/process_memory_win.h"
#include "trace/text/system_text.h"
#include "trace/x86/x86_listing.h"

namespace crash {

std::string DisassembleCrashFunction(uint32_t function_start, uint32_t exception_address, int lines,
                                     bool option) {
  try {
    // A page cache of its own over the live process, dropped with the listing.
    const trace::ProcessMemory memory;
    trace::TFunctionInfo info;
    return trace::DisassembleFunction(memory, function_start, exception_address, info, option,
                                      lines, trace::ErrorText(87));
  } catch (...) {
    return {};
  }
}

}  // namespace crash
