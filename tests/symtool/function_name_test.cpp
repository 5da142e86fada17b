// The names the block gives functions, from demangled C++ names as the compiler's run-time
// writes them and as addr2line shows them.

#include "tools/symtool/function_name.h"

#include <gtest/gtest.h>

namespace {

using symtool::Demangle;
using symtool::FitFunctionName;
using symtool::ShortFunctionName;

TEST(FunctionNameTest, ParametersQualifiersAndClonesGo) {
  EXPECT_EQ(ShortFunctionName(Demangle("_ZN2fw4Form5PaintEv")), "fw::Form::Paint");
  EXPECT_EQ(ShortFunctionName("trace::X86Text::Append(std::string&) const"),
            "trace::X86Text::Append");
  EXPECT_EQ(ShortFunctionName("f(int) const volatile &&"), "f");
  EXPECT_EQ(ShortFunctionName("foo(int) [clone .constprop.0] [clone .isra.0]"), "foo");
  EXPECT_EQ(ShortFunctionName("g(void (*)(int), int (&) [4])"), "g");
  EXPECT_EQ(ShortFunctionName("myconst(int)"), "myconst");
  EXPECT_EQ(ShortFunctionName("WinMain@16"), "WinMain@16");
  EXPECT_EQ(ShortFunctionName(Demangle("_ZN12_GLOBAL__N_14HookEv")), "(anonymous namespace)::Hook");
  // A lambda's call operator: bare in DWARF without a linkage name, and demangled.
  EXPECT_EQ(ShortFunctionName("operator()"), "operator()");
  EXPECT_EQ(ShortFunctionName("fw::X::operator()(int) const"), "fw::X::operator()");
  EXPECT_EQ(ShortFunctionName("operator()()"), "operator()");
  // A function returning std::string carries the ABI tag of the string type.
  EXPECT_EQ(ShortFunctionName(Demangle("_ZN6chains13TraceOwnStackB5cxx11Ev")),
            "chains::TraceOwnStack");
  EXPECT_EQ(ShortFunctionName("f<std::string[abi:cxx11]>[abi:x](int)"), "f<std::string>");
}

TEST(FunctionNameTest, ReturnTypesOfTemplatesGoButOperatorsStay) {
  EXPECT_EQ(ShortFunctionName(Demangle("_Z3maxIiET_S0_S0_")), "max<int>");
  EXPECT_EQ(ShortFunctionName("unsigned int std::f<std::pair<int, int> >(int)"),
            "std::f<std::pair<int, int> >");
  EXPECT_EQ(ShortFunctionName("bool fw::operator< <int>(fw::X const&, fw::X const&)"),
            "fw::operator< <int>");
  EXPECT_EQ(ShortFunctionName("fw::X::operator()(int) const"), "fw::X::operator()");
  EXPECT_EQ(ShortFunctionName("fw::X::operator<<=(int)"), "fw::X::operator<<=");
  EXPECT_EQ(ShortFunctionName("fw::X::operator->() const"), "fw::X::operator->");
  EXPECT_EQ(ShortFunctionName("fw::X::operator new(unsigned int)"), "fw::X::operator new");
  EXPECT_EQ(ShortFunctionName("fw::X::operator char const*() const"),
            "fw::X::operator char const*");
  EXPECT_EQ(ShortFunctionName("fw::F()::{lambda(int)#1}::operator()(int) const"),
            "fw::F()::{lambda(int)#1}::operator()");
}

TEST(FunctionNameTest, LongNamesKeepTheirOwnName) {
  const std::string name =
      "std::_Function_handler<void (" + std::string(300, 'x') + "), std::less<int> >::_M_invoke";
  EXPECT_EQ(FitFunctionName(name, 255), "std::_Function_handler<...>::_M_invoke");
  EXPECT_EQ(FitFunctionName("short<int>", 255), "short<int>");
  EXPECT_EQ(FitFunctionName("a::operator<< <" + std::string(300, 'y') + ">", 255),
            "a::operator<< <...>");
  const std::string fitted = FitFunctionName(std::string(300, 'z') + "::Last", 20);
  EXPECT_EQ(fitted, "...zzzzzzzzzzz::Last");
}

TEST(FunctionNameTest, DemangleLeavesOtherNamesAlone) {
  EXPECT_EQ(Demangle("__tmainCRTStartup"), "__tmainCRTStartup");
  EXPECT_EQ(Demangle("_Znot_really"), "_Znot_really");
  EXPECT_EQ(Demangle("_ZN2fw4Form5PaintEv"), "fw::Form::Paint()");
}

// Window procedures and thread start routines are stdcall: their names end in "@" and the
// size of their arguments, which the demangler does not take.
TEST(FunctionNameTest, StdcallNamesAreDemangledToo) {
  EXPECT_EQ(ShortFunctionName(Demangle("_ZN2fw17ControlWindowProcEP6HWND__jjl@16")),
            "fw::ControlWindowProc");
  EXPECT_EQ(ShortFunctionName(Demangle("_ZN12_GLOBAL__N_15StartEPv@4")),
            "(anonymous namespace)::Start");
  // Only a number after the last at sign is a size; other names stay as they are.
  EXPECT_EQ(Demangle("_ZN2fw1fEv@x"), "_ZN2fw1fEv@x");
  EXPECT_EQ(Demangle("_ZN2fw1fEv@"), "_ZN2fw1fEv@");
  EXPECT_EQ(Demangle("_Zbad@8"), "_Zbad@8");
  EXPECT_EQ(Demangle("_WinMain@16"), "_WinMain@16");
}

}  // namespace
