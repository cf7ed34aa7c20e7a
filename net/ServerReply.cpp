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

// One to three digits at text[pos]; moves pos past them.
bool readDigits(const std::string& text, std::size_t& pos) {
  const std::size_t start = pos;
  while (pos < text.size() && pos - start < 4 && text[pos] >= '0' && text[pos] <= '9') ++pos;
  return pos > start && pos - start <= 3;
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

std::string ServerReply::enhancedCode() const {
  const int replyClass = code / 100;  // RFC 3463 classes: 2, 4 and 5
  if ((replyClass != 2 && replyClass != 4 && replyClass != 5) || lines.empty()) return std::string();
  const std::string& text = lines[0];
  if (text.size() < 5 || text[0] != static_cast<char>('0' + replyClass) || text[1] != '.') return std::string();
  std::size_t pos = 2;
  if (!readDigits(text, pos) || pos >= text.size() || text[pos] != '.') return std::string();
  ++pos;
  if (!readDigits(text, pos)) return std::string();
  if (pos < text.size() && text[pos] != ' ' && text[pos] != '\t') return std::string();
  return text.substr(0, pos);
}
