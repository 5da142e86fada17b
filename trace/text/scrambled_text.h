// Fixed texts that must not stand readable in the program file: each byte is stored
// XORed with kScrambleKey and unscrambled only when the text is needed.
//
//   constexpr auto kModule = Scramble("ntdll.dll");
//   HMODULE module = GetModuleHandleA(kModule.Reveal().c_str());
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace trace {

// The scrambling byte. With the high bit set, scrambled ASCII is never printable ASCII.
inline constexpr unsigned char kScrambleKey = 0xA5;

// A text of N bytes held in scrambled form.
template <std::size_t N>
class ScrambledText {
 public:
  // Scrambles plain at compile time; only the scrambled bytes reach the program.
  consteval explicit ScrambledText(const char (&plain)[N + 1]) {
    for (std::size_t i = 0; i < N; ++i) {
      bytes_[i] = static_cast<char>(static_cast<unsigned char>(plain[i]) ^ kScrambleKey);
    }
  }

  // The plain text, unscrambled now.
  std::string Reveal() const {
    // Reading the key through a volatile keeps the compiler from folding the plain text
    // back into the program as a constant.
    const volatile unsigned char key = kScrambleKey;
    std::string plain(N, '\0');
    for (std::size_t i = 0; i < N; ++i) {
      plain[i] = static_cast<char>(static_cast<unsigned char>(bytes_[i]) ^ key);
    }
    return plain;
  }

  // The stored, scrambled bytes.
  constexpr std::string_view scrambled() const { return std::string_view(bytes_.data(), N); }

  // Number of bytes of the text.
  static constexpr std::size_t size() { return N; }

 private:
  std::array<char, N> bytes_{};
};

// Scrambles a string literal (without its terminating zero) at compile time.
template <std::size_t M>
consteval ScrambledText<M - 1> Scramble(const char (&plain)[M]) {
  return ScrambledText<M - 1>(plain);
}

}  // namespace trace
