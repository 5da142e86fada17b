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
// The truth test reduces the output of addr2line -f -C with the same ShortFunctionName.
#pragma once

#include <string>
#include <string_view>

namespace symtool {

// The demangled form of a mangled C++ name; the name itself when it is not one.
std::string Demangle(std::string_view mangled);

// The demangled name without parameters, trailing qualifiers, clone suffixes and return type.
std::string ShortFunctionName(std::string_view demangled);

}  // namespace symtool
