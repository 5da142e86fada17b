// What the reporter knows of an exception: its class with the names of its ancestors and
// its message. Every kind of exception the program can meet (a framework exception, a
// C++ exception of any other class, a processor fault, a runtime error) is described by
// one of these before it reaches the handling thread, which reads only this record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace crash {

// An exception as the reporter sees it.
struct ReportedException {
  // The class name first, then every ancestor's, e.g. {"EDivByZero", "EIntError",
  // "EExternal", "Exception"}. Empty: the class could not be told.
  std::vector<std::string> class_names;
  std::string message;  // the message text (only shown for classes that carry one)

  // The class name, "Unknown" when there is none.
  std::string ClassName() const;
  // True when the class or an ancestor has this name (compared exactly).
  bool InheritsFrom(std::string_view name) const;
};

// The message of the exception: for a class that is or descends from "Exception" or
// "KivException" its message text, otherwise its class name; "Unknown" when the result is
// empty or there is no exception.
std::string ExceptionMessageOf(const ReportedException* exception);

// The runtime's message for a system exception code. For an access violation, module is
// the file name of the module whose committed memory holds the faulting address (empty:
// none), write tells a write from a read, target is the accessed address.
std::string SystemExceptionMessage(uint32_t code, uint32_t address, std::string_view module,
                                   bool write, uint32_t target);

// The framework class of a system exception code with its ancestors, e.g.
// 0xC0000094 -> {"EDivByZero", "EIntError", "EExternal", "Exception"}.
std::vector<std::string> SystemExceptionClasses(uint32_t code);

// A runtime error as an exception of class "KivException" with this message.
ReportedException RuntimeError(std::string message);

}  // namespace crash
