#include "settings/BlockMode.h"

#include <algorithm>
#include <cstring>

#include "settings/BlockCipher.h"

BlockMode::BlockMode(const std::uint8_t* key, bool ownsCipher, Padding padding, int ivLength, const std::uint8_t* iv,
                     BlockCipher* cipher, int keyLength)
    : m_padding(padding), m_owned(ownsCipher ? cipher : nullptr), m_cipher(cipher) {
  if (!m_cipher) throw CipherAssertion();
  m_cipher->setKey(key, keyLength);
  m_blockSize = m_cipher->blockSize();
  m_iv.assign(static_cast<size_t>(m_blockSize), 0);
  m_chain.assign(m_iv.size(), 0);
  m_scratch.assign(m_iv.size(), 0);
  if (iv && ivLength > 0) std::copy_n(iv, std::min(ivLength, m_blockSize), m_iv.begin());
}

BlockMode::BlockMode(const std::string& key, bool ownsCipher, Padding padding, int ivLength, const std::uint8_t* iv,
                     BlockCipher* cipher)
    : BlockMode(reinterpret_cast<const std::uint8_t*>(key.data()), ownsCipher, padding, ivLength, iv, cipher,
                static_cast<int>(key.size())) {}

BlockMode::~BlockMode() = default;

void BlockMode::startEncrypting() { m_chain = m_iv; }

void BlockMode::startDecrypting() { m_chain = m_iv; }

int BlockMode::pad(std::uint8_t* block, int length, bool enciphering) {
  const int bs = m_blockSize;
  if (enciphering) {
    const int p = bs - length;
    switch (m_padding) {
      case Padding::Count: std::memset(block + length, p, static_cast<size_t>(p)); break;
      case Padding::OneZero:
        block[length] = 0x80;
        std::memset(block + length + 1, 0, static_cast<size_t>(p - 1));
        break;
      case Padding::Zero: std::memset(block + length, 0, static_cast<size_t>(p)); break;
      case Padding::Space: std::memset(block + length, ' ', static_cast<size_t>(p)); break;
      case Padding::None: return 0;
    }
    return p;
  }
  int i = bs - 1;
  switch (m_padding) {
    case Padding::Count: return block[bs - 1];
    case Padding::OneZero:
      while (i >= 0 && block[i] == 0) --i;
      if (i < 0 || block[i] != 0x80) throw CipherError();
      return bs - i;
    case Padding::Zero:
      while (i >= 0 && block[i] == 0) --i;
      return bs - 1 - i;
    case Padding::Space:
      while (i >= 0 && block[i] == ' ') --i;
      return bs - 1 - i;
    case Padding::None: return 0;
  }
  return 0;
}

int BlockMode::outputSize(int n) const {
  if (m_padding == Padding::None) return n;
  return m_blockSize * (n / m_blockSize + 1);
}

int BlockMode::encrypt(const std::uint8_t* input, std::uint8_t* output, int n) {
  const int bs = m_blockSize;
  if (n < 0 || (m_padding == Padding::None && n % bs != 0)) throw CipherAssertion();
  startEncrypting();
  const int whole = n / bs * bs;
  for (int off = 0; off < whole; off += bs) encodeBlock(input + off, output + off);
  if (m_padding == Padding::None) return n;
  std::uint8_t* last = output + whole;
  const int r = n - whole;
  std::memmove(last, input + whole, static_cast<size_t>(r));
  pad(last, r, true);
  encodeBlock(last, last);
  return outputSize(n);
}

int BlockMode::decrypt(const std::uint8_t* input, std::uint8_t* output, int n) {
  const int bs = m_blockSize;
  if (n < 0 || n % bs != 0) throw CipherAssertion();
  startDecrypting();
  if (n == 0) return 0;
  for (int off = 0; off < n; off += bs) decodeBlock(input + off, output + off);
  return n - pad(output + n - bs, bs, false);
}
