#pragma once
#include <deque>
#include <string>
#include <vector>

struct MailSettings;
class Statement;

// The provider's pace: how many mails may go out per hour and per day, on which days of
// the week (and whether not on Japanese public holidays) and in which daily window.
// Counts come from the send history at the start of a run and from the run's own mails
// after that, so every check during the run is a look at memory. Times are the clock's
// stamps, "yyyymmddhhnnss" in the operator's zone.
class SendPace {
 public:
  enum class Stop { none, hourLimit, dayLimit, outsideWindow };

  // The settings as written; problem() says what is wrong with them.
  explicit SendPace(const MailSettings& settings);
  SendPace() = default;  // no limit, no window

  // The settings' fault as the operator's message (CP932), or empty.
  const std::string& problem() const { return m_problem; }

  // The mails that went out before this run, newest last or in any order: the stamps
  // of the history's sent and unknown entries of today and yesterday.
  void start(const std::vector<std::string>& earlierMails);
  // start() with the mails of the send history since the day before now (DbError when
  // the database fails).
  void startFromHistory(Statement& query, const std::string& now);
  // Whether a mail may go out now; none when it may.
  Stop check(const std::string& now) const;
  // A mail went out now.
  void sent(const std::string& now);
  // The least number of seconds between two mails that keeps the hourly limit without
  // a burst: 3600 / the limit, rounded up; 0 without a limit.
  int spacingSeconds() const;
  // How many more mails may go out now (both limits), or -1 without a limit.
  int allowedNow(const std::string& now) const;

  // Whether now lies on a sending day and in the daily window.
  bool inWindow(const std::string& now) const;
  // The start of the next window from now, "yyyymmddhhnn"; empty when no day is allowed.
  std::string nextWindow(const std::string& now) const;

  int hourLimit() const { return m_hourLimit; }
  int dayLimit() const { return m_dayLimit; }
  // Which stop keeps further mails now: the window when closed, else the limit that
  // leaves fewer mails; none without a limit.
  Stop binding(const std::string& now) const;
  // "本日の送信上限 N 通" or "1時間あたりの送信上限 N 通" (CP932); empty for other stops.
  std::string limitText(Stop stop) const;
  // Why a stop keeps mails back, one or two sentences (CP932).
  std::string reasonText(Stop stop, const std::string& now) const;
  // The message of a stop (CP932): the limit reached, or the window closed, with how
  // many readers are left for the next run.
  std::string stopText(Stop stop, int left, const std::string& now) const;

 private:
  bool allowedDay(int yyyymmdd) const;
  int sentToday(const std::string& now) const;
  int sentLastHour(const std::string& now) const;

  int m_hourLimit = 0;
  int m_dayLimit = 0;
  bool m_days[7] = {true, true, true, true, true, true, true};  // Monday first
  bool m_skipHolidays = false;
  int m_windowStart = 0;  // minutes after midnight
  int m_windowEnd = 0;    // equal to the start: all day
  std::string m_problem;
  std::deque<long long> m_mails;  // minutes since the epoch of the day's mails, oldest first
};
