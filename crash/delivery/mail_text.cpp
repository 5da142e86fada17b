#include "crash/delivery/mail_text.h"

#include <cstdio>

namespace crash {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

}  // namespace

std::string MailAngleForm(std::string_view address) {
  const size_t open = address.find('<');
  if (open != std::string_view::npos) return std::string(address.substr(open));
  std::string form = "<";
  form += address;
  form += '>';
  return form;
}

std::string MailFullForm(std::string_view address) {
  if (address.find('<') != std::string_view::npos) return std::string(address);
  return MailAngleForm(address);
}

std::string EscapeBytes(std::string_view text, const ByteSet& set, char escape) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (set.test(byte)) {
      escaped += escape;
      escaped += kHexDigits[byte >> 4];
      escaped += kHexDigits[byte & 0x0F];
    } else {
      escaped += c;
    }
  }
  return escaped;
}

ByteSet NonAlphanumericBytes() {
  ByteSet set;
  set.set();
  for (int c = '0'; c <= '9'; ++c)
    set.reset(c);
  for (int c = 'A'; c <= 'Z'; ++c)
    set.reset(c);
  for (int c = 'a'; c <= 'z'; ++c)
    set.reset(c);
  return set;
}

std::string EncodedSubject(std::string_view subject) {
  static const ByteSet kEscaped = NonAlphanumericBytes();
  return "=?ISO-8859-1?Q?" + EscapeBytes(subject, kEscaped, '=') + "?=";
}

std::string MailDateLine(const MailDate& date) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  const int weekday = date.weekday >= 0 && date.weekday <= 6 ? date.weekday : 0;
  const int month = date.month >= 1 && date.month <= 12 ? date.month : 1;
  const int offset = date.offset_minutes < 0 ? -date.offset_minutes : date.offset_minutes;
  char line[64];
  std::snprintf(line, sizeof line, "Date: %s, %02d %s %04d %02d:%02d:%02d %c%02d%02d\r\n",
                kDays[weekday], date.day % 100, kMonths[month - 1], date.year % 10000,
                date.hour % 100, date.minute % 100, date.second % 100,
                date.offset_minutes < 0 ? '-' : '+', offset / 60 % 100, offset % 60);
  return line;
}

std::string MailHeaderText(std::string_view to, std::string_view from, std::string_view subject,
                           const MailDate& date) {
  std::string text = "TO: " + MailFullForm(to) + "\r\n";
  text += "FROM: " + MailFullForm(from) + "\r\n";
  text += "SUBJECT: " + EncodedSubject(subject) + "\r\n";
  text += MailDateLine(date);
  return text;
}

std::string MimeHeaderBlock() {
  const std::string boundary(kMailBoundary);
  return "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"" +
         boundary +
         "\"\r\n"
         "\r\n"
         "This is a multi-part message in MIME format.\r\n"
         "\r\n"
         "--" +
         boundary + "\r\n\r\n";
}

std::string AttachmentPartHeader(std::string_view file_name) {
  const std::string name(file_name);
  return "--" + std::string(kMailBoundary) +
         "\r\n"
         "Content-Type: application/octet-stream; name=\"" +
         name +
         "\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment; filename=\"" +
         name + "\"\r\n\r\n";
}

std::string MimeClosingLine() {
  return "--" + std::string(kMailBoundary) + "--\r\n";
}

std::string_view PathFileName(std::string_view path) {
  const size_t separator = path.find_last_of("\\/");
  return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string TransparentBody(std::string_view body) {
  std::string text;
  text.reserve(body.size() + body.size() / 32 + 2);
  bool line_start = true;
  for (size_t i = 0; i < body.size(); ++i) {
    const char c = body[i];
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < body.size() && body[i + 1] == '\n') ++i;
      text += "\r\n";
      line_start = true;
      continue;
    }
    if (line_start && c == '.') text += '.';
    text += c;
    line_start = false;
  }
  return text;
}

}  // namespace crash
