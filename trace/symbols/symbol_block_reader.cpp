#include "trace/symbols/symbol_block_reader.h"

#include <algorithm>

#include "trace/cipher/blowfish.h"
#include "trace/cipher/compressed_frame.h"
#include "trace/symbols/little_endian.h"
#include "trace/symbols/symbol_block_key.h"

namespace trace {
namespace {

uint32_t ReadUint32(TMiniStream& stream) {
  unsigned char bytes[4] = {};
  stream.Read(bytes, 4);
  return uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
         uint32_t{bytes[3]} << 24;
}

// A count read from the stream, cut to what the remaining bytes can hold at min_size bytes
// per entry, so that a damaged count never makes the reader loop or allocate beyond the data.
uint32_t ReadCount(TMiniStream& stream, int64_t min_size) {
  const uint32_t count = ReadUint32(stream);
  return static_cast<uint32_t>(std::min<int64_t>(count, stream.remaining() / min_size));
}

}  // namespace

int32_t ReadPackedInteger(TMiniStream& stream) {
  signed char byte = 0;
  stream.Read(&byte, 1);
  if (byte != -128) return byte;
  return static_cast<int32_t>(ReadUint32(stream));
}

std::string ReadPackedString(TMiniStream& stream) {
  unsigned char length = 0;
  stream.Read(&length, 1);
  if (stream.remaining() < length) return {};
  std::string text(length, '\0');
  stream.Read(text.data(), length);
  return text;
}

bool IsSymbolBlock(std::string_view block) {
  return block.size() > kSymbolBlockHeaderSize &&
         block.substr(0, kSymbolBlockMarker.size()) == kSymbolBlockMarker &&
         ReadLe32(block, 18) == kSymbolBlockVersion;
}

std::string OpenSymbolBlock(std::string_view block) {
  const uint32_t length = ReadLe32(block, 14).value_or(0);
  std::string payload(block.substr(kSymbolBlockHeaderSize, length));
  DecryptString(payload, SymbolBlockPassword(length));
  return UncompressString(payload);
}

void ReadSymbolPayload(std::string_view payload, TMapFile& map) {
  TMiniStream stream(payload);

  const uint32_t segments = ReadCount(stream, 9);
  for (uint32_t i = 0; i < segments; ++i) {
    const uint32_t start = ReadUint32(stream);
    const uint32_t length = ReadUint32(stream);
    map.AddSegment(true, map.Absolute(true, start), length, ReadPackedString(stream));
  }

  const uint32_t publics = ReadCount(stream, 2);
  uint32_t address = 0;
  for (uint32_t i = 0; i < publics; ++i) {
    std::string name = ReadPackedString(stream);
    if (i == 0) {
      address = map.Absolute(true, ReadUint32(stream));
    } else {
      address += static_cast<uint32_t>(ReadPackedInteger(stream));
    }
    map.AppendPublic(true, std::move(name), address);
  }

  const uint32_t lines = ReadCount(stream, 2);
  if (lines > 0) {
    uint32_t line = ReadUint32(stream);
    address = map.Absolute(true, ReadUint32(stream));
    map.AppendLine(static_cast<int32_t>(line), address);
    for (uint32_t i = 1; i < lines; ++i) {
      line += static_cast<uint32_t>(ReadPackedInteger(stream));
      address += static_cast<uint32_t>(ReadPackedInteger(stream));
      map.AppendLine(static_cast<int32_t>(line), address);
    }
  }

  if (stream.remaining() == 4 && stream.position() == stream.size() - 4) {
    map.set_entry_point(map.Absolute(true, ReadUint32(stream)));
  }
}

bool ReadSymbolBlock(std::string_view block, TMapFile& map) {
  if (!IsSymbolBlock(block)) return false;
  map.set_valid(true);
  const std::string payload = OpenSymbolBlock(block);
  if (!payload.empty()) ReadSymbolPayload(payload, map);
  return true;
}

}  // namespace trace
