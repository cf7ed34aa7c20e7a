#include "settings/BlockCipher.h"

#include <cstring>

void BlockCipher::setKey(const std::uint8_t*, int) {}

void BlockCipher::storeBlock(const std::uint8_t* src, std::uint8_t* dst) {
  std::memmove(dst, src, static_cast<size_t>(blockSize()));
}

void BlockCipher::loadBlock(const std::uint8_t* src, std::uint8_t* dst) {
  std::memmove(dst, src, static_cast<size_t>(blockSize()));
}

void BlockCipher::encipher(const std::uint8_t* src, std::uint8_t* dst) {
  loadBlock(src, dst);
  encryptBlock(dst, dst);
  storeBlock(dst, dst);
}

void BlockCipher::decipher(const std::uint8_t* src, std::uint8_t* dst) {
  loadBlock(src, dst);
  decryptBlock(dst, dst);
  storeBlock(dst, dst);
}
