#include "trace/stack/stack_trace.h"

#include <algorithm>
#include <exception>
#include <optional>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "trace/pe/export_name.h"
#include "trace/stack/call_before.h"
#include "trace/stack/entry_point_walk.h"
#include "trace/text/number_text.h"
#include "trace/x86/x86_decoder.h"

namespace trace {

namespace {

constexpr std::string_view kStageNames[kTraceStageCount] = {
    "CollectPossibleStackItems", "FormatEbpFrameChains",
    "RemoveRecursiveStackAreas", "InDeepChecks",
    "RealizeOptimalLinkChains",  "RemoveRecursiveAreas (2)",
    "FillFinalOutput",           "ComposeResult",
};

// A patcher that rewrites nothing, for states made without one.
class NoPatcher : public CodePatcher {
 public:
  uint32_t RedirectCall(uint32_t, uint32_t) override { return 0; }
};

NoPatcher& NoPatching() {
  static NoPatcher patcher;
  return patcher;
}

// Scores are signed 64-bit numbers built from a high and a low dword.
constexpr int64_t High(uint32_t high) {
  return static_cast<int64_t>(uint64_t{high} << 32);
}
constexpr uint32_t HighOf(int64_t score) {
  return static_cast<uint32_t>(static_cast<uint64_t>(score) >> 32);
}
// Adds without the undefined behaviour of a signed overflow (the sums never get near it on
// real stacks; junk must not make them undefined either).
constexpr int64_t Plus(int64_t score, int64_t add) {
  return static_cast<int64_t>(static_cast<uint64_t>(score) + static_cast<uint64_t>(add));
}

constexpr int64_t kScoreStart = High(0x10000000);
constexpr uint32_t kReachedBit = 0x40000000;    // a path reached the target
constexpr uint32_t kFunctionsBit = 0x20000000;  // every link of the path has a function

// Appends to a link list, growing it by doubling from 8.
void AppendLink(TStackLinkList& list, const TStackLink& link) {
  if (list.links.size() == list.links.capacity())
    list.links.reserve(list.links.empty() ? 8 : list.links.size() * 2);
  list.links.push_back(link);
}

// One trace: the items and the stages that work on them.
class Tracer {
 public:
  Tracer(TraceState& state, const TStackTraceRequest& request, TProgress* progress)
      : state_(state),
        memory_(state.memory()),
        modules_(state.modules()),
        functions_(state.functions()),
        request_(request),
        progress_(progress) {
    items_.reserve(64);
  }

  // Runs the stages; the text, or the internal-error text of the stage that failed.
  std::string Run() {
    if (!Stage(TraceStage::kCollectPossibleStackItems, [&] { CollectPossibleStackItems(); }))
      return failure_;
    SetProgress(progress_, 25);
    if (!Stage(TraceStage::kFormatEbpFrameChains, [&] { FormatEbpFrameChains(); })) return failure_;
    if (!Stage(TraceStage::kRemoveRecursiveStackAreas, [&] { RemoveRecursiveAreas(true); }))
      return failure_;
    if (!Stage(TraceStage::kInDeepChecks, [&] { InDeepChecks(); })) return failure_;
    SetProgress(progress_, 650);
    if (!Stage(TraceStage::kRealizeOptimalLinkChains, [&] { RealizeOptimalLinkChains(); }))
      return failure_;
    SetProgress(progress_, 1000);
    if (!Stage(TraceStage::kRemoveRecursiveAreas, [&] { RemoveRecursiveAreas(false); }))
      return failure_;
    if (!Stage(TraceStage::kFillFinalOutput, [&] { FillFinalOutput(); })) return failure_;
    std::string text;
    if (!Stage(TraceStage::kComposeResult, [&] { text = ComposeResult(); })) return failure_;
    return text;
  }

  const TStackTraceFindings& findings() const { return findings_; }
  std::vector<TStackItem>& items() { return items_; }

 private:
  template <class Body>
  bool Stage(TraceStage stage, Body body) {
    try {
      if (state_.stage_hook) state_.stage_hook(stage);
      body();
      return true;
    } catch (...) {
      failure_ = InternalErrorText(stage);
      return false;
    }
  }

