// A linked PE32 executable as the symbol tool sees it: where its code lies, its entry point,
// and the contents of its sections by full name. The compiler's DWARF sections carry names
// longer than eight characters, which the section table stores as "/N", N being an offset
// into the COFF string table behind the symbol table; those names are resolved here.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace symtool {

// One section with its name resolved.
struct PeSection {
  std::string name;              // the full name (".debug_info", not "/19")
  uint32_t virtual_address = 0;  // relative address in memory
  uint32_t virtual_size = 0;     // size in memory
  uint32_t raw_offset = 0;       // file offset of its data
  uint32_t raw_size = 0;         // size of its data in the file
  uint32_t characteristics = 0;  // IMAGE_SCN_* flags
};

// A function symbol of the COFF symbol table (the linker keeps it in unstripped programs).
struct CoffFunction {
  std::string name;      // as stored: C names with the leading underscore of i386 COFF
  uint32_t address = 0;  // absolute
  std::string file;      // the source file of the preceding ".file" record; empty when none
};

class PeDebugImage {
 public:
  // Largest file that is read, in bytes.
  static constexpr uint64_t kMaxFileSize = 512u << 20;

  // The image in the file's bytes; none with a reason in error when they are not a PE32 image.
  static std::optional<PeDebugImage> FromBytes(std::string bytes, std::string& error);
  // The image in the file at path; none with a reason in error.
  static std::optional<PeDebugImage> Load(const std::string& path, std::string& error);

  PeDebugImage(PeDebugImage&&) = default;
  PeDebugImage& operator=(PeDebugImage&&) = default;
  PeDebugImage(const PeDebugImage&) = delete;
  PeDebugImage& operator=(const PeDebugImage&) = delete;

  // The preferred load address.
  uint32_t image_base() const { return image_base_; }
  // Absolute address of the code: the first section when it holds code, else BaseOfCode.
  uint32_t code_start() const { return code_start_; }
  // Absolute address one past the code (that section's virtual size, else SizeOfCode).
  uint32_t code_end() const { return code_end_; }
  // Absolute address of the entry point; none when the image has none.
  std::optional<uint32_t> entry_point() const { return entry_point_; }
  // The sections in section table order.
  const std::vector<PeSection>& sections() const { return sections_; }

  // The function symbols of the COFF symbol table: external symbols of any type and static
  // ones typed as functions, in code sections; in table order.
  const std::vector<CoffFunction>& coff_functions() const { return coff_functions_; }

  // The first section with this full name; none when there is none.
  const PeSection* Find(std::string_view name) const;
  // The file bytes of a section, cut to its virtual size and to the file; empty when absent.
  std::string_view Contents(std::string_view name) const;
  std::string_view Contents(const PeSection& section) const;

 private:
  PeDebugImage() = default;

  std::string bytes_;
  uint32_t image_base_ = 0;
  uint32_t code_start_ = 0;
  uint32_t code_end_ = 0;
  std::optional<uint32_t> entry_point_;
  std::vector<PeSection> sections_;
  std::vector<CoffFunction> coff_functions_;
};

}  // namespace symtool
