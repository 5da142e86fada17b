#include "framework/exception.h"

#include <cstdio>

namespace fw {

const ExceptionClass Exception::kClass{"Exception", nullptr};
const ExceptionClass EAbort::kClass{"EAbort", &Exception::kClass};
const ExceptionClass EReadError::kClass{"EReadError", &Exception::kClass};
const ExceptionClass EListError::kClass{"EListError", &Exception::kClass};
const ExceptionClass EExternal::kClass{"EExternal", &Exception::kClass};
const ExceptionClass EIntError::kClass{"EIntError", &EExternal::kClass};
const ExceptionClass EDivByZero::kClass{"EDivByZero", &EIntError::kClass};
const ExceptionClass EIntOverflow::kClass{"EIntOverflow", &EIntError::kClass};
const ExceptionClass EAccessViolation::kClass{"EAccessViolation", &EExternal::kClass};
const ExceptionClass EExternalException::kClass{"EExternalException", &EExternal::kClass};
const ExceptionClass ERangeError::kClass{"ERangeError", &EIntError::kClass};
const ExceptionClass EMathError::kClass{"EMathError", &EExternal::kClass};
const ExceptionClass EInvalidOp::kClass{"EInvalidOp", &EMathError::kClass};
const ExceptionClass EZeroDivide::kClass{"EZeroDivide", &EMathError::kClass};
const ExceptionClass EOverflow::kClass{"EOverflow", &EMathError::kClass};
const ExceptionClass EUnderflow::kClass{"EUnderflow", &EMathError::kClass};
const ExceptionClass EPrivilege::kClass{"EPrivilege", &EExternal::kClass};
const ExceptionClass EStackOverflow::kClass{"EStackOverflow", &EExternal::kClass};
const ExceptionClass EControlC::kClass{"EControlC", &EExternal::kClass};

std::vector<std::string> Exception::ClassNames() const {
  std::vector<std::string> names;
  for (const ExceptionClass* c = &Class(); c; c = c->parent)
    names.emplace_back(c->name);
  return names;
}

bool Exception::InheritsFrom(std::string_view class_name) const {
  for (const ExceptionClass* c = &Class(); c; c = c->parent) {
    if (class_name == c->name) return true;
  }
  return false;
}

std::string HexAddress(std::uint32_t value) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[i] = kDigits[value & 0xF];
  return text;
}

namespace {

// "$" and the lower-case hexadecimal digits without leading zeros.
std::string MinimalHex(std::uint32_t value) {
  char digits[12];
  std::snprintf(digits, sizeof digits, "$%x", static_cast<unsigned>(value));
  return digits;
}

}  // namespace

std::string SystemExceptionMessage(uint32_t code, uint32_t address, std::string_view module,
                                   bool write, uint32_t target) {
  switch (code) {
    case 0xC0000005: {
      std::string text = "Access violation at address " + MinimalHex(address);
      if (!module.empty()) text += " in module '" + std::string(module) + "'";
      return text + ". " + (write ? "Write" : "Read") + " of address " + MinimalHex(target);
    }
    case 0xC000008C:
      return "Range check error";
    case 0xC000008D:
    case 0xC0000093:
      return "Floating point underflow";
    case 0xC000008E:
      return "Floating point division by zero";
    case 0xC000008F:
    case 0xC0000090:
    case 0xC0000092:
      return "Invalid floating point operation";
    case 0xC0000091:
      return "Floating point overflow";
    case 0xC0000094:
      return "Division by zero";
    case 0xC0000095:
      return "Integer overflow";
    case 0xC0000096:
      return "Privileged instruction";
    case 0xC00000FD:
      return "Stack overflow";
    case 0xC000013A:
      return "Control-C hit";
    default: {
      char hex[12];
      std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(code));
      return std::string("External exception ") + hex;
    }
  }
}

}  // namespace fw
