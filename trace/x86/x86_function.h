// Parsing of a whole function: its code areas (including case tables of switches), the
// calls and jumps that leave it with known and unknown targets, and a few facts the stack
// tracer and the function cache need.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "trace/pe/address_space.h"

namespace trace {

// A stretch of code (or a case table) of the function.
struct TCodeArea {
  uint32_t begin = 0;                   // first byte
  uint32_t end = 0;                     // last byte; 0 while not yet parsed
  bool is_case_table = false;           // a table of jump targets, not code
  uint32_t referrer = 0;                // address of the instruction that referred to the area
  std::array<uint32_t, 8> registers{};  // known register values at begin, 0 = unknown
};

// A call (or a jump that leaves the function) whose target is known.
struct TKnownCall {
  bool is_call = false;                 // false for jumps out of the function
  uint32_t address = 0;                 // the instruction
  uint32_t next = 0;                    // the instruction behind it
  uint32_t target = 0;                  // where it goes (through a jump stub: the stub's target)
  bool target_relative = false;         // the target is encoded relative to next
  uint32_t target_pointer = 0;          // dword that holds the target, 0 when none
  uint32_t target_pointer_pointer = 0;  // dword that holds target_pointer, 0 when none
};

// A call or jump whose target is not known.
struct TUnknownCall {
  bool is_call = false;  // false for jumps
  uint32_t address = 0;  // the instruction
  uint32_t next = 0;     // the instruction behind it
};

// What ParseFunction found out about a function.
struct TFunctionInfo {
  bool valid = false;                       // parsed without error
  uint32_t entry_point = 0;                 // the address parsing started at
  uint32_t code_begin = 0;                  // lowest area start
  uint32_t code_length = 0;                 // highest area end - code_begin + 1
  uint32_t last_error_address = 0;          // where parsing failed
  uint32_t last_error = 0;                  // 87 (no committed memory) or 0x770001 (invalid code)
  std::string last_error_text;              // the error's text
  std::vector<TCodeArea> code_areas;        // in the order they were found
  std::vector<TKnownCall> known_calls;      // unique by next
  std::vector<TUnknownCall> unknown_calls;  // unique by next
  bool patchable_head = false;              // the first 6 bytes can be replaced by a jump
  int size_estimate = 0;  // code_length + 4, plus 4 per call through a double pointer
};

// Error number of undecodable code.
inline constexpr uint32_t kInvalidCodeError = 0x770001;
// Error number of an address outside committed memory (ERROR_INVALID_PARAMETER).
inline constexpr uint32_t kInvalidParameterError = 87;
// Upper bound of code areas of one function; parsing garbage stops there.
inline constexpr size_t kMaxCodeAreas = 4096;

// Parses the function at address. error87_text is the system's message for error 87.
bool ParseFunction(const AddressSpace& memory, uint32_t address, TFunctionInfo& info,
                   std::string_view error87_text = "The parameter is incorrect.");

}  // namespace trace
