// The plain text shown as a hint for markup: line-break tags become line
// breaks and every other tag is removed.
#pragma once

#include <string>
#include <string_view>

namespace htmlabel {

// Every "<BR>" and "<HR>" (any case) becomes CR LF, then each piece from a "<"
// to the next ">" is removed; a "<" without a ">" after it and the rest of the
// text after it are kept as they are.
std::string HintPlainText(std::string_view markup);

}  // namespace htmlabel
