// The name of the bug report file: the BugReportFile setting with "%appname%" replaced by
// the executable's name, put after a program folder when it is relative.
#pragma once

#include <string>
#include <string_view>

namespace crash {

// The file name of a path (after its last "\" or "/") without its extension (from the
// last "." on); a name without "." stays whole.
std::string NameWithoutExtension(std::string_view path);

// True when the name is relative: fewer than three characters, or it neither starts with
// "\" nor has ":" as its second character.
bool IsRelativeFileName(std::string_view name);

// The setting with every "%appname%" (any case) replaced by the executable's name without
// its extension. executable_path: the executable's full path.
std::string BugReportFileName(std::string_view setting, std::string_view executable_path);

// The file name, after folder (which ends in its backslash) when it is relative.
std::string InFolder(std::string_view name, std::string_view folder);

// The folder of a path with its final backslash ("" when the path has none).
std::string FolderOfPath(std::string_view path);

}  // namespace crash
