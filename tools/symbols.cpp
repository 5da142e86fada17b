// symbols: names addresses of a PE file from its symbol data.
//
//   symbols FILE ADDRESS...
//
// Reads FILE with its symbol data from the first source that has it (the embedded "KIV"/"EXCEPT"
// resource, TD32 data in the file or in a ".tds" file, a ".map" file, a ".kiv" file beside it)
// and prints one line per hexadecimal ADDRESS: the address, the unit, the public name and the
// line number, separated by tabs, with "-" where unknown.

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/address_argument.h"
#include "trace/pe/pe_file_view.h"
#include "trace/symbols/disk_symbol_files.h"
#include "trace/symbols/symbol_sources.h"

namespace {

using tools::ParseAddress;

std::string OrDash(const std::string& text) {
  return text.empty() ? "-" : text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: symbols FILE ADDRESS...\n");
    return 2;
  }
  const std::string path = argv[1];
  std::string error;
  const std::optional<trace::PeFileView> view = trace::PeFileView::Load(path, error);
  if (!view) {
    std::fprintf(stderr, "symbols: %s: %s\n", path.c_str(), error.c_str());
    return 1;
  }
  const trace::DiskSymbolFiles files(&*view);
  const trace::TMapFile map = trace::LoadMapFile(&*view, view->image_base(), path, files);
  if (!map.valid()) std::fprintf(stderr, "symbols: %s: no symbol data\n", path.c_str());

  int status = 0;
  for (int i = 2; i < argc; ++i) {
    uint32_t address = 0;
    if (!ParseAddress(argv[i], address)) {
      std::fprintf(stderr, "symbols: not a hexadecimal address: %s\n", argv[i]);
      status = 2;
      continue;
    }
    const trace::TMfSegment segment = map.SegmentAt(address);
    const trace::TMfPublic item = map.PublicAt(address);
    const int32_t line = map.LineAt(address);
    std::printf("%08x\t%s\t%s\t%s\n", static_cast<unsigned>(address),
                OrDash(segment.valid ? segment.unit_name : "").c_str(),
                OrDash(item.valid ? item.name : "").c_str(),
                line != 0 ? std::to_string(line).c_str() : "-");
  }
  return status;
}
