// Reads one SMTP reply from the bytes a server sends, in whatever pieces they arrive: lines
// of a three-digit code and "-" until the last line, whose code is followed by a blank or
// nothing (RFC 5321 4.2). Bounded: a line or a reply longer than its limit, a line without a
// proper code and a line whose code differs from the first line's make the reply malformed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace crash {

enum class ReplyState { Incomplete, Complete, Malformed };

class SmtpReplyReader {
 public:
  // The longest line, its line end included, and the longest reply.
  static constexpr size_t kMaxLine = 2048;
  static constexpr size_t kMaxReply = 32768;

  // Starts the next reply with the bytes that came after the last complete one.
  void BeginReply();
  // Takes received bytes; bytes after a complete reply wait for the next one (more than
  // kMaxReply of them make every later reply malformed).
  ReplyState Take(std::string_view bytes);
  // Where the current reply stands.
  ReplyState state() const { return state_; }
  // The current reply's text, line ends included (the whole reply once complete).
  const std::string& text() const { return reply_; }
  // True when the reply is complete and its first three characters are the code.
  bool Is(std::string_view code) const;
  // The first line of the reply without its line end, for the log.
  std::string_view FirstLine() const;

 private:
  ReplyState TakeLine(std::string_view line);
  void KeepPending(std::string_view bytes);

  ReplyState state_ = ReplyState::Incomplete;
  std::string reply_;    // the reply's complete lines
  std::string partial_;  // the line being received
  std::string pending_;  // bytes after a complete reply
  bool overflowed_ = false;
};

// The capability scan of a reply to EHLO: true when a line of the form "AUTH LOGIN ..." or
// "AUTH=... LOGIN" (case-insensitive, "=" read as a blank) offers LOGIN.
bool OffersAuthLogin(std::string_view reply);
// True when a line of the reply is the STARTTLS keyword (case-insensitive).
bool OffersStartTls(std::string_view reply);

}  // namespace crash
