#include "trace/symbols/symbol_block_writer.h"

#include <algorithm>

#include "trace/cipher/blowfish.h"
#include "trace/cipher/compressed_frame.h"
#include "trace/symbols/little_endian.h"
#include "trace/symbols/symbol_block_key.h"

namespace trace {

void AppendPackedInteger(std::string& out, int32_t value) {
  if (value >= -127 && value <= 127) {
    out += static_cast<char>(static_cast<int8_t>(value));
    return;
  }
  out += static_cast<char>(0x80);
  AppendLe32(out, static_cast<uint32_t>(value));
}

void AppendPackedString(std::string& out, std::string_view text) {
  const size_t length = std::min(text.size(), kMaxPackedStringLength);
  out += static_cast<char>(length);
  out.append(text.substr(0, length));
}

std::string SymbolBlockPayload(const SymbolTable& table) {
  std::string out;
  AppendLe32(out, static_cast<uint32_t>(table.ranges.size()));
  for (const SymbolUnitRange& range : table.ranges) {
    AppendLe32(out, range.offset);
    AppendLe32(out, range.length);
    AppendPackedString(out, range.unit);
  }

  AppendLe32(out, static_cast<uint32_t>(table.functions.size()));
  uint32_t previous = 0;
  for (size_t i = 0; i < table.functions.size(); ++i) {
    const SymbolFunction& function = table.functions[i];
    AppendPackedString(out, function.name);
    if (i == 0) {
      AppendLe32(out, function.offset);
    } else {
      AppendPackedInteger(out, static_cast<int32_t>(function.offset - previous));
    }
    previous = function.offset;
  }

  AppendLe32(out, static_cast<uint32_t>(table.lines.size()));
  for (size_t i = 0; i < table.lines.size(); ++i) {
    const SymbolLine& line = table.lines[i];
    if (i == 0) {
      AppendLe32(out, static_cast<uint32_t>(line.line));
      AppendLe32(out, line.offset);
    } else {
      const SymbolLine& before = table.lines[i - 1];
      AppendPackedInteger(out, static_cast<int32_t>(static_cast<uint32_t>(line.line) -
                                                    static_cast<uint32_t>(before.line)));
      AppendPackedInteger(out, static_cast<int32_t>(line.offset - before.offset));
    }
  }

  if (table.entry_point) AppendLe32(out, *table.entry_point);
  return out;
}

std::string SealSymbolBlock(std::string_view payload) {
  std::string frame = CompressString(payload);
  if (frame.empty()) return {};
  const auto length = static_cast<uint32_t>(frame.size());
  EncryptString(frame, SymbolBlockPassword(length));

  std::string block(kSymbolBlockMarker);
  AppendLe32(block, length);
  AppendLe32(block, kSymbolBlockVersion);
  block += frame;
  return block;
}

std::string WriteSymbolBlock(const SymbolTable& table) {
  return SealSymbolBlock(SymbolBlockPayload(table));
}

}  // namespace trace
