#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class BlockCipher;

// How the last block is filled when enciphering and read back when deciphering.
enum class Padding : std::uint8_t { Count, OneZero, Zero, Space, None };

// A length that is not whole blocks where whole blocks are required.
class CipherAssertion : public std::logic_error {
 public:
  CipherAssertion() : std::logic_error("Assertion failure") {}
};

// Padding that cannot be read back (Padding::OneZero without its 0x80 marker).
class CipherError : public std::runtime_error {
 public:
  CipherError() : std::runtime_error("Crypt Error") {}
};

// A chaining mode over a block cipher: the vector, the chaining register and the padding.
class BlockMode {
 public:
  // The cipher is destroyed with this object when ownsCipher is set (also when the
  // constructor fails). Only the first blockSize bytes of the vector are used; a
  // shorter vector is filled with zeros.
  BlockMode(const std::uint8_t* key, bool ownsCipher, Padding padding, int ivLength, const std::uint8_t* iv,
            BlockCipher* cipher, int keyLength);
  // The key as text: its bytes and its length in bytes.
  BlockMode(const std::string& key, bool ownsCipher, Padding padding, int ivLength, const std::uint8_t* iv,
            BlockCipher* cipher);
  virtual ~BlockMode();
  BlockMode(const BlockMode&) = delete;
  BlockMode& operator=(const BlockMode&) = delete;

  virtual void encodeBlock(const std::uint8_t* plain, std::uint8_t* cipherText) = 0;
  virtual void decodeBlock(const std::uint8_t* cipherText, std::uint8_t* plain) = 0;
  virtual void startEncrypting();
  virtual void startDecrypting();
  // Enciphering: fills the block after its first `length` data bytes and answers the
  // number of bytes added. Deciphering: answers how many bytes of the block to drop.
  virtual int pad(std::uint8_t* block, int length, bool enciphering);

  // Bytes that encrypt writes for n input bytes.
  int outputSize(int n) const;
  // Writes outputSize(n) bytes; every call starts from the vector.
  int encrypt(const std::uint8_t* input, std::uint8_t* output, int n);
  // n must be whole blocks; answers the plaintext length, which is zero or negative
  // for data that were not enciphered with the same key, vector and mode.
  int decrypt(const std::uint8_t* input, std::uint8_t* output, int n);

  Padding padding() const { return m_padding; }

 protected:
  BlockCipher& cipher() const { return *m_cipher; }
  int blockSize() const { return m_blockSize; }

  std::vector<std::uint8_t> m_iv;
  std::vector<std::uint8_t> m_chain;
  std::vector<std::uint8_t> m_scratch;

 private:
  Padding m_padding;
  std::unique_ptr<BlockCipher> m_owned;
  BlockCipher* m_cipher;
  int m_blockSize;
};
