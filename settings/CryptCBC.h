#pragma once
#include "settings/CryptUtils.h"

// Cipher block chaining: each plaintext block is combined with the previous ciphertext
// block (the vector for the first) before it is enciphered.
class TCryptCBC : public TCrypt {
 public:
  using TCrypt::TCrypt;

  void EncodeBlock(const std::uint8_t* plain, std::uint8_t* cipherText) override;
  void DecodeBlock(const std::uint8_t* cipherText, std::uint8_t* plain) override;
};
