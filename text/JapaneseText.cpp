#include "text/JapaneseText.h"

#include <cstdint>

#include "text/Cp932.h"

namespace JapaneseText {

namespace {

using Byte = unsigned char;

constexpr char kKanjiIn[] = "\x1b$B";
constexpr char kAsciiIn[] = "\x1b(B";  // RFC 1468: ESC ( J would turn "\" and "~" into "¥" and "‾"
constexpr char kWordOpen[] = "=?ISO-2022-JP?B?";
constexpr char kWordClose[] = "?=";

// Second byte of the JIS X 0208 form of each half-width katakana 0xA1-0xDF; the first
// byte is 0x21 for the punctuation, the prolonged sound mark and the two voicing marks,
// 0x25 (the katakana row) for the rest.
constexpr Byte kKanaSecond[63] = {
    // ｡   ｢     ｣     ､     ･     ｦ     ｧ     ｨ     ｩ     ｪ     ｫ     ｬ     ｭ     ｮ     ｯ
    0x23, 0x56, 0x57, 0x22, 0x26, 0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43,
    // ｰ   ｱ     ｲ     ｳ     ｴ     ｵ     ｶ     ｷ     ｸ     ｹ     ｺ     ｻ     ｼ     ｽ     ｾ     ｿ
    0x3C, 0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B, 0x3D,
    // ﾀ   ﾁ     ﾂ     ﾃ     ﾄ     ﾅ     ﾆ     ﾇ     ﾈ     ﾉ     ﾊ     ﾋ     ﾌ     ﾍ     ﾎ     ﾏ
    0x3F, 0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, 0x58, 0x5B, 0x5E,
    // ﾐ   ﾑ     ﾒ     ﾓ     ﾔ     ﾕ     ﾖ     ﾗ     ﾘ     ﾙ     ﾚ     ﾛ     ﾜ     ﾝ     ﾞ     ﾟ
    0x5F, 0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x73, 0x2B, 0x2C,
};

constexpr Byte kVoiced = 0xDE;
constexpr Byte kSemiVoiced = 0xDF;

bool inRange(Byte c, Byte lo, Byte hi) { return c >= lo && c <= hi; }

void appendSjisAsJis(std::string& out, Byte b1, Byte b2) {
  b1 = Byte((b1 - (b1 < 0xA0 ? 0x70 : 0xB0)) * 2);
  if (b2 < 0x9F) {
    b1 = Byte(b1 - 1);
    b2 = Byte(b2 - (b2 <= 0x7F ? 0x1F : 0x20));
  } else {
    b2 = Byte(b2 - 0x7E);
  }
  out.push_back(char(b1));
  out.push_back(char(b2));
}

void appendJisAsSjis(std::string& out, Byte b1, Byte b2) {
  const Byte offset = b1 < 0x5F ? 0x70 : 0xB0;
  if (b1 & 1)
    b2 = Byte(b2 + (b2 <= 0x5F ? 0x1F : 0x20));
  else
    b2 = Byte(b2 + 0x7E);
  b1 = Byte(((b1 + 1) >> 1) + offset);
  out.push_back(char(b1));
  out.push_back(char(b2));
}

// Full-width JIS form of the half-width kana c; mark is the byte after it. Returns
// whether the mark was merged into the character.
bool appendKana(std::string& out, Byte c, Byte mark) {
  Byte second = kKanaSecond[c - 0xA1];
  if (inRange(c, 0xA1, 0xA5) || c == 0xB0 || c == kVoiced || c == kSemiVoiced) {
    out.push_back(0x21);
    out.push_back(char(second));
    return false;
  }
  bool merged = false;
  if (c == 0xB3 && mark == kVoiced) {  // ｳﾞ -> ヴ
    second = 0x74;
    merged = true;
  } else if (inRange(c, 0xB6, 0xC4) && mark == kVoiced) {  // ｶ to ﾄ
    second = Byte(second + 1);
    merged = true;
  } else if (inRange(c, 0xCA, 0xCE) && (mark == kVoiced || mark == kSemiVoiced)) {  // ﾊ to ﾎ
    second = Byte(second + (mark == kVoiced ? 1 : 2));
    merged = true;
  }
  out.push_back(0x25);
  out.push_back(char(second));
  return merged;
}

bool needsEncoding(const std::string& jis, std::size_t from, std::size_t to) {
  for (std::size_t i = from; i < to; ++i)
    if (Byte(jis[i]) < 0x20 || Byte(jis[i]) >= 0x7F) return true;
  return false;
}

bool isWordBreak(char c) { return c == '\t' || c == '\n' || c == '\r' || c == ' '; }

// RFC 2047: an encoded word is at most 75 characters. The first one of a value may
// share its line with no fold before it: 69 leaves room for "Subject: " within 78.
constexpr std::size_t kWordMax = 75;
constexpr std::size_t kFirstWordMax = 69;

std::size_t encodedWordSize(std::size_t jisBytes) {
  return sizeof kWordOpen - 1 + (jisBytes + 2) / 3 * 4 + sizeof kWordClose - 1;
}

// Bytes of the character at i: a double-byte pair, a half-width kana with the voicing
// mark after it (the pair may become one full-width character), or one byte.
std::size_t characterSize(const std::string& s, std::size_t i) {
  const Byte c = Byte(s[i]);
  const Byte next = i + 1 < s.size() ? Byte(s[i + 1]) : 0;
  if (Cp932::isLeadByte(c) && Cp932::isTrailByte(next) && i + 1 < s.size()) return 2;
  if (Cp932::isHalfWidthKana(c) && c != kVoiced && c != kSemiVoiced && (next == kVoiced || next == kSemiVoiced))
    return 2;
  return 1;
}

// The text as encoded words split between characters, each a whole ISO-2022-JP text
// (opening in ASCII, closing with ESC ( B) of at most kWordMax characters, the first
// at most firstMax; one space between them, where a header may fold.
void appendEncodedWords(std::string& out, const std::string& sjis, std::size_t firstMax) {
  std::size_t limit = firstMax;
  std::size_t i = 0;
  while (i < sjis.size()) {
    std::size_t end = i + characterSize(sjis, i);  // one character at least, however long
    while (end < sjis.size()) {
      const std::size_t next = end + characterSize(sjis, end);
      if (encodedWordSize(sjisToJis(sjis.substr(i, next - i)).size()) > limit) break;
      end = next;
    }
    if (i > 0) out.push_back(' ');
    out += kWordOpen + base64(sjisToJis(sjis.substr(i, end - i))) + kWordClose;
    i = end;
    limit = kWordMax;
  }
}

}  // namespace

std::string sjisToJis(const std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 2 + 16);
  const std::size_t n = s.size();
  bool shifted = false;
  std::size_t i = 0;
  while (i < n) {
    const Byte c = Byte(s[i]);
    const bool pair = Cp932::isLeadByte(c) && i + 1 < n && Cp932::isTrailByte(Byte(s[i + 1]));
    if (!pair && !Cp932::isHalfWidthKana(c)) {
      if (shifted) {
        out.append(kAsciiIn, 3);
        shifted = false;
      }
      // Copy the whole run of single bytes at once: the common case in mixed text.
      std::size_t j = i + 1;
      while (j < n && Byte(s[j]) < 0x80) ++j;
      out.append(s, i, j - i);
      i = j;
      continue;
    }
    if (!shifted) {
      out.append(kKanjiIn, 3);
      shifted = true;
    }
    if (pair) {
      appendSjisAsJis(out, c, Byte(s[i + 1]));
      i += 2;
    } else {
      const Byte mark = i + 1 < n ? Byte(s[i + 1]) : 0;
      i += appendKana(out, c, mark) ? 2 : 1;
    }
  }
  if (shifted) out.append(kAsciiIn, 3);
  return out;
}

