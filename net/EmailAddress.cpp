#include "net/EmailAddress.h"

#include "net/NetErrors.h"
#include "text/JapaneseText.h"

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

void EmailAddress::setText(const std::string& text) {
  const std::size_t open = text.find('<');
  if (open == std::string::npos) {
    name.clear();
    address = trim(text);
    return;
  }
  const std::size_t close = text.find('>', open);
  std::string shown = trim(text.substr(0, open));
  const bool quoted = shown.size() >= 2 && shown.front() == '"' && shown.back() == '"';
  if (quoted) {
    std::string unquoted;
    for (std::size_t i = 1; i + 1 < shown.size(); ++i) {
      if (shown[i] == '\\' && i + 2 < shown.size()) ++i;
      unquoted.push_back(shown[i]);
    }
    shown = unquoted;
  } else if (shown.find('@') != std::string::npos) {
    throw AddressParseError("@ Outside address");
  }
  name = shown;
  address = trim(text.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1));
}

std::string EmailAddress::headerText() const {
  if (name.empty()) return address;
  if (isEncodedWords(name)) return name + " <" + address + ">";
  if (isPrintableAscii(name)) {
    std::string quoted = "\"";
    for (char c : name) {
      if (c == '\\' || c == '"') quoted.push_back('\\');
      quoted.push_back(c);
    }
    return quoted + "\" <" + address + ">";
  }
  // Plain words of a name with specials would read as a comment or an address part:
  // such a name goes whole into one encoded word.
  if (name.find_first_of("()<>@,;:\\\".[]") != std::string::npos)
    return JapaneseText::encodeWord(name) + " <" + address + ">";
  return JapaneseText::encodeHeader(name) + " <" + address + ">";
}
