// The SMTP password as a settings record stores it: enciphered twice in counter mode, keyed
// first with the account and then with the server text. Start-up restores it once; the
// password tool (tools/smtp_password.cpp) writes the stored form.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace crash {

// The counter starts of the two passes (low dwords; the high dwords are 0).
inline constexpr uint32_t kServerPassSeed = 0x6B1D42C9;
inline constexpr uint32_t kAccountPassSeed = 0x3F85E017;

// Deciphers the stored form: keyed with the server text and the first seed, then with the
// account text and the second; each pass removes its block padding. A pass whose key text is
// empty changes nothing. An empty stored form gives an empty password.
std::string RestoreSmtpPassword(std::string_view stored, std::string_view server,
                                std::string_view account);

// The stored form of a password: the inverse of RestoreSmtpPassword.
std::string TransformSmtpPassword(std::string_view password, std::string_view server,
                                  std::string_view account);

}  // namespace crash
