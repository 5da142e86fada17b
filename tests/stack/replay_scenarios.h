// Crash-like stacks over the chains' program and Wine's DLLs: each scenario is a real call
// chain (the call sites found by decoding the program), laid out on a stack with the frames'
// locals between the return addresses, and the lines its trace should print.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/stack/replay_fixture.h"

namespace trace::testing {

// One frame of the real chain, outermost first.
struct Hop {
  Hop() = default;
  Hop(std::string function_name, std::string unit_name, std::string site)
      : function(std::move(function_name)), unit(std::move(unit_name)), marker(std::move(site)) {}

  std::string function;         // the public (ours) or export name (Wine's); empty: none
  std::string unit;             // the unit (ours); empty for Wine's
  std::string marker;           // the "site:" comment of the line (ours)
  uint32_t address = 0;         // the call it makes (innermost: the faulting instruction)
  uint32_t return_address = 0;  // the address after that call
  bool frame_pointer = false;   // the function keeps EBP frames (Wine's)
  int locals = 3;               // dwords of its frame besides the return address
  std::vector<uint32_t> stale;  // values left in its frame by earlier calls
};

// A line the trace should print, innermost first.
struct ExpectedLine {
  uint32_t address = 0;
  std::string words;  // module, unit, line number, function
};

struct Scenario {
  std::string name;
  std::vector<Hop> hops;
  uint32_t thread_start = 0;
  std::vector<ExpectedLine> expected;  // set by Finish, or by the scenario (recursion)
  std::string missing;                 // why the scenario cannot be built here, or empty
};

// The module file name of an address.
inline std::string ModuleName(const ChainWorld& world, uint32_t address) {
  const auto info = world.space.ModuleOf(address);
  return info ? FileNameOf(info->path) : "???";
}

inline ExpectedLine LineOf(const ChainWorld& world, const Hop& hop) {
  ExpectedLine line{hop.address, ModuleName(world, hop.address)};
  if (!hop.unit.empty()) {
    const int number = SourceLine(REPLAY_SOURCE_DIR "/" + hop.unit + ".cpp", hop.marker);
    line.words += " " + hop.unit + " " + std::to_string(number);
  }
  line.words += " " + hop.function;
  return line;
}

// The stack of the scenario: from the end down, each caller's return address and its
// callee's frame.
inline StackLayout LayOut(const Scenario& scenario, uint32_t end = ChainWorld::kStackEnd,
                          uint32_t seed = 7) {
  StackLayout stack(end, seed);
  stack.Junk(4);
  stack.set_ebp(end - 8);
  for (size_t i = 0; i + 1 < scenario.hops.size(); ++i) {
    const Hop& callee = scenario.hops[i + 1];
    stack.Call(scenario.hops[i].return_address);
    if (callee.frame_pointer) stack.FramePointer();
    stack.Junk(callee.locals);
    for (const uint32_t value : callee.stale) {
      stack.Push(value);
      stack.Junk(1);
    }
  }
  return stack;
}

// The request of a fault in the innermost function.
inline TStackTraceRequest FaultRequest(const Scenario& scenario) {
  TStackTraceRequest request;
  request.current_address = scenario.hops.back().address;
  request.exception_thread = true;
  request.external_exception = true;
  request.thread_start = scenario.thread_start;
  return request;
}

// Builds the scenarios from the world's code.
class ScenarioBuilder {
 public:
  explicit ScenarioBuilder(const ChainWorld& world) : world_(world) {}