std::string jisToSjis(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  bool kanji = false;
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] == '\x1b') {
      const char kind = i + 1 < s.size() ? s[i + 1] : '\0';
      if (kind == '$')
        kanji = true;
      else if (kind == '(')
        kanji = false;
      i += 3;
    } else if (!kanji) {
      out.push_back(s[i++]);
    } else if (i + 1 < s.size()) {
      appendJisAsSjis(out, Byte(s[i]), Byte(s[i + 1]));
      i += 2;
    } else {
      break;
    }
  }
  return out;
}

std::string encodeWord(const std::string& sjis) {
  std::string out;
  appendEncodedWords(out, sjis, kFirstWordMax);
  return out;
}

std::string encodeHeader(const std::string& text) {
  const auto wordEnd = [&text](std::size_t from) {
    while (from < text.size() && !isWordBreak(text[from])) ++from;
    return from;
  };
  const auto blanksEnd = [&text](std::size_t from) {
    while (from < text.size() && isWordBreak(text[from])) ++from;
    return from;
  };
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t wordStart = blanksEnd(i);
    std::size_t end = wordEnd(wordStart);
    if (!needsEncoding(text, wordStart, end)) {
      out.append(text, i, end - i);
      i = end;
      continue;
    }
    // One literal blank separates the encoded words from a plain word before them;
    // more blanks, or blanks that open the value, go inside the words, where they
    // survive both folding and the value's trimming.
    std::size_t runStart = i;
    if (!out.empty() && wordStart > i) out.push_back(text[runStart++]);
    // Blanks up to the next word that needs encoding go inside the same encoded words:
    // readers drop white space between two encoded words (RFC 2047).
    for (;;) {
      const std::size_t next = blanksEnd(end);
      if (next == end) break;
      if (next == text.size()) {
        end = next;
        break;
      }
      const std::size_t nextEnd = wordEnd(next);
      if (!needsEncoding(text, next, nextEnd)) {
        end = next - 1;
        break;
      }
      end = nextEnd;
    }
    appendEncodedWords(out, text.substr(runStart, end - runStart), out.empty() ? kFirstWordMax : kWordMax);
    i = end;
  }
  return out;
}

