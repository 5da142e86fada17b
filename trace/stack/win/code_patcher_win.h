// The code patcher of the running process: stubs in executable pages of their own, calls
// rewritten in place with their page protection lifted for the write and restored after.
#pragma once

#include <cstdint>
#include <vector>

#include "trace/stack/code_patcher.h"

namespace trace {

// Rewrites calls of the running process. Stubs live in pages allocated with VirtualAlloc and
// kept executable at all times (heap memory is not executable where the processor enforces
// no-execute); they are never freed, since rewritten code jumps to them. Not locked: one
// trace at a time, like the lists it serves.
class WinCodePatcher : public CodePatcher {
 public:
  WinCodePatcher() = default;
  WinCodePatcher(const WinCodePatcher&) = delete;
  WinCodePatcher& operator=(const WinCodePatcher&) = delete;

  // Redirects the call rel32 at call_address through a new stub; refuses (0) unless the 5
  // bytes there are exactly a call rel32 to target, and when a page protection cannot be
  // changed. The call's own page gets its old protection back.
  uint32_t RedirectCall(uint32_t call_address, uint32_t target) override;

  // The stubs placed so far, in order.
  const std::vector<uint32_t>& stubs() const { return stubs_; }

 private:
  // Room for one more stub: its address, 0 when no page can be had.
  uint32_t NextStub();

  uint32_t page_ = 0;  // the page stubs are placed in now, 0 before the first
  uint32_t used_ = 0;  // bytes of it in use
  std::vector<uint32_t> stubs_;
};

}  // namespace trace