  int Count() const { return static_cast<int>(items_.size()); }
  TStackItem& Item(int index) { return items_[static_cast<size_t>(index)]; }
  const TCachedFunction& Function(int index) const {
    return functions_.functions()[static_cast<size_t>(index)];
  }
  bool Approved(int function) const {
    return function >= 0 && Function(function).approved && !Function(function).rejected;
  }
  const TModuleRecord* Module(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= modules_.modules().size()) return nullptr;
    return &modules_.modules()[static_cast<size_t>(index)];
  }
  const TMapFile* MapOf(int module_index) const {
    const TModuleRecord* module = Module(module_index);
    return module && module->map ? module->map.get() : nullptr;
  }
  // The exception address the return-point test may move a certain address to: the current
  // address of the thread that raised a software exception.
  uint32_t SoftwareExceptionAddress() const {
    return request_.exception_thread && !request_.external_exception ? request_.current_address : 0;
  }

  // ---- CollectPossibleStackItems

  void CollectPossibleStackItems() {
    const uint32_t begin = request_.stack_begin;
    const uint32_t end = request_.stack_end;
    if (request_.thread_start != 0) AddCandidate(0, request_.thread_start, false);
    if (end >= begin + 4) {
      const uint64_t span = end - begin;
      // Positions are kept in 64 bits so that the walk ends below begin without wrapping.
      for (int64_t position = int64_t{end} - 4; position >= int64_t{begin}; position -= 4) {
        const uint32_t slot = static_cast<uint32_t>(position);
        const std::optional<uint32_t> value = memory_.ReadDword(slot);
        if (value && AddCandidate(slot, *value, false) && items_.back().frame_link >= 0)
          position -= 4;  // the saved frame pointer below the return address
        if (!items_.empty() && items_.back().stop) break;
        SetProgress(progress_, static_cast<int>(25 * (uint64_t{end} - slot) / span));
      }
    }
    if (items_.empty() || !items_.back().stop) AddCandidate(0, request_.current_address, true);
    items_.shrink_to_fit();
  }

  // Adds the candidate value found at position (0: not from the stack); true when it was
  // retained.
  bool AddCandidate(uint32_t position, uint32_t address, bool forced) {
    const bool first = candidates_++ == 0;
    const bool from_thread_start = first && request_.thread_start != 0;
    bool certain = forced || (request_.exception_thread && address == request_.current_address);
    uint32_t query = address - 1;
    uint32_t exact = 0;
    if (certain) {
      uint8_t bytes[8];
      X86Instruction instruction;
      if (memory_.Read(address, bytes, sizeof bytes) &&
          DecodeInstruction(memory_, address, instruction) && instruction.valid) {
        query = exact = address;
        address = instruction.next;
      } else if (memory_.Read(address, bytes, 2) && bytes[0] == 0x0F && bytes[1] == 0x0B) {
        // UD2, which the decoder leaves undefined, raises its exception on purpose: two
        // bytes at the exact place of the exception.
        query = exact = address;
        address += 2;
      }
    }
    if (from_thread_start) certain = true;
    const bool stop = certain && !from_thread_start;

    const std::optional<MemoryRegion> region = memory_.Region(query);
    if (!region || !region->committed || region->allocation_base == 0 || address <= 7) return false;
    int module_index = modules_.Register(region->allocation_base);
    if (!certain) {
      if (address - region->base <= 7 || address < region->base) return false;
      // The module first: most dwords of a stack point nowhere near code, and that answer
      // costs no read.
      const TModuleRecord* module = Module(module_index);
      if (!module || !InModule(*module, address)) return false;
      if (!CallsBefore(memory_, address)) return false;
    }

    // The function that holds the address, and whether it calls out there.
    bool passed = false;
    int function = -1;
    TReturnCall call;
    if (const TMapFile* map = MapOf(module_index)) {
      const TMfPublic symbol = map->PublicAt(query);
      if (symbol.valid) {
        function = functions_.FindFunction(symbol.address, symbol.name, module_index, false, true);
        if (function >= 0)
          passed = functions_.IsReturnPoint(function, SoftwareExceptionAddress(), address, call,
                                            certain);
      }
    } else if (const TModuleRecord* module = Module(module_index);
               module && module->handle != state_.main_module()) {
      function = functions_.NearestFunctionStart(module_index, address);
      if (function >= 0 && functions_.InCodeArea(function, address)) {
        passed =
            functions_.IsReturnPoint(function, SoftwareExceptionAddress(), address, call, certain);
      } else {
        function = -1;
        passed = true;
      }
    } else {
      passed = true;  // the program's own code without symbol data: no function to ask
    }
    if (!passed) {
      if (!certain) return false;
      call = TReturnCall{};
      // The thread start is the exact entry of the outermost function, not a return point:
      // the byte before it belongs to no call of it.
      if (from_thread_start) {
        function = -1;
      } else if (!request_.exception_thread || request_.external_exception) {
        call.address = query;
        uint8_t byte;
        if (request_.exception_thread && !memory_.Read(query, &byte, 1))
          function = functions_.FindFunction(address, {}, -1, true, true);
      } else {
        function = -1;
      }
    }

    TStackItem item;
    item.stack_position = position;
    item.address = address;
    item.certain = certain;
    item.stop = stop;
    item.module_index = module_index;
    if (call.address != 0) {
      AppendLink(item.links[kOuterSide],
                 {-1, call.address, call.target_known, call.target, function, 0});
    }
    if (position != 0) item.frame_link = FrameLinkOf(position);
    items_.push_back(std::move(item));
    exact_.push_back(exact);
    return true;
  }

