#include "net/EmailAddress.h"

#include "net/NetErrors.h"
#include "net/MailEncoding.h"

namespace {

std::string trim(const std::string& s) {
  const auto first = s.find_first_not_of(" \t");
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

bool isPrintableAscii(const std::string& s) {
  for (unsigned char c : s)
    if (c < 0x20 || c > 0x7E) return false;
  return true;
}

// A name that composition has already turned into encoded words: quoting it would
// stop mail readers from decoding it (RFC 2047 forbids encoded words in quotes).
bool isEncodedWords(const std::string& name) {
  return name.size() >= 4 && name.compare(0, 2, "=?") == 0 && name.compare(name.size() - 2, 2, "?=") == 0 &&
         name.find_first_of("\"\\") == std::string::npos;
}

}  // namespace

void EmailAddress::SetText(const std::string& text) {
  const std::size_t open = text.find('<');
  if (open == std::string::npos) {
    Name.clear();
    Address = trim(text);
    return;
  }
  const std::size_t close = text.find('>', open);
  std::string name = trim(text.substr(0, open));
  const bool quoted = name.size() >= 2 && name.front() == '"' && name.back() == '"';
  if (quoted) {
    std::string unquoted;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
      if (name[i] == '\\' && i + 2 < name.size()) ++i;
      unquoted.push_back(name[i]);
    }
    name = unquoted;
  } else if (name.find('@') != std::string::npos) {
    throw AddressParseError("@ Outside address");
  }
  Name = name;
  Address = trim(text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
}

std::string EmailAddress::headerText() const {
  if (Name.empty()) return Address;
  if (isEncodedWords(Name)) return Name + " <" + Address + ">";
  if (isPrintableAscii(Name)) {
    std::string quoted = "\"";
    for (char c : Name) {
      if (c == '\\' || c == '"') quoted.push_back('\\');
      quoted.push_back(c);
    }
    return quoted + "\" <" + Address + ">";
  }
  return mailEncoding::encodeHeader(Name) + " <" + Address + ">";
}
