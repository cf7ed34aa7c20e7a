#pragma once
#include <cstdint>
#include <string>

// A block cipher. Blocks are enciphered in the cipher's internal form: loadBlock turns
// bytes into it, storeBlock turns it back into bytes.
class BlockCipher {
 public:
  virtual ~BlockCipher() = default;

  virtual std::string name() const = 0;
  virtual int blockSize() const = 0;
  virtual void setKey(const std::uint8_t* key, int length);
  virtual void encryptBlock(const std::uint8_t* src, std::uint8_t* dst) = 0;
  virtual void decryptBlock(const std::uint8_t* src, std::uint8_t* dst) = 0;
  virtual void storeBlock(const std::uint8_t* src, std::uint8_t* dst);
  virtual void loadBlock(const std::uint8_t* src, std::uint8_t* dst);

  // One block of bytes through loadBlock, encryptBlock/decryptBlock and storeBlock; src
  // may equal dst.
  void encipher(const std::uint8_t* src, std::uint8_t* dst);
  void decipher(const std::uint8_t* src, std::uint8_t* dst);
};