  // The item whose slot the saved frame pointer below position points to, -1 when none.
  int FrameLinkOf(uint32_t position) {
    if (position < 4) return -1;
    const std::optional<uint32_t> saved = memory_.ReadDword(position - 4);
    if (!saved) return -1;
    const uint64_t outer = uint64_t{*saved} + 4;
    if (!(request_.stack_begin < outer && outer < request_.stack_end)) return -1;
    for (int i = Count() - 1; i >= 0; --i) {
      const uint32_t at = Item(i).stack_position;
      if (at == outer) return i;
      if (at > outer) break;
    }
    return -1;
  }

  // ---- FormatEbpFrameChains

  // Counts the items of the chain from index along next in chain.
  int ChainLength(int index) {
    int length = 0;
    for (; index >= 0 && length <= Count(); index = Item(index).next_in_chain)
      ++length;
    return length;
  }

  // Dissolves the chain from index: its items lose both chain links and, unless they may
  // stop the collection, their certainty.
  void DissolveChain(int index) {
    for (int steps = 0; index >= 0 && steps <= Count(); ++steps) {
      TStackItem& item = Item(index);
      const int next = item.next_in_chain;
      item.frame_link = -1;
      item.next_in_chain = -1;
      item.next_candidates.clear();
      if (!item.stop) item.certain = false;
      index = next;
    }
  }

  void FormatEbpFrameChains() {
    for (int i = Count() - 1; i >= 0; --i) {
      const int outer = Item(i).frame_link;
      if (outer < 0) continue;
      TStackItem& linked = Item(outer);
      if (linked.next_candidates.empty() && linked.next_in_chain < 0) {
        linked.next_in_chain = i;
      } else {
        if (linked.next_candidates.empty()) {
          linked.next_candidates.push_back(linked.next_in_chain);
          linked.next_in_chain = -1;
        }
        linked.next_candidates.push_back(i);
      }
    }
    // The longest chain wins; inner items first, so that their chains are settled when the
    // outer ones count through them.
    for (int i = Count() - 1; i >= 0; --i) {
      if (Item(i).next_candidates.empty()) continue;
      const std::vector<int> candidates = std::move(Item(i).next_candidates);
      Item(i).next_candidates.clear();
      int winner = -1;
      int longest = -1;
      for (const int candidate : candidates) {
        const int length = ChainLength(candidate);
        if (length > longest) {
          longest = length;
          winner = candidate;
        }
      }
      for (const int candidate : candidates) {
        if (candidate != winner) DissolveChain(candidate);
      }
      Item(i).next_in_chain = winner;
    }

    // The first chain is the frame-pointer chain of the thread; all later ones are dissolved.
    std::vector<bool> walked(items_.size(), false);
    bool found = false;
    for (int start = 0; start < Count(); ++start) {
      if (walked[static_cast<size_t>(start)] || Item(start).frame_link >= 0 ||
          Item(start).next_in_chain < 0)
        continue;
      if (found) {
        DissolveChain(start);
        continue;
      }
      found = true;
      std::vector<int> chain;
      uint32_t window_procedure = 0;
      bool joined = false;
      for (int index = start; index >= 0 && chain.size() <= items_.size();) {
        chain.push_back(index);
        walked[static_cast<size_t>(index)] = true;
        Item(index).certain = true;
        if (state_.is_9x() && window_procedure == 0) window_procedure = StdWndProcOf(index);
        int next = Item(index).next_in_chain;
        if (next < 0 && !joined && window_procedure != 0) {
          joined = true;
          next = JoinWindowProcedureChain(index, window_procedure);
        }
        index = next;
      }
      if (chain.size() > 5) {
        for (size_t k = chain.size() - 2; k < chain.size(); ++k) {
          TStackItem& item = Item(chain[k]);
          item.certain = item.stop;
          item.frame_link = -1;
          item.next_in_chain = -1;
        }
        Item(chain[chain.size() - 3]).next_in_chain = -1;
      } else {
        DissolveChain(start);
      }
    }
  }

