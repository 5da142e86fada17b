#include "trace/stack/stack_trace.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "tests/stack/synthetic_module.h"

namespace trace {
namespace {

// app.exe at 400000 with symbol data, code without frame pointers:
//   401000 Main   sub esp,8; call Alpha (401003); add esp,8; ret
//   401100 Alpha  sub esp,0Ch; call Beta (401103); add esp,0Ch; ret
//   401200 Beta   push esi; call Gamma (401201); pop esi; ret
//   401300 Gamma  mov eax,[0] (faults); ret
//   401400 Rec    test eax,eax; jz 40140A; dec eax; call Rec (401405); call
//   Gamma (40140A); ret 401500 Outer  call Rec (401500); ret 401600 Hidden call
//   Alpha (401600); ret       (in a unit without line numbers) 401700 Ping test
//   eax,eax; jz 40170A; dec eax; call Pong (401705); call Gamma (40170A); ret
//   401800 Pong   call Ping (401800); ret
//   401900 Start  call Ping (401900); ret
//   401A00 + 20h * k, k = 0..7: Fk  push ebp; mov ebp,esp; call Fk+1 (or Gamma
//   for F7) at +3;
//                                 pop ebp; ret
//   401B00 Stub   mov edi,edi; jmp [402000] (which holds 501000, in another
//   module) 401B80 Caller call Stub (401B80); ret
// The stack lies at 10000..20000.
constexpr uint32_t kStackBase = 0x10000;
constexpr uint32_t kStackEnd = 0x20000;

std::vector<uint8_t> CallRel(uint32_t from, uint32_t to) {
  const uint32_t rel = to - (from + 5);
  return {0xE8, static_cast<uint8_t>(rel), static_cast<uint8_t>(rel >> 8),
          static_cast<uint8_t>(rel >> 16), static_cast<uint8_t>(rel >> 24)};
}

std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& part : parts)
    all.insert(all.end(), part.begin(), part.end());
  return all;
}

struct Program {
  testing::FakeAddressSpace memory;
  std::shared_ptr<TMapFile> map = std::make_shared<TMapFile>();
  std::vector<uint8_t> stack = std::vector<uint8_t>(kStackEnd - kStackBase, 0);
  uint32_t esp = kStackEnd;
  bool with_symbols = true;

