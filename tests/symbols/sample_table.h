// A small symbol table of two units for the writer and reader tests.
#pragma once

#include "trace/symbols/symbol_table.h"

namespace trace::testing {

inline SymbolTable SampleTable() {
  SymbolTable table;
  table.ranges = {{"main", 0x0, 0x200}, {"html_label", 0x200, 0x3000}, {"main", 0x3200, 0x40}};
  table.functions = {{"WinMain", 0x10},           {"Helper", 0x90},
                     {"THTMLabel::Paint", 0x200}, {"THTMLabel::SetCaption", 0x2A0},
                     {"far_away", 0x3100},        {"Tail", 0x3200}};
  table.lines = {{12, 0x10},    {13, 0x18},     {140, 0x90}, {100, 0x200},   {99, 0x204},
                 {1000, 0x2A0}, {1001, 0x3100}, {7, 0x3200}, {70000, 0x3210}};
  table.entry_point = 0x10;
  return table;
}

}  // namespace trace::testing
