#include "crash/exception_request.h"

namespace crash {

namespace {

void Put32(uint8_t* at, uint32_t value) {
  for (int b = 0; b < 4; ++b)
    at[b] = static_cast<uint8_t>(value >> (8 * b));
}

uint32_t Get32(const uint8_t* at) {
  return at[0] | at[1] << 8 | at[2] << 16 | static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace

std::array<uint8_t, kRequestBytes> ExceptionRequest::Bytes() const {
  std::array<uint8_t, kRequestBytes> bytes{};
  Put32(&bytes[0], event);
  Put32(&bytes[4], thread_id);
  bytes[8] = frozen ? 1 : 0;
  Put32(&bytes[12], exception);
  Put32(&bytes[16], address);
  bytes[20] = can_continue ? 1 : 0;
  Put32(&bytes[24], stack_frame);
  return bytes;
}

std::optional<ExceptionRequest> ExceptionRequest::Read(std::span<const uint8_t> bytes) {
  if (bytes.size() != kRequestBytes) return std::nullopt;
  ExceptionRequest request;
  request.event = Get32(&bytes[0]);
  request.thread_id = Get32(&bytes[4]);
  request.frozen = bytes[8] != 0;
  request.exception = Get32(&bytes[12]);
  request.address = Get32(&bytes[16]);
  request.can_continue = bytes[20] != 0;
  request.stack_frame = Get32(&bytes[24]);
  return request;
}

}  // namespace crash
