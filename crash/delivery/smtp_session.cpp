#include "crash/delivery/smtp_session.h"

#include <algorithm>

#include "crash/delivery/delivery_log.h"
#include "crash/delivery/smtp_reply.h"
#include "trace/cipher/base64.h"

namespace crash {
namespace {

// One session's state: the system, the reply reader and the log's server name.
class Session {
 public:
  Session(SmtpSystem& system, std::string_view where) : system_(system), where_(where) {}
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Run(const MailSend& mail);

 private:
  void Log(std::string_view step, bool ok, bool with_reply = true);
  bool SendText(std::string_view text);
  bool ReadReply(std::string_view code);
  // Sends the command (unless empty) with CR LF and reads the reply; `step` names it in the
  // log (the command text may hold credentials).
  bool Command(std::string_view command, std::string_view code, std::string_view step);
  bool Hello(std::string_view name, bool& auth_login, bool& start_tls);
  bool Authenticate(const MailSend& mail);
  bool SendMessage(const MailSend& mail, std::string_view from);
  bool SendAttachment(const std::string& path);
  bool Quit(bool result);

  SmtpSystem& system_;
  std::string where_;
  SmtpReplyReader reader_;
};

void Session::Log(std::string_view step, bool ok, bool with_reply) {
  std::string line = "smtp " + where_ + ": ";
  line += step;
  line += ok ? " ok" : " failed";
  if (with_reply) {
    const std::string_view reply = reader_.FirstLine();
    if (!reply.empty()) {
      line += " (";
      line += reply;
      line += ')';
    } else if (!ok) {
      line += " (no reply)";
    }
  }
  DeliveryLog(line);
}

bool Session::SendText(std::string_view text) {
  while (!text.empty()) {
    const size_t piece = std::min(text.size(), kSmtpSendPiece);
    if (!system_.SendPiece(text.substr(0, piece))) return false;
    text.remove_prefix(piece);
  }
  return true;
}

bool Session::ReadReply(std::string_view code) {
  reader_.BeginReply();
  const uint32_t start = system_.Milliseconds();
  char buffer[1024];
  while (reader_.state() == ReplyState::Incomplete) {
    const uint32_t elapsed = system_.Milliseconds() - start;
    if (elapsed >= static_cast<uint32_t>(kSmtpReplyLimitMs)) return false;
    const int got =
        system_.Receive(buffer, sizeof buffer, kSmtpReplyLimitMs - static_cast<int>(elapsed));
    if (got <= 0) return false;
    reader_.Take(std::string_view(buffer, static_cast<size_t>(got)));
  }
  return reader_.Is(code);
}

bool Session::Command(std::string_view command, std::string_view code, std::string_view step) {
  if (!command.empty() && !SendText(std::string(command) + "\r\n")) {
    Log(std::string(step) + " send", false, false);
    return false;
  }
  const bool ok = ReadReply(code);
  Log(step, ok);
  return ok;
}

bool Session::Hello(std::string_view name, bool& auth_login, bool& start_tls) {
  auth_login = false;
  start_tls = false;
  if (Command("EHLO " + std::string(name), "250", "EHLO")) {
    auth_login = OffersAuthLogin(reader_.text());
    start_tls = OffersStartTls(reader_.text());
    return true;
  }
  return Command("HELO " + std::string(name), "250", "HELO");
}

bool Session::Authenticate(const MailSend& mail) {
  return Command("AUTH LOGIN", "334", "AUTH LOGIN") &&
         Command(trace::Base64Encode(mail.account), "334", "AUTH LOGIN account") &&
         Command(trace::Base64Encode(mail.password), "235", "AUTH LOGIN password");
}

bool Session::SendAttachment(const std::string& path) {
  std::unique_ptr<MailFile> file = system_.OpenFile(path);
  if (!file) {
    DeliveryLog("smtp " + where_ + ": attachment " + path + " can't be opened");
    return false;
  }
  uint64_t remaining = file->Size();
  if (remaining == 0) return true;
  if (!SendText(AttachmentPartHeader(PathFileName(path)))) return false;
  // Whole lines gathered up to one send piece: the file is streamed, never held whole.
  constexpr size_t kLine = 4 * kAttachmentPieceBytes / 3 + 2;
  std::string lines;
  lines.reserve(kSmtpSendPiece);
  bool sent_any = false;
  char piece[kAttachmentPieceBytes];
  while (remaining > 0) {
    const size_t asked = static_cast<size_t>(std::min<uint64_t>(remaining, sizeof piece));
    size_t got = 0;
    if (!file->Read(piece, asked, got) || got != asked) {
      if (sent_any || !lines.empty()) lines += "\r\n";
      SendText(lines);
      DeliveryLog("smtp " + where_ + ": attachment " + path + " read failed");
      return false;
    }
    remaining -= got;
    lines += trace::Base64Encode(piece, got);
    lines += "\r\n";
    if (lines.size() + kLine > kSmtpSendPiece || remaining == 0) {
      if (!SendText(lines)) return false;
      lines.clear();
      sent_any = true;
    }
  }
  return true;
}

bool Session::SendMessage(const MailSend& mail, std::string_view from) {
  SendText(MailHeaderText(mail.to, from, mail.subject, system_.Now()));
  std::string attachment = mail.attachment;
  if (!attachment.empty() && !system_.FileExists(attachment)) {
    DeliveryLog("smtp " + where_ + ": attachment " + attachment + " missing, left out");
    attachment.clear();
  }
  const std::string body = TransparentBody(mail.body);
  if (attachment.empty()) return SendText("\r\n") && SendText(body);
  if (!SendText(MimeHeaderBlock()) || !SendText(body) || !SendText("\r\n")) return false;
  const bool attached = SendAttachment(attachment);
  const bool closed = SendText(MimeClosingLine());
  return attached && closed;
}

bool Session::Quit(bool result) {
  const bool quit = Command("QUIT", "221", "QUIT");
  return result && quit;
}

bool Session::Run(const MailSend& mail) {
  const bool greeted = ReadReply("220");
  Log("greeting", greeted);
  if (!greeted) return false;
  const std::string name = system_.ComputerName();
  bool auth_login = false;
  bool start_tls = false;
  if (!Hello(name, auth_login, start_tls)) return false;

  if (start_tls && system_.TlsAvailable()) {
    if (Command("STARTTLS", "220", "STARTTLS")) {
      const bool secured = system_.StartTls(mail.server);
      DeliveryLog("smtp " + where_ + (secured ? ": TLS ok" : ": TLS failed"));
      if (!secured) return false;
      // What the server sent before the handshake is not trusted (RFC 3207).
      reader_ = SmtpReplyReader();
      if (!Command("EHLO " + name, "250", "EHLO")) return Quit(false);
      auth_login = OffersAuthLogin(reader_.text());
    }
  }

  const std::string_view from = mail.from.empty() ? std::string_view(mail.to) : mail.from;
  if (!mail.account.empty() || !mail.password.empty()) {
    if (!auth_login) {
      DeliveryLog("smtp " + where_ + ": AUTH LOGIN not offered");
      return Quit(false);
    }
    if (!Authenticate(mail)) return Quit(false);
  }
  if (!Command("MAIL FROM:" + MailAngleForm(from), "250", "MAIL FROM") ||
      !Command("RCPT TO:" + MailAngleForm(mail.to), "250", "RCPT TO")) {
    return Quit(false);
  }
  if (mail.subject.empty() && mail.body.empty()) {
    return Quit(Command("RSET", "250", "RSET"));
  }
  if (!Command("DATA", "354", "DATA")) return Quit(false);
  const bool sent = SendMessage(mail, from);
  DeliveryLog("smtp " + where_ + (sent ? ": message sent" : ": message send failed"));
  const bool accepted = Command("\r\n.", "250", "end of data");
  return Quit(sent && accepted);
}

}  // namespace

bool RunSmtpSession(SmtpSystem& system, const MailSend& mail, std::string_view where) {
  Session session(system, where);
  return session.Run(mail);
}

}  // namespace crash
