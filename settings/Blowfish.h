#pragma once
#include <cstdint>

#include "settings/BlockCipher.h"

// Blowfish with 8-byte blocks. The internal form of a block is its two 32-bit halves
// in host order, left half first; bytes map to each half most significant first.
class Blowfish final : public BlockCipher {
 public:
  Blowfish();

  std::string name() const override { return "BlowFish"; }
  int blockSize() const override { return 8; }
  // The key needs 1 to 72 bytes; later bytes are ignored.
  void setKey(const std::uint8_t* key, int length) override;
  void encryptBlock(const std::uint8_t* src, std::uint8_t* dst) override;
  void decryptBlock(const std::uint8_t* src, std::uint8_t* dst) override;
  void storeBlock(const std::uint8_t* src, std::uint8_t* dst) override;
  void loadBlock(const std::uint8_t* src, std::uint8_t* dst) override;

  // The two halves directly, for callers that keep blocks as words.
  void encrypt(std::uint32_t& left, std::uint32_t& right) const;
  void decrypt(std::uint32_t& left, std::uint32_t& right) const;

 private:
  std::uint32_t f(std::uint32_t x) const;
  // The rounds, inlined into every entry point.
  void encipherHalves(std::uint32_t& left, std::uint32_t& right) const;
  void decipherHalves(std::uint32_t& left, std::uint32_t& right) const;

  std::uint32_t m_p[18];
  std::uint32_t m_s[4][256];
};
