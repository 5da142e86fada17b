// The thread registry of the running process: entries in the local heap, the list and its
// mutex in the process's shared instance block.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "crash/thread_registry.h"

namespace crash {

// The RegistryHost of the running process over the shared instance block of this module.
RegistryHost& ProcessRegistryHost();

// Records a created thread: its handle is duplicated for the entry.
void RegisterCreatedThread(uint32_t thread_id, void* handle, uint32_t creator_id,
                           uint32_t creation_address, std::string_view class_name);
// Sets the name of a thread of the process.
void SetThreadName(uint32_t thread_id, std::string_view name);
// Removes the entry of a thread of the process.
void RemoveThread(uint32_t thread_id);
// The entries of the process's registry, newest first.
std::vector<RegisteredThread> RegisteredThreads();
// The entry of one thread; none when it has none.
std::optional<RegisteredThread> RegisteredThreadOf(uint32_t thread_id);

}  // namespace crash
