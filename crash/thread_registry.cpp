#include "crash/thread_registry.h"

#include <algorithm>
#include <array>
#include <unordered_set>

#include "crash/thread_entry.h"

namespace crash {

namespace {

// An entry of the list with its allocation size.
struct LoadedEntry {
  uint32_t address = 0;
  uint32_t size = 0;
  ThreadEntryRecord record;
};

// Holds the registry mutex for a scope.
class RegistryLock {
 public:
  explicit RegistryLock(RegistryHost& host) : host_(host), held_(host.Lock()) {}
  ~RegistryLock() {
    if (held_) host_.Unlock();
  }
  RegistryLock(const RegistryLock&) = delete;
  RegistryLock& operator=(const RegistryLock&) = delete;
  bool held() const { return held_; }

 private:
  RegistryHost& host_;
  bool held_;
};

bool ReadWord(RegistryHost& host, uint32_t address, uint32_t& value) {
  std::array<uint8_t, 4> bytes{};
  if (!host.Read(address, bytes.data(), 4)) return false;
  value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16 |
          uint32_t{bytes[3]} << 24;
  return true;
}

bool WriteWord(RegistryHost& host, uint32_t address, uint32_t value) {
  const std::array<uint8_t, 4> bytes{static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                                     static_cast<uint8_t>(value >> 16),
                                     static_cast<uint8_t>(value >> 24)};
  return host.Write(address, bytes.data(), 4);
}

bool LoadEntry(RegistryHost& host, uint32_t address, LoadedEntry& entry) {
  entry.address = address;
  entry.size = host.AllocationSize(address);
  if (entry.size < kShortThreadEntrySize) return false;
  std::array<uint8_t, kThreadEntrySize> bytes{};
  const uint32_t count = std::min(entry.size, kThreadEntrySize);
  if (!host.Read(address, bytes.data(), count)) return false;
  return ReadThreadEntry(std::span<const uint8_t>(bytes.data(), count), entry.record);
}

std::string ReadText(RegistryHost& host, uint32_t address) {
  if (address == 0) return {};
  const uint32_t size = std::min(host.AllocationSize(address), kMaxRegistryText);
  std::string text(size, '\0');
  if (size == 0 || !host.Read(address, text.data(), size)) return {};
  text.resize(std::min(text.find('\0'), text.size()));
  return text;
}

uint32_t StoreText(RegistryHost& host, std::string_view text) {
  const uint32_t size = static_cast<uint32_t>(std::min<size_t>(text.size(), kMaxRegistryText - 1));
  const uint32_t address = host.Allocate(size + 1);
  if (address == 0) return 0;
  if (!host.Write(address, text.data(), size)) {
    host.Free(address);
    return 0;
  }
  return address;
}

void FreeEntry(RegistryHost& host, const LoadedEntry& entry) {
  if (entry.record.name != 0) host.Free(entry.record.name);
  if (HasThreadDetails(entry.size) && entry.record.class_name != 0) {
    host.Free(entry.record.class_name);
  }
  host.Free(entry.address);
}

// The place that points at an entry: the block's head or a previous entry's next field.
uint32_t LinkOf(uint32_t block, uint32_t previous) {
  return previous == 0 ? block + kSharedBlockHeadOffset : previous + 8;
}

// Finds the first entry that matches and unlinks it; false when none does.
template <class Match>
bool UnlinkFirst(RegistryHost& host, uint32_t block, Match match, LoadedEntry& found) {
  uint32_t previous = 0;
  uint32_t current = 0;
  if (!ReadWord(host, block + kSharedBlockHeadOffset, current)) return false;
  for (uint32_t steps = 0; current != 0 && steps < kMaxRegistryEntries; ++steps) {
    LoadedEntry entry;
    if (!LoadEntry(host, current, entry)) return false;
    if (match(entry)) {
      if (!WriteWord(host, LinkOf(block, previous), entry.record.next)) return false;
      found = entry;
      return true;
    }
    previous = current;
    current = entry.record.next;
  }
  return false;
}

bool HasEnded(RegistryHost& host, const LoadedEntry& entry) {
  return HasThreadHandle(entry.size) && entry.record.handle != 0 &&
         host.ThreadHasEnded(entry.record.handle);
}

// Removes the first full entry from the head whose thread has ended.
void RemoveOneEndedEntry(RegistryHost& host, uint32_t block) {
  LoadedEntry stale;
  if (!UnlinkFirst(
          host, block, [&](const LoadedEntry& e) { return HasEnded(host, e); }, stale)) {
    return;
  }
  host.CloseThreadHandle(stale.record.handle);
  FreeEntry(host, stale);
}

}  // namespace

void UpdateThreadEntry(RegistryHost& host, const ThreadUpdate& update) {
  const uint32_t block = host.Block();
  if (block == 0) return;
  RegistryLock lock(host);
  if (!lock.held()) return;

  const bool keep = update.name.has_value() || update.creation_address != 0;
  std::optional<std::string> name = update.name;
  std::optional<std::string> class_name = update.class_name;
  uint32_t creation_address = update.creation_address;
  uint32_t creator_id = update.creator_id;
  uint32_t handle = 0;

  LoadedEntry old;
  const bool found = UnlinkFirst(
      host, block, [&](const LoadedEntry& e) { return e.record.thread_id == update.thread_id; },
      old);
  if (found) {
    // An ended thread's entry belongs to an earlier thread of the same id: nothing of it
    // carries over to the thread that has the id now.
    const bool ended = HasEnded(host, old);
    if (keep && !ended) {
      if (!name) name = ReadText(host, old.record.name);
      if (HasThreadDetails(old.size)) {
        if (!class_name) class_name = ReadText(host, old.record.class_name);
        if (creation_address == 0) creation_address = old.record.creation_address;
        if (creator_id == 0) creator_id = old.record.creator_id;
      }
      if (HasThreadHandle(old.size)) handle = old.record.handle;
    } else if (HasThreadHandle(old.size) && old.record.handle != 0) {
      host.CloseThreadHandle(old.record.handle);
    }
    FreeEntry(host, old);
  }

  if (keep) {
    if (handle == 0) {
      handle = update.handle != 0 ? host.DuplicateThreadHandle(update.handle)
                                  : host.OpenThreadHandle(update.thread_id);
    }
    if (handle != 0) {
      const uint32_t address = host.Allocate(kThreadEntrySize);
      uint32_t head = 0;
      if (address == 0 || !ReadWord(host, block + kSharedBlockHeadOffset, head)) {
        if (address != 0) host.Free(address);
        host.CloseThreadHandle(handle);
      } else {
        ThreadEntryRecord record;
        record.thread_id = update.thread_id;
        record.name = StoreText(host, name.value_or(""));
        record.next = head;
        record.class_name = StoreText(host, class_name.value_or(""));
        record.creation_address = creation_address;
        record.creator_id = creator_id;
        record.handle = handle;
        std::array<uint8_t, kThreadEntrySize> bytes{};
        WriteThreadEntry(record, bytes);
        if (host.Write(address, bytes.data(), kThreadEntrySize) &&
            WriteWord(host, block + kSharedBlockHeadOffset, address)) {
          handle = 0;
        } else {
          LoadedEntry unused{address, kThreadEntrySize, record};
          FreeEntry(host, unused);
          host.CloseThreadHandle(handle);
        }
      }
    }
  }
  RemoveOneEndedEntry(host, block);
}

void NameThread(RegistryHost& host, uint32_t thread_id, std::string_view name) {
  ThreadUpdate update;
  update.thread_id = thread_id;
  update.name = std::string(name);
  UpdateThreadEntry(host, update);
}

void RemoveThreadEntry(RegistryHost& host, uint32_t thread_id) {
  ThreadUpdate update;
  update.thread_id = thread_id;
  UpdateThreadEntry(host, update);
}

std::vector<RegisteredThread> ReadThreadRegistry(RegistryHost& host) {
  std::vector<RegisteredThread> threads;
  const uint32_t block = host.Block();
  if (block == 0) return threads;
  RegistryLock lock(host);
  if (!lock.held()) return threads;
  uint32_t current = 0;
  if (!ReadWord(host, block + kSharedBlockHeadOffset, current)) return threads;
  std::unordered_set<uint32_t> seen;
  while (current != 0 && seen.size() < kMaxRegistryEntries && seen.insert(current).second) {
    LoadedEntry entry;
    if (!LoadEntry(host, current, entry)) break;
    RegisteredThread thread;
    thread.thread_id = entry.record.thread_id;
    thread.name = ReadText(host, entry.record.name);
    thread.full = HasThreadDetails(entry.size);
    if (thread.full) {
      thread.class_name = ReadText(host, entry.record.class_name);
      thread.creation_address = entry.record.creation_address;
      thread.creator_id = entry.record.creator_id;
    }
    threads.push_back(std::move(thread));
    current = entry.record.next;
  }
  return threads;
}

std::optional<RegisteredThread> FindRegisteredThread(RegistryHost& host, uint32_t thread_id) {
  for (RegisteredThread& thread : ReadThreadRegistry(host)) {
    if (thread.thread_id == thread_id) return std::move(thread);
  }
  return std::nullopt;
}

}  // namespace crash
