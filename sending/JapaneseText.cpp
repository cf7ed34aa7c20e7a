#include "sending/JapaneseText.h"

#include "net/MailEncoding.h"
#include "net/SjisJis.h"


namespace {

using Byte = unsigned char;

constexpr char kKanjiIn[] = "\x1b$B";
constexpr char kKanjiOut[] = "\x1b(J";
constexpr char kWordOpen[] = "=?ISO-2022-JP?B?";
constexpr char kWordClose[] = "?=";

// Second byte of the JIS X 0208 form of each half-width katakana, indexed by the
// half-width byte with its top bit cleared (0x21..0x5F). Entries outside that range
// are zero and only reachable through malformed EUC-JP input.
constexpr Byte kKanaSecond[128] = {
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    // 0x20  。    「    」    、    ・    ヲ    ァ    ィ    ゥ    ェ    ォ    ャ    ュ    ョ    ッ
    0,    0x23, 0x56, 0x57, 0x22, 0x26, 0x72, 0x21, 0x23, 0x25, 0x27, 0x29, 0x63, 0x65, 0x67, 0x43,
    // ー  ア    イ    ウ    エ    オ    カ    キ    ク    ケ    コ    サ    シ    ス    セ    ソ
    0x3C, 0x22, 0x24, 0x26, 0x28, 0x2A, 0x2B, 0x2D, 0x2F, 0x31, 0x33, 0x35, 0x37, 0x39, 0x3B, 0x3D,
    // タ  チ    ツ    テ    ト    ナ    ニ    ヌ    ネ    ノ    ハ    ヒ    フ    ヘ    ホ    マ
    0x3F, 0x41, 0x44, 0x46, 0x48, 0x4A, 0x4B, 0x4C, 0x4D, 0x4E, 0x4F, 0x52, 0x55, 0x58, 0x5B, 0x5E,
    // ミ  ム    メ    モ    ヤ    ユ    ヨ    ラ    リ    ル    レ    ロ    ワ    ン    ゛    ゜
    0x5F, 0x60, 0x61, 0x62, 0x64, 0x66, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6F, 0x73, 0x2B, 0x2C,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,
};

bool inRange(Byte c, Byte lo, Byte hi) { return c >= lo && c <= hi; }

// The code page 932 lead bytes.
bool isLeadByte(Byte c) { return sjis::isLeadByte(c); }

// Byte at a 0-based position; past the end reads as 0.
Byte at(const std::string& s, std::size_t i) { return i < s.size() ? Byte(s[i]) : 0; }

void appendSjisAsJis(std::string& out, Byte b1, Byte b2) { sjis::appendAsJis(out, b1, b2); }

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

// Full-width JIS form of the half-width kana k (top bit cleared); mark is the byte
// that follows (0xDE voiced, 0xDF semi-voiced, anything else none). Returns whether
// the mark was merged into the character.
bool appendKana(std::string& out, Byte k, Byte mark) {
  Byte second = kKanaSecond[k & 0x7F];
  if (inRange(k, 0x21, 0x25) || k == 0x30 || k == 0x5E || k == 0x5F) {
    out.push_back(0x21);
    out.push_back(char(second));
    return false;
  }
  if (second == 0) {  // malformed EUC-JP kana byte: the geta mark stands for it
    out.append("\x22\x2E", 2);
    return false;
  }
  bool merged = false;
  if (k == 0x33 && mark == 0xDE) {
    second = 0x74;  // ヴ
    merged = true;
  } else if (inRange(k, 0x36, 0x44) && mark == 0xDE) {
    second = Byte(second + 1);
    merged = true;
  } else if (inRange(k, 0x4A, 0x4E) && (mark == 0xDE || mark == 0xDF)) {
    second = Byte(second + (mark == 0xDE ? 1 : 2));
    merged = true;
  }
  out.push_back(0x25);
  out.push_back(char(second));
  return merged;
}

void sjisKanaInto(std::string& out, const std::string& s, std::size_t& i) {
  const Byte mark = at(s, i + 1);
  if (appendKana(out, Byte(s[i] & 0x7F), mark)) ++i;
  ++i;
}

void eucKanaInto(std::string& out, const std::string& s, std::size_t& i) {
  ++i;  // from the 0x8E to the kana byte
  const Byte mark = at(s, i + 1) == 0x8E ? at(s, i + 2) : 0;
  if (appendKana(out, Byte(at(s, i) & 0x7F), mark)) i += 2;
  ++i;
}

// Shared frame of the two converters to JIS: kanji-in before the first 8-bit byte of
// a run, kanji-out before CR, LF and every ASCII byte, and at the end of the text.
// convert8bit writes one character starting at s[i] and advances i; singleByte tells
// the 8-bit bytes that form a character alone.
template <typename Convert8bit>
std::string toJis(const std::string& s, bool (*singleByte)(Byte), Convert8bit convert8bit) {
  std::string out;
  out.reserve(s.size() + s.size() / 2 + 16);
  const std::size_t n = s.size();
  bool shifted = false;
  std::size_t i = 0;
  while (i < n) {
    const Byte c = Byte(s[i]);
    if (c < 0x80) {
      if (shifted) {
        out.append(kKanjiOut, 3);
        shifted = false;
      }
      // Copy the whole ASCII run at once: the common case in mixed text.
      std::size_t j = i + 1;
      while (j < n && Byte(s[j]) < 0x80) ++j;
      out.append(s, i, j - i);
      i = j;
      continue;
    }
    if (i + 1 == n && !singleByte(c)) {
      break;  // a lead byte without its trail byte: nothing can be written for it
    }
    if (!shifted) {
      out.append(kKanjiIn, 3);
      shifted = true;
    }
    convert8bit(out, i);
  }
  if (shifted) out.append(kKanjiOut, 3);
  return out;
}

// Escape handling shared by the two readers of JIS text. Returns true when s[i] was
// an escape; i then points past it and its two bytes, and kanji reflects the shift.
bool skipEscape(const std::string& s, std::size_t& i, bool& kanji) {
  if (Byte(s[i]) != 0x1B) return false;
  const Byte kind = at(s, i + 1);
  if (kind == '$')
    kanji = true;
  else if (kind == '(')
    kanji = false;
  i += 3;
  return true;
}

void appendEncodedWord(std::string& out, const std::string& sjis) {
  out.append(kWordOpen);
  out.append(base64EncodeText(sjisTextToJis(sjis)));
  out.append(kWordClose);
}

}  // namespace

