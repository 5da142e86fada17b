#include "crash/thread_entry.h"

#include "trace/text/number_text.h"

namespace crash {

namespace {

void Put32(std::span<uint8_t> out, uint32_t offset, uint32_t value) {
  for (uint32_t i = 0; i < 4; ++i)
    out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Get32(std::span<const uint8_t> in, uint32_t offset) {
  return uint32_t{in[offset]} | uint32_t{in[offset + 1]} << 8 | uint32_t{in[offset + 2]} << 16 |
         uint32_t{in[offset + 3]} << 24;
}

}  // namespace

void WriteThreadEntry(const ThreadEntryRecord& entry, std::span<uint8_t, kThreadEntrySize> out) {
  Put32(out, 0, entry.thread_id);
  Put32(out, 4, entry.name);
  Put32(out, 8, entry.next);
  Put32(out, 12, entry.class_name);
  Put32(out, 16, entry.creation_address);
  Put32(out, 20, entry.creator_id);
  Put32(out, 24, entry.handle);
}

bool ReadThreadEntry(std::span<const uint8_t> bytes, ThreadEntryRecord& entry) {
  entry = {};
  if (bytes.size() < kShortThreadEntrySize) return false;
  entry.thread_id = Get32(bytes, 0);
  entry.name = Get32(bytes, 4);
  entry.next = Get32(bytes, 8);
  if (HasThreadDetails(static_cast<uint32_t>(bytes.size()))) {
    entry.class_name = Get32(bytes, 12);
    entry.creation_address = Get32(bytes, 16);
    entry.creator_id = Get32(bytes, 20);
  }
  if (bytes.size() >= kThreadEntrySize) entry.handle = Get32(bytes, 24);
  return true;
}

void WriteSharedInstanceBlock(const SharedInstanceBlock& block,
                              std::span<uint8_t, kSharedInstanceBlockSize> out) {
  Put32(out, 0, block.watchdog_mutex);
  Put32(out, 4, block.registry_mutex);
  Put32(out, 8, block.head);
  Put32(out, 12, block.use_count);
  Put32(out, 16, block.mapping);
}

SharedInstanceBlock ReadSharedInstanceBlock(std::span<const uint8_t, kSharedInstanceBlockSize> in) {
  return {Get32(in, 0), Get32(in, 4), Get32(in, 8), Get32(in, 12), Get32(in, 16)};
}

std::string SharedInstanceBlockName(uint32_t process_id) {
  return "kestraponThreadNameBuf" + trace::FormatHex(process_id);
}

std::string ThreadClassMutexName(uint32_t process_id) {
  return "HookTThread" + trace::FormatHex(process_id);
}

}  // namespace crash
