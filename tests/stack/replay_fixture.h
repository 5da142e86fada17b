// The replay tests' world: the chains' program (tests/stack/replay_image, built -O2 without
// frame pointers with its symbol block) and Wine's i386 DLLs in a replayed address space,
// call sites found by decoding the real code, stacks laid out slot by slot, and the trace's
// lines read back.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "trace/pe/pe_image.h"
#include "trace/stack/replay_address_space.h"
#include "trace/stack/stack_dump.h"
#include "trace/stack/stack_trace.h"
#include "trace/x86/x86_decoder.h"
#include "trace/x86/x86_function.h"

namespace trace::testing {

// Wine's i386 DLL name, or empty when it is not installed here.
inline std::string WineDll(const std::string& name) {
  for (const char* folder :
       {"/usr/lib/i386-linux-gnu/wine/i386-windows/", "/usr/lib/wine/i386-windows/"}) {
    const std::string path = folder + name;
    if (std::ifstream(path, std::ios::binary).good()) return path;
  }
  return {};
}

// The line of the source file that carries the comment "site: marker" (the marker alone at
// the end of the line); 0 when none does.
inline int SourceLine(const std::string& path, const std::string& marker) {
  std::ifstream file(path);
  std::string line;
  const std::string wanted = "// site: " + marker;
  for (int number = 1; std::getline(file, line); ++number) {
    if (line.size() >= wanted.size() &&
        line.compare(line.size() - wanted.size(), wanted.size(), wanted) == 0) {
      return number;
    }
  }
  return 0;
}

// One line of a trace as printed: the address and the rest of the line's words joined by
// one blank (module, unit, line number and function name, those that are there).
struct TraceLine {
  uint32_t address = 0;
  std::string words;
};

inline std::vector<TraceLine> TraceLines(const std::string& text) {
  std::vector<TraceLine> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream words(line);
    std::string address;
    words >> address;
    TraceLine parsed;
    parsed.address = static_cast<uint32_t>(std::stoul(address, nullptr, 16));
    for (std::string word; words >> word;)
      parsed.words += (parsed.words.empty() ? "" : " ") + word;
    lines.push_back(parsed);
  }
  return lines;
}

// A stack laid out from its end (the outermost slot) down, as the thread pushed it.
class StackLayout {
 public:
  explicit StackLayout(uint32_t end, uint32_t seed = 1) : end_(end), esp_(end), seed_(seed) {}

  // Pushes value into the next lower slot.
  void Push(uint32_t value) {
    esp_ -= 4;
    slots_.push_back(value);
  }
  // A call: the return address pushed.
  void Call(uint32_t return_address) { Push(return_address); }
  // The frame of a function that keeps EBP: the caller's EBP pushed, EBP then its slot.
  void FramePointer() {
    Push(ebp_);
    ebp_ = esp_;
  }
  // count dwords of locals and saved registers that are no code addresses: small numbers,
  // pointers into the stack, zeros.
  void Junk(int count) {
    for (int i = 0; i < count; ++i) {
      seed_ = seed_ * 1103515245u + 12345u;
      const uint32_t kind = (seed_ >> 16) % 4;
      Push(kind == 0 ? 0 : kind == 1 ? (seed_ >> 20) : kind == 2 ? esp_ + 4 * (seed_ >> 28) : 1);
    }
  }
  // Sets the EBP value the next FramePointer pushes (what the caller's code left in it).
  void set_ebp(uint32_t ebp) { ebp_ = ebp; }

  uint32_t esp() const { return esp_; }
  uint32_t end() const { return end_; }
  // The slots from ESP to the end as a dump block.
  StackDumpBlock Block() const {
    StackDumpBlock block;
    block.base = esp_;
    for (auto value = slots_.rbegin(); value != slots_.rend(); ++value) {
      for (int i = 0; i < 4; ++i)
        block.bytes.push_back(static_cast<uint8_t>(*value >> (8 * i)));
    }
    return block;
  }

