#include "net/HeaderList.h"

#include <strings.h>

#include "text/Cp932.h"

namespace {

bool sameName(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

std::string withoutTrailingSpaces(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

}  // namespace

void HeaderList::setValue(const std::string& name, const std::string& value) {
  for (auto it = m_headers.begin(); it != m_headers.end(); ++it) {
    if (sameName(it->first, name)) {
      if (value.empty())
        m_headers.erase(it);
      else
        it->second = value;
      return;
    }
  }
  if (!value.empty()) m_headers.emplace_back(name, value);
}

std::string HeaderList::value(const std::string& name) const {
  for (const auto& header : m_headers)
    if (sameName(header.first, name)) return header.second;
  return std::string();
}

void HeaderList::append(const std::string& name, const std::string& value) {
  m_headers.emplace_back(name, value);
}

void HeaderList::addAll(const HeaderList& other) {
  m_headers.insert(m_headers.end(), other.m_headers.begin(), other.m_headers.end());
}

std::vector<std::string> HeaderList::lines() const {
  std::vector<std::string> lines;
  for (const auto& header : m_headers)
    for (std::string& piece : foldHeaderLine(header.first + ": " + header.second)) lines.push_back(std::move(piece));
  return lines;
}

std::vector<std::string> foldHeaderLine(const std::string& line) {
  constexpr std::size_t kWidth = 78;
  std::vector<std::string> pieces;
  std::size_t start = 0;
  std::size_t breakAfter = std::string::npos;
  std::size_t count = 0;
  bool inQuotes = false;
  // Never right after "Name:": readers would take the fold as a blank leading the value.
  const std::size_t colon = line.find(": ");
  const std::size_t firstBreak = colon == std::string::npos ? 0 : colon + 2;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == '"') inQuotes = !inQuotes;
    if (!inQuotes && (c == '\t' || c == ' ' || c == ',') && i >= firstBreak) breakAfter = i + 1;
    if (Cp932::isLeadByte(static_cast<unsigned char>(c))) ++i;
    if (++count > kWidth && breakAfter != std::string::npos && breakAfter < line.size()) {
      pieces.push_back(withoutTrailingSpaces(line.substr(start, breakAfter - start)));
      start = breakAfter;
      i = breakAfter - 1;
      count = 1;  // the blank that will open the continuation line
      inQuotes = false;  // breaks are only taken outside quotes
      breakAfter = std::string::npos;
    }
  }
  const std::string rest = withoutTrailingSpaces(line.substr(start));
  pieces.push_back(pieces.empty() ? rest : " " + rest);
  for (std::size_t k = 1; k + 1 < pieces.size(); ++k) pieces[k] = " " + pieces[k];
  return pieces;
}
