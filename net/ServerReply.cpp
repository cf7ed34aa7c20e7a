#include "net/ServerReply.h"

#include <cstdlib>

namespace {

std::string trimSpaces(const std::string& s) {
  const auto first = s.find_first_not_of(' ');
  if (first == std::string::npos) return std::string();
  return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

std::string nextNonEmpty(const std::function<std::string()>& nextLine) {
  for (;;) {
    std::string line = trimSpaces(nextLine());
    if (!line.empty()) return line;
  }
}

std::string textPart(const std::string& line) { return line.size() > 4 ? line.substr(4) : std::string(); }

int toNumber(const std::string& code) {
  if (code.empty() || code.size() > 9) return 0;
  for (char c : code)
    if (c < '0' || c > '9') return 0;
  return std::atoi(code.c_str());
}

}  // namespace

void ServerReply::readFrom(const std::function<std::string()>& nextLine) {
  clear();
  const std::string first = nextNonEmpty(nextLine);
  firstLine = first;
  lines.push_back(textPart(first));
  const bool continues = first.size() >= 4 && first[3] == '-';
  if (continues) {
    const std::string last = first.substr(0, 3) + ' ';
    for (;;) {
      const std::string line = nextNonEmpty(nextLine);
      lines.push_back(textPart(line));
      if (line.size() < 4 || line.compare(0, 4, last) == 0) break;
    }
  }
  codeText = trimSpaces(first.substr(0, continues ? 3 : 4));
  code = toNumber(codeText);
}

std::string ServerReply::textWithLineEnds() const {
  std::string out;
  for (const std::string& line : lines) out += line + "\r\n";
  return out;
}

void ServerReply::clear() {
  code = 0;
  codeText.clear();
  lines.clear();
  firstLine.clear();
}
