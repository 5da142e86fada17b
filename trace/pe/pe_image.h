// A bounded reader of the headers and the export table of a PE32 image, read through an
// AddressSpace in which the image lies at its module base (sections at their relative
// addresses, as the loader maps them). Every field is read explicitly little-endian through
// bounded reads; a malformed image gives none or empty results and every count is capped.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "trace/pe/address_space.h"

namespace trace {

// Index of the export directory among the data directories.
inline constexpr int kExportDirectory = 0;

// Largest number of export table entries (functions or names) that is walked.
inline constexpr uint32_t kMaxExportEntries = 65536;

// Largest number of sections that is read (the loader's own limit).
inline constexpr uint32_t kMaxSections = 96;

// Longest export name or forwarder text that is read, in bytes.
inline constexpr uint32_t kMaxExportNameLength = 4096;

// One entry of the optional header's data directory table.
struct DataDirectory {
  uint32_t address = 0;  // relative address of the contents (0 when absent)
  uint32_t size = 0;     // size of the contents in bytes
};

// One 40-byte entry of the section table.
struct SectionHeader {
  std::string name;              // up to 8 bytes, without trailing zeros
  uint32_t virtual_size = 0;     // size in memory
  uint32_t virtual_address = 0;  // relative address in memory
  uint32_t raw_size = 0;         // size of the data in the file
  uint32_t raw_offset = 0;       // file offset of the data
  uint32_t characteristics = 0;  // IMAGE_SCN_* flags
};

// The fields of the file header and the PE32 optional header that we use.
struct PeHeaders {
  uint32_t module_base = 0;                // where the image lies in the address space
  uint32_t pe_offset = 0;                  // e_lfanew: offset of "PE\0\0" from the module base
  uint16_t machine = 0;                    // IMAGE_FILE_MACHINE_* (0x14C for i386)
  uint32_t time_date_stamp = 0;            // link time in seconds since 1970
  uint16_t characteristics = 0;            // IMAGE_FILE_* flags (0x2000 for a DLL)
  uint32_t entry_point = 0;                // relative address of the entry point (0 when none)
  uint32_t code_size = 0;                  // SizeOfCode
  uint32_t initialized_data_size = 0;      // SizeOfInitializedData
  uint32_t uninitialized_data_size = 0;    // SizeOfUninitializedData
  uint32_t code_base = 0;                  // relative address of the code (BaseOfCode)
  uint32_t data_base = 0;                  // relative address of the data (BaseOfData)
  uint32_t image_base = 0;                 // preferred load address
  uint32_t image_size = 0;                 // SizeOfImage
  uint32_t headers_size = 0;               // SizeOfHeaders
  uint16_t subsystem = 0;                  // IMAGE_SUBSYSTEM_*
  std::vector<DataDirectory> directories;  // at most 16
  std::vector<SectionHeader> sections;     // at most kMaxSections
};

// One entry of an export table.
struct ExportEntry {
  uint32_t ordinal = 0;       // index in the address table plus the ordinal base
  uint32_t rva = 0;           // the stored relative address of the function
  uint32_t slot_rva = 0;      // relative address of the dword in the address table that holds rva
  std::string name;           // the exported name; empty when exported by ordinal only
  bool is_forwarder = false;  // rva lies inside the export directory
  std::string forwarder;      // the "module.function" text of a forwarder
};

// The fixed part of an export directory, with its counts capped.
struct ExportDirectoryInfo {
  uint32_t ordinal_base = 0;       // ordinal of the first address table entry
  uint32_t function_count = 0;     // entries of the address table (capped)
  uint32_t name_count = 0;         // entries of the name and name-ordinal tables (capped)
  uint32_t functions_rva = 0;      // AddressOfFunctions
  uint32_t names_rva = 0;          // AddressOfNames
  uint32_t name_ordinals_rva = 0;  // AddressOfNameOrdinals
  uint32_t module_name_rva = 0;    // relative address of the DLL's own name
};

// Reads a zero-terminated text of at most max_length bytes at address; none when no
// terminating zero is readable within that length.
std::optional<std::string> ReadZeroTerminated(const AddressSpace& space, uint32_t address,
                                              uint32_t max_length);

// The headers of a PE image mapped at module_base; none unless "MZ", the "PE\0\0" signature
// and a PE32 optional header (magic 0x10B) are there.
std::optional<PeHeaders> ReadPeHeaders(const AddressSpace& space, uint32_t module_base);

// File offset of a relative address through the section table; unchanged when no section
// holds it.
uint32_t RelativeToRaw(const PeHeaders& headers, uint32_t rva);

// A PE image in an address space: its headers and its export table. Holds a reference to
// the space, which must outlive it.
class PeImage {
 public:
  // The image at module_base, or none when its headers are not those of a PE32 image.
  static std::optional<PeImage> Open(const AddressSpace& space, uint32_t module_base);

  // The image's headers.
  const PeHeaders& headers() const { return headers_; }

  // The data directory at index; size 0 and address 0 when the image has none there.
  DataDirectory Directory(int index) const;

  // Absolute address of the data directory's contents at index; 0 when absent.
  uint32_t DirectoryAddress(int index) const;

  // The export directory's fixed part; none when the image exports nothing readable.
  std::optional<ExportDirectoryInfo> Exports() const;

  // The export with exactly this name; none when there is none.
  std::optional<ExportEntry> ExportByName(std::string_view name) const;

  // The export with this ordinal; none when there is none or its address is 0.
  std::optional<ExportEntry> ExportByOrdinal(uint32_t ordinal) const;

  // Every export whose function starts at the absolute address, in address table order.
  std::vector<ExportEntry> ExportsAt(uint32_t address) const;

  // The name of the export at the absolute address: its name, or "#" and its ordinal in
  // decimal when it has none (a named entry is preferred); empty when none starts there.
  std::string ExportNameAt(uint32_t address) const;

  // The forwarder text when rva lies inside the export directory, else none.
  std::optional<std::string> ForwarderAt(uint32_t rva) const;

  // Every export with its name (ordinal-only ones unnamed), in address table order;
  // entries with address 0 are left out.
  std::vector<ExportEntry> AllExports() const;

 private:
  PeImage(const AddressSpace& space, PeHeaders headers)
      : space_(&space), headers_(std::move(headers)) {}

  // Reads count little-endian dwords (or words when word_size is 2) at the relative address.
  bool ReadTable(uint32_t rva, uint32_t count, uint32_t word_size,
                 std::vector<uint32_t>& values) const;

  // Absolute address of a relative one; none when the sum leaves 32 bits.
  std::optional<uint32_t> Absolute(uint32_t rva) const;

  // The entry for index into the address table whose stored address is rva, without its
  // name.
  ExportEntry MakeEntry(const ExportDirectoryInfo& info, uint32_t index, uint32_t rva) const;

  // The name of every address table index that has one (the first name wins).
  std::vector<std::string> NamesByIndex(const ExportDirectoryInfo& info) const;

  const AddressSpace* space_;
  PeHeaders headers_;
};

}  // namespace trace
