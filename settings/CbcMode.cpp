#include "settings/CbcMode.h"

#include <algorithm>

#include "settings/BlockCipher.h"

void CbcMode::encodeBlock(const std::uint8_t* plain, std::uint8_t* cipherText) {
  const size_t bs = m_chain.size();
  for (size_t i = 0; i < bs; ++i) m_chain[i] ^= plain[i];
  cipher().encipher(m_chain.data(), m_chain.data());
  std::copy_n(m_chain.data(), bs, cipherText);
}

void CbcMode::decodeBlock(const std::uint8_t* cipherText, std::uint8_t* plain) {
  const size_t bs = m_chain.size();
  // Kept aside first: plain may be the same buffer as cipherText.
  std::copy_n(cipherText, bs, m_scratch.data());
  cipher().decipher(cipherText, plain);
  for (size_t i = 0; i < bs; ++i) plain[i] ^= m_chain[i];
  m_chain = m_scratch;
}
