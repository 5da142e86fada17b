#include "crash/reported_exception.h"

namespace crash {

std::string ReportedException::ClassName() const {
  if (class_names.empty() || class_names.front().empty()) return "Unknown";
  return class_names.front();
}

bool ReportedException::InheritsFrom(std::string_view name) const {
  for (const std::string& ancestor : class_names) {
    if (ancestor == name) return true;
  }
  return false;
}

std::string ExceptionMessageOf(const ReportedException* exception) {
  if (!exception) return "Unknown";
  std::string text =
      exception->carries_message || exception->InheritsFrom("Exception") ||
              exception->InheritsFrom("KivException")
          ? exception->message
          : (exception->class_names.empty() ? std::string() : exception->class_names.front());
  return text.empty() ? "Unknown" : text;
}

std::vector<std::string> SystemExceptionClasses(uint32_t code) {
  std::vector<std::string> names;
  switch (code) {
    case 0xC0000005:
      names = {"EAccessViolation"};
      break;
    case 0xC000008C:
      names = {"ERangeError", "EIntError"};
      break;
    case 0xC000008D:
    case 0xC0000093:
      names = {"EUnderflow", "EMathError"};
      break;
    case 0xC000008E:
      names = {"EZeroDivide", "EMathError"};
      break;
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000092:
      names = {"EInvalidOp", "EMathError"};
      break;
    case 0xC0000091:
      names = {"EOverflow", "EMathError"};
      break;
    case 0xC0000094:
      names = {"EDivByZero", "EIntError"};
      break;
    case 0xC0000095:
      names = {"EIntOverflow", "EIntError"};
      break;
    case 0xC0000096:
      names = {"EPrivilege"};
      break;
    case 0xC00000FD:
      names = {"EStackOverflow"};
      break;
    case 0xC000013A:
      names = {"EControlC"};
      break;
    default:
      names = {"EExternalException"};
      break;
  }
  names.push_back("EExternal");
  names.push_back("Exception");
  return names;
}

ReportedException RuntimeError(std::string message) {
  ReportedException exception;
  exception.class_names = {"KivException"};
  exception.message = std::move(message);
  return exception;
}

}  // namespace crash
