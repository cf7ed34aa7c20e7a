#include "core/DateStamp.h"

#include "core/ColumnWidths.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"

namespace {
int digitsOr0(const std::string& text) {
  const std::string t = trim(text);
  for (char c : t)
    if (c < '0' || c > '9') return 0;
  return toIntOr(t, 0);
}
}  // namespace

DateStamp DateStamp::fromText(const std::string& date, const std::string& time) {
  return DateStamp(digitsOr0(date), digitsOr0(time));
}

std::string DateStamp::dateText() const { return zeroFill(std::to_string(m_date), ColumnWidth::kDate); }

std::string DateStamp::timeText() const { return zeroFill(std::to_string(m_time), ColumnWidth::kTime); }

const std::string& DateStamp::noneShown() {
  static const std::string dash = Sjis::fromUtf8("\u2015");
  return dash;
}

std::string DateStamp::digitsOf(const std::string& shown) {
  const std::string t = trim(shown);
  if (t == noneShown()) return std::string();
  std::string digits;
  for (char c : t)
    if (c != '/' && c != ':') digits += c;
  return digits;
}

std::string DateStamp::shownDate() const {
  if (none()) return noneShown();
  const std::string d = dateText();
  return d.substr(0, 4) + '/' + d.substr(4, 2) + '/' + d.substr(6, 2);
}

std::string DateStamp::shownTime() const {
  if (none()) return noneShown();
  const std::string t = timeText();
  return t.substr(0, 2) + ':' + t.substr(2, 2) + ':' + t.substr(4, 2);
}

std::string DateStamp::displayText() const {
  const std::string d = dateText();
  const std::string t = timeText();
  return d.substr(0, 4) + "/" + d.substr(4, 2) + "/" + d.substr(6, 2) + " " + t.substr(0, 2) + ":" + t.substr(2, 2) +
         ":" + t.substr(4, 2);
}
