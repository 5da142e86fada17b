// Turns a module's DWARF into the symbol table the block, map text and TD32 writers take.
//
//   units      one range per contiguous run of a compilation unit's code; the unit is the
//              unit's source file name without folder and extension ("form" for
//              ../framework/form.cpp). Runs of one unit that only alignment padding separates
//              are joined; where two units claim the same code the one that starts first keeps
//              it.
//   functions  one entry per code range of every function with code, named by
//              ShortFunctionName of its demangled linkage name, or, for functions that have
//              none (internal linkage: anonymous namespaces, lambdas' helpers), by its name
//              qualified with the namespaces and classes around its declaration; fitted to
//              the 255 characters a block holds (see function_name.h). A function split into
//              a hot and a cold part has an entry at each.
//   lines      the line table: per distinct address the line of the last row of the line
//              program at that address (as addr2line reports it); sequences that overlap code
//              already described by another sequence are left out; runs of rows with the same
//              line inside one unit range collapse into their first.
//   symbols    functions the COFF symbol table names where DWARF describes no function (the
//              run-time libraries) get an entry too, named the same way from their symbol
//              name, and their code, in the gaps between DWARF's units, a unit range named
//              after the ".file" record in front of them.
//   entry      the image's entry point.
// Everything outside the image's code range (discarded copies resolve to address 0) is left
// out; every offset is from the code start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/symtool/dwarf_sections.h"
#include "tools/symtool/pe_debug_image.h"
#include "trace/symbols/symbol_table.h"

namespace symtool {

// Counts of what the builder read and kept, for the tool's report.
struct SymbolTableStats {
  size_t units = 0;              // compilation units read
  size_t malformed_units = 0;    // units whose reading stopped at a fault
  size_t functions = 0;          // function code ranges read
  size_t unnamed_functions = 0;  // of those, without any name (left out)
  size_t line_rows = 0;          // rows of all line programs
  size_t dropped_sequences = 0;  // line sequences left out for overlapping others
  size_t symbol_functions = 0;   // functions named from the COFF symbol table
};

// The DWARF sections of the image (empty spans for those it lacks).
DwarfSections DwarfSectionsOf(const PeDebugImage& image);

// The symbol table of code [code_start, code_end) from DWARF sections and, where DWARF
// describes no function, from the COFF function symbols.
trace::SymbolTable BuildSymbolTable(const DwarfSections& sections, uint32_t code_start,
                                    uint32_t code_end, SymbolTableStats* stats = nullptr,
                                    const std::vector<CoffFunction>& symbols = {});

// The symbol table of the image from its DWARF sections and COFF symbols; an image without DWARF
// gives a table that holds the entry point only.
trace::SymbolTable BuildSymbolTable(const PeDebugImage& image, SymbolTableStats* stats = nullptr);

// The unit name of a source file name: without folder and extension.
std::string UnitName(const std::string& source_file);

}  // namespace symtool
