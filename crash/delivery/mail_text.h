// The texts of a report's mail: address forms, the escape operation (also used by the mailto
// link), the encoded subject, the header lines, the MIME blocks and the body made ready for
// the DATA phase.
#pragma once

#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>

namespace crash {

// The boundary of the mail's parts; it holds no double quote.
inline constexpr std::string_view kMailBoundary = "KVR-5E1C0B7A SMTP Boundary";
// Bytes of the attachment in one Base64 line (76 characters).
inline constexpr size_t kAttachmentPieceBytes = 57;

// A set of byte values.
using ByteSet = std::bitset<256>;

// "<text>" when the text holds no "<", else the text from its first "<" to its end.
std::string MailAngleForm(std::string_view address);
// The text itself when it holds a "<", else its angle form.
std::string MailFullForm(std::string_view address);

// Every byte of the text that is in the set becomes the escape character and the byte's
// value as two upper-case hexadecimal digits; other bytes are copied.
std::string EscapeBytes(std::string_view text, const ByteSet& set, char escape);
// Every byte that is not an ASCII letter or digit.
ByteSet NonAlphanumericBytes();

// "=?ISO-8859-1?Q?" + the subject with every non-alphanumeric byte escaped with "=" + "?=".
std::string EncodedSubject(std::string_view subject);

// A moment in local time with its offset from UTC.
struct MailDate {
  int year = 1970;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int weekday = 4;  // 0 Sunday .. 6 Saturday
  int hour = 0, minute = 0, second = 0;
  int offset_minutes = 0;  // local time minus UTC
};

// "Date: Wed, 09 Dec 2026 12:34:56 +0100" and CR LF (RFC 5322).
std::string MailDateLine(const MailDate& date);

// The header lines after DATA: "TO: ", "FROM: " (full forms), "SUBJECT: " (encoded) and the
// date line, each ending in CR LF.
std::string MailHeaderText(std::string_view to, std::string_view from, std::string_view subject,
                           const MailDate& date);

// The MIME lines after the header of a mail with attachment, up to the text part's start.
std::string MimeHeaderBlock();

// The attachment part's header lines, from its delimiter to the blank line.
std::string AttachmentPartHeader(std::string_view file_name);
// "--" + the boundary + "--" and CR LF.
std::string MimeClosingLine();

// The file name of a path: what follows its last "\" or "/".
std::string_view PathFileName(std::string_view path);

// The body as the DATA phase carries it: every line ends in CR LF (a lone CR or LF becomes
// one; the last line keeps having none when it had none) and every line that begins with "."
// gets another "." before it, which every receiver removes (RFC 5321 transparency).
std::string TransparentBody(std::string_view body);

}  // namespace crash
