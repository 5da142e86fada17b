// A small PE image built in memory for the stack tracer's tests: headers with one section
// and bytes placed at relative addresses, added to a FakeAddressSpace as one block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/x86/fake_address_space.h"

namespace trace::testing {

struct SyntheticModule {
  uint32_t base = 0x400000;             // where the image lies
  uint32_t section_rva = 0x1000;        // the first section's relative address
  uint32_t section_size = 0x1000;       // its VirtualSize
  uint32_t section_flags = 0x60000020;  // its characteristics (code, execute, read)
  uint32_t code_base = 0x1000;          // BaseOfCode
  uint32_t code_size = 0x1000;          // SizeOfCode
  uint32_t data_base = 0x2000;          // BaseOfData
  uint32_t initialized_data = 0x800;    // SizeOfInitializedData
  uint32_t uninitialized_data = 0x200;  // SizeOfUninitializedData
  uint32_t entry_point = 0;             // AddressOfEntryPoint
  std::vector<uint8_t> image = std::vector<uint8_t>(0x3000, 0xCC);  // the image's bytes

  // Places bytes at the relative address rva.
  void Put(uint32_t rva, const std::vector<uint8_t>& bytes) {
    for (size_t i = 0; i < bytes.size(); ++i)
      image[rva + i] = bytes[i];
  }
  // Writes the headers and adds the image to memory as the module named path.
  void AddTo(FakeAddressSpace& memory, const std::string& path) {
    auto word = [&](uint32_t at, uint32_t v) {
      image[at] = static_cast<uint8_t>(v);
      image[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto dword = [&](uint32_t at, uint32_t v) {
      word(at, v & 0xFFFF);
      word(at + 2, v >> 16);
    };
    for (uint32_t i = 0; i < 0x200; ++i)
      image[i] = 0;
    image[0] = 'M';
    image[1] = 'Z';
    dword(0x3C, 0x80);
    dword(0x80, 0x4550);
    word(0x84, 0x14C);
    word(0x86, 1);     // one section
    word(0x94, 0xE0);  // optional header size
    const uint32_t opt = 0x98;
    word(opt, 0x10B);
    dword(opt + 4, code_size);
    dword(opt + 8, initialized_data);
    dword(opt + 12, uninitialized_data);
    dword(opt + 16, entry_point);
    dword(opt + 20, code_base);
    dword(opt + 24, data_base);
    dword(opt + 28, base);
    dword(opt + 56, static_cast<uint32_t>(image.size()));
    dword(opt + 60, 0x200);
    dword(opt + 92, 16);
    const uint32_t section = opt + 0xE0;
    image[section] = '.';
    image[section + 1] = 't';
    dword(section + 8, section_size);
    dword(section + 12, section_rva);
    dword(section + 36, section_flags);
    memory.Add(base, image);
    memory.AddModule(base, static_cast<uint32_t>(image.size()), path, false);
  }
};

}  // namespace trace::testing
