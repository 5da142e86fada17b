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
  ReportedException() = default;
  // An exception of this class chain with this message.
  ReportedException(std::vector<std::string> names, std::string text)
      : class_names(std::move(names)), message(std::move(text)) {}

  // The class name first, then every ancestor's, e.g. {"EDivByZero", "EIntError",
  // "EExternal", "Exception"}. Empty: the class could not be told.
  std::vector<std::string> class_names;
  std::string message;  // the message text
  // The message is the exception's own text even though no class of the chain is
  // "Exception" or "KivException" (a C++ library exception's what()).
  bool carries_message = false;
  // The stack as it was when a fault was raised as this exception, from stack_copy_base
  // up (empty: none kept). The live stack has been unwound and reused by the time the
  // report is composed.
  uint32_t stack_copy_base = 0;
  std::vector<uint8_t> stack_copy;

  // The class name, "Unknown" when there is none.
  std::string ClassName() const;
  // True when the class or an ancestor has this name (compared exactly).
  bool InheritsFrom(std::string_view name) const;
};

// The message of the exception: for a class that is or descends from "Exception" or
// "KivException", or that carries its message, its message text; otherwise its class name;
// "Unknown" when the result is empty or there is no exception.
std::string ExceptionMessageOf(const ReportedException* exception);

// The framework class of a system exception code with its ancestors, e.g.
// 0xC0000094 -> {"EDivByZero", "EIntError", "EExternal", "Exception"}.
std::vector<std::string> SystemExceptionClasses(uint32_t code);

// A runtime error as an exception of class "KivException" with this message.
ReportedException RuntimeError(std::string message);

}  // namespace crash