JapaneseCode detectJapaneseCode(const std::string& s) {
  const std::size_t n = s.size();
  // The last byte is never looked at as a first byte.
  for (std::size_t i = 0; i < 512 && i + 1 < n; ++i) {
    const Byte c = Byte(s[i]);
    if (c < 0x08 || c == 0xFF) return JapaneseCode::binary;
  }
  JapaneseCode code = JapaneseCode::ascii;
  std::size_t i = 0;
  while ((code == JapaneseCode::ascii || code == JapaneseCode::eucOrSjis) && i + 1 < n) {
    const Byte c = Byte(s[i]);
    if (c == 0x1B) {
      ++i;
      if (at(s, i) == '$') {
        ++i;
        if (at(s, i) == 'B')
          code = JapaneseCode::jis;
        else if (at(s, i) == '@')
          code = JapaneseCode::jisOld;
      }
    } else if (c < 0x08 || c == 0xFF) {
      code = JapaneseCode::binary;
    } else if (c <= 0x7F) {
    } else if (inRange(c, 0x81, 0x8D) || inRange(c, 0x8F, 0x9F)) {
      code = JapaneseCode::sjis;
    } else if (c == 0x8E) {
      const Byte d = at(s, ++i);
      if (inRange(d, 0x40, 0x7E) || inRange(d, 0x80, 0xA0) || inRange(d, 0xE0, 0xFC))
        code = JapaneseCode::sjis;
      else if (inRange(d, 0xA1, 0xDF))
        code = JapaneseCode::eucOrSjis;
    } else if (inRange(c, 0xA1, 0xDF)) {
      const Byte d = at(s, ++i);
      if (inRange(d, 0xF0, 0xFE)) {
        code = JapaneseCode::euc;
      } else if (inRange(d, 0xA1, 0xDF)) {
        code = JapaneseCode::eucOrSjis;
      } else if (inRange(d, 0xE0, 0xEF)) {
        code = JapaneseCode::eucOrSjis;
        // Look ahead from d until a byte below 0x40 or a decisive byte.
        while (i < n && Byte(s[i]) >= 0x40 && code == JapaneseCode::eucOrSjis) {
          const Byte e = Byte(s[i]);
          if (inRange(e, 0x81, 0x8D) || inRange(e, 0x8F, 0x9C))
            code = JapaneseCode::sjis;
          else if (e == 0xFD || e == 0xFE)
            code = JapaneseCode::euc;
          ++i;
        }
      } else if (d <= 0x9F) {
        code = JapaneseCode::sjis;
      }
    } else if (inRange(c, 0xF0, 0xFE)) {
      code = JapaneseCode::euc;
    } else if (inRange(c, 0xE0, 0xEF)) {
      const Byte d = at(s, ++i);
      if (inRange(d, 0x40, 0x7E) || inRange(d, 0x80, 0xA0))
        code = JapaneseCode::sjis;
      else if (d == 0xFD || d == 0xFE)
        code = JapaneseCode::euc;
      else if (inRange(d, 0xA1, 0xFC))
        code = JapaneseCode::eucOrSjis;
    }
    ++i;
  }
  return code;
}

