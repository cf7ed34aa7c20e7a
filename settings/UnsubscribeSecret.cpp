#include "settings/UnsubscribeSecret.h"

#include <openssl/rand.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

#include "core/PrivateFile.h"
#include "core/TextUtil.h"

namespace UnsubscribeSecret {

std::string loadOrCreate(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (in) {
    const std::string secret = trim(std::string(std::istreambuf_iterator<char>(in), {}));
    if (!secret.empty()) return secret;
  }
  unsigned char random[32];
  if (RAND_bytes(random, sizeof random) != 1) throw std::runtime_error("RAND_bytes failed");
  static const char* digits = "0123456789abcdef";
  std::string secret;
  for (const unsigned char b : random) {
    secret += digits[b >> 4];
    secret += digits[b & 15];
  }
  PrivateFile::write(file, secret + "\n");
  return secret;
}

}  // namespace UnsubscribeSecret
