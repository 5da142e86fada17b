// Writes a module's symbol table as a text map file: the segment list, "Detailed map of
// segments" (one line per unit range), "Publics by Value", one "Line numbers for" section per
// run of lines within one unit range, and "Program entry point at". All code is segment 0001;
// lines end in CR LF.
//
// What the text form cannot carry: a public name is read back as the text after its last
// blank, without a final "(...)", with "::" turned into "." and the other rules of adding a
// public; a unit name loses what follows its last "=", "\" or "|"; line numbers below 0 or
// lines outside every unit range are written all the same.
#pragma once

#include <string>

#include "trace/symbols/symbol_table.h"

namespace trace {

// The map text of the table.
std::string WriteMapText(const SymbolTable& table);

}  // namespace trace
