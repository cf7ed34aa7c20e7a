#include "maintenance/FieldCheck.h"

#include <algorithm>

#include "core/DateStamp.h"
#include "core/TextUtil.h"

namespace {
FieldCheck refuse(const QString& message) { return FieldCheck{false, std::string(), message}; }
}  // namespace

bool allDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

FieldCheck checkNumber(const std::string& typed, int width, const NumberMessages& messages, int maxValue) {
  const std::string trimmed = trim(typed);
  if (trimmed.empty()) return refuse(messages.empty);
  const std::string filled = zeroFill(trimmed, width);
  if (!allDigits(filled)) return refuse(messages.wrong);
  const int value = toIntOr(filled, -1);
  if (value < 0 || (maxValue >= 0 && value > maxValue)) return refuse(messages.wrong);
  if (value == 0 && !messages.zero.isEmpty()) return refuse(messages.zero);
  return FieldCheck{true, zeroSuppress(filled), QString()};
}

FieldCheck checkDays(const std::string& typed, int maxValue, const QString& wrong) {
  std::string digits = trim(typed);
  if (digits.empty()) return FieldCheck{true, "0", QString()};
  if (!allDigits(digits)) return refuse(wrong);
  digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
  if (digits.size() > 9 || toIntOr(digits, -1) > maxValue) return refuse(wrong);
  return FieldCheck{true, digits, QString()};
}

FieldCheck checkDate(const std::string& typed, const QString& wrong) {
  const std::string digits = DateStamp::digitsOf(typed);
  if (toIntOr(digits, 0) == 0) return FieldCheck{true, DateStamp::noneShown(), QString()};
  const std::string date = completeDate(digits);
  if (date.empty()) return refuse(wrong);
  return FieldCheck{true, DateStamp(toIntOr(date, 0), 0).shownDate(), QString()};
}

FieldCheck checkTime(const std::string& typed, const QString& wrong) {
  const std::string digits = DateStamp::digitsOf(typed);
  if (toIntOr(digits, 0) == 0) return FieldCheck{true, DateStamp::noneShown(), QString()};
  if (digits.size() != 6 || !allDigits(digits)) return refuse(wrong);
  const int hours = toIntOr(digits.substr(0, 2), -1);
  const int minutes = toIntOr(digits.substr(2, 2), -1);
  const int seconds = toIntOr(digits.substr(4, 2), -1);
  if (hours > 24 || minutes > 59 || seconds > 59) return refuse(wrong);
  // Any date will do: only the time is shown.
  return FieldCheck{true, DateStamp(1, toIntOr(digits, 0)).shownTime(), QString()};
}