  // A frame of ours calling callee (a public of ours) at its nth such call.
  Hop Ours(const std::string& function, const std::string& unit, const std::string& callee,
           int nth = 0) {
    return Ours(function, unit, callee, world_.Function("chains::" + callee), nth);
  }
  Hop Ours(const std::string& function, const std::string& unit, const std::string& marker,
           uint32_t target, int nth) {
    Hop hop{"chains::" + function, unit, function + ">" + marker};
    const auto call = world_.CallTo(world_.Function(hop.function), target, nth);
    if (!call) {
      missing_ += " " + hop.function + " calls no " + marker + ";";
      return hop;
    }
    hop.address = call->address;
    hop.return_address = call->next;
    return hop;
  }
  // A frame of ours calling through a pointer (its nth such call).
  Hop OursIndirect(const std::string& function, const std::string& unit, const std::string& marker,
                   int nth = 0) {
    Hop hop{"chains::" + function, unit, function + ">" + marker};
    const auto call = world_.IndirectCall(world_.Function(hop.function), nth);
    if (!call) {
      missing_ += " " + hop.function + " has no call through a pointer;";
      return hop;
    }
    hop.address = call->address;
    hop.return_address = call->next;
    return hop;
  }
  // The innermost frame: Fault at its read.
  Hop Fault() {
    Hop hop{"chains::Fault", "chains", "Fault"};
    hop.address = world_.SecondInstruction(world_.Function("chains::Fault"));
    return hop;
  }
  // A frame of a Wine DLL at entry (named name when it is exported, else unnamed) making its
  // nth call through a pointer.
  Hop Wine(const std::string& name, uint32_t entry, int nth) {
    Hop hop{name, "", ""};
    hop.frame_pointer = true;
    hop.locals = 6;
    const auto call = entry ? world_.IndirectCall(entry, nth) : std::nullopt;
    if (!call) {
      missing_ += " no indirect call in " + name + ";";
      return hop;
    }
    hop.address = call->address;
    hop.return_address = call->next;
    return hop;
  }

  // The scenario with its expected lines: every named frame, innermost first.
  Scenario Finish(std::string name, std::vector<Hop> hops, uint32_t thread_start = 0) {
    Scenario scenario{std::move(name), std::move(hops), thread_start, {}, missing_};
    missing_.clear();
    for (auto hop = scenario.hops.rbegin(); hop != scenario.hops.rend(); ++hop) {
      if (!hop->function.empty()) scenario.expected.push_back(LineOf(world_, *hop));
    }
    return scenario;
  }

  const ChainWorld& world() const { return world_; }

