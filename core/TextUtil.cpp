#include "core/TextUtil.h"

#include <climits>

#include "core/Clock.h"

namespace {
bool isTrimByte(char c) { return static_cast<unsigned char>(c) <= 0x20; }

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
}  // namespace

std::string trim(const std::string& s) { return trimLeft(trimRight(s)); }

std::string trimRight(const std::string& s) {
  size_t end = s.size();
  while (end > 0 && isTrimByte(s[end - 1])) --end;
  return s.substr(0, end);
}

std::string trimLeft(const std::string& s) {
  size_t begin = 0;
  while (begin < s.size() && isTrimByte(s[begin])) ++begin;
  return s.substr(begin);
}

int toIntOr(const std::string& s, int def) {
  // Leading blanks are skipped, so numbers shown with their zeros blanked read back.
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return def;
  long long value = 0;
  for (; i < s.size(); ++i) {
    int d = base == 16 ? hexValue(s[i]) : (s[i] >= '0' && s[i] <= '9' ? s[i] - '0' : -1);
    if (d < 0) return def;
    value = value * base + d;
    if (value > static_cast<long long>(INT_MAX) + 1) return def;
  }
  if (negative) value = -value;
  if (value > INT_MAX || value < INT_MIN) {
    // Hexadecimal texts may spell the bit pattern of a negative number.
    if (base == 16 && !negative && value <= 0xFFFFFFFFLL) return static_cast<int>(static_cast<unsigned>(value));
    return def;
  }
  return static_cast<int>(value);
}

std::string toText(long long v) { return std::to_string(v); }

std::string zeroFill(const std::string& text, int width) {
  std::string t = trim(text);
  if (width < 0) width = 0;
  const size_t w = static_cast<size_t>(width);
  if (t.size() <= w) return std::string(w - t.size(), '0') + t;
  return t.substr(t.size() - w);
}

std::string spaceFill(const std::string& text, int width) {
  std::string t = trimRight(text);
  if (width < 0) width = 0;
  const size_t w = static_cast<size_t>(width);
  if (t.size() <= w) return std::string(w - t.size(), ' ') + t;
  return t.substr(t.size() - w);
}

std::string zeroSuppress(const std::string& text, bool blankAll) {
  std::string result = text;
  const size_t limit = blankAll ? result.size() : (result.empty() ? 0 : result.size() - 1);
  size_t i = 0;
  for (; i < limit; ++i) {
    if (result[i] != '0') break;
    result[i] = ' ';
  }
  if (i < result.size() && result[i] == '.' && i > 0 && result[i - 1] == ' ') result[i - 1] = '0';
  return result;
}

bool isValidDate(int year, int month, int day) {
  if (month < 1 || month > 12 || day < 1 || day > 31) return false;
  if ((month == 4 || month == 6 || month == 9 || month == 11) && day > 30) return false;
  if (month == 2) {
    const bool leap = year % 400 == 0 || (year % 4 == 0 && year % 100 != 0);
    if (day > (leap ? 29 : 28)) return false;
  }
  return true;
}

std::string completeDate(const std::string& text) {
  if (text.empty()) return std::string();
  const std::string today = Clock::nowStamp().substr(0, 8);
  const size_t len = text.size();
  std::string candidate;
  if (len >= 8)
    candidate = text.substr(0, 8);
  else if (len == 1)
    candidate = today.substr(0, 6) + "0" + text;
  else if (len == 3)
    candidate = today.substr(0, 4) + "0" + text;
  else
    candidate = today.substr(0, 8 - len) + text;
  // A sign or blank inside the digits would otherwise read as a number ("202405+1").
  for (char c : candidate)
    if (c < '0' || c > '9') return std::string();
  const int year = toIntOr(candidate.substr(0, 4), 0);
  const int month = toIntOr(candidate.substr(4, 2), 0);
  const int day = toIntOr(candidate.substr(6, 2), 0);
  return isValidDate(year, month, day) ? candidate : std::string();
}
