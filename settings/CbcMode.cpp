#include "settings/CbcMode.h"

#include <algorithm>

#include "settings/BlockCipher.h"

void CbcMode::EncodeBlock(const std::uint8_t* plain, std::uint8_t* cipherText) {
  const size_t bs = m_chain.size();
  for (size_t i = 0; i < bs; ++i) m_chain[i] ^= plain[i];
  cipher().Encipher(m_chain.data(), m_chain.data());
  std::copy_n(m_chain.data(), bs, cipherText);
}

void CbcMode::DecodeBlock(const std::uint8_t* cipherText, std::uint8_t* plain) {
  const size_t bs = m_chain.size();
  // Kept aside first: plain may be the same buffer as cipherText.
  std::copy_n(cipherText, bs, m_scratch.data());
  cipher().Decipher(cipherText, plain);
  for (size_t i = 0; i < bs; ++i) plain[i] ^= m_chain[i];
  m_chain = m_scratch;
}
