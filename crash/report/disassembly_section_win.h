// The listing of the function around the crash, read from the running process: the
// reporter's disassembly producer.
#pragma once

#include <cstdint>
#include <string>

namespace crash {

// The listing of the function at function_start with exception_address marked, at most
// lines lines around it (0: all); option adds labels of jump targets and separators.
// Reads the process through reads that fail instead of faulting.
std::string DisassembleCrashFunction(uint32_t function_start, uint32_t exception_address, int lines,
                                     bool option);

}  // namespace crash