  Program() {
    testing::SyntheticModule module;
    module.Put(0x1000,
               Join({{0x83, 0xEC, 0x08}, CallRel(0x401003, 0x401100), {0x83, 0xC4, 0x08, 0xC3}}));
    module.Put(0x1100,
               Join({{0x83, 0xEC, 0x0C}, CallRel(0x401103, 0x401200), {0x83, 0xC4, 0x0C, 0xC3}}));
    module.Put(0x1200, Join({{0x56}, CallRel(0x401201, 0x401300), {0x5E, 0xC3}}));
    module.Put(0x1300, {0xA1, 0x00, 0x00, 0x00, 0x00, 0xC3});
    module.Put(0x1400, Join({{0x85, 0xC0, 0x74, 0x06, 0x48},
                             CallRel(0x401405, 0x401400),
                             CallRel(0x40140A, 0x401300),
                             {0xC3}}));
    module.Put(0x1500, Join({CallRel(0x401500, 0x401400), {0xC3}}));
    module.Put(0x1600, Join({CallRel(0x401600, 0x401100), {0xC3}}));
    module.Put(0x1700, Join({{0x85, 0xC0, 0x74, 0x06, 0x48},
                             CallRel(0x401705, 0x401800),
                             CallRel(0x40170A, 0x401300),
                             {0xC3}}));
    module.Put(0x1800, Join({CallRel(0x401800, 0x401700), {0xC3}}));
    module.Put(0x1900, Join({CallRel(0x401900, 0x401700), {0xC3}}));
    for (uint32_t k = 0; k < 8; ++k) {
      const uint32_t at = 0x401A00 + 0x20 * k;
      module.Put(
          at - 0x400000,
          Join({{0x55, 0x8B, 0xEC}, CallRel(at + 3, k < 7 ? at + 0x20 : 0x401300), {0x5D, 0xC3}}));
    }
    module.Put(0x1B00, {0x8B, 0xFF, 0xFF, 0x25, 0x00, 0x20, 0x40, 0x00});
    module.Put(0x2000, {0x00, 0x10, 0x50, 0x00});
    module.Put(0x1B80, Join({CallRel(0x401B80, 0x401B00), {0xC3}}));
    module.AddTo(memory, "C:\\app\\app.exe");

    map->SetModule(0x400000, "C:\\app\\app.exe");
    map->SetRanges(0x401000, 0x402000, 0x402000, 0x402A00);
    map->set_valid(true);
    map->AddSegment(true, 0x401000, 0x100, "main.cpp");
    map->AddSegment(true, 0x401100, 0x100, "alpha.cpp");
    map->AddSegment(true, 0x401200, 0x100, "beta.cpp");
    map->AddSegment(true, 0x401300, 0x100, "gamma.cpp");
    map->AddSegment(true, 0x401400, 0x200, "rec.cpp");
    map->AddSegment(true, 0x401600, 0x100, "hidden.cpp");
    map->AddSegment(true, 0x401700, 0x300, "ping.cpp");
    map->AddSegment(true, 0x401A00, 0x100, "frames.cpp");
    map->AddSegment(true, 0x401B00, 0x100, "stub.cpp");
    const std::pair<const char*, uint32_t> publics[] = {
        {"Main", 0x401000}, {"Alpha", 0x401100}, {"Beta", 0x401200},   {"Gamma", 0x401300},
        {"Rec", 0x401400},  {"Outer", 0x401500}, {"Hidden", 0x401600}, {"Ping", 0x401700},
        {"Pong", 0x401800}, {"Start", 0x401900}};
    for (const auto& [name, address] : publics)
      map->AppendPublic(true, name, address);
    for (uint32_t k = 0; k < 8; ++k)
      map->AppendPublic(true, "F" + std::to_string(k), 0x401A00 + 0x20 * k);
    map->AppendPublic(true, "Stub", 0x401B00);
    map->AppendPublic(true, "Caller", 0x401B80);
    const std::pair<int, uint32_t> lines[] = {
        {10, 0x401000}, {11, 0x401003}, {12, 0x401008}, {20, 0x401100}, {21, 0x401103},
        {22, 0x401108}, {30, 0x401200}, {31, 0x401201}, {32, 0x401206}, {40, 0x401300},
        {41, 0x401305}, {50, 0x401400}, {51, 0x401405}, {52, 0x40140A}, {53, 0x40140F},
        {60, 0x401500}, {61, 0x401505}, {70, 0x401700}, {71, 0x401705}, {72, 0x40170A},
        {73, 0x40170F}, {80, 0x401800}, {81, 0x401805}, {90, 0x401900}, {91, 0x401905}};
    for (const auto& [line, address] : lines)
      map->AppendLine(line, address);
    for (uint32_t k = 0; k < 8; ++k) {
      map->AppendLine(static_cast<int>(100 + 10 * k), 0x401A00 + 0x20 * k);
      map->AppendLine(static_cast<int>(101 + 10 * k), 0x401A03 + 0x20 * k);
      map->AppendLine(static_cast<int>(102 + 10 * k), 0x401A08 + 0x20 * k);
    }
    for (const auto& [line, address] : std::initializer_list<std::pair<int, uint32_t>>{
             {200, 0x401B00}, {220, 0x401B80}, {221, 0x401B85}})
      map->AppendLine(line, address);
  }

  // Pushes dwords so that the first one given ends up outermost (highest).
  void Push(std::initializer_list<uint32_t> values) {
    for (const uint32_t value : values) {
      esp -= 4;
      for (int b = 0; b < 4; ++b)
        stack[esp - kStackBase + b] = static_cast<uint8_t>(value >> (8 * b));
    }
  }

  TStackTraceRequest Fault(uint32_t at) const {
    TStackTraceRequest request;
    request.current_address = at;
    request.exception_thread = true;
    request.external_exception = true;
    request.stack_begin = esp;
    request.stack_end = kStackEnd;
    return request;
  }

  TStackTraceRun Run(const TStackTraceRequest& request, std::function<void(TraceStage)> hook = {}) {
    memory.Add(kStackBase, stack);
    TraceState state(
        memory,
        [this](uint32_t base, const std::string&) {
          return with_symbols && base == 0x400000 ? std::shared_ptr<const TMapFile>(map) : nullptr;
        },
        0x400000, false, nullptr);
    state.stage_hook = std::move(hook);
    return RunStackTrace(state, request);
  }
};

// Main -> Alpha -> Beta -> Gamma, with junk in the frames.
void PushChain(Program& p) {
  p.Push({0x7C800123, 0x11111111, 0x22222222});  // Main's caller (unmapped) and Main's locals
  p.Push({0x401008, 0x00000000, 0x401000, 0x33333333});  // Alpha's locals hold an entry
  p.Push({0x401108, 0x12345678});                        // Beta's saved esi
  p.Push({0x401206});
}

TEST(StackTrace, ChainWithoutFramePointersInAlignedColumns) {
  Program p;
  PushChain(p);
  const TStackTraceRun run = p.Run(p.Fault(0x401300));
  EXPECT_EQ(run.text,
            "00401300 app.exe gamma.cpp 40 Gamma\r\n"
            "00401201 app.exe beta.cpp  31 Beta\r\n"
            "00401103 app.exe alpha.cpp 21 Alpha\r\n"
            "00401003 app.exe main.cpp  11 Main");
  EXPECT_EQ(run.findings.exception_address, 0x401300u);
  EXPECT_EQ(run.findings.function_entry, 0x401300u);
}

