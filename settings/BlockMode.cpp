#include "settings/BlockMode.h"

#include <algorithm>
#include <cstring>

#include "settings/BlockCipher.h"

BlockMode::BlockMode(const std::uint8_t* key, bool ownsCipher, PadMode padMode, int ivLength, const std::uint8_t* iv,
               BlockCipher* cipher, int keyLength)
    : m_padMode(padMode), m_owned(ownsCipher ? cipher : nullptr), m_cipher(cipher) {
  if (!m_cipher) throw CipherAssertion();
  m_cipher->SetKey(key, keyLength);
  m_blockSize = m_cipher->BlockSize();
  m_iv.assign(static_cast<size_t>(m_blockSize), 0);
  m_chain.assign(m_iv.size(), 0);
  m_scratch.assign(m_iv.size(), 0);
  if (iv && ivLength > 0) std::copy_n(iv, std::min(ivLength, m_blockSize), m_iv.begin());
}

BlockMode::BlockMode(const std::string& key, bool ownsCipher, PadMode padMode, int ivLength, const std::uint8_t* iv,
               BlockCipher* cipher)
    : BlockMode(reinterpret_cast<const std::uint8_t*>(key.data()), ownsCipher, padMode, ivLength, iv, cipher,
             static_cast<int>(key.size())) {}

BlockMode::~BlockMode() = default;

void BlockMode::InitEncrypt() { m_chain = m_iv; }

void BlockMode::InitDecrypt() { m_chain = m_iv; }

int BlockMode::Pad(std::uint8_t* block, int length, bool enciphering) {
  const int bs = m_blockSize;
  if (enciphering) {
    const int p = bs - length;
    switch (m_padMode) {
      case Pad_Count: std::memset(block + length, p, static_cast<size_t>(p)); break;
      case Pad_OneZero:
        block[length] = 0x80;
        std::memset(block + length + 1, 0, static_cast<size_t>(p - 1));
        break;
      case Pad_Zero: std::memset(block + length, 0, static_cast<size_t>(p)); break;
      case Pad_Space: std::memset(block + length, ' ', static_cast<size_t>(p)); break;
      case Pad_None: return 0;
    }
    return p;
  }
  int i = bs - 1;
  switch (m_padMode) {
    case Pad_Count: return block[bs - 1];
    case Pad_OneZero:
      while (i >= 0 && block[i] == 0) --i;
      if (i < 0 || block[i] != 0x80) throw CipherError();
      return bs - i;
    case Pad_Zero:
      while (i >= 0 && block[i] == 0) --i;
      return bs - 1 - i;
    case Pad_Space:
      while (i >= 0 && block[i] == ' ') --i;
      return bs - 1 - i;
    case Pad_None: return 0;
  }
  return 0;
}

int BlockMode::OutputSize(int n) const {
  if (m_padMode == Pad_None) return n;
  return m_blockSize * (n / m_blockSize + 1);
}

int BlockMode::Encrypt(const std::uint8_t* input, std::uint8_t* output, int n) {
  const int bs = m_blockSize;
  if (n < 0 || (m_padMode == Pad_None && n % bs != 0)) throw CipherAssertion();
  InitEncrypt();
  const int whole = n / bs * bs;
  for (int off = 0; off < whole; off += bs) EncodeBlock(input + off, output + off);
  if (m_padMode == Pad_None) return n;
  std::uint8_t* last = output + whole;
  const int r = n - whole;
  std::memmove(last, input + whole, static_cast<size_t>(r));
  Pad(last, r, true);
  EncodeBlock(last, last);
  return OutputSize(n);
}

int BlockMode::Decrypt(const std::uint8_t* input, std::uint8_t* output, int n) {
  const int bs = m_blockSize;
  if (n < 0 || n % bs != 0) throw CipherAssertion();
  InitDecrypt();
  if (n == 0) return 0;
  for (int off = 0; off < n; off += bs) DecodeBlock(input + off, output + off);
  return n - Pad(output + n - bs, bs, false);
}
