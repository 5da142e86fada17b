#include "crash/thread_registry.h"

#include <gtest/gtest.h>

#include <array>

#include "crash/thread_entry.h"
#include "tests/crash/fake_registry_host.h"

namespace {

using crash::RegisteredThread;
using crash::ThreadUpdate;
using crash_test::FakeRegistryHost;

ThreadUpdate Created(uint32_t id, uint32_t handle, uint32_t creator, uint32_t address,
                     std::string class_name = "") {
  ThreadUpdate update;
  update.thread_id = id;
  update.handle = handle;
  update.creator_id = creator;
  update.creation_address = address;
  update.class_name = class_name;
  return update;
}

TEST(ThreadEntryLayout, FieldsSitAtTheirOffsetsAndShortEntriesCarryNoDetails) {
  crash::ThreadEntryRecord record{0x11223344, 0x1000, 0x2000, 0x3000, 0x401234, 77, 0x1F0};
  std::array<uint8_t, crash::kThreadEntrySize> bytes{};
  crash::WriteThreadEntry(record, bytes);
  EXPECT_EQ(bytes[0], 0x44);
  EXPECT_EQ(bytes[3], 0x11);
  EXPECT_EQ(bytes[17], 0x12);  // creation address, low byte second
  EXPECT_EQ(bytes[20], 77);
  EXPECT_EQ(bytes[24], 0xF0);
  crash::ThreadEntryRecord back;
  ASSERT_TRUE(crash::ReadThreadEntry(bytes, back));
  EXPECT_EQ(back.handle, 0x1F0u);
  EXPECT_EQ(back.creation_address, 0x401234u);
  ASSERT_TRUE(crash::ReadThreadEntry(std::span<const uint8_t>(bytes.data(), 12), back));
  EXPECT_EQ(back.next, 0x2000u);
  EXPECT_EQ(back.class_name, 0u);
  EXPECT_EQ(back.handle, 0u);
  ASSERT_TRUE(crash::ReadThreadEntry(std::span<const uint8_t>(bytes.data(), 24), back));
  EXPECT_EQ(back.creator_id, 77u);
  EXPECT_EQ(back.handle, 0u);
  EXPECT_FALSE(crash::ReadThreadEntry(std::span<const uint8_t>(bytes.data(), 11), back));

  crash::SharedInstanceBlock block{1, 2, 3, 4, 5};
  std::array<uint8_t, crash::kSharedInstanceBlockSize> block_bytes{};
  crash::WriteSharedInstanceBlock(block, block_bytes);
  EXPECT_EQ(block_bytes[crash::kSharedBlockHeadOffset], 3);
  EXPECT_EQ(crash::ReadSharedInstanceBlock(block_bytes).mapping, 5u);
  EXPECT_EQ(crash::SharedInstanceBlockName(0xd4c), "kestraponThreadNameBuf$d4c");
  EXPECT_EQ(crash::ThreadClassMutexName(0x10), "HookTThread$10");
}

TEST(ThreadRegistry, CreatedThreadsAreListedNewestFirstWithTheirDetails) {
  FakeRegistryHost host;
  const uint32_t first = host.NewHandle(10);
  const uint32_t second = host.NewHandle(20);
  crash::UpdateThreadEntry(host, Created(10, first, 1, 0x401000, "TWorker"));
  crash::UpdateThreadEntry(host, Created(20, second, 10, 0x402000));
  const std::vector<RegisteredThread> threads = crash::ReadThreadRegistry(host);
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads[0].thread_id, 20u);
  EXPECT_EQ(threads[0].creator_id, 10u);
  EXPECT_EQ(threads[1].class_name, "TWorker");
  EXPECT_EQ(threads[1].creation_address, 0x401000u);
  EXPECT_EQ(threads[1].name, "");
  // Each entry holds its own duplicate: the creator's handles stay the creator's.
  EXPECT_EQ(host.OpenHandles(), 4u);
  EXPECT_EQ(host.locks, 0);
}

TEST(ThreadRegistry, NamingKeepsWhatTheCreationRecordedAndRenamingTakesTheNewName) {
  FakeRegistryHost host;
  crash::UpdateThreadEntry(host, Created(10, host.NewHandle(10), 1, 0x401000, "TWorker"));
  crash::NameThread(host, 10, "loader");
  crash::NameThread(host, 10, "saver");
  const auto thread = crash::FindRegisteredThread(host, 10);
  ASSERT_TRUE(thread);
  EXPECT_EQ(thread->name, "saver");
  EXPECT_EQ(thread->class_name, "TWorker");
  EXPECT_EQ(thread->creation_address, 0x401000u);
  EXPECT_EQ(thread->creator_id, 1u);
  EXPECT_EQ(crash::ReadThreadRegistry(host).size(), 1u);
  // The handle was taken over, not opened again: one of the test, one of the entry.
  EXPECT_EQ(host.OpenHandles(), 2u);
}

TEST(ThreadRegistry, RemovalFreesTheEntryItsTextsAndItsHandle) {
  FakeRegistryHost host;
  const size_t empty = host.Allocations();
  const uint32_t handle = host.NewHandle(10);
  crash::UpdateThreadEntry(host, Created(10, handle, 1, 0x401000, "TWorker"));
  crash::NameThread(host, 10, "worker");
  crash::RemoveThreadEntry(host, 10);
  crash::RemoveThreadEntry(host, 10);  // nothing left: no change
  EXPECT_TRUE(crash::ReadThreadRegistry(host).empty());
  EXPECT_EQ(host.Allocations(), empty);
  EXPECT_EQ(host.OpenHandles(), 1u);
  EXPECT_EQ(host.bad_frees + host.bad_closes, 0);
}

