#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class BlockCipher;

// How the last block is filled when enciphering and read back when deciphering.
enum PadMode : std::uint8_t { Pad_Count = 0, Pad_OneZero = 1, Pad_Zero = 2, Pad_Space = 3, Pad_None = 4 };

// A length that is not whole blocks where whole blocks are required.
class CipherAssertion : public std::logic_error {
 public:
  CipherAssertion() : std::logic_error("Assertion failure") {}
};

// Padding that cannot be read back (Pad_OneZero without its 0x80 marker).
class CipherError : public std::runtime_error {
 public:
  CipherError() : std::runtime_error("Crypt Error") {}
};

// A chaining mode over a block cipher: the vector, the chaining register and the padding.
class BlockMode {
 public:
  // The cipher is destroyed with this object when ownsCipher is set (also when the
  // constructor fails). Only the first BlockSize bytes of the vector are used; a
  // shorter vector is filled with zeros.
  BlockMode(const std::uint8_t* key, bool ownsCipher, PadMode padMode, int ivLength, const std::uint8_t* iv,
         BlockCipher* cipher, int keyLength);
  // The key as text: its bytes and its length in bytes.
  BlockMode(const std::string& key, bool ownsCipher, PadMode padMode, int ivLength, const std::uint8_t* iv,
         BlockCipher* cipher);
  virtual ~BlockMode();
  BlockMode(const BlockMode&) = delete;
  BlockMode& operator=(const BlockMode&) = delete;

  virtual void EncodeBlock(const std::uint8_t* plain, std::uint8_t* cipherText) = 0;
  virtual void DecodeBlock(const std::uint8_t* cipherText, std::uint8_t* plain) = 0;
  virtual void InitEncrypt();
  virtual void InitDecrypt();
  // Enciphering: fills the block after its first `length` data bytes and answers the
  // number of bytes added. Deciphering: answers how many bytes of the block to drop.
  virtual int Pad(std::uint8_t* block, int length, bool enciphering);

  // Bytes that Encrypt writes for n input bytes.
  int OutputSize(int n) const;
  // Writes OutputSize(n) bytes; every call starts from the vector.
  int Encrypt(const std::uint8_t* input, std::uint8_t* output, int n);
  // n must be whole blocks; answers the plaintext length, which is zero or negative
  // for data that were not enciphered with the same key, vector and mode.
  int Decrypt(const std::uint8_t* input, std::uint8_t* output, int n);

  PadMode padMode() const { return m_padMode; }

 protected:
  BlockCipher& cipher() const { return *m_cipher; }
  int blockSize() const { return m_blockSize; }

  std::vector<std::uint8_t> m_iv;
  std::vector<std::uint8_t> m_chain;
  std::vector<std::uint8_t> m_scratch;

 private:
  PadMode m_padMode;
  std::unique_ptr<BlockCipher> m_owned;
  BlockCipher* m_cipher;
  int m_blockSize;
};
