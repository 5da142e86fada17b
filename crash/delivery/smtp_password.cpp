#include "crash/delivery/smtp_password.h"

#include "trace/cipher/blowfish.h"

namespace crash {
namespace {

// One enciphering pass: block padding (1..8 bytes of their count, so that the deciphering
// pass's padding removal finds it) and the counter-mode keystream.
void EncipherPass(std::string& data, std::string_view key, uint32_t seed) {
  if (key.empty()) return;
  const size_t padding = 8 - data.size() % 8;
  data.append(padding, static_cast<char>(padding));
  // Counter mode is its own inverse, so the deciphering operation enciphers too; the one byte
  // put after the whole blocks is left as it is and is what its padding removal takes away.
  data += '\x01';
  trace::DecryptStringWithCounter(data, key, seed, 0);
}

}  // namespace

std::string RestoreSmtpPassword(std::string_view stored, std::string_view server,
                                std::string_view account) {
  std::string password(stored);
  if (password.empty()) return password;
  trace::DecryptStringWithCounter(password, server, kServerPassSeed, 0);
  trace::DecryptStringWithCounter(password, account, kAccountPassSeed, 0);
  return password;
}

std::string TransformSmtpPassword(std::string_view password, std::string_view server,
                                  std::string_view account) {
  std::string stored(password);
  if (stored.empty()) return stored;
  EncipherPass(stored, account, kAccountPassSeed);
  EncipherPass(stored, server, kServerPassSeed);
  return stored;
}

}  // namespace crash
