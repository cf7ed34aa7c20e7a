#include "core/JisCoverage.h"

#include <map>

#include "core/Sjis.h"
#include "core/SjisText.h"

namespace JisCoverage {

namespace {

// The usual substitutes, as UTF-8 pairs turned into CP932 once.
const std::map<std::string, std::string>& substitutes() {
  static const std::map<std::string, std::string> table = [] {
    const char* pairs[][2] = {
        {"①", "(1)"},   {"②", "(2)"},   {"③", "(3)"},   {"④", "(4)"},   {"⑤", "(5)"},   {"⑥", "(6)"},
        {"⑦", "(7)"},   {"⑧", "(8)"},   {"⑨", "(9)"},   {"⑩", "(10)"},  {"⑪", "(11)"},  {"⑫", "(12)"},
        {"⑬", "(13)"},  {"⑭", "(14)"},  {"⑮", "(15)"},  {"⑯", "(16)"},  {"⑰", "(17)"},  {"⑱", "(18)"},
        {"⑲", "(19)"},  {"⑳", "(20)"},  {"Ⅰ", "I"},     {"Ⅱ", "II"},    {"Ⅲ", "III"},   {"Ⅳ", "IV"},
        {"Ⅴ", "V"},     {"Ⅵ", "VI"},    {"Ⅶ", "VII"},   {"Ⅷ", "VIII"},  {"Ⅸ", "IX"},    {"Ⅹ", "X"},
        {"ⅰ", "i"},     {"ⅱ", "ii"},    {"ⅲ", "iii"},   {"ⅳ", "iv"},    {"ⅴ", "v"},     {"ⅵ", "vi"},
        {"ⅶ", "vii"},   {"ⅷ", "viii"},  {"ⅸ", "ix"},    {"ⅹ", "x"},     {"㈱", "(株)"},  {"㈲", "(有)"},
        {"㈹", "(代)"},  {"㍉", "ミリ"},  {"㌔", "キロ"},  {"㌢", "センチ"}, {"㍍", "メートル"}, {"㌘", "グラム"},
        {"㌧", "トン"},  {"㌦", "ドル"},  {"㍑", "リットル"}, {"㌫", "パーセント"}, {"㎜", "mm"}, {"㎝", "cm"},
        {"㎞", "km"},   {"㎎", "mg"},   {"㎏", "kg"},   {"㏄", "cc"},   {"㎡", "m2"},   {"№", "No."},
        {"℡", "TEL"},   {"㊤", "(上)"},  {"㊥", "(中)"},  {"㊦", "(下)"},  {"㊧", "(左)"},  {"㊨", "(右)"},
        {"㍻", "平成"},  {"㍼", "昭和"},  {"㍽", "大正"},  {"㍾", "明治"},  {"髙", "高"},   {"﨑", "崎"},
        {"德", "徳"},   {"瀨", "瀬"},   {"栁", "柳"},
    };
    std::map<std::string, std::string> m;
    for (const auto& p : pairs) m[Sjis::fromUtf8(p[0])] = Sjis::fromUtf8(p[1]);
    return m;
  }();
  return table;
}

}  // namespace

bool carriable(unsigned char lead, unsigned char /*trail*/) {
  // JIS X 0208 occupies leads 0x81-0x84 and 0x88-0x9F, 0xE0-0xEA; 0x87 is the NEC row,
  // 0xED-0xEE and 0xFA-0xFC the IBM extensions, 0xF0-0xF9 user-defined characters.
  return (lead >= 0x81 && lead <= 0x84) || (lead >= 0x88 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xEA);
}

std::vector<Finding> find(const std::string& text) {
  std::vector<Finding> out;
  int line = 1;
  int column = 1;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c == '\r' || c == '\n') {
      if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      ++line;
      column = 1;
      continue;
    }
    if (isLeadByte(c) && i + 1 < text.size()) {
      const unsigned char t = static_cast<unsigned char>(text[i + 1]);
      if (!carriable(c, t)) {
        const std::string ch = text.substr(i, 2);
        const auto s = substitutes().find(ch);
        out.push_back(Finding{line, column, ch, s == substitutes().end() ? std::string() : s->second});
      }
      ++i;
    }
    ++column;
  }
  return out;
}

std::string replaceWithSubstitutes(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (isLeadByte(c) && i + 1 < text.size()) {
      const std::string ch = text.substr(i, 2);
      const auto s = substitutes().find(ch);
      out += (!carriable(c, static_cast<unsigned char>(text[i + 1])) && s != substitutes().end()) ? s->second : ch;
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string describe(const std::vector<Finding>& findings, std::size_t limit) {
  std::string out;
  for (std::size_t k = 0; k < findings.size() && k < limit; ++k) {
    const Finding& f = findings[k];
    out += std::to_string(f.line) + Sjis::fromUtf8("行") + std::to_string(f.column) + Sjis::fromUtf8("列「") +
           f.character + Sjis::fromUtf8("」");
    if (!f.substitute.empty()) out += " -> " + f.substitute;
    out += "\r\n";
  }
  if (findings.size() > limit) out += Sjis::fromUtf8("ほか ") + std::to_string(findings.size() - limit) + Sjis::fromUtf8(" 文字\r\n");
  return out;
}

}  // namespace JisCoverage
