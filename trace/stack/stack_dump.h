// A thread's stack as text, to replay its trace away from the process: the request's
// settings as "key: value" lines and the stack's dwords as "address: dword dword ..." lines,
// all hexadecimal. docs/formats.md describes the format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/stack/stack_trace.h"

namespace trace {

// Most stack bytes one dump may hold.
inline constexpr uint32_t kMaxStackDumpBytes = 16u << 20;

// A run of consecutive dwords of the dump.
struct StackDumpBlock {
  uint32_t base = 0;
  std::vector<uint8_t> bytes;  // little-endian dwords
};

struct StackDump {
  // The trace's request; stack_begin and stack_end are the dump's range unless given.
  TStackTraceRequest request;
  // The runs of dwords in address order, adjacent runs joined.
  std::vector<StackDumpBlock> blocks;
};

// Reads a dump; none with the reason, prefixed "line N: ", in error when the text is not
// one. Bounded: at most kMaxStackDumpBytes of stack.
std::optional<StackDump> ParseStackDump(std::string_view text, std::string& error);

// The dump as text that ParseStackDump reads back: the request's settings, then eight dwords
// a line.
std::string FormatStackDump(const StackDump& dump);

}  // namespace trace
