// Texts that come from the running Windows system. Defined for Windows builds only
// (trace/text/win/system_text_win.cpp); this header itself needs no Windows header.
#pragma once

#include <cstdint>
#include <string>

namespace trace {

// The first byte of the thread locale's decimal separator ("," if unavailable), cached.
char LocaleDecimalPoint();

// FormatByteSize with the decimal separator of the thread locale.
std::string FormatByteSize(std::int64_t count);

// The system's message for an error code on one line, or a fallback phrase and "$" code.
std::string ErrorText(std::uint32_t code);

}  // namespace trace
