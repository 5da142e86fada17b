#include "tools/symtool/function_name.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace symtool {
namespace {

bool IsIdentifierChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

// Removes a trailing suffix and the blanks in front of it; true when there was one.
bool RemoveSuffix(std::string_view& text, std::string_view suffix) {
  if (text.size() < suffix.size() || text.substr(text.size() - suffix.size()) != suffix)
    return false;
  // A word suffix must not be the end of a longer word ("const" in "myconst").
  if (IsIdentifierChar(suffix.front()) && text.size() > suffix.size() &&
      IsIdentifierChar(text[text.size() - suffix.size() - 1]))
    return false;
  text.remove_suffix(suffix.size());
  while (!text.empty() && text.back() == ' ')
    text.remove_suffix(1);
  return true;
}

// Length of the operator name that starts at text (after "operator"), as in "operator()",
// "operator<<=", "operator new[]"; conversion operators take the rest of the name.
size_t OperatorLength(std::string_view text) {
  static constexpr std::string_view kSymbols[] = {
      "()", "[]", "->*", "->", "<<=", ">>=", "<=>", "<<", ">>", "<=", ">=", "==",  "!=", "&&",
      "||", "++", "--",  "+=", "-=",  "*=",  "/=",  "%=", "&=", "|=", "^=", "<",   ">",  "=",
      "!",  "~",  "+",   "-",  "*",   "/",   "%",   "&",  "|",  "^",  ",",  "\"\""};
  for (std::string_view symbol : kSymbols)
    if (text.substr(0, symbol.size()) == symbol) return symbol.size();
  return text.size();
}

}  // namespace

std::string Demangle(std::string_view mangled) {
  if (mangled.substr(0, 2) != "_Z") return std::string(mangled);
  const std::string name(mangled);
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> text(
      abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), &std::free);
  return status == 0 && text ? std::string(text.get()) : name;
}

std::string ShortFunctionName(std::string_view name) {
  // Clone suffixes the compiler appends to specialised copies: " [clone .constprop.0]".
  while (!name.empty() && name.back() == ']') {
    const size_t open = name.rfind(" [clone ");
    if (open == std::string_view::npos) break;
    name = name.substr(0, open);
  }
  // Qualifiers of member functions after the parameter list.
  while (RemoveSuffix(name, "const") || RemoveSuffix(name, "volatile") ||
         RemoveSuffix(name, "&&") || RemoveSuffix(name, "&") || RemoveSuffix(name, "noexcept")) {
  }
  // The parameter list: the last top-level parenthesis group.
  if (!name.empty() && name.back() == ')') {
    int depth = 0;
    for (size_t i = name.size(); i-- > 0;) {
      if (name[i] == ')') ++depth;
      if (name[i] == '(' && --depth == 0) {
        name = name.substr(0, i);
        break;
      }
    }
  }
  // A return type ends at the last blank outside brackets before the name proper; an
  // operator's own name ("operator<", "operator new") is not looked into.
  size_t name_start = 0;
  int depth = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == 'o' && name.substr(i, 8) == "operator" && (i == 0 || !IsIdentifierChar(name[i - 1])) &&
        (i + 8 == name.size() || !IsIdentifierChar(name[i + 8]))) {
      size_t after = i + 8;
      while (after < name.size() && name[after] == ' ')
        ++after;
      i = after + OperatorLength(name.substr(after)) - 1;
      continue;
    }
    if (c == '(' || c == '<' || c == '[' || c == '{') ++depth;
    if ((c == ')' || c == '>' || c == ']' || c == '}') && depth > 0) --depth;
    if (c == ' ' && depth == 0) name_start = i + 1;
  }
  return std::string(name.substr(name_start));
}

}  // namespace symtool
