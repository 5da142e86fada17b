#include "framework/exception.h"

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

}  // namespace fw