  // On the 9x family: when the first outer link of item belongs to the program's
  // "EntryPoint", the address of "StdWndProc" of unit "Classes" in its module; else 0.
  uint32_t StdWndProcOf(int index) {
    const TStackItem& item = Item(index);
    if (item.links[kOuterSide].links.empty()) return 0;
    const int function = item.links[kOuterSide].links[0].function;
    if (function < 0 || Function(function).name != "EntryPoint") return 0;
    const TMapFile* map = MapOf(Function(function).module_index);
    return map ? map->FindPublic(true, "Classes", false, "StdWndProc") : 0;
  }

  // Joins the chain that ended at last to the later chain that passes through the window
  // procedure at window_procedure; the index joined to, -1 when none is found.
  int JoinWindowProcedureChain(int last, uint32_t window_procedure) {
    for (int i = last + 1; i < Count(); ++i) {
      const TStackItem& item = Item(i);
      if (item.links[kOuterSide].links.empty()) continue;
      const int function = item.links[kOuterSide].links[0].function;
      if (function < 0 || Function(function).info.entry_point != window_procedure) continue;
      if (const int before = item.frame_link; before >= 0 && Item(before).next_in_chain == i)
        Item(before).next_in_chain = -1;
      Item(i).frame_link = last;
      Item(last).next_in_chain = i;
      return i;
    }
    return -1;
  }

  // ---- RemoveRecursiveStackAreas and RemoveRecursiveAreas

  // Takes item index out of the frame-pointer chain and, when dropping, out of the link graph.
  void RemoveItem(int index, bool drop_links) {
    TStackItem& item = Item(index);
    item.removed = true;
    item.certain = false;
    if (item.frame_link >= 0 && Item(item.frame_link).next_in_chain == index)
      Item(item.frame_link).next_in_chain = -1;
    if (item.next_in_chain >= 0 && Item(item.next_in_chain).frame_link == index)
      Item(item.next_in_chain).frame_link = -1;
    item.frame_link = -1;
    item.next_in_chain = -1;
    if (drop_links) DropLinks(index);
  }

  // Removes every link of item index and every link of other items that leads to it.
  void DropLinks(int index) {
    for (int side = 0; side < 2; ++side) {
      for (const TStackLink& link : Item(index).links[static_cast<size_t>(side)].links) {
        if (link.other < 0 || link.other >= Count()) continue;
        auto& others = Item(link.other).links[static_cast<size_t>(1 - side)];
        std::erase_if(others.links, [&](const TStackLink& back) { return back.other == index; });
        others.best = -1;
      }
      Item(index).links[static_cast<size_t>(side)] = TStackLinkList{};
    }
  }

  void RemoveRecursiveAreas(bool drop_links) {
    // Where each address occurs, in index order, so that the nearest earlier occurrence is
    // found without walking the whole list.
    std::unordered_map<uint32_t, std::vector<int>> occurrences;
    for (int i = 0; i < Count(); ++i)
      occurrences[Item(i).address].push_back(i);
    for (bool changed = true; changed;) {
      changed = false;
      for (int i = Count() - 1; i >= 1; --i) {
        if (Item(i).removed) continue;
        const std::vector<int>& same = occurrences[Item(i).address];
        auto at = std::lower_bound(same.begin(), same.end(), i);
        int j = -1;
        while (at != same.begin()) {
          --at;
          if (!Item(*at).removed) {
            j = *at;
            break;
          }
        }
        if (j < 0) continue;
        std::vector<int> between;
        for (int m = j + 1; m < i; ++m) {
          if (!Item(m).removed) between.push_back(m);
        }
        const int k = static_cast<int>(between.size());
        if (j < k) continue;
        // The k items kept before j must repeat the k between j and i.
        int m = j - 1;
        bool repeats = true;
        for (int n = k - 1; n >= 0; --n) {
          while (m >= 0 && Item(m).removed)
            --m;
          if (m < 0 || Item(m).address != Item(between[static_cast<size_t>(n)]).address) {
            repeats = false;
            break;
          }
          --m;
        }
        if (!repeats) continue;
        for (const int b : between)
          RemoveItem(b, drop_links);
        RemoveItem(i, drop_links);
        changed = true;
      }
    }
  }

  // ---- InDeepChecks

  void InDeepChecks() {
    const int count = Count();
    for (int i = request_.thread_start != 0 ? 1 : 0; i < count; ++i) {
      if (!Item(i).removed) DeepCheck(i);
      SetProgress(progress_, static_cast<int>(25 + int64_t{i} * 625 / count));
    }
  }

