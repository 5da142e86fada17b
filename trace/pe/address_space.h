// A view of a 32-bit address space: the decoder, the function parser and the
// stack tracer read code and data only through it. The running process is one
// implementation (reads that fail instead of faulting); a PE file mapped at its
// image base is another, for tools and tests; tests also build small fakes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace trace {

// One region of the address space with uniform state.
struct MemoryRegion {
  uint32_t base = 0;             // first address of the region
  uint32_t size = 0;             // length in bytes
  uint32_t allocation_base = 0;  // base of the allocation it belongs to (a module's handle)
  bool committed = false;        // backed by memory (not reserved or free)
};

// A module (executable or DLL image) loaded in the address space.
struct ModuleInfo {
  uint32_t base = 0;        // image base: the module handle
  uint32_t image_size = 0;  // SizeOfImage from the optional header
  std::string path;         // the module's file name with folder
  bool is_main = false;     // the process's executable rather than a DLL
};

class AddressSpace {
 public:
  virtual ~AddressSpace() = default;

  // Reads exactly count bytes at address into buffer; false when any of them is unreadable.
  virtual bool Read(uint32_t address, void* buffer, uint32_t count) const = 0;

  // The region that contains address; none when the address is outside every known region.
  virtual std::optional<MemoryRegion> Region(uint32_t address) const = 0;

  // The module whose image contains address; none when no module does.
  virtual std::optional<ModuleInfo> ModuleOf(uint32_t address) const = 0;

  // The readable export name of the function that starts exactly at address, or empty.
  virtual std::string ExportName(uint32_t address) const = 0;

  // Reads a little-endian dword; none when unreadable.
  std::optional<uint32_t> ReadDword(uint32_t address) const {
    uint8_t bytes[4];
    if (!Read(address, bytes, 4)) return std::nullopt;
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
  }
};

}  // namespace trace
