// The 28-byte request a reporting thread writes into the handling thread's pipe, and its
// reading back. Little-endian, padding written as zero.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>

namespace crash {

inline constexpr int kRequestBytes = 28;

struct ExceptionRequest {
  uint32_t event = 0;         // manual-reset event the requester waits on; 0 stops the thread
  uint32_t thread_id = 0;     // the reporting thread
  bool frozen = false;        // the watchdog reports a frozen main thread
  uint32_t exception = 0;     // the ReportedException in the requester's memory, or 0
  uint32_t address = 0;       // where the exception was raised, or 0
  bool can_continue = false;  // the application may go on after the report
  uint32_t stack_frame = 0;   // where the reporting thread's trace starts, or 0

  std::array<uint8_t, kRequestBytes> Bytes() const;
  // The request in exactly 28 bytes; anything else is not a request.
  static std::optional<ExceptionRequest> Read(std::span<const uint8_t> bytes);
};

}  // namespace crash
