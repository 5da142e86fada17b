#include "tools/symtool/dwarf_line_program.h"

#include "tools/symtool/byte_cursor.h"

namespace symtool {
namespace {

// Standard opcodes.
enum : uint8_t {
  kCopy = 1,
  kAdvancePc = 2,
  kAdvanceLine = 3,
  kSetFile = 4,
  kSetColumn = 5,
  kNegateStmt = 6,
  kSetBasicBlock = 7,
  kConstAddPc = 8,
  kFixedAdvancePc = 9,
  kSetPrologueEnd = 10,
  kSetEpilogueBegin = 11,
  kSetIsa = 12,
};

// Extended opcodes.
enum : uint8_t {
  kEndSequence = 1,
  kSetAddress = 2,
};

}  // namespace

std::vector<DwarfLineRow> ReadLineProgram(std::string_view section, uint64_t offset,
                                          uint8_t address_size, bool& ok) {
  std::vector<DwarfLineRow> rows;
  ok = false;
  if (offset >= section.size()) return rows;
  ByteCursor header(section, static_cast<size_t>(offset));
  uint64_t unit_length = header.U32();
  size_t offset_size = 4;
  if (unit_length == 0xFFFFFFFF) {
    unit_length = header.U64();
    offset_size = 8;
  }
  if (!header.ok() || unit_length > header.remaining()) return rows;
  const size_t unit_end = header.position() + static_cast<size_t>(unit_length);
  // The program never reads beyond its own unit.
  ByteCursor cursor(section.substr(0, unit_end), header.position());
  const uint16_t version = cursor.U16();
  if (version < 2 || version > 5) return rows;
  if (version >= 5) {
    address_size = cursor.U8();
    cursor.U8();  // segment selector size
  }
  const uint64_t header_length = cursor.Fixed(offset_size);
  if (!cursor.ok() || header_length > cursor.remaining()) return rows;
  const size_t program_start = cursor.position() + static_cast<size_t>(header_length);
  const uint8_t min_instruction_length = cursor.U8();
  if (version >= 4) cursor.U8();  // maximum operations per instruction (VLIW only)
  const bool default_is_stmt = cursor.U8() != 0;
  const int8_t line_base = static_cast<int8_t>(cursor.U8());
  const uint8_t line_range = cursor.U8();
  const uint8_t opcode_base = cursor.U8();
  uint8_t standard_lengths[256] = {};
  for (unsigned i = 1; i < opcode_base; ++i)
    standard_lengths[i] = cursor.U8();
  if (!cursor.ok() || line_range == 0 || opcode_base == 0) return rows;
  if (address_size == 0 || address_size > 8) return rows;
  // Directories and file names are not needed: the program starts where the header says.
  cursor.Seek(program_start);

  DwarfLineRow state;
  auto reset = [&] {
    state = DwarfLineRow();
    state.line = 1;
    state.is_stmt = default_is_stmt;
  };
  reset();
  auto emit = [&] { rows.push_back(state); };

  while (cursor.ok() && !cursor.at_end()) {
    const uint8_t opcode = cursor.U8();
    if (opcode >= opcode_base) {
      const unsigned adjusted = opcode - opcode_base;
      state.address += uint64_t{adjusted / line_range} * min_instruction_length;
      state.line += static_cast<uint32_t>(static_cast<int64_t>(line_base) + adjusted % line_range);
      emit();
      continue;
    }
    switch (opcode) {
      case 0: {
        const uint64_t length = cursor.Uleb();
        if (!cursor.ok() || length == 0 || length > cursor.remaining()) {
          cursor.Skip(length);
          break;
        }
        const size_t end = cursor.position() + static_cast<size_t>(length);
        const uint8_t sub = cursor.U8();
        if (sub == kEndSequence) {
          state.end_sequence = true;
          emit();
          reset();
        } else if (sub == kSetAddress) {
          const size_t operand = end - cursor.position();
          state.address = operand >= 1 && operand <= 8 ? cursor.Fixed(operand) : 0;
        }
        cursor.Seek(end);
        break;
      }
      case kCopy:
        emit();
        break;
      case kAdvancePc:
        state.address += cursor.Uleb() * min_instruction_length;
        break;
      case kAdvanceLine:
        state.line += static_cast<uint32_t>(cursor.Sleb());
        break;
      case kSetFile:
      case kSetColumn:
      case kSetIsa:
        cursor.Uleb();
        break;
      case kNegateStmt:
        state.is_stmt = !state.is_stmt;
        break;
      case kSetBasicBlock:
      case kSetPrologueEnd:
      case kSetEpilogueBegin:
        break;
      case kConstAddPc:
        state.address += uint64_t{(255u - opcode_base) / line_range} * min_instruction_length;
        break;
      case kFixedAdvancePc:
        state.address += cursor.U16();
        break;
      default:
        // An opcode this reader does not know: skip the operands the header declares for it.
        for (unsigned i = 0; i < standard_lengths[opcode] && cursor.ok(); ++i)
          cursor.Uleb();
        break;
    }
  }
  ok = cursor.ok();
  return rows;
}

}  // namespace symtool
