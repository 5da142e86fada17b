// The stack tracer: the raw stack of one thread turned into call-stack text. Every dword of
// the stack is a candidate return address; a candidate survives only when a call ends right
// before it, it lies in a module's code and the function that holds it really calls out
// there. The survivors are linked into caller/callee chains, the chains scored, the best
// chain between every two certain points kept, recursion folded, and the result printed as
// aligned lines of address, module, unit, line number and function name.
//
// The tracer reads only through an address space, so it runs on the live process as on a
// stack replayed from PE files and a dump.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "trace/pe/address_space.h"
#include "trace/stack/code_patcher.h"
#include "trace/stack/function_cache.h"
#include "trace/stack/module_list.h"
#include "trace/stack/progress.h"

namespace trace {

// The eight stages of a trace, in the order they run.
enum class TraceStage {
  kCollectPossibleStackItems,
  kFormatEbpFrameChains,
  kRemoveRecursiveStackAreas,
  kInDeepChecks,
  kRealizeOptimalLinkChains,
  kRemoveRecursiveAreas,
  kFillFinalOutput,
  kComposeResult,
};
inline constexpr int kTraceStageCount = 8;

// The whole text of a trace that ended by an exception inside stage:
// "Internal error in kivStackTrace." and the stage's name.
std::string InternalErrorText(TraceStage stage);

// A link between two stack items: the call that leads from the caller to the callee.
struct TStackLink {
  int other = -1;             // the item at the other end, -1 when none
  uint32_t call_address = 0;  // the call instruction
  bool target_known = false;  // target holds the call's target
  uint32_t target = 0;        // the call's target
  int function = -1;          // function cache index of the call's function, -1 when none
  int64_t score = 0;          // cached score, 0 while not computed
};

// The links of one side of an item.
struct TStackLinkList {
  std::vector<TStackLink> links;  // grown by doubling from 8
  int best = -1;                  // index of the best link, -1 when none
};

// Side 0 of the links leads to inner items (callees), side 1 to outer items (callers).
inline constexpr int kInnerSide = 0;
inline constexpr int kOuterSide = 1;

// What an item prints.
struct TStackOutput {
  uint32_t address = 0;  // the address shown
  int line = 0;          // source line, 0 when none
  std::string module_name;
  std::string unit_name;
  std::string function_name;
  uint32_t entry = 0;  // entry of the function, 0 when unknown
};

// One candidate.
struct TStackItem {
  uint32_t stack_position = 0;       // the slot it came from; 0 for the thread start and the
                                     // current address
  uint32_t address = 0;              // the return address (for certain items: the address after
                                     // the instruction of interest)
  int frame_link = -1;               // the outer item its saved frame pointer points to
  int next_in_chain = -1;            // the chosen inner item of the frame-pointer chain
  std::vector<int> next_candidates;  // all inner items pointing here, while several do
  bool certain = false;              // the address is known to be real
  bool stop = false;                 // certain, and collection may stop here
  int module_index = -1;             // index in the module list, -1 when unknown
  std::array<TStackLinkList, 2> links;
  bool removed = false;  // left out of the output
  TStackOutput output;
};

// What the trace of one thread is asked.
struct TStackTraceRequest {
  bool hide_items_without_lines = false;  // after the first item with a line number
  bool relative_addresses = false;        // print entry + offset
  uint32_t current_address = 0;           // the innermost certain address
  bool exception_thread = false;          // a stack value equal to current_address is certain
  bool external_exception = false;        // a hardware exception rather than a raised one
  uint32_t stack_begin = 0;               // lowest address scanned
  uint32_t stack_end = 0;                 // one past the highest
  uint32_t thread_start = 0;              // the outermost certain item, 0 when unknown
};

// What one trace found besides its text.
struct TStackTraceFindings {
  uint32_t exception_address = 0;  // the corrected exception address
  uint32_t function_entry = 0;     // entry of the function that holds it
};

// The modules and functions the traces of one address space learn about, kept from one
// trace to the next. Not locked: one trace at a time. The module list's registration runs
// the entry-point walk through patcher.
class TraceState {
 public:
  // main_module is the program's executable (its handle); is_9x selects the join of window
  // procedure chains of the 9x family. patcher may be null: nothing is rewritten.
  TraceState(const AddressSpace& memory, SymbolDataSource symbols, uint32_t main_module, bool is_9x,
             CodePatcher* patcher);
  TraceState(const TraceState&) = delete;
  TraceState& operator=(const TraceState&) = delete;

  const AddressSpace& memory() const { return memory_; }
  ModuleList& modules() { return modules_; }
  FunctionCache& functions() { return functions_; }
  uint32_t main_module() const { return main_module_; }
  bool is_9x() const { return is_9x_; }

  // Called as each stage begins; tests make it throw to reach the stage's guard.
  std::function<void(TraceStage)> stage_hook;

 private:
  const AddressSpace& memory_;
  ModuleList modules_;
  FunctionCache functions_;
  uint32_t main_module_;
  bool is_9x_;
  CodePatcher* patcher_;
};

// Traces the stack [stack_begin, stack_end) of request. Returns the text (empty when the
// range is unreadable, the internal-error text when a stage failed); findings, when given,
// receive the corrected exception address and the entry of the function that holds it
// (zeroed first). progress, when given, receives per mille of its current area.
std::string StackTrace(TraceState& state, const TStackTraceRequest& request,
                       TStackTraceFindings* findings = nullptr, TProgress* progress = nullptr);

// The items of the last stages, for tests and the replay tool: the trace as StackTrace
// makes it, with the items left after every stage.
struct TStackTraceRun {
  std::string text;
  TStackTraceFindings findings;
  std::vector<TStackItem> items;
};
TStackTraceRun RunStackTrace(TraceState& state, const TStackTraceRequest& request,
                             TProgress* progress = nullptr);

}  // namespace trace
