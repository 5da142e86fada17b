// Traces of live threads of this program: threads held in known call chains of -O2 code
// without frame pointers are suspended, and their traces must name every function of the
// chain in order, with this program's module, the chains' unit and the lines of the calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/stack/known_call_chains_win.h"
#include "trace/pe/win/live_address_space_win.h"
#include "trace/stack/module_list.h"
#include "trace/stack/win/stack_trace_win.h"

namespace trace {
namespace {

constexpr char kUnit[] = "known_call_chains_win";

void* Pointer(uint32_t address) {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

std::string ProgramFileName() {
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, name, sizeof name);
  return FileNameOf(std::string(name, length));
}

// One printed line of a trace: "address module unit line function" for a function of ours.
struct TraceLine {
  std::string text;
  std::vector<std::string> words;
};

std::vector<TraceLine> Lines(const std::string& text) {
  std::vector<TraceLine> lines;
  size_t at = 0;
  while (at <= text.size()) {
    size_t end = text.find("\r\n", at);
    if (end == std::string::npos) end = text.size();
    TraceLine line{text.substr(at, end - at), {}};
    std::istringstream words(line.text);
    for (std::string word; words >> word;)
      line.words.push_back(word);
    if (!line.words.empty()) lines.push_back(line);
    at = end + 2;
  }
  return lines;
}

// A function of the chains expected in a trace; line 0 accepts any line number.
struct Frame {
  std::string function;
  int line = 0;
};

bool Matches(const TraceLine& line, const Frame& frame) {
  const std::vector<std::string>& w = line.words;
  if (w.size() != 5 || w[1] != ProgramFileName() || w[2] != kUnit || w[4] != frame.function) {
    return false;
  }
  const int number = std::atoi(w[3].c_str());
  return frame.line == 0 ? number > 0 : number == frame.line;
}

// The index of the line each frame matched, innermost first, each after the one before;
// fails the test naming the first frame not found.
std::vector<size_t> ExpectFrames(const std::string& text, const std::vector<Frame>& frames) {
  std::printf("%s\n", text.c_str());  // the whole trace, for the log
  const std::vector<TraceLine> lines = Lines(text);
  std::vector<size_t> found;
  size_t next = 0;
  for (const Frame& frame : frames) {
    size_t i = next;
    while (i < lines.size() && !Matches(lines[i], frame))
      ++i;
    if (i == lines.size()) {
      ADD_FAILURE() << "no line \"" << frame.function << "\" (" << kUnit << " line "
                    << (frame.line == 0 ? std::string("any") : std::to_string(frame.line))
                    << ") at or after line " << next + 1 << " of the trace:\n"
                    << text;
      return found;
    }
    found.push_back(i);
    next = i + 1;
  }
  return found;
}

// True when address lies in this program's module.
bool InProgram(uint32_t address) {
  const std::optional<ModuleInfo> module = LiveSpace().ModuleOf(address);
  return module.has_value() && module->is_main;
}

// Suspends thread at a point where its instruction pointer lies inside this program (or
// outside it), resuming and trying again for a while; false when it never does.
bool SuspendWhere(HANDLE thread, bool in_program, CONTEXT& context) {
  for (int attempt = 0; attempt < 200; ++attempt) {
    if (SuspendThread(thread) == static_cast<DWORD>(-1)) return false;
    context = {};
    context.ContextFlags = CONTEXT_CONTROL | CONTEXT_INTEGER;
    if (GetThreadContext(thread, &context) && InProgram(context.Eip) == in_program) return true;
    ResumeThread(thread);
    Sleep(5);
  }
  return false;
}

class StackTraceLiveTest : public ::testing::Test {
 protected:
  void TearDown() override {
    for (chains::HeldThread& held : threads_) {
      if (suspended_) ResumeThread(held.handle);
    }
    chains::ReleaseHeldThreads(threads_.data(), static_cast<int>(threads_.size()));
  }

  // Starts a chain's thread and suspends it inside (or outside) this program; then traces it
  // with the current address at its instruction pointer.
  std::string TraceHeld(LPTHREAD_START_ROUTINE start, bool in_program) {
    threads_.push_back(chains::StartHeldThread(start));
    const chains::HeldThread& held = threads_.back();
    EXPECT_NE(held.stack_base, 0u) << "the thread did not arrive";
    if (held.stack_base == 0) return {};
    if (!in_program) Sleep(50);  // past the signal of its arrival, into the wait
    CONTEXT context;
    suspended_ = SuspendWhere(held.handle, in_program, context);
    EXPECT_TRUE(suspended_) << "the thread was not caught where expected";
    if (!suspended_) return {};
    entry_ = exception_address_ = Pointer(0xBAD);
    return StackTrace(false, false, Pointer(context.Eip), false, false, Pointer(context.Esp),
                      Pointer(held.stack_base), held.start, &exception_address_, &entry_, nullptr);
  }

  std::vector<chains::HeldThread> threads_;
  bool suspended_ = false;
  void* exception_address_ = nullptr;
  void* entry_ = nullptr;
};

TEST_F(StackTraceLiveTest, NamesEveryFunctionOfAChainWithoutFramePointers) {
  const std::string text = TraceHeld(chains::SpinStart, true);
  ExpectFrames(text, {{"chains::SpinLevel3"},
                      {"chains::SpinLevel2", chains::CallLine(chains::kSpinLevel2CallsLevel3)},
                      {"chains::SpinLevel1", chains::CallLine(chains::kSpinLevel1CallsLevel2)},
                      {"chains::SpinStart", chains::CallLine(chains::kSpinStartCallsLevel1)}});
  // The function holding the current address, and the address itself printed first.
  EXPECT_EQ(entry_, reinterpret_cast<void*>(&chains::SpinLevel3)) << text;
  const std::vector<TraceLine> lines = Lines(text);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0].words[0], [&] {
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", Address(exception_address_));
    return std::string(hex);
  }()) << text;
}

