// Reads a symbol block (a module's embedded "KIV"/"EXCEPT" resource or a ".kiv" file) into a
// TMapFile. The layout is the one symbol_block_writer.h describes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "trace/symbols/map_file.h"
#include "trace/symbols/mini_stream.h"

namespace trace {

// Reads a packed integer: one signed byte, or after the byte 0x80 a little-endian int32.
int32_t ReadPackedInteger(TMiniStream& stream);

// Reads a packed string: a length byte and that many characters; none are read when fewer
// remain.
std::string ReadPackedString(TMiniStream& stream);

// The deciphered, decompressed payload of a block; empty when it does not decompress. The
// header must already have been checked (IsSymbolBlock).
std::string OpenSymbolBlock(std::string_view block);

// True when block is longer than its header, starts with the marker and has the version.
bool IsSymbolBlock(std::string_view block);

// Reads a block into map: false when the header is not that of a block. With a correct
// header the map is valid, even when the payload does not decompress (it then gets no
// symbols). Offsets are added to the map's code start.
bool ReadSymbolBlock(std::string_view block, TMapFile& map);

// Reads an uncompressed payload into map (segments, publics, lines, entry point).
void ReadSymbolPayload(std::string_view payload, TMapFile& map);

}  // namespace trace
