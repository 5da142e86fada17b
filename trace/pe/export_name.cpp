#include "trace/pe/export_name.h"

namespace trace {

std::string DemangleExportName(std::string_view name) {
  std::string text;
  text.reserve(name.size());
  for (std::size_t i = 0; i < name.size(); ++i) {
    if (name[i] == ':' && i + 1 < name.size() && name[i + 1] == ':') {
      text.push_back('.');
      ++i;
    } else {
      text.push_back(name[i]);
    }
  }
  if (text.empty() || text[0] != '@') return text;

  std::string unit;
  std::string rest = text;
  const std::size_t second = text.find('@', 1);
  if (second != std::string::npos) {
    unit = text.substr(1, second - 1);
    rest = text.substr(second + 1);
  }
  for (std::size_t i = 1; i < rest.size(); ++i) {
    if (rest[i] == '@') rest[i] = '.';
  }
  bool destructor = false;
  const std::size_t dollar = rest.find('$');
  if (dollar != std::string::npos) {
    destructor = dollar + 2 < rest.size() && rest[dollar + 2] == 'd';
    rest.resize(dollar);
  }
  if (!rest.empty() && rest.back() == '.') rest += destructor ? "Destroy" : "Create";
  if (second == std::string::npos) return rest;
  return unit + "." + rest;
}

}  // namespace trace
