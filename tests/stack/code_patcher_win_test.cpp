// The code patcher on real code of this process: calls in executable pages rewritten through
// stubs that run, with the pages' protection as it was.
#include "trace/stack/win/code_patcher_win.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <vector>

namespace trace {
namespace {

extern "C" __attribute__((noinline, used)) int PatcherTarget() {
  return 42;
}
extern "C" __attribute__((noinline, used)) int OtherTarget() {
  return 7;
}

uint32_t Address(const void* pointer) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(pointer));
}

// Call sites of 6 bytes each, "call PatcherTarget; ret", each callable as a function, in
// pages made execute-read after they were written.
class CallSites {
 public:
  explicit CallSites(int count) : count_(count) {
    size_ = static_cast<DWORD>(count * kSite);
    code_ = static_cast<uint8_t*>(VirtualAlloc(nullptr, size_, MEM_COMMIT, PAGE_READWRITE));
    for (int i = 0; i < count; ++i) {
      uint8_t* site = code_ + i * kSite;
      const uint32_t rel = Address(reinterpret_cast<void*>(&PatcherTarget)) - (Address(site) + 5);
      site[0] = 0xE8;
      std::memcpy(site + 1, &rel, 4);
      site[5] = 0xC3;
    }
    DWORD old = 0;
    VirtualProtect(code_, size_, PAGE_EXECUTE_READ, &old);
    FlushInstructionCache(GetCurrentProcess(), code_, size_);
  }
  ~CallSites() { VirtualFree(code_, 0, MEM_RELEASE); }

  uint32_t site(int i) const { return Address(code_ + i * kSite); }
  int Call(int i) const { return reinterpret_cast<int (*)()>(code_ + i * kSite)(); }
  int count() const { return count_; }

 private:
  static constexpr int kSite = 6;
  int count_;
  DWORD size_ = 0;
  uint8_t* code_ = nullptr;
};

DWORD ProtectionAt(uint32_t address) {
  MEMORY_BASIC_INFORMATION info{};
  VirtualQuery(reinterpret_cast<void*>(static_cast<uintptr_t>(address)), &info, sizeof info);
  return info.Protect;
}

std::vector<uint8_t> BytesAt(uint32_t address, size_t count) {
  const auto* at = reinterpret_cast<const uint8_t*>(static_cast<uintptr_t>(address));
  return std::vector<uint8_t>(at, at + count);
}

template <size_t N>
std::vector<uint8_t> Vector(const std::array<uint8_t, N>& bytes) {
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

TEST(WinCodePatcher, RedirectsACallInReadOnlyCodeThroughAStubThatRuns) {
  CallSites sites(1);
  ASSERT_EQ(sites.Call(0), 42);
  const uint32_t target = Address(reinterpret_cast<void*>(&PatcherTarget));
  WinCodePatcher patcher;
  const uint32_t stub = patcher.RedirectCall(sites.site(0), target);
  ASSERT_NE(stub, 0u);
  EXPECT_EQ(BytesAt(sites.site(0), 5), Vector(JumpRel32(sites.site(0), stub)));
  EXPECT_EQ(BytesAt(stub, 6), Vector(CallAndReturnStub(stub, target)));
  // The code page is as it was; the stub's page runs but takes no writes.
  EXPECT_EQ(ProtectionAt(sites.site(0)), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(ProtectionAt(stub), static_cast<DWORD>(PAGE_EXECUTE_READ));
  EXPECT_EQ(sites.Call(0), 42);
}

TEST(WinCodePatcher, RefusesBytesThatAreNotACallToTheTarget) {
  CallSites sites(1);
  WinCodePatcher patcher;
  const std::vector<uint8_t> before = BytesAt(sites.site(0), 6);
  // A call, but to another target; the bytes after a call; unreadable memory.
  EXPECT_EQ(patcher.RedirectCall(sites.site(0), Address(reinterpret_cast<void*>(&OtherTarget))),
            0u);
  EXPECT_EQ(
      patcher.RedirectCall(sites.site(0) + 1, Address(reinterpret_cast<void*>(&PatcherTarget))),
      0u);
  EXPECT_EQ(patcher.RedirectCall(0x10, Address(reinterpret_cast<void*>(&PatcherTarget))), 0u);
  EXPECT_EQ(BytesAt(sites.site(0), 6), before);
  EXPECT_TRUE(patcher.stubs().empty());
  EXPECT_EQ(sites.Call(0), 42);
  EXPECT_EQ(OtherTarget(), 7);
}

TEST(WinCodePatcher, TakesANewStubPageWhenOneIsFull) {
  // 4096 / 8 stubs fit a page; a few more need the next.
  CallSites sites(520);
  const uint32_t target = Address(reinterpret_cast<void*>(&PatcherTarget));
  WinCodePatcher patcher;
  for (int i = 0; i < sites.count(); ++i) {
    ASSERT_NE(patcher.RedirectCall(sites.site(i), target), 0u) << "site " << i;
  }
  const std::vector<uint32_t>& stubs = patcher.stubs();
  ASSERT_EQ(stubs.size(), 520u);
  EXPECT_NE(stubs[511] & ~0xFFFu, stubs[512] & ~0xFFFu);
  for (int i : {0, 511, 512, 519}) {
    EXPECT_EQ(sites.Call(i), 42) << "site " << i;
  }
}

}  // namespace
}  // namespace trace