  void DeepCheck(int i) {
    int chosen = -1;
    const std::vector<TStackLink>& outer = Item(i).links[kOuterSide].links;
    for (size_t n = 0; n < outer.size(); ++n) {
      if (Approved(outer[n].function)) {
        chosen = static_cast<int>(n);
        break;
      }
    }
    if (chosen < 0) {
      const int holder = ApprovedFunctionHolding(Item(i).address);
      if (holder >= 0) {
        uint32_t address = Item(i).address;
        TReturnCall call;
        if (!functions_.IsReturnPoint(holder, SoftwareExceptionAddress(), address, call,
                                      Item(i).stop)) {
          DropLinks(i);
          return;
        }
        AppendLink(Item(i).links[kOuterSide],
                   {-1, call.address, call.target_known, call.target, holder, 0});
        chosen = static_cast<int>(Item(i).links[kOuterSide].links.size()) - 1;
      }
    }
    if (chosen < 0) {
      LinkCallsEndingAt(i);
      return;
    }

    const TStackLink choice = Item(i).links[kOuterSide].links[static_cast<size_t>(chosen)];
    std::vector<int> wrong;
    for (const TStackLink& link : Item(i).links[kOuterSide].links) {
      if (link.call_address != choice.call_address && link.function >= 0 &&
          link.function != choice.function)
        wrong.push_back(link.function);
    }
    for (const int function : wrong)
      RejectFunction(function);
    if (choice.function >= 0) functions_.Approve(choice.function);
    LinkForward(i, choice.target_known, choice.call_address, choice.target, true);
  }

  // The first approved function in cache order whose code holds address; -1 when none.
  int ApprovedFunctionHolding(uint32_t address) const {
    const std::vector<TCachedFunction>& all = functions_.functions();
    for (size_t f = 0; f < all.size(); ++f) {
      if (all[f].approved && functions_.InCodeArea(static_cast<int>(f), address))
        return static_cast<int>(f);
    }
    return -1;
  }

  // Rejects function and removes every link that names it.
  void RejectFunction(int function) {
    functions_.Reject(function);
    for (TStackItem& item : items_) {
      for (TStackLinkList& list : item.links) {
        const size_t before = list.links.size();
        std::erase_if(list.links,
                      [&](const TStackLink& link) { return link.function == function; });
        if (list.links.size() != before) list.best = -1;
      }
    }
  }

  // Links forward every call that ends exactly at item i's address, found by decoding from
  // up to 7 bytes before it (not below its memory region).
  void LinkCallsEndingAt(int i) {
    const uint32_t address = Item(i).address;
    const std::optional<MemoryRegion> region = memory_.Region(address - 1);
    if (!region || address < 2) return;
    const uint32_t lowest = address - region->base > 7 ? address - 7 : region->base;
    for (uint32_t start = lowest; start <= address - 2; ++start) {
      X86Instruction instruction;
      if (!DecodeInstruction(memory_, start, instruction) || !instruction.valid) continue;
      if (!instruction.is_call || instruction.next != address) continue;
      LinkForward(i, instruction.target != 0, start, instruction.target, false);
    }
  }

  // Links item i, whose call at call_address goes to target (when known), to the inner items
  // that return into the called function: up to and including the first certain one.
  void LinkForward(int i, bool target_known, uint32_t call_address, uint32_t target, bool approve,
                   int depth = 0) {
    int called = -1;
    if (target_known) {
      called = functions_.FindFunction(target, {}, -1, false, approve);
      if (called < 0) return;
      if (depth == 0) {
        for (const TUnknownCall& jump : Function(called).info.unknown_calls) {
          if (!jump.is_call) {
            LinkForward(i, false, call_address, target, approve, depth + 1);
            break;
          }
        }
      }
    } else {
      for (const TStackLink& link : Item(i).links[kInnerSide].links) {
        if (link.function < 0) return;
      }
    }
    // The called function and those it jumps on to (a stub that jumps into another module, a
    // tail call): their calls all return onto the same stack frame.
    const std::vector<int> callees = target_known ? JumpedTo(called) : std::vector<int>{};
    for (int j = i + 1; j < Count(); ++j) {
      TStackItem& inner = Item(j);
      if (inner.removed) continue;
      TReturnCall call;
      bool link = true;
      int function = called;
      if (target_known) {
        link = false;
        for (const int callee : callees) {
          uint32_t address = inner.address;
          if (functions_.IsReturnPoint(callee, SoftwareExceptionAddress(), address, call,
                                       inner.stop)) {
            link = true;
            function = callee;
            break;
          }
        }
      }
      if (link && !approve) {
        for (const TStackLink& back : inner.links[kOuterSide].links) {
          if (Approved(back.function) && back.call_address != call.address) {
            link = false;
            break;
          }
        }
      }
      if (link) {
        AppendLink(Item(j).links[kOuterSide],
                   {i, call.address, call.target_known, call.target, function, 0});
        AppendLink(Item(i).links[kInnerSide], {j, call_address, target_known, target, function, 0});
      }
      if (Item(j).certain) break;
    }
  }

