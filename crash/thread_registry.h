// The thread registry: a list of entries (thread id, name, and for threads seen being
// created the class name, creation address, creator and a handle) that the modules of a
// process share. UpdateThreadEntry is its one writer; ReadThreadRegistry its reader.
// Both work through RegistryHost, so that the list is kept in the process's local heap on
// Windows and in a fake in tests.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace crash {

// What the registry needs from the process. Addresses and handles are 32-bit values.
class RegistryHost {
 public:
  virtual ~RegistryHost() = default;
  // The address of the shared block's first byte; 0 when there is no block.
  virtual uint32_t Block() = 0;
  // Takes the registry mutex (no time limit); false when it could not be taken.
  virtual bool Lock() = 0;
  // Releases the registry mutex.
  virtual void Unlock() = 0;
  // A zero-filled allocation of size bytes from the local heap; 0 when none.
  virtual uint32_t Allocate(uint32_t size) = 0;
  // Frees an allocation of Allocate.
  virtual void Free(uint32_t allocation) = 0;
  // The size of an allocation; 0 when address is none or no allocation.
  virtual uint32_t AllocationSize(uint32_t allocation) = 0;
  // Copies count bytes at address; false when any of them can't be read.
  virtual bool Read(uint32_t address, void* buffer, uint32_t count) = 0;
  // Stores count bytes at address; false when that is not possible.
  virtual bool Write(uint32_t address, const void* bytes, uint32_t count) = 0;
  // A new handle of the thread of handle with synchronise and query rights; 0 when none.
  virtual uint32_t DuplicateThreadHandle(uint32_t handle) = 0;
  // A handle of the thread with synchronise and query rights, opened by id; 0 when none.
  virtual uint32_t OpenThreadHandle(uint32_t thread_id) = 0;
  // Closes a handle of DuplicateThreadHandle or OpenThreadHandle.
  virtual void CloseThreadHandle(uint32_t handle) = 0;
  // True when the thread of the handle has ended (its handle is signalled).
  virtual bool ThreadHasEnded(uint32_t handle) = 0;
};

// The arguments of one update.
struct ThreadUpdate {
  uint32_t thread_id = 0;                 // the thread
  uint32_t handle = 0;                    // a handle of the thread, or 0
  std::optional<std::string> name;        // its name; none keeps the old one
  uint32_t creator_id = 0;                // id of the creating thread, or 0
  uint32_t creation_address = 0;          // code address that created it, or 0
  std::optional<std::string> class_name;  // class of its thread object, none keeps the old
};

// Sets, changes or removes the entry of a thread, under the registry mutex:
// - a given name or a non-zero creation address keeps an entry: what was not given is taken
//   from the old entry (class name, address and creator only from a full entry), as is a
//   full entry's handle; an old entry whose thread has ended gives nothing (its id was
//   reused); otherwise a handle is duplicated from the given one or opened by id, and
//   without a handle no entry is kept;
// - otherwise the old entry goes and its handle is closed;
// - then the first full entry from the head whose thread has ended is removed.
// Does nothing when there is no block.
void UpdateThreadEntry(RegistryHost& host, const ThreadUpdate& update);

// Sets a thread's name.
void NameThread(RegistryHost& host, uint32_t thread_id, std::string_view name);
// Removes a thread's entry.
void RemoveThreadEntry(RegistryHost& host, uint32_t thread_id);

// One entry as read back.
struct RegisteredThread {
  uint32_t thread_id = 0;         // the thread
  std::string name;               // "" when none
  std::string class_name;         // "" when none or a short entry
  uint32_t creation_address = 0;  // 0 when unknown
  uint32_t creator_id = 0;        // 0 when unknown
  bool full = false;              // the entry had the full size
};

// Longest text the registry reads back from an allocation.
inline constexpr uint32_t kMaxRegistryText = 4096;
// Most entries any walk of the list visits; a longer or looping list is cut there.
inline constexpr uint32_t kMaxRegistryEntries = 65536;

// The entries from the head, under the registry mutex. An unreadable entry ends the list.
std::vector<RegisteredThread> ReadThreadRegistry(RegistryHost& host);

// The entry of one thread; none when it has none.
std::optional<RegisteredThread> FindRegisteredThread(RegistryHost& host, uint32_t thread_id);

}  // namespace crash