std::string cutAtInvalidChar(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const Byte c = Byte(s[i]);
    if (Cp932::isLeadByte(c))
      i += 2;
    else if (c == 0x09 || c == 0x0A || c == 0x0D || inRange(c, 0x20, 0x7E) || Cp932::isHalfWidthKana(c))
      ++i;
    else
      return s.substr(0, i);
  }
  return s;
}

std::string base64(const std::string& bytes) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
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

std::string fromBase64(const std::string& text) {
  std::string out;
  out.reserve(text.size() / 4 * 3);
  std::uint32_t bits = 0;
  int count = 0;
  for (const char ch : text) {
    int value;
    if (ch >= 'A' && ch <= 'Z')
      value = ch - 'A';
    else if (ch >= 'a' && ch <= 'z')
      value = ch - 'a' + 26;
    else if (ch >= '0' && ch <= '9')
      value = ch - '0' + 52;
    else if (ch == '+')
      value = 62;
    else if (ch == '/')
      value = 63;
    else if (ch == '=')
      break;
    else
      continue;
    bits = bits << 6 | static_cast<std::uint32_t>(value);
    if (++count == 4) {
      out.push_back(static_cast<char>(bits >> 16 & 0xFF));
      out.push_back(static_cast<char>(bits >> 8 & 0xFF));
      out.push_back(static_cast<char>(bits & 0xFF));
      bits = 0;
      count = 0;
    }
  }
  if (count == 3) {
    out.push_back(static_cast<char>(bits >> 10 & 0xFF));
    out.push_back(static_cast<char>(bits >> 2 & 0xFF));
  } else if (count == 2) {
    out.push_back(static_cast<char>(bits >> 4 & 0xFF));
  }
  return out;
}

std::string fromQuotedPrintable(const std::string& text) {
  const auto hex = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '=') {
      out.push_back(text[i]);
      continue;
    }
    if (i + 2 < text.size() && text[i + 1] == '\r' && text[i + 2] == '\n') {
      i += 2;
    } else if (i + 1 < text.size() && text[i + 1] == '\n') {
      i += 1;
    } else if (i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
      out.push_back(static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2])));
      i += 2;
    } else {
      out.push_back('=');
    }
  }
  return out;
}

}  // namespace JapaneseText