  // The function at index, then the cached functions it jumps to, theirs in turn, each once
  // and kMaxJumpDepth deep at most.
  std::vector<int> JumpedTo(int index) const {
    std::vector<int> found{index};
    for (size_t at = 0, depth_end = 1, depth = 0; at < found.size() && depth < kMaxJumpDepth;
         ++at) {
      if (at == depth_end) {
        ++depth;
        depth_end = found.size();
      }
      for (const TKnownCall& jump : Function(found[at]).info.known_calls) {
        if (jump.is_call || jump.target == 0) continue;
        const int next = functions_.IndexOfEntry(jump.target);
        if (next >= 0 && std::find(found.begin(), found.end(), next) == found.end())
          found.push_back(next);
      }
    }
    return found;
  }

  // ---- RealizeOptimalLinkChains

  // The score of the best path of links from item toward target (-1: the outer end), and
  // the best link stored on the way. Walked with a stack of its own: paths can be as long
  // as the stack is deep.
  int64_t Score(int item, int target) {
    const int side = target < item ? kOuterSide : kInnerSide;
    struct Frame {
      int item;
      bool certain_path;
      size_t next = 0;
      int64_t best_score = kScoreStart;
      int best = -1;
      int64_t pending = 0;  // the score the link at next - 1 brought from its other item
    };
    std::vector<Frame> stack;
    stack.push_back({item, true});
    int64_t result = kScoreStart;
    bool returned = false;
    while (!stack.empty()) {
      Frame& frame = stack.back();
      auto& links = Item(frame.item).links[static_cast<size_t>(side)].links;
      if (returned) {
        returned = false;
        TStackLink& link = links[frame.next - 1];
        link.score = Adjusted(frame.item, link, result, frame.certain_path);
        Consider(frame, link.score, static_cast<int>(frame.next - 1));
      }
      bool descended = false;
      while (frame.next < links.size()) {
        TStackLink& link = links[frame.next++];
        int64_t score;
        if (link.other == target) {
          score = Adjusted(frame.item, link, High(link.function >= 0 ? 0x70000000 : 0x50000000),
                           frame.certain_path);
        } else if (link.other < 0 || link.other >= Count()) {
          continue;
        } else if (link.score != 0) {
          score = link.score;
        } else {
          const bool certain_path = frame.certain_path && link.function >= 0;
          stack.push_back({link.other, certain_path});
          descended = true;
          break;
        }
        Consider(frame, score, static_cast<int>(frame.next - 1));
      }
      if (descended) continue;
      Item(frame.item).links[static_cast<size_t>(side)].best = frame.best;
      result = frame.best_score;
      stack.pop_back();
      returned = !stack.empty();
    }
    return result;
  }

  static void Consider(auto& frame, int64_t score, int index) {
    if (score > frame.best_score) {
      frame.best_score = score;
      frame.best = index;
    }
  }

  // The score of link from item once the score of its other end is known.
  int64_t Adjusted(int item, const TStackLink& link, int64_t score, bool certain_path) {
    if (link.function < 0) {
      score = static_cast<int64_t>(static_cast<uint64_t>(score) & ~(uint64_t{kFunctionsBit} << 32));
      const int other = link.other >= 0 && link.other < Count() ? link.other : item;
      const TMapFile* here = MapOf(Item(item).module_index);
      const TMapFile* there = MapOf(Item(other).module_index);
      if (here && there) {
        const bool lines =
            here->LineAt(Item(item).address - 1) > 0 && there->LineAt(Item(other).address - 1) > 0;
        score = Plus(score, lines ? 1024 : 256);
      } else if (!here && !there) {
        score = Plus(score, -1);
      }
      return score;
    }
    int64_t add = Function(link.function).approved ? 0x1000000 : 0x1000;
    if (certain_path || (HighOf(score) & kFunctionsBit)) add <<= 16;
    return Plus(score, add);
  }

