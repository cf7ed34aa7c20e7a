#include "core/IniFile.h"

#include <fstream>
#include <iterator>

#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace {

constexpr size_t npos = std::string::npos;

// Names compare with ASCII letters folded; the second byte of a double-byte character
// is compared as it is, since it may fall in the letter range.
bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const unsigned char x = static_cast<unsigned char>(a[i]);
    const unsigned char y = static_cast<unsigned char>(b[i]);
    if (isLeadByte(x)) {
      if (x != y || i + 1 >= a.size() || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    auto fold = [](unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; };
    if (fold(x) != fold(y)) return false;
  }
  return true;
}

// The section name of a header line "[name]"; false when the line is no header.
bool headerName(const std::string& line, std::string& name) {
  const std::string t = trimLeft(line);
  if (t.empty() || t[0] != '[') return false;
  const size_t close = t.find(']');
  name = trim(t.substr(1, close == npos ? npos : close - 1));
  return true;
}

// The key of a "key=value" line; comment lines (";") and lines without "=" have none.
bool keyName(const std::string& line, std::string& key) {
  const size_t eq = line.find('=');
  if (eq == npos) return false;
  key = trim(line.substr(0, eq));
  return !key.empty() && key[0] != ';';
}

}  // namespace

IniFile::IniFile(std::filesystem::path path) : m_path(std::move(path)) {
  // Like the profile functions: what cannot be read gives the defaults.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(m_path, ec)) return;
  std::string bytes;
  try {
    std::ifstream in(m_path, std::ios::binary);
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  } catch (const std::exception&) {
    return;
  }
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t nl = bytes.find('\n', pos);
    Line line;
    if (nl == npos) {
      line.text = bytes.substr(pos);
      pos = bytes.size();
    } else {
      const bool cr = nl > pos && bytes[nl - 1] == '\r';
      line.text = bytes.substr(pos, nl - pos - (cr ? 1 : 0));
      line.eol = cr ? "\r\n" : "\n";
      pos = nl + 1;
    }
    m_lines.push_back(std::move(line));
  }
  if (!m_lines.empty() && !m_lines.front().eol.empty()) m_eol = m_lines.front().eol;
}

size_t IniFile::findSection(const std::string& section) const {
  std::string name;
  for (size_t i = 0; i < m_lines.size(); ++i)
    if (headerName(m_lines[i].text, name) && sameName(name, section)) return i;
  return npos;
}

size_t IniFile::findKey(size_t header, const std::string& key) const {
  std::string name;
  for (size_t i = header + 1; i < m_lines.size(); ++i) {
    if (headerName(m_lines[i].text, name)) break;
    if (keyName(m_lines[i].text, name) && sameName(name, key)) return i;
  }
  return npos;
}

std::string IniFile::readString(const std::string& section, const std::string& key, const std::string& def) const {
  const size_t header = findSection(section);
  if (header == npos) return def;
  const size_t at = findKey(header, key);
  if (at == npos) return def;
  const std::string& text = m_lines[at].text;
  return trim(text.substr(text.find('=') + 1));
}

int IniFile::readInteger(const std::string& section, const std::string& key, int def) const {
  return toIntOr(readString(section, key, std::string()), def);
}

void IniFile::writeString(const std::string& section, const std::string& key, const std::string& value) {
  std::vector<Line> lines = m_lines;
  const std::string text = key + "=" + value;
  auto insertAt = [&](size_t at, std::string t) {
    // A last line without a line end gets one before anything follows it.
    if (at > 0 && at == lines.size() && lines[at - 1].eol.empty()) lines[at - 1].eol = m_eol;
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(t), m_eol});
  };

  const size_t header = findSection(section);
  if (header == npos) {
    if (!lines.empty() && !trim(lines.back().text).empty()) insertAt(lines.size(), std::string());
    insertAt(lines.size(), "[" + section + "]");
    insertAt(lines.size(), text);
  } else if (const size_t at = findKey(header, key); at != npos) {
    lines[at].text = text;
  } else {
    // After the section's last non-blank line, so blank lines before the next section stay.
    size_t last = header;
    std::string name;
    for (size_t i = header + 1; i < lines.size() && !headerName(lines[i].text, name); ++i)
      if (!trim(lines[i].text).empty()) last = i;
    insertAt(last + 1, text);
  }
  save(lines);
  m_lines = std::move(lines);
}

void IniFile::writeInteger(const std::string& section, const std::string& key, int value) {
  writeString(section, key, toText(value));
}

void IniFile::save(const std::vector<Line>& lines) const {
  std::string bytes;
  for (const Line& l : lines) bytes += l.text + l.eol;
  // Written in place, like the profile functions: a read-only file stays unwritable.
  std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
  if (out) out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (out) out.close();
  if (!out) throw IniFileError("Unable to write to " + Sjis::fromPath(m_path));
}
