// Symbol data of the modules of the running process: files and resources through Win32, the
// process-wide cache, the data for an address, and the exact-name operation that names
// addresses for the disassembler.
//
// The cache is keyed by the module's file name and dated by the file the symbols were read
// from (the module itself, or its ".map" or ".kiv" file), so that data from a file beside the
// module is found again and rebuilt when that file changes. Like the function cache it serves
// one stack trace at a time and takes no lock.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "trace/symbols/map_file.h"
#include "trace/symbols/symbol_sources.h"

namespace trace {

// SymbolFiles through Win32: the resource by FindResourceA, whole files by one ReadFile,
// views by a read-only file mapping.
class WinSymbolFiles : public SymbolFiles {
 public:
  std::optional<std::string> ModuleResource(uint32_t module) const override;
  bool Exists(const std::string& name) const override;
  std::optional<std::string> Load(const std::string& name) const override;
  std::unique_ptr<FileBytes> Map(const std::string& name) const override;
};

// The whole file (it must exist; read with one ReadFile); none unless every byte was read.
std::optional<std::string> LoadWholeFile(const std::string& name);

// The DOS date (high word) and time (low word) of the file's last write; 0 when it is missing.
uint32_t FileDosDateTime(const std::string& name);

// The symbol data of the module that holds address (0: the main module), from the cache or
// loaded into it; invalid empty data when the address lies in no committed allocation with a
// file name.
std::shared_ptr<const TMapFile> SymbolDataForAddress(uint32_t address);

// The name of the public that starts exactly at address; empty when none does.
std::string ExactSymbolName(uint32_t address);

// Makes ExactSymbolName the disassembler's name hook (consulted after export names).
void InstallSymbolNameHook();

// Drops every cached entry (data already handed out stays alive with its holders).
void ClearSymbolCache();

}  // namespace trace
