#pragma once
#include <string>

// A stored moment: the date yyyymmdd and the time hhmmss as numbers. The columns hold
// "00000000" and "000000" for no date; anything that is not digits reads as zero.
class DateStamp {
 public:
  DateStamp() = default;
  DateStamp(int date, int time) : m_date(date), m_time(time) {}
  // From the date and time texts of two columns (or of "yyyymmddhhmmss" split in two).
  static DateStamp fromText(const std::string& date, const std::string& time);

  int date() const { return m_date; }
  int time() const { return m_time; }
  bool none() const { return m_date == 0 && m_time == 0; }
  // "yyyymmdd" and "hhmmss", zero-filled: the column texts.
  std::string dateText() const;
  std::string timeText() const;
  // What windows show: "2026/12/09" and "08:00:00", and a dash for no date.
  std::string shownDate() const;
  std::string shownTime() const;
  // The dash shown for no date (CP932).
  static const std::string& noneShown();
  // A date or time as typed or shown ("2026/12/09", "08:00:00", the dash): its digits;
  // the dash gives no digits.
  static std::string digitsOf(const std::string& shown);
  // "yyyy/mm/dd hh:nn:ss": how the history and the consent record show a moment.
  std::string displayText() const;

  bool operator==(const DateStamp& other) const { return m_date == other.m_date && m_time == other.m_time; }
  bool operator!=(const DateStamp& other) const { return !(*this == other); }

 private:
  int m_date = 0;
  int m_time = 0;
};
