#pragma once
#include <QString>
#include <string>

// Outcome of checking one typed field: the text the field takes afterwards and, when
// the field is refused, the message the operator sees.
struct FieldCheck {
  bool ok = true;
  std::string text;
  QString message;
};

// The messages of a number field: nothing typed, not a number, zero where zero is
// not allowed (an empty zeroMessage lets zero through).
struct NumberMessages {
  QString empty;
  QString wrong;
  QString zero;
};

// A digits field stored zero-filled to width: trimmed, zero-filled, read as a number,
// shown zero-suppressed. Only decimal digits count as a number, so a pasted sign or
// hexadecimal prefix can never reach a key column. maxValue limits the value (-1: any).
FieldCheck checkNumber(const std::string& typed, int width, const NumberMessages& messages, int maxValue = -1);

// A count of days: nothing typed means 0; otherwise decimal digits up to maxValue, shown
// without leading zeros.
FieldCheck checkDays(const std::string& typed, int maxValue, const QString& wrong);

// A date field, typed as digits or as shown ("2026/12/09"): nothing, zero or the dash
// means no date (shown as the dash); otherwise the digits completed from today's date,
// refused when that gives no valid date, shown as "2026/12/09".
FieldCheck checkDate(const std::string& typed, const QString& wrong);

// A time field, typed as digits or as shown ("08:00:00"): nothing, zero or the dash
// means none (the dash); otherwise exactly six digits hhnnss with hours 00-24, minutes
// and seconds 00-59, shown as "08:00:00".
FieldCheck checkTime(const std::string& typed, const QString& wrong);

// True when the text is one or more decimal digits.
bool allDigits(const std::string& text);
