#include "settings/Cipher.h"

#include <cstring>

void TCipher::SetKey(const std::uint8_t*, int) {}

void TCipher::StoreBlock(const std::uint8_t* src, std::uint8_t* dst) {
  std::memmove(dst, src, static_cast<size_t>(BlockSize()));
}

void TCipher::LoadBlock(const std::uint8_t* src, std::uint8_t* dst) {
  std::memmove(dst, src, static_cast<size_t>(BlockSize()));
}

void TCipher::Encipher(const std::uint8_t* src, std::uint8_t* dst) {
  LoadBlock(src, dst);
  EncryptBlock(dst, dst);
  StoreBlock(dst, dst);
}

void TCipher::Decipher(const std::uint8_t* src, std::uint8_t* dst) {
  LoadBlock(src, dst);
  DecryptBlock(dst, dst);
  StoreBlock(dst, dst);
}
