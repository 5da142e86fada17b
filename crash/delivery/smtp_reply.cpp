#include "crash/delivery/smtp_reply.h"

#include <algorithm>

namespace crash {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

char Upper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [](char x, char y) { return Upper(x) == Upper(y); });
}

bool ContainsNoCase(std::string_view text, std::string_view word) {
  if (word.size() > text.size()) return false;
  for (size_t i = 0; i + word.size() <= text.size(); ++i) {
    if (EqualsNoCase(text.substr(i, word.size()), word)) return true;
  }
  return false;
}

// Calls visit with every line of the reply after its first four characters (code and
// separator), the line end left out; stops when visit returns true.
template <typename Visit>
bool AnyLineText(std::string_view reply, Visit visit) {
  size_t start = 0;
  while (start <= reply.size()) {
    size_t end = reply.find("\r\n", start);
    if (end == std::string_view::npos) end = reply.size();
    std::string_view line = reply.substr(start, end - start);
    line.remove_prefix(std::min<size_t>(4, line.size()));
    if (visit(line)) return true;
    if (end == reply.size()) break;
    start = end + 2;
  }
  return false;
}

}  // namespace

void SmtpReplyReader::BeginReply() {
  state_ = overflowed_ ? ReplyState::Malformed : ReplyState::Incomplete;
  reply_.clear();
  partial_.clear();
  if (overflowed_) return;
  std::string rest;
  rest.swap(pending_);
  if (!rest.empty()) Take(rest);
}

ReplyState SmtpReplyReader::Take(std::string_view bytes) {
  if (state_ == ReplyState::Complete) {
    KeepPending(bytes);
    return state_;
  }
  while (state_ == ReplyState::Incomplete && !bytes.empty()) {
    const size_t end = bytes.find('\n');
    const size_t taken = end == std::string_view::npos ? bytes.size() : end + 1;
    if (partial_.size() + taken > kMaxLine || reply_.size() + partial_.size() + taken > kMaxReply) {
      return state_ = ReplyState::Malformed;
    }
    partial_ += bytes.substr(0, taken);
    bytes.remove_prefix(taken);
    if (end == std::string_view::npos) break;
    std::string line;
    line.swap(partial_);
    state_ = TakeLine(line);
  }
  if (state_ == ReplyState::Complete) KeepPending(bytes);
  return state_;
}

void SmtpReplyReader::KeepPending(std::string_view bytes) {
  if (overflowed_ || pending_.size() + bytes.size() > kMaxReply) {
    // More than a server that waits for each command sends: the replies after this one
    // can't be trusted.
    overflowed_ = true;
    pending_.clear();
    return;
  }
  pending_ += bytes;
}

ReplyState SmtpReplyReader::TakeLine(std::string_view line) {
  // The line ends in LF; a CR before it belongs to the line end.
  std::string_view content = line.substr(0, line.size() - 1);
  if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
  if (content.size() < 3 || !IsDigit(content[0]) || !IsDigit(content[1]) || !IsDigit(content[2])) {
    return ReplyState::Malformed;
  }
  if (!reply_.empty() && content.substr(0, 3) != std::string_view(reply_).substr(0, 3)) {
    return ReplyState::Malformed;
  }
  const char separator = content.size() > 3 ? content[3] : ' ';
  if (separator != ' ' && separator != '-') return ReplyState::Malformed;
  reply_ += content;
  reply_ += "\r\n";
  return separator == ' ' ? ReplyState::Complete : ReplyState::Incomplete;
}

bool SmtpReplyReader::Is(std::string_view code) const {
  return state_ == ReplyState::Complete && reply_.size() >= code.size() && code.size() == 3 &&
         reply_.compare(0, 3, code) == 0;
}

std::string_view SmtpReplyReader::FirstLine() const {
  const std::string_view text = reply_.empty() ? std::string_view(partial_) : reply_;
  const size_t end = text.find_first_of("\r\n");
  return text.substr(0, std::min<size_t>(end == std::string_view::npos ? text.size() : end, 120));
}

bool OffersAuthLogin(std::string_view reply) {
  std::string text(reply);
  std::replace(text.begin(), text.end(), '=', ' ');
  return AnyLineText(text, [](std::string_view line) {
    if (line.size() < 5 || !EqualsNoCase(line.substr(0, 5), "AUTH ")) return false;
    const std::string methods = " " + std::string(line.substr(5)) + " ";
    return ContainsNoCase(methods, " LOGIN ");
  });
}

bool OffersStartTls(std::string_view reply) {
  return AnyLineText(reply, [](std::string_view line) {
    while (!line.empty() && line.back() == ' ')
      line.remove_suffix(1);
    return EqualsNoCase(line, "STARTTLS");
  });
}

}  // namespace crash
