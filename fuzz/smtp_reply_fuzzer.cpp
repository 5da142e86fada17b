// The SMTP reply reader and the capability scans over any bytes in any pieces: a reply read
// in pieces reads as the same bytes read at once, a complete reply begins with its three
// digits and is bounded, and the bytes after it start the next reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "crash/delivery/smtp_reply.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte sets the piece length of the second reading.
  const size_t piece = data[0] % 17 + 1;
  const std::string_view bytes(reinterpret_cast<const char*>(data + 1), size - 1);

  crash::SmtpReplyReader whole;
  crash::SmtpReplyReader pieces;
  whole.BeginReply();
  pieces.BeginReply();
  whole.Take(bytes);
  for (size_t at = 0; at < bytes.size() && pieces.state() == crash::ReplyState::Incomplete;
       at += piece) {
    pieces.Take(bytes.substr(at, piece));
  }
  Check(whole.state() == pieces.state());
  Check(whole.text() == pieces.text());
  (void)whole.FirstLine();
  if (whole.state() == crash::ReplyState::Complete) {
    const std::string& text = whole.text();
    Check(text.size() >= 5 && IsDigit(text[0]) && IsDigit(text[1]) && IsDigit(text[2]));
    Check(text.size() <= 2 * crash::SmtpReplyReader::kMaxReply);
    Check(text.ends_with("\r\n"));
    Check(whole.Is(text.substr(0, 3)));
    (void)crash::OffersAuthLogin(text);
    (void)crash::OffersStartTls(text);
    // The rest begins the next reply.
    whole.BeginReply();
    Check(whole.state() != crash::ReplyState::Complete || whole.text().size() >= 5);
  }
  (void)crash::OffersAuthLogin(bytes);
  (void)crash::OffersStartTls(bytes);
  return 0;
}
