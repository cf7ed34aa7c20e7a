#include "settings/SendPace.h"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "core/JapaneseHolidays.h"
#include "core/SendHistory.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "settings/SettingsFiles.h"

namespace {

std::string u8(const char* text) { return Sjis::fromUtf8(text); }

bool allDigits(const std::string& s, std::size_t most) {
  return !s.empty() && s.size() <= most && s.find_first_not_of("0123456789") == std::string::npos;
}

// A stamp's date and time as a UTC calendar value: only differences and weekdays are
// taken from it, so the zone does not matter.
std::time_t calendarOf(int yyyymmdd, int hh = 0, int nn = 0) {
  std::tm t{};
  t.tm_year = yyyymmdd / 10000 - 1900;
  t.tm_mon = yyyymmdd / 100 % 100 - 1;
  t.tm_mday = yyyymmdd % 100;
  t.tm_hour = hh;
  t.tm_min = nn;
  return timegm(&t);
}

int dateOf(const std::string& stamp) { return toIntOr(stamp.substr(0, 8), 0); }
int minuteOfDay(const std::string& stamp) { return toIntOr(stamp.substr(8, 2), 0) * 60 + toIntOr(stamp.substr(10, 2), 0); }
long long minutesOf(const std::string& stamp) {
  return static_cast<long long>(calendarOf(dateOf(stamp), 0, 0) / 60) + minuteOfDay(stamp);
}

int dayAfter(int yyyymmdd, int days) {
  const std::time_t t = calendarOf(yyyymmdd) + static_cast<std::time_t>(days) * 86400;
  std::tm out{};
  gmtime_r(&t, &out);
  return (out.tm_year + 1900) * 10000 + (out.tm_mon + 1) * 100 + out.tm_mday;
}

// "HHMM" as minutes after midnight (24:00 allowed as the end of a day), or -1.
int minutesOfHhmm(const std::string& hhmm, bool end) {
  if (!allDigits(hhmm, 4) || hhmm.size() != 4) return -1;
  const int h = std::stoi(hhmm.substr(0, 2));
  const int m = std::stoi(hhmm.substr(2, 2));
  if (m > 59 || h > 24 || (h == 24 && (m != 0 || !end))) return -1;
  return h * 60 + m;
}

std::string shownTime(int yyyymmdd, int minutes) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%04d/%02d/%02d %02d:%02d", yyyymmdd / 10000, yyyymmdd / 100 % 100, yyyymmdd % 100,
                minutes / 60, minutes % 60);
  return buf;
}

}  // namespace

SendPace::SendPace(const MailSettings& s) {
  const auto limit = [&](const std::string& text, int& into) {
    if (!allDigits(text, 6)) return false;
    into = std::stoi(text);
    return true;
  };
  if (!limit(s.hourLimit, m_hourLimit) || !limit(s.dayLimit, m_dayLimit)) {
    m_problem = u8("送信上限の設定に誤りがあります。（0 以上の数字で設定して下さい。0 は上限なしです）");
    return;
  }
  if (s.sendDays.size() != 7 || s.sendDays.find_first_not_of("01") != std::string::npos ||
      s.sendDays.find('1') == std::string::npos) {
    m_problem = u8("送信する曜日の設定に誤りがあります。");
    return;
  }
  for (int d = 0; d < 7; ++d) m_days[d] = s.sendDays[static_cast<std::size_t>(d)] == '1';
  m_skipHolidays = s.skipHolidaysMode == 1;
  if (!s.sendHours.empty()) {
    const std::size_t dash = s.sendHours.find('-');
    m_windowStart = dash == std::string::npos ? -1 : minutesOfHhmm(s.sendHours.substr(0, dash), false);
    m_windowEnd = dash == std::string::npos ? -1 : minutesOfHhmm(s.sendHours.substr(dash + 1), true);
    if (m_windowStart < 0 || m_windowEnd < 0 || m_windowStart == m_windowEnd) {
      m_windowStart = m_windowEnd = 0;
      m_problem = u8("送信する時間帯の設定に誤りがあります。（例: 0800-2100）");
    }
  }
}

void SendPace::startFromHistory(Statement& query, const std::string& now) {
  start(HistoryStore(query).mailsSince(dayAfter(dateOf(now), -1)));
}

void SendPace::start(const std::vector<std::string>& earlierMails) {
  m_mails.clear();
  for (const std::string& stamp : earlierMails) m_mails.push_back(minutesOf(stamp));
  std::sort(m_mails.begin(), m_mails.end());
}

void SendPace::sent(const std::string& now) { m_mails.push_back(minutesOf(now)); }