 private:
  uint32_t end_;
  uint32_t esp_;
  uint32_t ebp_ = 0;
  uint32_t seed_;
  std::vector<uint32_t> slots_;  // from the end down
};

// The chains' program and the Wine DLLs its callbacks pass through, mapped at their bases.
class ChainWorld {
 public:
  static constexpr uint32_t kStackEnd = 0x00130000;

  // Loads the program and msvcrt.dll and user32.dll (when Wine's are here); false with the
  // reason in error when the program cannot be mapped or has no symbol data.
  bool Load(std::string& error) {
    if (!space.AddModule(REPLAY_IMAGE, std::nullopt, error)) return false;
    image_base = space.ModuleBases().back();
    for (const char* name : {"msvcrt.dll", "user32.dll"}) {
      const std::string path = WineDll(name);
      if (!path.empty() && !space.AddModule(path, std::nullopt, error)) return false;
    }
    map = space.SymbolData(image_base);
    if (!map) {
      error = "the chains' program has no symbol data";
      return false;
    }
    return true;
  }
  bool HasWine() const { return space.ModuleBases().size() >= 3; }

  // The entry of the public named name in the program; 0 when none.
  uint32_t Function(const std::string& name) const {
    for (const TMfPublic& item : map->publics())
      if (item.name == name) return item.address;
    return 0;
  }
  // The entry of the export named name of the module with that file name; 0 when none.
  uint32_t Export(const std::string& dll, const std::string& name) const {
    for (const uint32_t base : space.ModuleBases()) {
      const auto info = space.ModuleOf(base);
      if (!info || info->path.find(dll) == std::string::npos) continue;
      const auto image = PeImage::Open(space, base);
      const auto entry = image ? image->ExportByName(name) : std::nullopt;
      return entry ? base + entry->rva : 0;
    }
    return 0;
  }

  // The nth call instruction of the function at entry whose target is target (through a
  // jump stub: the stub's destination); none when there is none.
  std::optional<TKnownCall> CallTo(uint32_t entry, uint32_t target, int nth = 0) const {
    TFunctionInfo info;
    ParseFunction(space, entry, info);
    for (const TKnownCall& call : info.known_calls) {
      if (call.is_call && call.target == target && nth-- == 0) return call;
    }
    return std::nullopt;
  }
  // The nth call instruction with unknown target (through a register or memory) of the
  // function at entry, in address order; none when there is none.
  std::optional<TUnknownCall> IndirectCall(uint32_t entry, int nth = 0) const {
    TFunctionInfo info;
    ParseFunction(space, entry, info);
    std::vector<TUnknownCall> calls;
    for (const TUnknownCall& call : info.unknown_calls)
      if (call.is_call) calls.push_back(call);
    std::sort(calls.begin(), calls.end(),
              [](const auto& a, const auto& b) { return a.address < b.address; });
    if (nth >= static_cast<int>(calls.size())) return std::nullopt;
    return calls[nth];
  }
  // The address of the second instruction of the function at entry (where Fault reads).
  uint32_t SecondInstruction(uint32_t entry) const {
    X86Instruction in;
    DecodeInstruction(space, entry, in);
    return entry + in.length;
  }

  // The trace of the stack with request's settings (stack range: the layout's).
  TStackTraceRun Trace(const StackLayout& stack, TStackTraceRequest request) {
    std::string error;
    const StackDumpBlock block = stack.Block();
    if (!space.AddMemory(block.base, block.bytes, error)) return {error, {}, {}};
    request.stack_begin = stack.esp();
    request.stack_end = stack.end();
    TraceState state(space, space.Symbols(), image_base, false, nullptr);
    TStackTraceRun run = RunStackTrace(state, request);
    space.RemoveMemory(block.base);
    return run;
  }

  ReplayAddressSpace space;
  uint32_t image_base = 0;
  std::shared_ptr<const TMapFile> map;
};

}  // namespace trace::testing
