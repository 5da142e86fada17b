#include "trace/system/win/system_resources_win.h"

#include <windows.h>

#include "trace/pe/pe_image.h"
#include "trace/pe/win/live_address_space_win.h"
#include "trace/system/win/os_info_win.h"
#include "trace/text/scrambled_text.h"

// Calls a 16-bit routine through kernel32's QT_Thunk with one 16-bit argument and gives its
// 16-bit result. QT_Thunk takes the routine in edx and uses the 0x40 bytes below the
// caller's frame pointer, so the call gets a frame of its own whose scratch area holds no
// saved register; the stack pointer is restored from the frame afterwards, whatever the
// thunk leaves behind.
extern "C" uint32_t CallQtThunk(uint32_t qt_thunk, uint32_t routine16,
                                uint32_t argument) asm("_trace_call_qt_thunk");

asm(R"(
  .text
  .globl _trace_call_qt_thunk
_trace_call_qt_thunk:
  pushl %ebx
  pushl %esi
  pushl %edi
  pushl %ebp
  movl %esp, %ebp
  subl $0x40, %esp
  movl 20(%ebp), %eax
  movl 24(%ebp), %edx
  movl 28(%ebp), %ecx
  pushw %cx
  call *%eax
  movzwl %ax, %eax
  movl %ebp, %esp
  popl %ebp
  popl %edi
  popl %esi
  popl %ebx
  ret
)");

namespace trace {
namespace {

constexpr auto kKernelName = Scramble("kernel32.dll");
constexpr auto kQtThunkName = Scramble("QT_Thunk");
constexpr auto kUserName = Scramble("user.exe");
constexpr auto kFreeResourcesName = Scramble("GetFreeSystemResources");

// kernel32's exports that load, free and look into 16-bit libraries; the system hides them
// from GetProcAddress, so they are found through the export table.
constexpr uint32_t kLoadLibrary16Ordinal = 35;
constexpr uint32_t kFreeLibrary16Ordinal = 36;
constexpr uint32_t kGetProcAddress16Ordinal = 37;

using LoadLibrary16Function = uint32_t(WINAPI*)(LPCSTR);
using FreeLibrary16Function = void(WINAPI*)(uint32_t);
using GetProcAddress16Function = uint32_t(WINAPI*)(uint32_t, LPCSTR);

struct Thunks {
  LoadLibrary16Function load = nullptr;
  FreeLibrary16Function free = nullptr;
  GetProcAddress16Function find = nullptr;
  uint32_t qt_thunk = 0;
};

// Address of kernel32's export with this ordinal, read from its export table.
uint32_t KernelExport(const PeImage& kernel, uint32_t ordinal) {
  const auto entry = kernel.ExportByOrdinal(ordinal);
  if (!entry || entry->is_forwarder || entry->rva >= kernel.headers().image_size) return 0;
  return kernel.headers().module_base + entry->rva;
}

Thunks ResolveThunks() {
  Thunks thunks;
  HMODULE kernel = GetModuleHandleA(kKernelName.Reveal().c_str());
  if (kernel == nullptr) return thunks;
  const auto image =
      PeImage::Open(LiveSpace(), static_cast<uint32_t>(reinterpret_cast<uintptr_t>(kernel)));
  if (!image) return thunks;
  thunks.load = reinterpret_cast<LoadLibrary16Function>(
      static_cast<uintptr_t>(KernelExport(*image, kLoadLibrary16Ordinal)));
  thunks.free = reinterpret_cast<FreeLibrary16Function>(
      static_cast<uintptr_t>(KernelExport(*image, kFreeLibrary16Ordinal)));
  thunks.find = reinterpret_cast<GetProcAddress16Function>(
      static_cast<uintptr_t>(KernelExport(*image, kGetProcAddress16Ordinal)));
  thunks.qt_thunk = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(
      reinterpret_cast<void*>(GetProcAddress(kernel, kQtThunkName.Reveal().c_str()))));
  return thunks;
}

}  // namespace

uint32_t FreeSystemResources(SystemResource kind) {
  if (!OperatingSystem().is_9x) return 0;
  static const Thunks thunks = ResolveThunks();
  if (thunks.load == nullptr || thunks.free == nullptr || thunks.find == nullptr ||
      thunks.qt_thunk == 0)
    return 0;
  const uint32_t library = thunks.load(kUserName.Reveal().c_str());
  if (library < 32) return 0;  // 16-bit load errors are below 32
  uint32_t result = 0;
  if (const uint32_t routine = thunks.find(library, kFreeResourcesName.Reveal().c_str())) {
    result = CallQtThunk(thunks.qt_thunk, routine, static_cast<uint16_t>(kind));
  }
  thunks.free(library);
  return result;
}

}  // namespace trace