int SendPace::sentToday(const std::string& now) const {
  const long long midnight = minutesOf(now) - minuteOfDay(now);
  int n = 0;
  for (auto it = m_mails.rbegin(); it != m_mails.rend() && *it >= midnight; ++it) ++n;
  return n;
}

int SendPace::sentLastHour(const std::string& now) const {
  const long long hourAgo = minutesOf(now) - 60;
  int n = 0;
  for (auto it = m_mails.rbegin(); it != m_mails.rend() && *it > hourAgo; ++it) ++n;
  return n;
}

int SendPace::spacingSeconds() const { return m_hourLimit > 0 ? (3600 + m_hourLimit - 1) / m_hourLimit : 0; }

int SendPace::allowedNow(const std::string& now) const {
  int allowed = -1;
  const auto least = [&](int limit, int used) {
    if (limit <= 0) return;
    const int left = used >= limit ? 0 : limit - used;
    allowed = allowed < 0 ? left : std::min(allowed, left);
  };
  least(m_dayLimit, sentToday(now));
  least(m_hourLimit, sentLastHour(now));
  return allowed;
}

bool SendPace::allowedDay(int yyyymmdd) const {
  std::tm t{};
  const std::time_t c = calendarOf(yyyymmdd);
  gmtime_r(&c, &t);
  if (!m_days[(t.tm_wday + 6) % 7]) return false;
  return !(m_skipHolidays && JapaneseHolidays::isHoliday(yyyymmdd));
}

bool SendPace::inWindow(const std::string& now) const {
  if (!allowedDay(dateOf(now))) return false;
  if (m_windowStart == m_windowEnd) return true;
  const int m = minuteOfDay(now);
  // A window past midnight (2200-0600) is the evening and the early morning of each day.
  return m_windowStart < m_windowEnd ? m >= m_windowStart && m < m_windowEnd : m >= m_windowStart || m < m_windowEnd;
}

std::string SendPace::nextWindow(const std::string& now) const {
  const int today = dateOf(now);
  for (int offset = 0; offset <= 400; ++offset) {
    const int day = dayAfter(today, offset);
    if (!allowedDay(day)) continue;
    const int at = m_windowStart;  // all day: from midnight
    if (offset == 0) {
      if (inWindow(now)) return now.substr(0, 12);
      if (minuteOfDay(now) >= m_windowStart) continue;  // today's window has begun and ended
    }
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08d%02d%02d", day, at / 60, at % 60);
    return buf;
  }
  return std::string();
}

SendPace::Stop SendPace::check(const std::string& now) const {
  if (!inWindow(now)) return Stop::outsideWindow;
  if (m_dayLimit > 0 && sentToday(now) >= m_dayLimit) return Stop::dayLimit;
  if (m_hourLimit > 0 && sentLastHour(now) >= m_hourLimit) return Stop::hourLimit;
  return Stop::none;
}

SendPace::Stop SendPace::binding(const std::string& now) const {
  if (!inWindow(now)) return Stop::outsideWindow;
  const int dayLeft = m_dayLimit > 0 ? std::max(m_dayLimit - sentToday(now), 0) : -1;
  const int hourLeft = m_hourLimit > 0 ? std::max(m_hourLimit - sentLastHour(now), 0) : -1;
  if (dayLeft < 0 && hourLeft < 0) return Stop::none;
  return hourLeft < 0 || (dayLeft >= 0 && dayLeft <= hourLeft) ? Stop::dayLimit : Stop::hourLimit;
}

std::string SendPace::limitText(Stop stop) const {
  if (stop == Stop::dayLimit) return u8("本日の送信上限 ") + std::to_string(m_dayLimit) + u8(" 通");
  if (stop == Stop::hourLimit) return u8("1時間あたりの送信上限 ") + std::to_string(m_hourLimit) + u8(" 通");
  return std::string();
}

std::string SendPace::reasonText(Stop stop, const std::string& now) const {
  switch (stop) {
    case Stop::dayLimit:
    case Stop::hourLimit:
      return limitText(stop) + u8("に達しました。");
    case Stop::outsideWindow: {
      const std::string next = nextWindow(now);
      std::string text = u8("送信できる曜日・時間帯ではありません。");
      if (!next.empty())
        text += u8("次に送信できるのは ") + shownTime(dateOf(next), minuteOfDay(next)) + u8(" からです。");
      return text;
    }
    default:
      return std::string();
  }
}

std::string SendPace::stopText(Stop stop, int left, const std::string& now) const {
  const std::string reason = reasonText(stop, now);
  const std::string rest = u8("残り ") + std::to_string(left) + u8(" 名は次回送信します。");
  // The window's next opening comes last.
  if (stop == Stop::outsideWindow) {
    const std::string first = u8("送信できる曜日・時間帯ではありません。");
    return first + rest + reason.substr(first.size());
  }
  return reason + rest;
}
