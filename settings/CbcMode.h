#pragma once
#include "settings/BlockMode.h"

// Cipher block chaining: each plaintext block is combined with the previous ciphertext
// block (the vector for the first) before it is enciphered.
class CbcMode : public BlockMode {
 public:
  using BlockMode::BlockMode;

  void encodeBlock(const std::uint8_t* plain, std::uint8_t* cipherText) override;
  void decodeBlock(const std::uint8_t* cipherText, std::uint8_t* plain) override;
};
