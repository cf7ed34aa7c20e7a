#pragma once
#include <cstdint>
#include <string>

// A block cipher. Blocks are enciphered in the cipher's internal form: LoadBlock turns
// bytes into it, StoreBlock turns it back into bytes.
class BlockCipher {
 public:
  virtual ~BlockCipher() = default;

  virtual std::string CipherName() const = 0;
  virtual int BlockSize() const = 0;
  virtual void SetKey(const std::uint8_t* key, int length);
  virtual void EncryptBlock(const std::uint8_t* src, std::uint8_t* dst) = 0;
  virtual void DecryptBlock(const std::uint8_t* src, std::uint8_t* dst) = 0;
  virtual void StoreBlock(const std::uint8_t* src, std::uint8_t* dst);
  virtual void LoadBlock(const std::uint8_t* src, std::uint8_t* dst);

  // One block of bytes through Load, Encrypt/Decrypt and Store; src may equal dst.
  void Encipher(const std::uint8_t* src, std::uint8_t* dst);
  void Decipher(const std::uint8_t* src, std::uint8_t* dst);
};
