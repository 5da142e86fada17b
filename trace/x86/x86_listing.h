// The text listing of a whole function, as the bug report's disassembling section shows
// it: labels, one line per instruction, case tables, optional structure separators, the
// mark of the exception address and a line limit around it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/pe/address_space.h"
#include "trace/x86/x86_function.h"

namespace trace {

// The character that marks the exception line in its tenth column.
inline constexpr char kExceptionMark = static_cast<char>(0xBB);

// The listing's answer when its areas cannot be put in address order.
inline constexpr std::string_view kListingInternalError =
    "Internal error in ParseFunction while composing the disassembling string...  :-(";

// Parses the function at address into info and returns its listing. structured adds
// labels of jump targets and separators; line_limit > 0 limits the lines around the
// exception address. Lines end with CR LF, the last one without.
std::string DisassembleFunction(const AddressSpace& memory, uint32_t address,
                                uint32_t exception_address, TFunctionInfo& info, bool structured,
                                int line_limit,
                                std::string_view error87_text = "The parameter is incorrect.");

}  // namespace trace
