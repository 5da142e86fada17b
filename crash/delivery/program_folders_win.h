// The places the bug report file is named after and put in: the executable and the
// module that carries the reporter.
#pragma once

#include <string>

namespace crash {

// The executable's full path.
std::string ExecutablePath();
// The executable's file name without its folder.
std::string ExecutableFileName();
// The executable's folder with its final backslash.
std::string ExecutableFolder();
// The folder of the module that contains the reporter, with its final backslash.
std::string ReporterModuleFolder();

}  // namespace crash
