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

// True when "operator" starts at position i of text as a word of its own.
bool IsOperatorAt(std::string_view text, size_t i) {
  return text.substr(i, 8) == "operator" && (i == 0 || !IsIdentifierChar(text[i - 1])) &&
         (i + 8 == text.size() || !IsIdentifierChar(text[i + 8]));
}

// Position after the operator name whose "operator" starts at i.
size_t SkipOperator(std::string_view text, size_t i) {
  size_t after = i + 8;
  while (after < text.size() && text[after] == ' ')
    ++after;
  return after + OperatorLength(text.substr(after));
}

}  // namespace

std::string Demangle(std::string_view mangled) {
  if (mangled.substr(0, 2) != "_Z") return std::string(mangled);
  // A stdcall function (a window procedure, a thread start routine) carries the size of its
  // arguments after an at sign, which is no part of the C++ name.
  std::string_view cpp_name = mangled;
  const size_t at = mangled.rfind('@');
  if (at != std::string_view::npos && at + 1 < mangled.size() &&
      mangled.find_first_not_of("0123456789", at + 1) == std::string_view::npos)
    cpp_name = mangled.substr(0, at);
  const std::string name(cpp_name);
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> text(
      abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status), &std::free);
  return status == 0 && text ? std::string(text.get()) : std::string(mangled);
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
  // The parameter list: the last top-level parenthesis group, unless it is the "()" of a bare
  // "operator()" (a lambda's call operator without a linkage name).
  if (!name.empty() && name.back() == ')') {
    int depth = 0;
    for (size_t i = name.size(); i-- > 0;) {
      if (name[i] == ')') ++depth;
      if (name[i] == '(' && --depth == 0) {
        if (!(i >= 8 && i + 2 == name.size() && IsOperatorAt(name, i - 8)))
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
    // What follows an operator's name (template arguments) belongs to the name.
    if (c == 'o' && IsOperatorAt(name, i)) break;
    if (c == '(' || c == '<' || c == '[' || c == '{') ++depth;
    if ((c == ')' || c == '>' || c == ']' || c == '}') && depth > 0) --depth;
    if (c == ' ' && depth == 0) name_start = i + 1;
  }
  // ABI tags ("[abi:cxx11]" of a function returning std::string) tell the linker apart two
  // builds of a type; the reader of a stack trace needs only the name.
  std::string result(name.substr(name_start));
  for (size_t tag = result.find("[abi:"); tag != std::string::npos;
       tag = result.find("[abi:", tag)) {
    const size_t close = result.find(']', tag);
    if (close == std::string::npos) break;
    result.erase(tag, close + 1 - tag);
  }
  return result;
}

std::string FitFunctionName(std::string_view name, size_t limit) {
  if (name.size() <= limit) return std::string(name);
  std::string fitted;
  int depth = 0;
  for (size_t i = 0; i < name.size(); ++i) {
    if (name[i] == 'o' && IsOperatorAt(name, i)) {
      const size_t end = SkipOperator(name, i);
      if (depth == 0) fitted.append(name.substr(i, end - i));
      i = end - 1;
      continue;
    }
    if (name[i] == '<') {
      if (depth++ == 0) fitted.append("<...>");
      continue;
    }
    if (name[i] == '>' && depth > 0) {
      --depth;
      continue;
    }
    if (depth == 0) fitted.push_back(name[i]);
  }
  if (fitted.size() > limit) fitted = "..." + fitted.substr(fitted.size() - (limit - 3));
  return fitted;
}

}  // namespace symtool
