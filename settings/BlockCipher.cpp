#include "settings/BlockCipher.h"

#include <cstring>

void BlockCipher::SetKey(const std::uint8_t*, int) {}

void BlockCipher::StoreBlock(const std::uint8_t* src, std::uint8_t* dst) {
  std::memmove(dst, src, static_cast<size_t>(BlockSize()));
}

void BlockCipher::LoadBlock(const std::uint8_t* src, std::uint8_t* dst) {
  std::memmove(dst, src, static_cast<size_t>(BlockSize()));
}

void BlockCipher::Encipher(const std::uint8_t* src, std::uint8_t* dst) {
  LoadBlock(src, dst);
  EncryptBlock(dst, dst);
  StoreBlock(dst, dst);
}

void BlockCipher::Decipher(const std::uint8_t* src, std::uint8_t* dst) {
  LoadBlock(src, dst);
  DecryptBlock(dst, dst);
  StoreBlock(dst, dst);
}
