#include "net/MailEncoding.h"

#include <cstdint>

#include "net/SjisJis.h"

namespace mailEncoding {

namespace {

using Byte = unsigned char;

bool needsEncoding(const std::string& word) {
  for (Byte c : word)
    if (c < 0x20 || c >= 0x7F) return true;
  return false;
}

bool isWordBreak(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

}  // namespace

std::string base64(const std::string& bytes) {
  static constexpr char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  std::uint32_t bits = 0;
  int count = 0;
  for (Byte c : bytes) {
    bits = bits << 8 | c;
    if (++count == 3) {
      for (int shift = 18; shift >= 0; shift -= 6) out.push_back(kAlphabet[(bits >> shift) & 63]);
      bits = 0;
      count = 0;
    }
  }
  if (count > 0) {
    bits <<= 8 * (3 - count);
    for (int k = 0; k < 4; ++k) out.push_back(k <= count ? kAlphabet[(bits >> (18 - 6 * k)) & 63] : '=');
  }
  return out;
}

std::string sjisToJis(const std::string& line) {
  std::string out;
  out.reserve(line.size() + 8);
  bool kanji = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    Byte b1 = Byte(line[i]);
    // A lead byte without a valid trail byte is a single byte: converted as a pair it
    // could come out as a control byte (CR, LF) in the middle of a header.
    if (!sjis::isLeadByte(b1) || i + 1 >= line.size() || !sjis::isTrailByte(Byte(line[i + 1]))) {
      if (kanji) out.append("\x1b(B");
      kanji = false;
      out.push_back(char(b1));
      continue;
    }
    if (!kanji) out.append("\x1b$B");
    kanji = true;
    sjis::appendAsJis(out, b1, Byte(line[++i]));
  }
  if (kanji) out.append("\x1b(B");
  return out;
}

std::string encodeHeader(const std::string& text) {
  const std::string jis = sjisToJis(text);
  const auto wordEnd = [&jis](std::size_t from) {
    while (from < jis.size() && !isWordBreak(jis[from])) ++from;
    return from;
  };
  std::string out;
  std::size_t i = 0;
  while (i < jis.size()) {
    if (isWordBreak(jis[i])) {
      out.push_back(jis[i++]);
      continue;
    }
    std::size_t end = wordEnd(i);
    if (!needsEncoding(jis.substr(i, end - i))) {
      out.append(jis, i, end - i);
      i = end;
      continue;
    }
    // Blanks up to the next word that needs encoding go inside the same encoded word:
    // readers drop white space between two encoded words (RFC 2047).
    for (;;) {
      std::size_t next = end;
      while (next < jis.size() && (jis[next] == ' ' || jis[next] == '\t')) ++next;
      if (next == end || next == jis.size() || isWordBreak(jis[next])) break;
      const std::size_t nextEnd = wordEnd(next);
      if (!needsEncoding(jis.substr(next, nextEnd - next))) break;
      end = nextEnd;
    }
    out += "=?ISO-2022-JP?B?" + base64(jis.substr(i, end - i)) + "?=";
    i = end;
  }
  return out;
}

}  // namespace mailEncoding
