// Whether two links of one program hold the same code at the same addresses: the check that
// embedding the symbol block (a second link with one more resource) moved nothing the block
// describes.
#pragma once

#include <optional>
#include <string>

#include "tools/symtool/pe_debug_image.h"

namespace symtool {

// None when both images have the same image base, entry point and code range, and every
// section except the resources, relocations and debugging data lies at the same address with
// the same size and bytes in both; else the first difference found, in words.
std::optional<std::string> CodeDifference(const PeDebugImage& first, const PeDebugImage& second);

}  // namespace symtool
