#include "core/DateStamp.h"

#include "core/ColumnWidths.h"
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

std::string DateStamp::displayText() const {
  const std::string d = dateText();
  const std::string t = timeText();
  return d.substr(0, 4) + "/" + d.substr(4, 2) + "/" + d.substr(6, 2) + " " + t.substr(0, 2) + ":" + t.substr(2, 2) +
         ":" + t.substr(4, 2);
}