std::string convertJapaneseText(const std::string& s, int target) {
  const JapaneseCode detected = detectJapaneseCode(s);
  if (detected == JapaneseCode::ascii || detected == JapaneseCode::binary || static_cast<int>(detected) == target ||
      detected == JapaneseCode::eucOrSjis)
    return s;
  const bool jis = detected == JapaneseCode::jis || detected == JapaneseCode::jisOld;
  switch (static_cast<JapaneseCode>(target)) {
    case JapaneseCode::jis:
      if (detected == JapaneseCode::euc) return eucTextToJis(s);
      if (detected == JapaneseCode::sjis) return sjisTextToJis(s);
      return s;
    case JapaneseCode::euc:
      if (jis) return jisTextToEuc(s);
      if (detected == JapaneseCode::sjis) return sjisTextToEuc(s);
      return s;
    case JapaneseCode::sjis:
      if (jis) return jisTextToSjis(s);
      if (detected == JapaneseCode::euc) return eucTextToSjis(s);
      return s;
    default:
      return s;
  }
}

std::string sjisCharToJis(unsigned char b1, unsigned char b2) {
  std::string out;
  appendSjisAsJis(out, b1, b2);
  return out;
}

std::string jisCharToSjis(unsigned char b1, unsigned char b2) {
  std::string out;
  appendJisAsSjis(out, b1, b2);
  return out;
}

std::string sjisHalfKanaToJis(const std::string& s, std::size_t& i) {
  std::string out;
  if (i < s.size()) sjisKanaInto(out, s, i);
  return out;
}

std::string eucHalfKanaToJis(const std::string& s, std::size_t& i) {
  std::string out;
  if (i < s.size()) eucKanaInto(out, s, i);
  return out;
}

std::string sjisTextToJis(const std::string& s) {
  auto halfKana = [](Byte c) { return inRange(c, 0xA1, 0xDF); };
  return toJis(s, halfKana, [&s](std::string& out, std::size_t& i) {
    const Byte c = Byte(s[i]);
    if (c >= 0xA1 && c <= 0xDF) {
      sjisKanaInto(out, s, i);
    } else {
      appendSjisAsJis(out, c, Byte(s[i + 1]));
      i += 2;
    }
  });
}

