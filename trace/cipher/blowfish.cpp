#include "trace/cipher/blowfish.h"

#include <cstddef>
#include <utility>

namespace trace {
namespace {

constexpr size_t kBlockSize = 8;
constexpr int kRounds = 16;

uint32_t LoadBigEndian(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3];
}

uint32_t LoadLittleEndian(const char* bytes) {
  const auto* b = reinterpret_cast<const unsigned char*>(bytes);
  return (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
}

void StoreBigEndian(uint32_t value, char* bytes) {
  for (int i = 3; i >= 0; --i) {
    bytes[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

void StoreLittleEndian(uint32_t value, char* bytes) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

enum class Direction { kEncrypt, kDecrypt };
enum class Halves { kLittleEndian, kBigEndian };

void ProcessEcb(std::string& data, std::string_view password, Direction direction, Halves halves) {
  if (password.empty() || data.size() < kBlockSize) return;
  const Blowfish cipher(password);
  const size_t whole = data.size() - data.size() % kBlockSize;
  for (size_t offset = 0; offset < whole; offset += kBlockSize) {
    char* block = data.data() + offset;
    uint32_t left;
    uint32_t right;
    if (halves == Halves::kBigEndian) {
      left = LoadBigEndian(block);
      right = LoadBigEndian(block + 4);
    } else {
      left = LoadLittleEndian(block + 4);
      right = LoadLittleEndian(block);
    }
    if (direction == Direction::kEncrypt) {
      cipher.EncryptBlock(left, right);
    } else {
      cipher.DecryptBlock(left, right);
    }
    if (halves == Halves::kBigEndian) {
      StoreBigEndian(left, block);
      StoreBigEndian(right, block + 4);
    } else {
      StoreLittleEndian(left, block + 4);
      StoreLittleEndian(right, block);
    }
  }
}

// Adds one to the counter read as a big-endian number: byte 7 first, carrying towards byte 0.
void IncrementCounter(unsigned char (&counter)[kBlockSize]) {
  for (int i = static_cast<int>(kBlockSize) - 1; i >= 0; --i) {
    if (++counter[i] != 0) break;
  }
}

}  // namespace

Blowfish::Blowfish(std::string_view key) {
  for (size_t i = 0; i < kBlowfishPWords; ++i) {
    p_[i] = kBlowfishInitialP[i];
  }
  for (size_t box = 0; box < kBlowfishSBoxes; ++box) {
    for (size_t i = 0; i < kBlowfishSWords; ++i) {
      s_[box][i] = kBlowfishInitialS[box][i];
    }
  }

  if (!key.empty()) {
    size_t next = 0;
    for (uint32_t& entry : p_) {
      uint32_t group = 0;
      for (int i = 0; i < 4; ++i) {
        group = (group << 8) | static_cast<unsigned char>(key[next]);
        next = (next + 1) % key.size();
      }
      entry ^= group;
    }
  }

  uint32_t left = 0;
  uint32_t right = 0;
  for (size_t i = 0; i < kBlowfishPWords; i += 2) {
    EncryptBlock(left, right);
    p_[i] = left;
    p_[i + 1] = right;
  }
  for (auto& box : s_) {
    for (size_t i = 0; i < kBlowfishSWords; i += 2) {
      EncryptBlock(left, right);
      box[i] = left;
      box[i + 1] = right;
    }
  }
}

uint32_t Blowfish::Feistel(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xFF]) ^ s_[2][(x >> 8) & 0xFF]) + s_[3][x & 0xFF];
}

void Blowfish::EncryptBlock(uint32_t& left, uint32_t& right) const {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = 0; i < kRounds; ++i) {
    l ^= p_[i];
    r ^= Feistel(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[kRounds];
  l ^= p_[kRounds + 1];
  left = l;
  right = r;
}

void Blowfish::DecryptBlock(uint32_t& left, uint32_t& right) const {
  uint32_t l = left;
  uint32_t r = right;
  for (int i = kRounds + 1; i > 1; --i) {
    l ^= p_[i];
    r ^= Feistel(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[1];
  l ^= p_[0];
  left = l;
  right = r;
}

void EncryptString(std::string& data, std::string_view password) {
  ProcessEcb(data, password, Direction::kEncrypt, Halves::kLittleEndian);
}

void DecryptString(std::string& data, std::string_view password) {
  ProcessEcb(data, password, Direction::kDecrypt, Halves::kLittleEndian);
}

void EncryptStringBigEndian(std::string& data, std::string_view password) {
  ProcessEcb(data, password, Direction::kEncrypt, Halves::kBigEndian);
}

void DecryptStringBigEndian(std::string& data, std::string_view password) {
  ProcessEcb(data, password, Direction::kDecrypt, Halves::kBigEndian);
}

void DecryptStringWithCounter(std::string& data, std::string_view password, uint32_t counter_low,
                              uint32_t counter_high) {
  if (password.empty()) return;
  if (counter_low == 0 && counter_high == 0) {
    DecryptStringBigEndian(data, password);
  } else if (data.size() >= kBlockSize) {
    const Blowfish cipher(password);
    unsigned char counter[kBlockSize];
    StoreLittleEndian(counter_low, reinterpret_cast<char*>(counter));
    StoreLittleEndian(counter_high, reinterpret_cast<char*>(counter) + 4);
    const size_t whole = data.size() - data.size() % kBlockSize;
    for (size_t offset = 0; offset < whole; offset += kBlockSize) {
      IncrementCounter(counter);
      uint32_t left = LoadBigEndian(reinterpret_cast<const char*>(counter));
      uint32_t right = LoadBigEndian(reinterpret_cast<const char*>(counter) + 4);
      cipher.EncryptBlock(left, right);
      char keystream[kBlockSize];
      StoreBigEndian(left, keystream);
      StoreBigEndian(right, keystream + 4);
      for (size_t i = 0; i < kBlockSize; ++i) {
        data[offset + i] ^= keystream[i];
      }
    }
  }
  RemovePadding(data);
}

void RemovePadding(std::string& data) {
  if (data.empty()) return;
  const size_t n = static_cast<unsigned char>(data.back());
  if (n < 1 || n > kBlockSize || n > data.size()) return;
  for (size_t i = data.size() - n; i < data.size(); ++i) {
    if (static_cast<unsigned char>(data[i]) != n) return;
  }
  data.resize(data.size() - n);
}

}  // namespace trace