TEST_F(StackTraceLiveTest, TracesAThreadSuspendedInsideASystemCall) {
  const std::string text = TraceHeld(chains::WaitStart, false);
  ExpectFrames(text, {{"chains::WaitLevel2", chains::CallLine(chains::kWaitLevel2CallsWait)},
                      {"chains::WaitLevel1", chains::CallLine(chains::kWaitLevel1CallsLevel2)},
                      {"chains::WaitStart", chains::CallLine(chains::kWaitStartCallsLevel1)}});
  // Innermost, the system's code the thread waits in.
  const std::vector<TraceLine> lines = Lines(text);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines[0].words[1], ProgramFileName()) << text;
}

TEST_F(StackTraceLiveTest, FollowsACallbackOfTheRuntimeLibrarysQsort) {
  const std::string text = TraceHeld(chains::SortStart, true);
  const std::vector<size_t> found =
      ExpectFrames(text, {{"chains::HoldInCallback"},
                          {"chains::CompareAndHold", chains::CallLine(chains::kCompareCallsHold)},
                          {"chains::SortWithCallback", chains::CallLine(chains::kSortCallsQsort)},
                          {"chains::SortStart", chains::CallLine(chains::kSortStartCallsSort)}});
  ASSERT_EQ(found.size(), 4u);
  // Between the callback and its caller, qsort's own frame in msvcrt.dll.
  const std::vector<TraceLine> lines = Lines(text);
  bool runtime_frame = false;
  for (size_t i = found[1] + 1; i < found[2]; ++i) {
    runtime_frame = runtime_frame || _stricmp(lines[i].words[1].c_str(), "msvcrt.dll") == 0;
  }
  EXPECT_TRUE(runtime_frame) << text;
}

TEST_F(StackTraceLiveTest, PrintsARecursionOnceBetweenItsInnermostCallAndItsCaller) {
  const std::string text = TraceHeld(chains::RecurseStart, true);
  ExpectFrames(text,
               {{"chains::Recurse"},
                {"chains::Recurse", chains::CallLine(chains::kRecurseCallsItself)},
                {"chains::RecurseStart", chains::CallLine(chains::kRecurseStartCallsRecurse)}});
  int recursive_calls = 0;
  for (const TraceLine& line : Lines(text)) {
    recursive_calls +=
        Matches(line, {"chains::Recurse", chains::CallLine(chains::kRecurseCallsItself)});
  }
  EXPECT_EQ(recursive_calls, 1) << text;
}

TEST(StackTraceLive, TracesTheCallingThreadWithEveryPointerLeftNull) {
  std::string text;
  chains::TraceOwnStackCaller(text);
  ExpectFrames(text,
               {{"chains::TraceOwnStack"},
                {"chains::TraceOwnStackCaller", chains::CallLine(chains::kSelfCallerCallsSelf)}});
}

TEST(StackTraceLive, GivesNothingForAStackRangeThatCannotBeRead) {
  SYSTEM_INFO system;
  GetSystemInfo(&system);
  const DWORD page = system.dwPageSize;
  // Reserved, not committed.
  void* reserved = VirtualAlloc(nullptr, 4 * page, MEM_RESERVE, PAGE_NOACCESS);
  // Committed; its second page a guard page.
  char* guarded = static_cast<char*>(VirtualAlloc(nullptr, 2 * page, MEM_COMMIT, PAGE_READWRITE));
  ASSERT_NE(reserved, nullptr);
  ASSERT_NE(guarded, nullptr);
  DWORD old = 0;
  ASSERT_TRUE(VirtualProtect(guarded + page, page, PAGE_READWRITE | PAGE_GUARD, &old));

  void* exception_address = Pointer(0xBAD);
  void* entry = Pointer(0xBAD);
  const auto trace = [&](void* begin, void* end) {
    return StackTrace(false, false, Pointer(0x401000), false, false, begin, end, nullptr,
                      &exception_address, &entry, nullptr);
  };
  EXPECT_EQ(trace(reserved, static_cast<char*>(reserved) + page), "");
  EXPECT_EQ(exception_address, nullptr);
  EXPECT_EQ(entry, nullptr);
  EXPECT_EQ(trace(guarded, guarded + 2 * page), "");
  EXPECT_EQ(trace(guarded + page, guarded), "");  // begin above end
  EXPECT_EQ(trace(guarded, guarded), "");         // empty

  // The guard page keeps its guard.
  MEMORY_BASIC_INFORMATION info;
  ASSERT_EQ(VirtualQuery(guarded + page, &info, sizeof info), sizeof info);
  EXPECT_NE(info.Protect & PAGE_GUARD, 0u);
  EXPECT_TRUE(StackRangeReadable(Address(guarded), Address(guarded + page)));
  EXPECT_FALSE(StackRangeReadable(Address(guarded), Address(guarded + page + 4)));

  VirtualFree(reserved, 0, MEM_RELEASE);
  VirtualFree(guarded, 0, MEM_RELEASE);
}

}  // namespace
}  // namespace trace