  void RealizeOptimalLinkChains() {
    std::vector<int> certain;
    for (int i = 0; i < Count(); ++i) {
      if (Item(i).certain) certain.push_back(i);
    }
    const int count = Count();
    for (int n = static_cast<int>(certain.size()); n >= 0; --n) {
      const int a = n == 0 ? -1 : certain[static_cast<size_t>(n - 1)];
      const int b = n == static_cast<int>(certain.size()) ? -1 : certain[static_cast<size_t>(n)];
      if (b < 0 || b - a < 2) continue;
      const int64_t toward_b = a < 0 ? 0 : Score(a, b);
      const int64_t toward_a = (HighOf(toward_b) & kReachedBit) ? 0 : Score(b, a);
      for (int m = a + 1; m < b; ++m)
        Item(m).removed = true;
      if (toward_a < toward_b)
        WalkBestPath(a, kInnerSide, b);
      else
        WalkBestPath(b, kOuterSide, a);
      const int i = a < 0 ? 0 : a;
      SetProgress(progress_, static_cast<int>(650 + int64_t{count - 1 - i} * 350 / count));
    }
  }

  // Keeps every item on the path of best links from item on side up to target.
  void WalkBestPath(int item, int side, int target) {
    for (int steps = 0; item >= 0 && item != target && steps <= Count(); ++steps) {
      Item(item).removed = false;
      const TStackLinkList& list = Item(item).links[static_cast<size_t>(side)];
      if (list.best < 0 || static_cast<size_t>(list.best) >= list.links.size()) return;
      item = list.links[static_cast<size_t>(list.best)].other;
    }
  }

  // ---- FillFinalOutput

  void FillFinalOutput() {
    bool first_pending = true;
    bool look_for_caller = false;
    for (int i = Count() - 1; i >= 0; --i) {
      TStackItem& item = Item(i);
      if (item.removed) continue;
      TStackOutput out;
      const TStackLink* named = nullptr;
      for (const TStackLink& link : item.links[kOuterSide].links) {
        if (Approved(link.function)) {
          named = &link;
          break;
        }
      }
      if (named) {
        // A link found by an instruction start rather than a call names no call: the item's
        // own place is shown.
        out.address = named->call_address != 0 ? named->call_address : OwnAddress(i);
        const TCachedFunction& function = Function(named->function);
        out.entry = function.info.entry_point;
        if (first_pending) {
          if (function.info.code_length == 0)
            look_for_caller = true;
          else
            findings_.function_entry = function.info.entry_point;
        } else if (look_for_caller) {
          for (const TKnownCall& call : function.info.known_calls) {
            if (call.is_call && call.target == request_.current_address) {
              findings_.function_entry = function.info.entry_point;
              findings_.exception_address = call.address;
              break;
            }
          }
        }
        SplitUnit(function.name, out);
      } else {
        for (const TStackLink& link : item.links[kOuterSide].links) {
          if (link.call_address != 0) {
            out.address = link.call_address;
            break;
          }
        }
        const TStackLinkList& inner = item.links[kInnerSide];
        if (out.address == 0 && inner.best >= 0 &&
            static_cast<size_t>(inner.best) < inner.links.size())
          out.address = inner.links[static_cast<size_t>(inner.best)].call_address;
        if (out.address == 0) out.address = OwnAddress(i);
      }
      const TModuleRecord* module = Module(item.module_index);
      out.module_name = module ? module->file_name : "???";
      if (const TMapFile* map = MapOf(item.module_index)) {
        const TMfSegment segment = map->SegmentAt(out.address);
        if (segment.valid) out.unit_name = segment.unit_name;
        out.line = map->LineAt(out.address);
        if (out.function_name.empty()) {
          const TMfPublic symbol = map->PublicAt(out.address);
          if (symbol.valid) {
            out.function_name = symbol.name;
            out.entry = symbol.address;
          }
        }
      }
      if (first_pending) {
        findings_.exception_address = out.address;
        first_pending = false;
      } else {
        look_for_caller = false;
      }
      item.output = std::move(out);
    }
  }

  // Where item i itself points: the instruction it was found at when its address was moved
  // past it, else its address.
  uint32_t OwnAddress(int i) const {
    const uint32_t exact = exact_[static_cast<size_t>(i)];
    return exact != 0 ? exact : items_[static_cast<size_t>(i)].address;
  }

  // A function name "@Unit@Rest" names its unit; the rest is the function.
  static void SplitUnit(const std::string& name, TStackOutput& out) {
    if (name.size() > 1 && name[0] == '@') {
      const size_t second = name.find('@', 1);
      if (second != std::string::npos) {
        out.unit_name = name.substr(1, second - 1);
        out.function_name = DemangleExportName(name.substr(second + 1));
        return;
      }
    }
    out.function_name = name;
  }

  // ---- ComposeResult

