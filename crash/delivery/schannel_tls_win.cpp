#include "crash/delivery/schannel_tls_win.h"

#include <algorithm>

namespace crash {
namespace {

// The most enciphered bytes kept waiting: one whole record and the start of the next.
constexpr size_t kMaxIncoming = 2 * (16384 + 2048);

constexpr DWORD kContextRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT |
                                  ISC_REQ_CONFIDENTIALITY | ISC_REQ_EXTENDED_ERROR |
                                  ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;

// Milliseconds left until the deadline of GetTickCount, 0 when it has passed.
int Remaining(DWORD deadline) {
  const auto left = static_cast<LONG>(deadline - GetTickCount());
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

SchannelTls::~SchannelTls() {
  if (have_context_) DeleteSecurityContext(&context_);
  if (have_credentials_) FreeCredentialsHandle(&credentials_);
}

bool SchannelTls::SendAll(const char* bytes, size_t count) {
  while (count > 0) {
    const int sent = send(socket_, bytes, static_cast<int>(std::min<size_t>(count, 1 << 16)), 0);
    if (sent == SOCKET_ERROR || sent <= 0) return false;
    bytes += sent;
    count -= static_cast<size_t>(sent);
  }
  return true;
}

bool SchannelTls::ReceiveMore(DWORD deadline) {
  if (incoming_.size() >= kMaxIncoming) return false;
  fd_set readable;
  FD_ZERO(&readable);
  FD_SET(socket_, &readable);
  const int left = Remaining(deadline);
  timeval limit{left / 1000, (left % 1000) * 1000};
  if (select(0, &readable, nullptr, nullptr, &limit) <= 0) return false;
  char buffer[4096];
  const int room = static_cast<int>(std::min(sizeof buffer, kMaxIncoming - incoming_.size()));
  const int got = recv(socket_, buffer, room, 0);
  if (got == SOCKET_ERROR || got <= 0) return false;
  incoming_.append(buffer, static_cast<size_t>(got));
  return true;
}

bool SchannelTls::Handshake(SOCKET socket, const std::string& server, int timeout_ms) {
  socket_ = socket;
  SCHANNEL_CRED settings{};
  settings.dwVersion = SCHANNEL_CRED_VERSION;
  settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
  TimeStamp expiry;
  char package[] = UNISP_NAME_A;
  if (AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings, nullptr,
                                nullptr, &credentials_, &expiry) != SEC_E_OK) {
    return false;
  }
  have_credentials_ = true;

  std::string target = server;
  bool first = true;
  for (int round = 0; round < 32; ++round) {
    SecBuffer in_buffers[2] = {
        {static_cast<ULONG>(incoming_.size()), SECBUFFER_TOKEN, incoming_.data()},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc in{SECBUFFER_VERSION, 2, in_buffers};
    SecBuffer out_buffer{0, SECBUFFER_TOKEN, nullptr};
    SecBufferDesc out{SECBUFFER_VERSION, 1, &out_buffer};
    ULONG attributes = 0;
    const SECURITY_STATUS status = InitializeSecurityContextA(
        &credentials_, first ? nullptr : &context_, target.empty() ? nullptr : target.data(),
        kContextRequest, 0, 0, first ? nullptr : &in, 0, &context_, &out, &attributes, &expiry);
    if (first) have_context_ = status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED;
    first = false;
    if (out_buffer.cbBuffer > 0 && out_buffer.pvBuffer) {
      const bool sent = SendAll(static_cast<const char*>(out_buffer.pvBuffer), out_buffer.cbBuffer);
      FreeContextBuffer(out_buffer.pvBuffer);
      if (!sent) return false;
    }
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!ReceiveMore(GetTickCount() + static_cast<DWORD>(timeout_ms))) return false;
      continue;
    }
    if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) return false;
    // What the step did not take stays for the next step (or is the first record after it).
    if (in_buffers[1].BufferType == SECBUFFER_EXTRA && in_buffers[1].cbBuffer <= incoming_.size()) {
      incoming_.erase(0, incoming_.size() - in_buffers[1].cbBuffer);
    } else if (!incoming_.empty() || status == SEC_I_CONTINUE_NEEDED) {
      incoming_.clear();
    }
    if (status == SEC_E_OK) {
      return QueryContextAttributesA(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_) == SEC_E_OK &&
             sizes_.cbMaximumMessage > 0;
    }
    if (incoming_.empty() && !ReceiveMore(GetTickCount() + static_cast<DWORD>(timeout_ms))) {
      return false;
    }
  }
  return false;
}

bool SchannelTls::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    const size_t piece = std::min<size_t>(bytes.size(), sizes_.cbMaximumMessage);
    std::string record(sizes_.cbHeader + piece + sizes_.cbTrailer, '\0');
    std::copy(bytes.begin(), bytes.begin() + piece, record.begin() + sizes_.cbHeader);
    SecBuffer buffers[4] = {
        {sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
        {static_cast<ULONG>(piece), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
        {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + piece},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    if (EncryptMessage(&context_, 0, &message, 0) != SEC_E_OK) return false;
    if (!SendAll(record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer)) {
      return false;
    }
    bytes.remove_prefix(piece);
  }
  return true;
}

int SchannelTls::Receive(char* buffer, size_t capacity, int timeout_ms) {
  const DWORD deadline = GetTickCount() + static_cast<DWORD>(timeout_ms);
  while (plain_.empty()) {
    // Records that carry no data (or a server that sends only those) end at the deadline too.
    if (Remaining(deadline) == 0) return -1;
    if (incoming_.empty() && !ReceiveMore(deadline)) return -1;
    SecBuffer buffers[4] = {
        {static_cast<ULONG>(incoming_.size()), SECBUFFER_DATA, incoming_.data()},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr},
        {0, SECBUFFER_EMPTY, nullptr}};
    SecBufferDesc message{SECBUFFER_VERSION, 4, buffers};
    const SECURITY_STATUS status = DecryptMessage(&context_, &message, 0, nullptr);
    if (status == SEC_E_INCOMPLETE_MESSAGE) {
      if (!ReceiveMore(deadline)) return -1;
      continue;
    }
    if (status != SEC_E_OK) return -1;  // closed, renegotiation asked, or a bad record
    std::string extra;
    for (const SecBuffer& part : buffers) {
      if (part.BufferType == SECBUFFER_DATA && part.pvBuffer) {
        plain_.append(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
      } else if (part.BufferType == SECBUFFER_EXTRA && part.pvBuffer) {
        extra.assign(static_cast<const char*>(part.pvBuffer), part.cbBuffer);
      }
    }
    incoming_ = extra;
  }
  const size_t count = std::min(capacity, plain_.size());
  std::copy(plain_.begin(), plain_.begin() + static_cast<ptrdiff_t>(count), buffer);
  plain_.erase(0, count);
  return static_cast<int>(count);
}

}  // namespace crash
