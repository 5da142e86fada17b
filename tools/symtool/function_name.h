// The names functions carry in the symbol block: the demangled C++ name without its parameter
// list, its qualifiers and, for function templates, its return type; qualified by namespaces
// and classes as the demangler writes them:
//
//   _ZN2fw4Form5PaintEv                    fw::Form::Paint
//   _ZNK5trace7X86Text6AppendERSs          trace::X86Text::Append
//   _Z3maxIiET_S0_S0_                      max<int>
//   _ZN12_GLOBAL__N_14HookEv               (anonymous namespace)::Hook
//   foo(int) [clone .constprop.0]          foo
//
// A name longer than the block holds loses its template argument lists ("<...>"), then its
// front, so that the function's own name stays.
//
// The truth test reduces the output of addr2line -f with the same functions.
#pragma once

#include <string>
#include <string_view>

namespace symtool {

// The demangled form of a mangled C++ name; the name itself when it is not one.
std::string Demangle(std::string_view mangled);

// The demangled name without parameters, trailing qualifiers, clone suffixes and return type.
std::string ShortFunctionName(std::string_view demangled);

// The name cut to at most limit characters (limit at least 8): template argument lists become
// "<...>" while it is too long, then only the last characters are kept after "...".
std::string FitFunctionName(std::string_view name, size_t limit);

}  // namespace symtool
