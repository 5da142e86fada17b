// The thread registry's fixed layouts: the 28-byte entry (or its 12-byte short form) and
// the 20-byte block that every module of the process shares, written and read explicitly,
// little-endian.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace crash {

// Bytes of a full registry entry.
inline constexpr uint32_t kThreadEntrySize = 28;
// Bytes of a short entry: thread id, name, next.
inline constexpr uint32_t kShortThreadEntrySize = 12;
// An entry of at least this size carries class name, creation address and creator.
inline constexpr uint32_t kThreadEntryDetailsEnd = 24;

// One registry entry; references are 32-bit addresses of the process.
struct ThreadEntryRecord {
  uint32_t thread_id = 0;         // offset 0
  uint32_t name = 0;              // offset 4: zero-terminated text in its own allocation
  uint32_t next = 0;              // offset 8: the next entry, 0 at the end
  uint32_t class_name = 0;        // offset 12: text of the thread object's class, or 0
  uint32_t creation_address = 0;  // offset 16: code address that created the thread, or 0
  uint32_t creator_id = 0;        // offset 20: id of the creating thread, or 0
  uint32_t handle = 0;            // offset 24: handle with synchronise and query rights
};

// True when an entry of this allocation size holds class name, address and creator.
inline bool HasThreadDetails(uint32_t entry_size) {
  return entry_size >= kThreadEntryDetailsEnd;
}
// True when an entry of this allocation size holds the thread handle.
inline bool HasThreadHandle(uint32_t entry_size) {
  return entry_size >= kThreadEntrySize;
}

// The 28 bytes of a full entry.
void WriteThreadEntry(const ThreadEntryRecord& entry, std::span<uint8_t, kThreadEntrySize> out);

// Reads an entry from the bytes of its allocation: at least 12 are needed (else none is
// read and false returned); the details only when 24 are there, the handle only with 28.
bool ReadThreadEntry(std::span<const uint8_t> bytes, ThreadEntryRecord& entry);

// Bytes of the shared instance block.
inline constexpr uint32_t kSharedInstanceBlockSize = 20;
// Offset of the list head inside the shared instance block.
inline constexpr uint32_t kSharedBlockHeadOffset = 8;

// The block shared by the modules of one process.
struct SharedInstanceBlock {
  uint32_t watchdog_mutex = 0;  // offset 0: held for life by the anti-freeze watchdog
  uint32_t registry_mutex = 0;  // offset 4: guards the list and thread suspension
  uint32_t head = 0;            // offset 8: first registry entry
  uint32_t use_count = 0;       // offset 12: modules using the block
  uint32_t mapping = 0;         // offset 16: handle of the mapping, kept by the creator
};

// The 20 bytes of the block.
void WriteSharedInstanceBlock(const SharedInstanceBlock& block,
                              std::span<uint8_t, kSharedInstanceBlockSize> out);
// The block from its 20 bytes.
SharedInstanceBlock ReadSharedInstanceBlock(std::span<const uint8_t, kSharedInstanceBlockSize> in);

// The name of a process's shared block: "kestraponThreadNameBuf" and the process id in the
// hexadecimal form ("$" and lower-case digits).
std::string SharedInstanceBlockName(uint32_t process_id);
// The name of the mutex taken while a thread class is patched and before a thread is
// suspended: "HookTThread" and the process id in the hexadecimal form.
std::string ThreadClassMutexName(uint32_t process_id);

}  // namespace crash