TEST(StackTrace, RelativeAddressesAndHiddenItems) {
  Program p;
  p.Push({0x401605});  // Hidden, a unit without lines, calls Alpha
  p.Push({0x401108, 0x12345678});
  p.Push({0x401206});
  TStackTraceRequest request = p.Fault(0x401300);
  request.relative_addresses = true;
  EXPECT_EQ(p.Run(request).text,
            "00401300 +0 app.exe gamma.cpp  40 Gamma\r\n"
            "00401200 +1 app.exe beta.cpp   31 Beta\r\n"
            "00401100 +3 app.exe alpha.cpp  21 Alpha\r\n"
            "00401600 +0 app.exe hidden.cpp    Hidden");
  request.relative_addresses = false;
  request.hide_items_without_lines = true;
  EXPECT_EQ(p.Run(request).text,
            "00401300 app.exe gamma.cpp 40 Gamma\r\n"
            "00401201 app.exe beta.cpp  31 Beta\r\n"
            "00401103 app.exe alpha.cpp 21 Alpha");
}

TEST(StackTrace, RecursionIsPrintedOnce) {
  for (int depth : {1, 2, 7, 40}) {
    Program p;
    p.Push({0x401505});
    for (int i = 0; i < depth; ++i)
      p.Push({0x40140A});
    p.Push({0x40140F});
    const TStackTraceRun run = p.Run(p.Fault(0x401300));
    EXPECT_EQ(run.text,
              "00401300 app.exe gamma.cpp 40 Gamma\r\n"
              "0040140a app.exe rec.cpp   52 Rec\r\n"
              "00401405 app.exe rec.cpp   51 Rec\r\n"
              "00401500 app.exe rec.cpp   60 Outer")
        << "depth " << depth;
  }
}

TEST(StackTrace, MutualRecursionIsPrintedOnce) {
  for (int depth : {1, 3, 25}) {
    Program p;
    p.Push({0x401905});
    for (int i = 0; i < depth; ++i)
      p.Push({0x40170A, 0x401805});
    p.Push({0x40170F});
    EXPECT_EQ(p.Run(p.Fault(0x401300)).text,
              "00401300 app.exe gamma.cpp 40 Gamma\r\n"
              "0040170a app.exe ping.cpp  72 Ping\r\n"
              "00401800 app.exe ping.cpp  80 Pong\r\n"
              "00401705 app.exe ping.cpp  71 Ping\r\n"
              "00401900 app.exe ping.cpp  90 Start")
        << "depth " << depth;
  }
}

// Ffirst .. F7 entered in turn, each with its frame pointer saved below its
// return address; F7 calls Gamma. Returns the expected trace.
std::string PushFrames(Program& p, int first) {
  uint32_t ebp = 0;
  p.Push({0x7C800123, ebp});
  ebp = p.esp;
  for (int k = first + 1; k <= 7; ++k) {
    p.Push({0x401A08 + 0x20 * static_cast<uint32_t>(k - 1), ebp});
    ebp = p.esp;
  }
  p.Push({0x401A08 + 0x20 * 7});
  std::string expected = "00401300 app.exe gamma.cpp   40 Gamma";
  for (int k = 7; k >= first; --k) {
    char line[80];
    std::snprintf(line, sizeof line, "\r\n%08x app.exe frames.cpp %d F%d", 0x401A03 + 0x20 * k,
                  101 + 10 * k, k);
    expected += line;
  }
  return expected;
}

TEST(StackTrace, FramePointerChains) {
  // Seven linked frames: a chain longer than five makes all but its last two
  // items certain.
  Program p;
  const std::string expected = PushFrames(p, 0);
  TStackTraceRun run = p.Run(p.Fault(0x401300));
  EXPECT_EQ(run.text, expected);
  std::string certain;
  for (const TStackItem& item : run.items)
    certain += item.certain ? 'C' : '-';
  EXPECT_EQ(certain, "CCCCC---C");

  // Five linked frames are too few to be trusted: only the current address is
  // certain.
  Program q;
  const std::string five = PushFrames(q, 2);
  run = q.Run(q.Fault(0x401300));
  EXPECT_EQ(run.text, five);
  certain.clear();
  for (const TStackItem& item : run.items)
    certain += item.certain ? 'C' : '-';
  EXPECT_EQ(certain, "------C");
}

