#pragma once
#include <string>
#include <vector>

// Which characters of a CP932 text ISO-2022-JP mail cannot carry: JIS X 0208 holds
// neither the NEC special characters ("①", "㈱", "Ⅱ", "㍉"), nor the IBM extensions
// ("髙", "﨑"), nor user-defined characters. Half-width katakana are carried (the mail
// writer widens them). Mail readers that keep strictly to ISO-2022-JP show such
// characters as garbage or "?", so the program finds them before anything is sent.
namespace JisCoverage {

struct Finding {
  int line = 1;          // 1-based
  int column = 1;        // 1-based, in characters
  std::string character;  // CP932 bytes of the character
  std::string substitute; // CP932; empty when there is no usual one
};

bool carriable(unsigned char lead, unsigned char trail);
// Every character the mail cannot carry, in text order (lines end at CR LF, CR or LF).
std::vector<Finding> find(const std::string& cp932);
// The text with every such character that has a usual substitute replaced by it
// ("①" → "(1)", "㈱" → "(株)", "Ⅱ" → "II", "髙" → "高", "﨑" → "崎"); others stay.
std::string replaceWithSubstitutes(const std::string& cp932);
// "1行3列「①」" style descriptions of the findings, one per line (CP932).
std::string describe(const std::vector<Finding>& findings, std::size_t limit = 20);

}  // namespace JisCoverage
