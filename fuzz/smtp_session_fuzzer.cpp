// The whole SMTP dialogue against a server whose bytes are the input: whatever it answers
// and however it splits its answers, the session ends, sends only what its commands and the
// message make, and reports success only when the server said 221 to QUIT.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

#include "crash/delivery/smtp_session.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

class FuzzedFile final : public crash::MailFile {
 public:
  explicit FuzzedFile(uint64_t size) : size_(size) {}
  uint64_t Size() const override { return size_; }
  bool Read(char* buffer, size_t count, size_t& got) override {
    // The file comes up short at its end when its size was said to be odd.
    got = size_ % 2 && count < crash::kAttachmentPieceBytes ? count - 1 : count;
    std::memset(buffer, 'r', got);
    return true;
  }

 private:
  uint64_t size_;
};

// A server whose replies are the input: its first byte sets the piece length, the rest
// comes in pieces of it; a zero byte in the input is a time-out.
class FuzzedServer final : public crash::SmtpSystem {
 public:
  FuzzedServer(std::string_view input, size_t piece) : input_(input), piece_(piece) {}

  bool SendPiece(std::string_view piece) override {
    Check(!piece.empty() && piece.size() <= crash::kSmtpSendPiece);
    sent_ += piece.size();
    return true;
  }
  int Receive(char* buffer, size_t capacity, int timeout_ms) override {
    Check(timeout_ms > 0 && timeout_ms <= crash::kSmtpReplyLimitMs);
    ++receives_;
    now_ += 10;
    if (input_.empty()) return 0;
    if (input_.front() == '\0') {
      input_.remove_prefix(1);
      now_ += static_cast<uint32_t>(timeout_ms);
      return -1;
    }
    const size_t count = std::min({piece_, capacity, input_.size()});
    std::memcpy(buffer, input_.data(), count);
    input_.remove_prefix(count);
    return static_cast<int>(count);
  }
  uint32_t Milliseconds() override { return now_; }
  std::string ComputerName() override { return "fuzz"; }
  crash::MailDate Now() override { return {}; }
  bool FileExists(const std::string&) override { return true; }
  std::unique_ptr<crash::MailFile> OpenFile(const std::string&) override {
    return std::make_unique<FuzzedFile>(piece_ * 13);
  }

  size_t receives() const { return receives_; }

 private:
  std::string_view input_;
  size_t piece_;
  uint32_t now_ = 0;
  size_t receives_ = 0;
  size_t sent_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data + 1), size - 1);
  FuzzedServer server(input, data[0] % 64 + 1);
  crash::MailSend mail;
  mail.to = "Desk <desk@example.org>";
  mail.subject = "report";
  mail.body = ".line\r\n.\r\nend";
  mail.attachment = data[0] & 0x80 ? "C:\\r.txt" : "";
  if (data[0] & 0x40) mail.account = mail.password = "a";
  const bool sent = crash::RunSmtpSession(server, mail, "fuzz:25");
  // Each receive takes at least one byte, but for the few after the server closed.
  Check(server.receives() <= input.size() + 4);
  if (sent) Check(input.find("221") != std::string_view::npos);
  return 0;
}
