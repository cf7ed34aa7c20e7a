#include "core/SjisText.h"

#include <stdexcept>

#include "core/TextUtil.h"

namespace {
// Byte length of the character starting at i (a lead byte at the very end counts alone).
size_t charLength(const std::string& s, size_t i) {
  return isLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size() ? 2 : 1;
}
}  // namespace

std::string fitWidth(const std::string& text, int width) {
  std::string t = trimRight(text);
  const size_t w = width < 0 ? 0 : static_cast<size_t>(width);
  if (t.size() > w) {
    size_t keep = 0;
    while (keep < t.size()) {
      const size_t len = charLength(t, keep);
      if (keep + len > w) break;
      keep += len;
    }
    t.resize(keep);
  }
  t.append(w - t.size(), ' ');
  return t;
}

int charCount(const std::string& text) {
  int count = 0;
  for (size_t i = 0; i < text.size(); i += charLength(text, i)) ++count;
  return count;
}

std::string charCopy(const std::string& text, int first, int count) {
  std::string result;
  int number = 1;
  for (size_t i = 0; i < text.size() && number < first + count; ++number) {
    const size_t len = charLength(text, i);
    if (number >= first) result.append(text, i, len);
    i += len;
  }
  return result;
}

bool isTrailByte(const std::string& text, int position) {
  if (position < 1 || position > static_cast<int>(text.size())) throw std::out_of_range("Illegal Index");
  if (position == 1) return false;
  int leads = 0;
  for (int i = position - 2; i >= 0 && isLeadByte(static_cast<unsigned char>(text[i])); --i) ++leads;
  return leads % 2 == 1;
}

std::string trimFullWidth(const std::string& text) {
  std::string t = text;
  size_t begin = 0;
  for (;;) {
    if (begin < t.size() && t[begin] == ' ') {
      begin += 1;
    } else if (begin + 1 < t.size() && static_cast<unsigned char>(t[begin]) == 0x81 && t[begin + 1] == 0x40) {
      begin += 2;
    } else {
      break;
    }
  }
  t.erase(0, begin);
  while (!t.empty()) {
    const int last = static_cast<int>(t.size());
    if (isTrailByte(t, last)) {
      if (static_cast<unsigned char>(t[last - 2]) == 0x81 && t[last - 1] == 0x40)
        t.resize(last - 2);
      else
        break;
    } else if (t[last - 1] == ' ') {
      t.resize(last - 1);
    } else {
      break;
    }
  }
  return t;
}
