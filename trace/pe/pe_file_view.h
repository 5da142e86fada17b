// A PE32 file read from disk and mapped at its image base by its section table, as an
// address space for tools and tests: the disassembler reads the file's code and data
// through it as the loader would place them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "trace/pe/address_space.h"
#include "trace/pe/pe_image.h"

namespace trace {

// One section of the image as mapped.
struct MappedSection {
  std::string name;      // the section's name
  uint32_t begin = 0;    // first address
  uint32_t end = 0;      // one past the last address (virtual size, rounded to its raw data)
  bool is_code = false;  // holds code (IMAGE_SCN_CNT_CODE or IMAGE_SCN_MEM_EXECUTE)
};

class PeFileView : public AddressSpace {
 public:
  // Largest image that is mapped (SizeOfImage), in bytes.
  static constexpr uint32_t kMaxImageSize = 256u << 20;

  // Reads and maps the file at path; none with a reason in error when it cannot.
  static std::optional<PeFileView> Load(const std::string& path, std::string& error);
  // Maps the bytes of a file that was read elsewhere; path names it in ModuleOf.
  static std::optional<PeFileView> FromBytes(const std::vector<uint8_t>& file, std::string path,
                                             std::string& error);

  PeFileView(PeFileView&&) = default;             // moves the mapped image
  PeFileView& operator=(PeFileView&&) = default;  // moves the mapped image
  PeFileView(const PeFileView&) = delete;
  PeFileView& operator=(const PeFileView&) = delete;

  bool Read(uint32_t address, void* buffer, uint32_t count) const override;
  std::optional<MemoryRegion> Region(uint32_t address) const override;
  std::optional<ModuleInfo> ModuleOf(uint32_t address) const override;
  std::string ExportName(uint32_t address) const override;

  // The image's headers as read from the file.
  const PeHeaders& headers() const { return headers_; }
  // Address the image is mapped at (its preferred base).
  uint32_t image_base() const { return headers_.image_base; }
  // The sections as mapped, in section table order.
  const std::vector<MappedSection>& sections() const { return sections_; }
  // The sections that hold code.
  std::vector<MappedSection> CodeSections() const;

 private:
  PeFileView() = default;

  PeHeaders headers_;
  std::string path_;
  std::vector<uint8_t> image_;  // SizeOfImage bytes from image_base
  std::vector<MappedSection> sections_;
  std::map<uint32_t, std::string> export_names_;  // absolute address -> name
};

}  // namespace trace
