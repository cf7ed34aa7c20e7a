#include "intake/ImportRules.h"

#include <cstdio>

#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace ImportRules {

ReaderRow newReader(int number, const std::string& mail, const std::string& date, const std::string& time,
                    const std::string& name) {
  ReaderRow r;
  r.ID = zeroFill(std::to_string(number), 5);
  r.MAILADDRESS = fitWidth(mail, 50);
  r.TOUROKUDATE = date;
  r.TOUROKUTIME = time;
  r.NAME = fitWidth(name, 60);
  r.SYORIKBN = "01";
  r.NEXTSTORY = "00001";
  r.SNDFASTDATE = "00000000";
  r.SNDFASTTIME = "000000";
  r.SNDLASTDATE = "00000000";
  r.SNDLASTTIME = "000000";
  return r;
}

std::string countText(int count) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%5d", count);
  return buf;
}

bool holdsChar(const std::string& text, char c) {
  for (size_t i = 0; i < text.size(); ++i) {
    if (isLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size())
      ++i;
    else if (text[i] == c)
      return true;
  }
  return false;
}

int lastReaderNo(Statement& q) { return toIntOr(readMax(q, Sql::maxReaderId()), 0); }

}  // namespace ImportRules