std::string eucTextToJis(const std::string& s) {
  auto none = [](Byte) { return false; };
  return toJis(s, none, [&s](std::string& out, std::size_t& i) {
    if (Byte(s[i]) == 0x8E) {
      eucKanaInto(out, s, i);
    } else {
      out.push_back(char(s[i] & 0x7F));
      out.push_back(char(s[i + 1] & 0x7F));
      i += 2;
    }
  });
}

std::string jisTextToEuc(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  bool kanji = false;
  for (std::size_t i = 0; i < s.size();) {
    if (skipEscape(s, i, kanji)) continue;
    const Byte c = Byte(s[i++]);
    out.push_back(char(kanji && inRange(c, 0x21, 0x7E) ? c | 0x80 : c));
  }
  return out;
}

std::string jisTextToSjis(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  bool kanji = false;
  for (std::size_t i = 0; i < s.size();) {
    if (skipEscape(s, i, kanji)) continue;
    if (!kanji) {
      out.push_back(s[i++]);
    } else if (i + 1 < s.size()) {
      appendJisAsSjis(out, Byte(s[i]), Byte(s[i + 1]));
      i += 2;
    } else {
      break;  // half a character at the end of the text
    }
  }
  return out;
}

std::string eucTextToSjis(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    const Byte c = Byte(s[i]);
    if (c < 0x81 || c > 0xFE) {
      out.push_back(char(c));
      ++i;
    } else if (i + 1 >= s.size()) {
      break;  // half a character at the end of the text
    } else if (c == 0x8E) {
      out.push_back(s[i + 1]);
      i += 2;
    } else {
      appendJisAsSjis(out, Byte(c & 0x7F), Byte(s[i + 1] & 0x7F));
      i += 2;
    }
  }
  return out;
}

std::string sjisTextToEuc(const std::string& s) {
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  for (std::size_t i = 0; i < s.size();) {
    const Byte c = Byte(s[i]);
    if (c < 0x80) {
      out.push_back(char(c));
      ++i;
    } else if (inRange(c, 0xA1, 0xDF)) {
      out.push_back(char(0x8E));
      out.push_back(char(c));
      ++i;
    } else if (i + 1 >= s.size()) {
      break;  // half a character at the end of the text
    } else {
      const std::size_t at = out.size();
      appendSjisAsJis(out, c, Byte(s[i + 1]));
      out[at] = char(out[at] | 0x80);
      out[at + 1] = char(out[at + 1] | 0x80);
      i += 2;
    }
  }
  return out;
}

std::string base64EncodeText(const std::string& s) { return mailEncoding::base64(s); }

std::string encodeHeaderWords(const std::string& s) {
  std::string out;
  std::string single;
  std::string wide;
  bool lastWide = false;
  for (std::size_t i = 0; i < s.size();) {
    const Byte c = Byte(s[i]);
    if (isLeadByte(c)) {
      if (!lastWide && !single.empty()) {
        out += single;
        single.clear();
      }
      wide.append(s, i, 2);  // a lead byte at the very end goes alone
      lastWide = true;
      i += 2;
    } else {
      if (lastWide && !wide.empty()) {
        appendEncodedWord(out, wide);
        wide.clear();
      }
      single.push_back(char(c));
      lastWide = false;
      ++i;
    }
  }
  if (lastWide)
    appendEncodedWord(out, wide);
  else
    out += single;
  return out;
}

std::string encodeHeaderText(const std::string& s) { return encodeHeaderWords(s); }

std::string cutAtInvalidChar(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const Byte c = Byte(s[i]);
    if (isLeadByte(c))
      i += 2;
    else if (c == 0x09 || c == 0x0A || c == 0x0D || inRange(c, 0x20, 0x7E))
      ++i;
    else
      return s.substr(0, i);
  }
  return s;
}
