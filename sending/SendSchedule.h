#pragma once
#include <string>
#include <vector>

// When a reader's next story mail falls due: each story mail waits its interval in
// days (INTERVALDAYS, NULL meaning 0) after the reader's previous mail, the first one
// after the registration date; with "one a day" on, never on the day of the previous
// mail. Dates are "yyyymmdd" texts as the tables hold them.
class SendSchedule {
 public:
  SendSchedule() = default;
  // intervals[n]: the interval of story mail n (missing numbers count as 0).
  SendSchedule(std::vector<int> intervals, bool onePerDay) : m_intervals(std::move(intervals)), m_onePerDay(onePerDay) {}

  // The date story mail `story` falls due for the reader; empty when nothing holds it
  // back (no valid date to count from).
  std::string dueDate(int story, const std::string& registeredDate, const std::string& lastSentDate) const;
  // Whether it is due on `today`.
  static bool dueBy(const std::string& dueDate, const std::string& today) { return dueDate.empty() || dueDate <= today; }

  int interval(int story) const;
  bool onePerDay() const { return m_onePerDay; }

  // Days since 1970-01-01 of a valid "yyyymmdd", or -1; and back.
  static long dayNumber(const std::string& date);
  static std::string dateOf(long dayNumber);

 private:
  std::vector<int> m_intervals;
  bool m_onePerDay = false;
};
