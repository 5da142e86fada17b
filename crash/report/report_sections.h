// The texts of the report after its header: the exception lines, the title and section of
// a thread, the modules section and the disassembly section, from plain records.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "crash/reported_exception.h"
#include "crash/thread_registry.h"

namespace crash {

// The exception lines without a line break at their end: for a frozen application
// "exception message : " and frozen_text; otherwise the class line and, when the message
// is not the class name, the message line with its trailing "." and "!" replaced by one ".".
std::string ExceptionLines(bool frozen, std::string_view frozen_text,
                           const ReportedException* exception);

// What the registry answered for one thread.
struct ThreadLookup {
  bool registry_available = false;        // the list exists and its lock was obtained
  std::optional<RegisteredThread> entry;  // the thread's entry, when it has one
};

// A thread's title and the creation facts of its entry.
struct ThreadTitle {
  std::string text;               // empty: the thread is hidden
  uint32_t creation_address = 0;  // from a long entry, else 0
  uint32_t creator_id = 0;        // from a long entry, else 0
};

// The title of thread_id: "name ($id)" for a named thread, else "thread $id" with the
// thread object's class in parentheses when the entry names one; empty for a thread named
// "-" unless allow_hidden. Without the registry, "thread $id" and no creation facts.
ThreadTitle MakeThreadTitle(uint32_t thread_id, bool allow_hidden, const ThreadLookup& lookup);

// The section of a thread (empty when its title is): CR LF CR LF, title, ":", CR LF, then the
// body. trace is the stack trace text; none or empty gives the fallback body "- ???" (with
// the exception address in parentheses for the exception thread). With a creation address
// the line ">> created by <creator_title> at:" goes above the body's last line.
std::string ThreadSection(const ThreadTitle& title, bool exception_thread,
                          uint32_t exception_address, const std::optional<std::string>& trace,
                          std::string_view creator_title);

// Inserts CR LF ">> created by <creator_title> at:" before the last CR of body; a body
// without CR stays as it is.
std::string InsertCreationLine(std::string body, std::string_view creator_title);

// One loaded module as the modules section lists it.
struct ModuleRecord {
  uint32_t base = 0;      // the module handle
  std::string name;       // the file name without directory
  std::string version;    // dotted four-number form, empty when none
  std::string directory;  // the path without the file name and its backslash
};

// Splits a module's full path into its directory and its file name.
void SplitModulePath(std::string_view path, std::string& directory, std::string& name);

// "modules:" and a line per module: 8 hex digits of its base, a blank, the name and the
// version each in a column as wide as its longest entry plus one, the directory. No line
// break at its end.
std::string ModulesSection(const std::vector<ModuleRecord>& modules);

// CR LF CR LF "disassembling:" CR LF and the listing; empty when the listing is.
std::string DisassemblySection(std::string_view listing);

// The line that closes a report whose composition failed: CR LF CR LF and the sentence,
// then a blank and the exception's address in the hexadecimal form when it is known.
std::string CompositionFailureText(std::optional<uint32_t> exception_address);

}  // namespace crash
