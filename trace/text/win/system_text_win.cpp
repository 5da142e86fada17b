#include <windows.h>

#include <atomic>
#include <string>

#include "trace/text/number_text.h"
#include "trace/text/scrambled_text.h"
#include "trace/text/system_text.h"

namespace trace {
namespace {

constexpr auto kNtDllName = Scramble("ntdll.dll");
constexpr auto kNtStatusToDosErrorName = Scramble("RtlNtStatusToDosError");
constexpr auto kNetMessageDllName = Scramble("netmsg.dll");
constexpr auto kNoMessagePhrase = Scramble("Unknown error");

// Codes above this are NTSTATUS values (or other codes with severity bits set).
constexpr std::uint32_t kLastPlainErrorCode = 0x3FFFFFFF;
// The network management error range, whose texts live in the network message module.
constexpr std::uint32_t kFirstNetworkErrorCode = 2100;
constexpr std::uint32_t kLastNetworkErrorCode = 2999;

// Zero until the first call of LocaleDecimalPoint. Every thread stores the same value,
// so a relaxed atomic without a lock is enough.
std::atomic<char> decimal_point_cache{0};

// Converts an NTSTATUS to a system error code through ntdll; the code itself if that fails.
std::uint32_t NtStatusToErrorCode(std::uint32_t status) {
  HMODULE ntdll = GetModuleHandleA(kNtDllName.Reveal().c_str());
  if (ntdll == nullptr) return status;
  using Converter = ULONG(WINAPI*)(LONG);
  const auto convert = reinterpret_cast<Converter>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, kNtStatusToDosErrorName.Reveal().c_str())));
  if (convert == nullptr) return status;
  return convert(static_cast<LONG>(status));
}

}  // namespace

char LocaleDecimalPoint() {
  char point = decimal_point_cache.load(std::memory_order_relaxed);
  if (point != 0) return point;
  char buffer[2] = {0, 0};
  const int length = GetLocaleInfoA(GetThreadLocale(), LOCALE_SDECIMAL, buffer, sizeof(buffer));
  // An empty separator would put a zero byte into texts; it is treated like a failure.
  point = (length <= 0 || buffer[0] == 0) ? ',' : buffer[0];
  decimal_point_cache.store(point, std::memory_order_relaxed);
  return point;
}

std::string FormatByteSize(std::int64_t count) {
  return FormatByteSize(count, LocaleDecimalPoint());
}

std::string ErrorText(std::uint32_t code) {
  std::uint32_t message_id = code;
  if (message_id > kLastPlainErrorCode) message_id = NtStatusToErrorCode(message_id);

  HMODULE message_module = nullptr;
  if (message_id >= kFirstNetworkErrorCode && message_id <= kLastNetworkErrorCode) {
    message_module =
        LoadLibraryExA(kNetMessageDllName.Reveal().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  }
  DWORD flags =
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  if (message_module != nullptr) flags |= FORMAT_MESSAGE_FROM_HMODULE;

  char* buffer = nullptr;
  const DWORD length =
      FormatMessageA(flags, message_module, message_id, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                     reinterpret_cast<char*>(&buffer), 0, nullptr);
  std::string text;
  if (length > 0 && buffer != nullptr) {
    text.reserve(length);
    for (DWORD i = 0; i < length; ++i) {
      if (buffer[i] == '\r') {
        text.push_back(' ');
      } else if (buffer[i] != '\n') {
        text.push_back(buffer[i]);
      }
    }
  } else {
    text = kNoMessagePhrase.Reveal() + ' ' + FormatHex(code);
  }
  if (buffer != nullptr) LocalFree(buffer);
  if (message_module != nullptr) FreeLibrary(message_module);
  return text;
}

}  // namespace trace
