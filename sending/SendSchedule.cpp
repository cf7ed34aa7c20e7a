#include "sending/SendSchedule.h"

#include <algorithm>
#include <cstdio>

#include "core/TextUtil.h"

namespace {
// Days of the proleptic Gregorian calendar, counted from 1970-01-01.
long daysFromCivil(long y, unsigned m, unsigned d) {
  y -= m <= 2;
  const long era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<long>(doe) - 719468;
}
}  // namespace

long SendSchedule::dayNumber(const std::string& date) {
  if (date.size() != 8 || !std::all_of(date.begin(), date.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return -1;
  const int y = std::stoi(date.substr(0, 4));
  const int m = std::stoi(date.substr(4, 2));
  const int d = std::stoi(date.substr(6, 2));
  if (!isValidDate(y, m, d)) return -1;
  return daysFromCivil(y, static_cast<unsigned>(m), static_cast<unsigned>(d));
}

std::string SendSchedule::dateOf(long z) {
  z += 719468;
  const long era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long y = static_cast<long>(yoe) + era * 400;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  char text[40];
  std::snprintf(text, sizeof text, "%04ld%02u%02u", y + (m <= 2), m, d);
  return text;
}

int SendSchedule::interval(int story) const {
  return story >= 0 && static_cast<std::size_t>(story) < m_intervals.size() ? m_intervals[static_cast<std::size_t>(story)]
                                                                            : 0;
}

std::string SendSchedule::dueDate(int story, const std::string& registeredDate, const std::string& lastSentDate) const {
  long due = -1;
  const long from = dayNumber(story == 1 ? registeredDate : lastSentDate);
  if (from >= 0) due = from + std::max(interval(story), 0);
  if (m_onePerDay) {
    const long last = dayNumber(lastSentDate);
    if (last >= 0) due = std::max(due, last + 1);
  }
  return due < 0 ? std::string() : dateOf(due);
}
