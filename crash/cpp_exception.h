// A C++ exception as the reporter describes it: a framework exception by its class chain
// and message; any other class by its demangled name and those of its base classes (the
// first base at every step), with what() as the message when it is a std::exception.
#pragma once

#include <exception>

#include "crash/reported_exception.h"

namespace crash {

// The description of the exception held by pointer; an empty pointer gives no classes.
ReportedException DescribeCppException(const std::exception_ptr& exception);

// The demangled name of a mangled type name ("St13runtime_error" -> "std::runtime_error"),
// the mangled name itself when it does not demangle.
std::string DemangledTypeName(const char* mangled);

}  // namespace crash
