#include "sending/UnsubscribeLink.h"

#include <openssl/evp.h>
#include <openssl/hmac.h>

#include "core/TextUtil.h"
#include "settings/SettingsFiles.h"

namespace UnsubscribeLink {

namespace {
std::string hex(const unsigned char* bytes, std::size_t size) {
  static const char* digits = "0123456789abcdef";
  std::string out;
  for (std::size_t i = 0; i < size; ++i) {
    out += digits[bytes[i] >> 4];
    out += digits[bytes[i] & 15];
  }
  return out;
}

// What a test link's code is made from: never a plain number, so neither code passes
// for the other kind of link.
std::string testCodeText(const std::string& readerId) { return "test-" + readerId; }

std::string withQuery(const std::string& base) { return base + (base.find('?') == std::string::npos ? "?" : "&"); }

std::string listValue(const std::string& mailto, const std::string& linkUrl) {
  std::string value = "<" + mailto + ">";
  if (!linkUrl.empty()) value += ", <" + linkUrl + ">";
  return value;
}

}  // namespace

std::string checkCode(const std::string& secret, const std::string& text) {
  unsigned char mac[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret.data(), static_cast<int>(secret.size()),
       reinterpret_cast<const unsigned char*>(text.data()), text.size(), mac, &length);
  return hex(mac, length).substr(0, 32);
}

std::string readerText(const std::string& readerId, const std::string& registered) {
  return readerId + "-" + registered;
}

std::string url(const std::string& base, const std::string& secret, const std::string& readerId,
                const std::string& registered) {
  return withQuery(base) + "id=" + readerId + "&since=" + registered +
         "&code=" + checkCode(secret, readerText(readerId, registered));
}

std::string testUrl(const std::string& base, const std::string& secret, const std::string& readerId) {
  return withQuery(base) + "id=" + readerId + "&test=1&code=" + checkCode(secret, testCodeText(readerId));
}

bool usableUrl(const std::string& base) {
  return checkUnsubscribeUrl(trim(base)) == UnsubscribeUrlProblem::None;
}

std::string mailto(const std::string& senderAddress, const std::string& readerId) {
  return "mailto:" + senderAddress + "?subject=unsubscribe%20" + readerId;
}

std::string testMailto(const std::string& senderAddress) {
  return "mailto:" + senderAddress + "?subject=unsubscribe%20test%20mail";
}

std::string listUnsubscribe(const std::string& senderAddress, const std::string& readerId,
                            const std::string& linkUrl) {
  return listValue(mailto(senderAddress, readerId), linkUrl);
}

std::string testListUnsubscribe(const std::string& senderAddress, const std::string& testLinkUrl) {
  return listValue(testMailto(senderAddress), testLinkUrl);
}

std::string listUnsubscribePost(const std::string& linkUrl) {
  return linkUrl.empty() ? std::string() : "List-Unsubscribe=One-Click";
}

}  // namespace UnsubscribeLink