 private:
  const ChainWorld& world_;
  std::string missing_;
};

// The twelve scenarios of ours (those through Wine's DLLs only when Wine is here).
inline std::vector<Scenario> AllScenarios(const ChainWorld& world) {
  ScenarioBuilder b(world);
  std::vector<Scenario> all;
  all.push_back(b.Finish(
      "plain calls", {b.Ours("Alpha1", "chains", "Alpha2"), b.Ours("Alpha2", "chains", "Alpha3"),
                      b.Ours("Alpha3", "chains", "Fault"), b.Fault()}));
  all.push_back(b.Finish(
      "eight levels, two units",
      {b.Ours("Deep1", "chains", "Deep2"), b.Ours("Deep2", "helpers", "Deep3"),
       b.Ours("Deep3", "chains", "Deep4"), b.Ours("Deep4", "helpers", "Deep5"),
       b.Ours("Deep5", "chains", "Deep6"), b.Ours("Deep6", "helpers", "Deep7"),
       b.Ours("Deep7", "chains", "Deep8"), b.Ours("Deep8", "helpers", "Fault"), b.Fault()}));
  all.push_back(b.Finish("call through a pointer table",
                         {b.OursIndirect("Dispatch", "chains", "HandleOpen"),
                          b.Ours("HandleOpen", "chains", "Fault"), b.Fault()}));
  all.push_back(b.Finish("virtual call", {b.Ours("UseShape", "chains", "MeasureShape"),
                                          b.OursIndirect("MeasureShape", "chains", "Area"),
                                          b.Ours("Square::Area", "chains", "Fault"), b.Fault()}));
  all.push_back(
      b.Finish("stdcall window procedure", {b.Ours("PumpMessage", "chains", "PaintWindow"),
                                            b.Ours("PaintWindow", "chains", "Fault"), b.Fault()}));
  {
    Hop thread{"chains::WorkerThread", "chains", "WorkerThread"};
    thread.address = world.Function("chains::WorkerThread");
    Scenario scenario = b.Finish(
        "thread start routine",
        {b.Ours("WorkerThread", "chains", "Worker"), b.Ours("Worker", "chains", "WorkStep"),
         b.Ours("WorkStep", "chains", "Fault"), b.Fault()},
        thread.address);
    scenario.expected.push_back(LineOf(world, thread));
    all.push_back(scenario);
  }
  {
    // Prepare's call of Measure returned before Gamma3 was called: its return address lies
    // in Gamma3's frame, above ESP.
    Hop stale = b.Ours("Prepare", "chains", "Measure");
    Hop gamma3 = b.Ours("Gamma3", "chains", "Fault");
    gamma3.locals = 8;
    gamma3.stale = {stale.return_address};
    all.push_back(b.Finish("stale return address in a live frame",
                           {b.Ours("Gamma1", "chains", "Gamma2"),
                            b.Ours("Gamma2", "chains", "Gamma3"), gamma3, b.Fault()}));
  }
  {
    // Dispatch's call through its table returned before Delta2 was called: a stale return
    // point of a call with unknown target, in Delta2's frame.
    Hop stale = b.OursIndirect("Dispatch", "chains", "HandleOpen");
    Hop delta2 = b.Ours("Delta2", "chains", "Fault");
    delta2.stale = {stale.return_address};
    all.push_back(b.Finish("stale return point of a call through a pointer",
                           {b.Ours("Delta1", "chains", "Delta2"), delta2, b.Fault()}));
  }
  {
    const uint32_t countdown = world.Function("chains::Countdown");
    std::vector<Hop> hops{b.Ours("StartCountdown", "chains", "Countdown")};
    const Hop self = b.Ours("Countdown", "chains", "Countdown", countdown, 0);
    for (int i = 0; i < 5; ++i)
      hops.push_back(self);
    hops.push_back(b.Ours("Countdown", "chains", "Fault"));
    hops.push_back(b.Fault());
    Scenario scenario = b.Finish("recursion of period 1, five times", hops);
    // Printed once.
    scenario.expected = {LineOf(world, hops.back()), LineOf(world, hops[hops.size() - 2]),
                         LineOf(world, self), LineOf(world, hops.front())};
    all.push_back(scenario);
  }
  {
    const Hop even = b.Ours("IsEven", "chains", "IsOdd");
    const Hop odd = b.Ours("IsOdd", "chains", "IsEven");
    std::vector<Hop> hops{b.Ours("StartParity", "chains", "IsEven")};
    for (int i = 0; i < 3; ++i) {
      hops.push_back(even);
      hops.push_back(odd);
    }
    hops.push_back(b.Ours("IsEven", "chains", "Fault"));
    hops.push_back(b.Fault());
    Scenario scenario = b.Finish("recursion of period 2, three times", hops);
    scenario.expected = {LineOf(world, hops.back()), LineOf(world, hops[hops.size() - 2]),
                         LineOf(world, odd), LineOf(world, even), LineOf(world, hops.front())};
    all.push_back(scenario);
  }
  if (world.HasWine()) {
    // msvcrt's qsort passes the comparator to qsort_s with a wrapper of its own, which has
    // no export and so no name.
    const uint32_t qsort = world.Export("msvcrt.dll", "qsort");
    const uint32_t qsort_s = world.Export("msvcrt.dll", "qsort_s");
    Hop to_qsort = b.Ours("SortRecords", "chains", "qsort", qsort, 0);
    to_qsort.marker = "SortRecords>qsort";
    Hop in_qsort{"qsort", "", ""};
    if (const auto call = world.CallTo(qsort, qsort_s)) {
      in_qsort.address = call->address;
      in_qsort.return_address = call->next;
    }
    in_qsort.frame_pointer = true;
    in_qsort.locals = 8;
    Hop in_qsort_s = b.Wine("qsort_s", qsort_s, 0);
    uint32_t wrapper = 0;
    if (in_qsort.address) {
      // The wrapper is the constant qsort stores before its call.
      X86Instruction in;
      for (uint32_t at = qsort; at < in_qsort.address; at += in.length) {
        DecodeInstruction(world.space, at, in);
        if (!in.valid || in.length == 0) break;
        uint32_t value = 0;
        if (in.length == 8 && world.space.Read(at + 4, &value, 4) && world.space.ModuleOf(value))
          wrapper = value;
      }
    }
    Hop in_wrapper = b.Wine("", wrapper, 0);
    all.push_back(b.Finish("msvcrt qsort calling back",
                           {to_qsort, in_qsort, in_qsort_s, in_wrapper,
                            b.Ours("CompareRecords", "chains", "Fault"), b.Fault()}));
    const uint32_t enum_windows = world.Export("user32.dll", "EnumWindows");
    Hop to_enum = b.Ours("ListWindows", "chains", "EnumWindows", enum_windows, 0);
    if (!to_enum.address) {
      to_enum = b.OursIndirect("ListWindows", "chains", "EnumWindows");
    }
    all.push_back(b.Finish("user32 EnumWindows calling back",
                           {to_enum, b.Wine("EnumWindows", enum_windows, 0),
                            b.Ours("EnumProc", "chains", "Fault"), b.Fault()}));
  }
  return all;
}

}  // namespace trace::testing
