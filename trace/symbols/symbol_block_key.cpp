#include "trace/symbols/symbol_block_key.h"

#include <cstdio>

#include "trace/cipher/blowfish.h"
#include "trace/text/ansi_text.h"
#include "trace/text/scrambled_text.h"

namespace trace {

namespace {

// The fixed six-letter word of the password, kept scrambled in the program file.
constexpr auto kPasswordWord = Scramble("quiver");

}  // namespace

std::string SymbolBlockPassword(uint32_t payload_length) {
  const std::string word = kPasswordWord.Reveal();
  char hex[16];
  std::snprintf(hex, sizeof hex, "$%07X", static_cast<unsigned>(payload_length));
  char decimal[16];
  std::snprintf(decimal, sizeof decimal, "%08u", static_cast<unsigned>(payload_length));
  std::string once = word + UpperCaseText(hex) + word + decimal;
  std::string password = once + once;
  const std::string key = password;
  EncryptString(password, key);
  return password;
}

}  // namespace trace
