#include "trace/stack/stack_dump.h"

#include <algorithm>
#include <cstdio>
#include <map>

namespace trace {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One to eight hexadecimal digits, "0x" allowed in front.
bool ParseHex(std::string_view text, uint32_t& value) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  if (text.empty() || text.size() > 8) return false;
  value = 0;
  for (const char c : text) {
    const int digit = HexDigit(c);
    if (digit < 0) return false;
    value = value << 4 | static_cast<uint32_t>(digit);
  }
  return true;
}

bool ParseFlag(std::string_view text, bool& value) {
  if (text == "yes" || text == "true" || text == "1") {
    value = true;
  } else if (text == "no" || text == "false" || text == "0") {
    value = false;
  } else {
    return false;
  }
  return true;
}

std::string Hex(uint32_t value) {
  char text[12];
  std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(value));
  return text;
}

// A run of dwords as read, with the line it started on.
struct Run {
  int line = 0;
  std::vector<uint8_t> bytes;
};

}  // namespace

std::optional<StackDump> ParseStackDump(std::string_view text, std::string& error) {
  StackDump dump;
  std::optional<uint32_t> stack_begin;
  std::optional<uint32_t> stack_end;
  std::map<uint32_t, Run> runs;  // by base
  Run* open = nullptr;           // the run the next line continues
  uint64_t open_end = 0;
  uint64_t total = 0;

  int line_number = 0;
  auto fail = [&](const std::string& reason) {
    error = "line " + std::to_string(line_number) + ": " + reason;
    return std::nullopt;
  };
  while (!text.empty()) {
    ++line_number;
    const size_t newline = text.find('\n');
    std::string_view line = text.substr(0, newline);
    text.remove_prefix(newline == std::string_view::npos ? text.size() : newline + 1);
    if (const size_t comment = line.find_first_of("#;"); comment != std::string_view::npos) {
      line = line.substr(0, comment);
    }
    line = Trim(line);
    if (line.empty()) continue;
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) return fail("no ':' after the address or key");
    const std::string_view key = Trim(line.substr(0, colon));
    std::string_view rest = Trim(line.substr(colon + 1));

    uint32_t address = 0;
    if (!ParseHex(key, address)) {
      uint32_t value = 0;
      bool flag = false;
      if (key == "current-address" || key == "thread-start" || key == "stack-begin" ||
          key == "stack-end") {
        if (!ParseHex(rest, value)) return fail("not a hexadecimal address: " + std::string(rest));
        if (key == "current-address") dump.request.current_address = value;
        if (key == "thread-start") dump.request.thread_start = value;
        if (key == "stack-begin") stack_begin = value;
        if (key == "stack-end") stack_end = value;
      } else if (key == "exception-thread" || key == "external-exception") {
        if (!ParseFlag(rest, flag)) return fail("not yes or no: " + std::string(rest));
        if (key == "exception-thread") dump.request.exception_thread = flag;
        if (key == "external-exception") dump.request.external_exception = flag;
      } else {
        return fail("unknown key: " + std::string(key));
      }
      continue;
    }

    if (address % 4 != 0) return fail("address " + Hex(address) + " is not a multiple of 4");
    if (open == nullptr || address != open_end) {
      auto next = runs.lower_bound(address);
      if (next != runs.end() && next->first == address) {
        return fail("address " + Hex(address) + " was given on line " +
                    std::to_string(next->second.line));
      }
      if (next != runs.begin()) {
        const auto& [base, previous] = *std::prev(next);
        if (uint64_t{base} + previous.bytes.size() > address) {
          return fail("address " + Hex(address) + " lies in the dwords of line " +
                      std::to_string(previous.line));
        }
      }
      open = &runs[address];
      open->line = line_number;
      open_end = address;
    }
    if (auto same = runs.find(address); same != runs.end() && &same->second != open) {
      return fail("address " + Hex(address) + " was given on line " +
                  std::to_string(same->second.line));
    }
    auto next = runs.upper_bound(address);
    const uint64_t limit = next == runs.end() ? 0xFFFFFFFFull : next->first;
    while (!rest.empty()) {
      size_t length = 0;
      while (length < rest.size() && !IsBlank(rest[length]))
        ++length;
      uint32_t value = 0;
      if (!ParseHex(rest.substr(0, length), value)) {
        return fail("not a hexadecimal dword: " + std::string(rest.substr(0, length)));
      }
      rest = Trim(rest.substr(length));
      if (open_end + 4 > limit) {
        return fail("the dword at " + Hex(static_cast<uint32_t>(open_end)) +
                    (limit == 0xFFFFFFFFull
                         ? std::string(" leaves the address space")
                         : " lies in the dwords of line " + std::to_string(next->second.line)));
      }
      total += 4;
      if (total > kMaxStackDumpBytes) {
        return fail("more than " + std::to_string(kMaxStackDumpBytes >> 20) + " MB of stack");
      }
      for (int i = 0; i < 4; ++i)
        open->bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
      open_end += 4;
    }
  }
  line_number = 0;
  auto fail_whole = [&](const std::string& reason) {
    error = reason;
    return std::nullopt;
  };

  for (auto& [base, run] : runs) {
    if (run.bytes.empty()) continue;
    if (!dump.blocks.empty() &&
        uint64_t{dump.blocks.back().base} + dump.blocks.back().bytes.size() == base) {
      auto& bytes = dump.blocks.back().bytes;
      bytes.insert(bytes.end(), run.bytes.begin(), run.bytes.end());
    } else {
      dump.blocks.push_back(StackDumpBlock{base, std::move(run.bytes)});
    }
  }
  if (dump.blocks.empty()) return fail_whole("the dump holds no dwords");
  dump.request.stack_begin = stack_begin.value_or(dump.blocks.front().base);
  dump.request.stack_end = stack_end.value_or(
      static_cast<uint32_t>(dump.blocks.back().base + dump.blocks.back().bytes.size()));
  if (dump.request.stack_begin >= dump.request.stack_end) {
    return fail_whole("stack-begin " + Hex(dump.request.stack_begin) +
                      " does not lie below stack-end " + Hex(dump.request.stack_end));
  }
  return dump;
}

std::string FormatStackDump(const StackDump& dump) {
  const TStackTraceRequest& request = dump.request;
  std::string text;
  text += "current-address: " + Hex(request.current_address) + "\n";
  text += std::string("exception-thread: ") + (request.exception_thread ? "yes" : "no") + "\n";
  text += std::string("external-exception: ") + (request.external_exception ? "yes" : "no") + "\n";
  if (request.thread_start != 0) text += "thread-start: " + Hex(request.thread_start) + "\n";
  text += "stack-begin: " + Hex(request.stack_begin) + "\n";
  text += "stack-end: " + Hex(request.stack_end) + "\n";
  for (const StackDumpBlock& block : dump.blocks) {
    const size_t dwords = block.bytes.size() / 4;
    for (size_t i = 0; i < dwords; ++i) {
      if (i % 8 == 0) {
        if (i != 0) text += "\n";
        text += Hex(block.base + static_cast<uint32_t>(i * 4)) + ":";
      }
      const uint8_t* at = block.bytes.data() + i * 4;
      text += " " + Hex(static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
                        static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24);
    }
    text += "\n";
  }
  return text;
}

}  // namespace trace
