#include "crash/cpp_exception.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "framework/exception.h"

namespace crash {

namespace {

// The class and its first base at every step, as far as the type information goes.
std::vector<std::string> TypeChain(const std::type_info* type) {
  std::vector<std::string> names;
  // A class hierarchy deeper than this is not one a program declares.
  for (int depth = 0; type && depth < 64; ++depth) {
    names.push_back(DemangledTypeName(type->name()));
    if (const auto* single = dynamic_cast<const abi::__si_class_type_info*>(type)) {
      type = single->__base_type;
    } else if (const auto* multiple = dynamic_cast<const abi::__vmi_class_type_info*>(type);
               multiple && multiple->__base_count > 0) {
      type = multiple->__base_info[0].__base_type;
    } else {
      type = nullptr;
    }
  }
  return names;
}

}  // namespace

std::string DemangledTypeName(const char* mangled) {
  if (!mangled) return {};
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> plain(
      abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  return status == 0 && plain ? std::string(plain.get()) : std::string(mangled);
}

ReportedException DescribeCppException(const std::exception_ptr& exception) {
  ReportedException described;
  if (!exception) return described;
  try {
    std::rethrow_exception(exception);
  } catch (const fw::Exception& e) {
    described.class_names = e.ClassNames();
    described.message = e.Message();
  } catch (const std::exception& e) {
    described.class_names = TypeChain(abi::__cxa_current_exception_type());
    described.message = e.what() ? e.what() : "";
    described.carries_message = true;
  } catch (...) {
    described.class_names = TypeChain(abi::__cxa_current_exception_type());
  }
  return described;
}

}  // namespace crash