  std::string ComposeResult() const {
    std::vector<const TStackItem*> printed;
    bool line_printed = false;
    for (int i = Count() - 1; i >= 0; --i) {
      const TStackItem& item = items_[static_cast<size_t>(i)];
      if (item.removed || !(item.stop || !item.output.function_name.empty())) continue;
      if (!(item.output.line > 0 || !request_.hide_items_without_lines || !line_printed)) continue;
      if (!printed.empty() && printed.back()->output.address == item.output.address) continue;
      printed.push_back(&item);
      if (item.output.line > 0) line_printed = true;
    }
    auto relative = [&](const TStackOutput& out) {
      return request_.relative_addresses && out.entry != 0 && out.entry < out.address;
    };
    size_t offset_width = 0, module_width = 0, unit_width = 0, line_width = 0;
    for (const TStackItem* item : printed) {
      const TStackOutput& out = item->output;
      if (relative(out))
        offset_width = std::max(offset_width, FormatHex(out.address - out.entry).size() + 1);
      module_width = std::max(module_width, out.module_name.size() + 1);
      unit_width = std::max(unit_width, out.unit_name.size() + 1);
      if (out.line > 0) line_width = std::max(line_width, FormatDecimal(out.line).size() + 1);
    }
    auto padded = [](std::string text, size_t width) {
      if (text.size() < width) text.append(width - text.size(), ' ');
      return text;
    };
    std::string text;
    for (const TStackItem* item : printed) {
      const TStackOutput& out = item->output;
      uint32_t address = out.address;
      uint32_t offset = 0;
      if (relative(out)) {
        address = out.entry;
        offset = out.address - out.entry;
      }
      text += "\r\n";
      text += FormatHex(address, 8, '0').substr(1);
      text += ' ';
      if (request_.relative_addresses && offset_width >= 2) {
        text += '+';
        text += FormatHex(offset, static_cast<int>(offset_width - 2), '0').substr(1);
        text += ' ';
      }
      text += padded(out.module_name, module_width);
      text += padded(out.unit_name, unit_width);
      if (line_width > 0) {
        const std::string line = out.line > 0 ? FormatDecimal(out.line) : std::string();
        text += std::string(line_width - 1 - std::min(line.size(), line_width - 1), ' ');
        text += line;
        text += ' ';
      }
      text += out.function_name;
    }
    if (text.size() >= 2) text.erase(0, 2);
    return text;
  }

  TraceState& state_;
  const AddressSpace& memory_;
  ModuleList& modules_;
  FunctionCache& functions_;
  const TStackTraceRequest request_;
  TProgress* progress_;
  std::vector<TStackItem> items_;
  // Per item: the instruction a certain item was found at, when its address was moved past
  // it; 0 for the others.
  std::vector<uint32_t> exact_;
  int candidates_ = 0;
  TStackTraceFindings findings_;
  std::string failure_;
};

// True when every page of [begin, end) can be read.
bool RangeReadable(const AddressSpace& memory, uint32_t begin, uint32_t end) {
  if (end < begin) return false;
  uint8_t byte;
  for (uint64_t at = begin; at < end; at = (at | 0xFFF) + 1) {
    if (!memory.Read(static_cast<uint32_t>(at), &byte, 1)) return false;
  }
  return end == begin || memory.Read(end - 1, &byte, 1);
}

}  // namespace

std::string InternalErrorText(TraceStage stage) {
  return "Internal error in kivStackTrace." + std::string(kStageNames[static_cast<int>(stage)]);
}

TraceState::TraceState(const AddressSpace& memory, SymbolDataSource symbols, uint32_t main_module,
                       bool is_9x, CodePatcher* patcher)
    : memory_(memory),
      modules_(memory, std::move(symbols)),
      functions_(memory, modules_),
      main_module_(main_module),
      is_9x_(is_9x),
      patcher_(patcher) {
  modules_.set_registration_hook([this](int index) {
    WalkEntryPoint(memory_, modules_, functions_, index, patcher_ ? *patcher_ : NoPatching());
  });
}

TStackTraceRun RunStackTrace(TraceState& state, const TStackTraceRequest& request,
                             TProgress* progress) {
  TStackTraceRun run;
  if (!RangeReadable(state.memory(), request.stack_begin, request.stack_end)) return run;
  Tracer tracer(state, request, progress);
  run.text = tracer.Run();
  run.findings = tracer.findings();
  run.items = std::move(tracer.items());
  return run;
}

std::string StackTrace(TraceState& state, const TStackTraceRequest& request,
                       TStackTraceFindings* findings, TProgress* progress) {
  if (findings) *findings = TStackTraceFindings{};
  TStackTraceRun run = RunStackTrace(state, request, progress);
  if (findings) *findings = run.findings;
  return std::move(run.text);
}

}  // namespace trace
