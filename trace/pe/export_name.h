// Readable names of exported functions: the compiler's mangled export names
// ("@Unit@Class@Method$qqrv") become dotted ones ("Unit.Class.Method").
#pragma once

#include <string>
#include <string_view>

namespace trace {

// The readable form of an export name. "::" becomes "." (no rescan); a name of the form
// "@Unit@Rest" becomes "Unit." followed by Rest with its further "@" turned into ".", cut at
// its first "$"; a name left ending in "." gets "Destroy" (destructor, "$" followed by any
// byte and "d") or "Create" appended. Other names are kept apart from the "::" rule.
std::string DemangleExportName(std::string_view name);

}  // namespace trace