TEST(StackTrace, ACallThroughAStubReachesTheFunctionItJumpsTo) {
  // Caller calls Stub, which jumps on into other.dll's Real (as a system
  // function's stub jumps into the module that holds the code): Real's return
  // point is Caller's callee.
  Program p;
  testing::SyntheticModule other;
  other.base = 0x500000;
  other.entry_point = 0x1100;
  other.Put(0x1000, Join({{0x56}, CallRel(0x501001, 0x401300), {0x5E, 0xC3}}));
  other.Put(0x1100, {0xC3});
  other.AddTo(p.memory, "C:\\windows\\other.dll");
  p.memory.AddExport(0x501000, "Real");
  p.Push({0x401B85});
  p.Push({0x501006, 0x12345678});
  EXPECT_EQ(p.Run(p.Fault(0x401300)).text,
            "00401300 app.exe   gamma.cpp  40 Gamma\r\n"
            "00501001 other.dll               Real\r\n"
            "00401b80 app.exe   stub.cpp  220 Caller");
}

TEST(StackTrace, StackWithoutReturnAddressesGivesTheCertainItems) {
  Program p;
  uint32_t seed = 12345;
  for (int i = 0; i < 2000; ++i) {
    seed = seed * 1103515245 + 12345;
    p.Push({seed | 0x80000000});  // never inside the module
  }
  TStackTraceRequest request = p.Fault(0x401300);
  request.thread_start = 0x401000;
  EXPECT_EQ(p.Run(request).text,
            "00401300 app.exe gamma.cpp 40 Gamma\r\n"
            "00401000 app.exe main.cpp  10 Main");
}

TEST(StackTrace, StaleReturnAddressInALiveFrameIsNoCaller) {
  Program p;
  p.Push({0x7C800123, 0x11111111, 0x22222222});
  p.Push({0x401008, 0x401505, 0x40140F, 0x33333333});  // Alpha's locals: returns of old calls
  p.Push({0x401108, 0x12345678});
  p.Push({0x401206});
  EXPECT_EQ(p.Run(p.Fault(0x401300)).text,
            "00401300 app.exe gamma.cpp 40 Gamma\r\n"
            "00401201 app.exe beta.cpp  31 Beta\r\n"
            "00401103 app.exe alpha.cpp 21 Alpha\r\n"
            "00401003 app.exe main.cpp  11 Main");
}

TEST(StackTrace, WithoutSymbolDataTheProgramsOwnCodeHasNoNames) {
  Program p;
  p.with_symbols = false;
  PushChain(p);
  // The certain item prints with the module's name only; return points of the
  // main module without symbol data are kept without functions and so not
  // printed.
  EXPECT_EQ(p.Run(p.Fault(0x401300)).text, "00401300 app.exe  ");
}

TEST(StackTrace, EachStageFailureEndsTheTraceWithItsName) {
  const char* names[kTraceStageCount] = {"CollectPossibleStackItems", "FormatEbpFrameChains",
                                         "RemoveRecursiveStackAreas", "InDeepChecks",
                                         "RealizeOptimalLinkChains",  "RemoveRecursiveAreas (2)",
                                         "FillFinalOutput",           "ComposeResult"};
  for (int stage = 0; stage < kTraceStageCount; ++stage) {
    Program p;
    PushChain(p);
    const TStackTraceRun run = p.Run(p.Fault(0x401300), [stage](TraceStage at) {
      if (static_cast<int>(at) == stage) throw std::runtime_error("injected");
    });
    EXPECT_EQ(run.text, std::string("Internal error in kivStackTrace.") + names[stage]);
  }
}

TEST(StackTrace, UnreadableOrReversedRangesGiveNoText) {
  Program p;
  PushChain(p);
  TStackTraceRequest request = p.Fault(0x401300);
  request.stack_end = kStackEnd + 0x1000;  // a page past the stack
  EXPECT_EQ(p.Run(request).text, "");
  request.stack_begin = kStackEnd;
  request.stack_end = kStackBase;
  EXPECT_EQ(p.Run(request).text, "");
  request.stack_begin = request.stack_end = kStackEnd;  // empty: the current address only
  EXPECT_EQ(p.Run(request).text, "00401300 app.exe gamma.cpp 40 Gamma");
}

TEST(StackTrace, TheStateLearnsAcrossTraces) {
  Program p;
  PushChain(p);
  p.memory.Add(kStackBase, p.stack);
  TraceState state(
      p.memory, [&](uint32_t, const std::string&) { return p.map; }, 0x400000, false, nullptr);
  const std::string first = StackTrace(state, p.Fault(0x401300));
  const size_t functions = state.functions().functions().size();
  TStackTraceFindings findings{1, 2};
  EXPECT_EQ(StackTrace(state, p.Fault(0x401300), &findings), first);
  EXPECT_EQ(state.functions().functions().size(), functions);
  EXPECT_EQ(findings.exception_address, 0x401300u);
  EXPECT_EQ(state.modules().modules().size(), 1u);
}

}  // namespace
}  // namespace trace