TEST(ThreadRegistry, AThreadWithoutAHandleGetsNoEntry) {
  FakeRegistryHost host;
  const size_t empty = host.Allocations();
  crash::NameThread(host, 30, "nobody");                             // 30 can't be opened
  crash::UpdateThreadEntry(host, Created(40, 0xDEAD, 1, 0x401000));  // a handle of nothing
  EXPECT_TRUE(crash::ReadThreadRegistry(host).empty());
  EXPECT_EQ(host.Allocations(), empty);
  host.openable.insert(30);
  crash::NameThread(host, 30, "main thread");
  ASSERT_EQ(crash::ReadThreadRegistry(host).size(), 1u);
  EXPECT_EQ(crash::ReadThreadRegistry(host)[0].name, "main thread");
}

TEST(ThreadRegistry, ShortEntriesGiveTheirNameAndAreReplacedByFullOnes) {
  FakeRegistryHost host;
  host.openable = {50, 60};
  host.PushShortEntry(50, "old module's thread");
  host.PushShortEntry(60, "other");
  // Short entries carry no handle, so the clean-up never takes them for ended ones.
  host.ended = {50, 60};
  auto threads = crash::ReadThreadRegistry(host);
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_FALSE(threads[0].full);
  EXPECT_EQ(threads[1].name, "old module's thread");
  host.ended.clear();
  crash::UpdateThreadEntry(host, Created(50, 0, 1, 0x405000));
  const auto thread = crash::FindRegisteredThread(host, 50);
  ASSERT_TRUE(thread);
  EXPECT_TRUE(thread->full);
  EXPECT_EQ(thread->name, "old module's thread");
  EXPECT_EQ(thread->creation_address, 0x405000u);
  EXPECT_EQ(crash::ReadThreadRegistry(host).size(), 2u);
  EXPECT_EQ(host.bad_frees, 0);
}

TEST(ThreadRegistry, EachUpdateRemovesOneEndedThreadFromTheHead) {
  FakeRegistryHost host;
  host.openable = {1, 2, 3, 4};
  for (uint32_t id = 1; id <= 3; ++id)
    crash::NameThread(host, id, "t");
  host.ended = {1, 2};  // ended without passing through the wrappers
  crash::NameThread(host, 4, "later");
  auto threads = crash::ReadThreadRegistry(host);
  ASSERT_EQ(threads.size(), 3u);  // 4, 3, 1: thread 2 was nearer the head
  EXPECT_EQ(threads[2].thread_id, 1u);
  crash::RemoveThreadEntry(host, 99);
  threads = crash::ReadThreadRegistry(host);
  ASSERT_EQ(threads.size(), 2u);
  EXPECT_EQ(threads[1].thread_id, 3u);
  EXPECT_EQ(host.OpenHandles(), 2u);
}

TEST(ThreadRegistry, AReusedIdTakesNothingFromTheEndedThreadsEntry) {
  FakeRegistryHost host;
  crash::UpdateThreadEntry(host, Created(70, host.NewHandle(70), 1, 0x401000, "TOld"));
  crash::NameThread(host, 70, "old");
  host.ended.insert(70);
  // A new thread got id 70; the fake ends handles by thread id, so its handle is 71's.
  const uint32_t fresh = host.NewHandle(71);
  ThreadUpdate update = Created(70, fresh, 2, 0x402000);
  update.class_name.reset();
  crash::UpdateThreadEntry(host, update);
  const auto thread = crash::FindRegisteredThread(host, 70);
  ASSERT_TRUE(thread);
  EXPECT_EQ(thread->name, "");
  EXPECT_EQ(thread->class_name, "");
  EXPECT_EQ(thread->creator_id, 2u);
  EXPECT_EQ(thread->creation_address, 0x402000u);
  EXPECT_EQ(host.bad_closes, 0);
}

TEST(ThreadRegistry, NoBlockNoAllocationAndHostileListsChangeNothingOrEndTheWalk) {
  FakeRegistryHost host;
  host.openable = {1, 2};
  host.fail_allocations = true;
  crash::NameThread(host, 1, "x");
  EXPECT_TRUE(crash::ReadThreadRegistry(host).empty());
  EXPECT_EQ(host.OpenHandles(), 0u);  // the opened handle was closed again
  host.fail_allocations = false;

  crash::NameThread(host, 1, "a");
  crash::NameThread(host, 2, "b");
  // A list that loops back on itself: the reader stops at the repeat, the writer ends.
  const uint32_t block = host.Block();
  uint32_t head = 0;
  host.Read(block + crash::kSharedBlockHeadOffset, &head, 4);
  uint32_t second = 0;
  host.Read(head + 8, &second, 4);
  host.Write(second + 8, &head, 4);
  EXPECT_EQ(crash::ReadThreadRegistry(host).size(), 2u);
  crash::RemoveThreadEntry(host, 3);
  // A next reference to nowhere ends the list there.
  const uint32_t nowhere = 0x7777;
  host.Write(second + 8, &nowhere, 4);
  EXPECT_EQ(crash::ReadThreadRegistry(host).size(), 2u);
  crash::RemoveThreadEntry(host, 3);

  host.DropBlock();
  crash::NameThread(host, 1, "y");
  EXPECT_TRUE(crash::ReadThreadRegistry(host).empty());
  EXPECT_EQ(host.locks, 0);
}

}  // namespace
