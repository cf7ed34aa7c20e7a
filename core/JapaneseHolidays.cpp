#include "core/JapaneseHolidays.h"

#include <algorithm>
#include <array>

#include "core/Sjis.h"

namespace JapaneseHolidays {
namespace {

enum class Name {
  NewYear, ComingOfAge, Foundation, EmperorsBirthday, VernalEquinox, Showa, Constitution, Greenery,
  Children, Marine, Mountain, RespectForAged, AutumnalEquinox, HealthAndSports, Sports, Culture,
  LabourThanksgiving, Enthronement, EnthronementCeremony, Substitute, Citizens, Count
};

constexpr const char* kUtf8Names[] = {
    "元日", "成人の日", "建国記念の日", "天皇誕生日", "春分の日", "昭和の日", "憲法記念日", "みどりの日",
    "こどもの日", "海の日", "山の日", "敬老の日", "秋分の日", "体育の日", "スポーツの日", "文化の日",
    "勤労感謝の日", "天皇の即位の日", "即位礼正殿の儀の行われる日", "振替休日", "国民の休日"};
static_assert(std::size(kUtf8Names) == static_cast<size_t>(Name::Count));

struct Holiday {
  int day;  // days since 1970-01-01
  Name name;
};

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
int dayNumber(int y, int m, int d) {
  y -= m <= 2;
  const int era = y / 400;
  const int yoe = y - era * 400;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

int yyyymmddOf(int day) {
  const int z = day + 719468;
  const int era = z / 146097;
  const int doe = z - era * 146097;
  const int yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int mp = (5 * doy + 2) / 153;
  const int d = doy - (153 * mp + 2) / 5 + 1;
  const int m = mp < 10 ? mp + 3 : mp - 9;
  const int y = yoe + era * 400 + (m <= 2);
  return y * 10000 + m * 100 + d;
}

bool isSunday(int day) { return (day + 4) % 7 == 0; }  // 1970-01-01 was a Thursday

// The n-th Monday of the month (the Happy Monday holidays).
int nthMonday(int y, int m, int n) {
  const int first = dayNumber(y, m, 1);
  const int toMonday = (8 - (first + 4) % 7) % 7;
  return first + toMonday + 7 * (n - 1);
}

// The usual approximation of the equinox day in Japan, valid 1980-2099; integer
// arithmetic in millionths so no rounding can move a day.
int equinoxDay(int y, int base) { return (base + 242194 * (y - 1980)) / 1000000 - (y - 1980) / 4; }

std::vector<Holiday> computeYear(int y) {
  std::vector<Holiday> national;
  const auto add = [&](int m, int d, Name name) { national.push_back({dayNumber(y, m, d), name}); };
  const auto addDay = [&](int day, Name name) { national.push_back({day, name}); };

  add(1, 1, Name::NewYear);
  addDay(nthMonday(y, 1, 2), Name::ComingOfAge);
  add(2, 11, Name::Foundation);
  if (y >= 2020) add(2, 23, Name::EmperorsBirthday);
  add(3, equinoxDay(y, 20843100), Name::VernalEquinox);
  add(4, 29, y >= 2007 ? Name::Showa : Name::Greenery);
  if (y == 2019) add(5, 1, Name::Enthronement);
  add(5, 3, Name::Constitution);
  if (y >= 2007) add(5, 4, Name::Greenery);
  add(5, 5, Name::Children);
  // Marine, Mountain and Sports days moved around the Tokyo games of 2020 (held 2021).
  if (y == 2020) add(7, 23, Name::Marine);
  else if (y == 2021) add(7, 22, Name::Marine);
  else if (y >= 2003) addDay(nthMonday(y, 7, 3), Name::Marine);
  else add(7, 20, Name::Marine);
  if (y == 2020) add(7, 24, Name::Sports);
  if (y == 2021) add(7, 23, Name::Sports);
  if (y == 2020) add(8, 10, Name::Mountain);
  else if (y == 2021) add(8, 8, Name::Mountain);
  else if (y >= 2016) add(8, 11, Name::Mountain);
  if (y >= 2003) addDay(nthMonday(y, 9, 3), Name::RespectForAged);
  else add(9, 15, Name::RespectForAged);
  add(9, equinoxDay(y, 23248800), Name::AutumnalEquinox);
  if (y < 2020) addDay(nthMonday(y, 10, 2), Name::HealthAndSports);
  else if (y >= 2022) addDay(nthMonday(y, 10, 2), Name::Sports);
  if (y == 2019) add(10, 22, Name::EnthronementCeremony);
  add(11, 3, Name::Culture);
  add(11, 23, Name::LabourThanksgiving);
  if (y <= 2018) add(12, 23, Name::EmperorsBirthday);
  std::sort(national.begin(), national.end(), [](const Holiday& a, const Holiday& b) { return a.day < b.day; });

  const auto isNational = [&](int day) {
    return std::any_of(national.begin(), national.end(), [day](const Holiday& h) { return h.day == day; });
  };
  std::vector<Holiday> all = national;
  // 振替休日: a national holiday on a Sunday gives the next day off; since 2007 the
  // nearest following day that is not itself a national holiday.
  for (const Holiday& h : national) {
    if (!isSunday(h.day)) continue;
    int day = h.day + 1;
    if (y >= 2007)
      while (isNational(day)) ++day;
    if (!isNational(day)) all.push_back({day, Name::Substitute});
  }
  // 国民の休日: a day between two national holidays that is none itself; until 2006 not
  // when it is a Sunday or already a substitute holiday.
  const auto taken = [&](int day) {
    return std::any_of(all.begin(), all.end(), [day](const Holiday& h) { return h.day == day; });
  };
  for (size_t i = 0; i + 1 < national.size(); ++i) {
    const int between = national[i].day + 1;
    if (national[i + 1].day != between + 1 || taken(between)) continue;
    if (y < 2007 && isSunday(between)) continue;
    all.push_back({between, Name::Citizens});
  }
  std::sort(all.begin(), all.end(), [](const Holiday& a, const Holiday& b) { return a.day < b.day; });
  return all;
}

struct Entry {
  int date;
  Name name;
};
using Table = std::array<std::vector<Entry>, kLastYear - kFirstYear + 1>;

// Computed once on first use; about two thousand entries for the whole range.
const Table& table() {
  static const Table years = [] {
    Table t;
    for (int y = kFirstYear; y <= kLastYear; ++y)
      for (const Holiday& h : computeYear(y)) t[y - kFirstYear].push_back({yyyymmddOf(h.day), h.name});
    return t;
  }();
  return years;
}

const Entry* find(int yyyymmdd) {
  const int y = yyyymmdd / 10000;
  if (y < kFirstYear || y > kLastYear) return nullptr;
  for (const Entry& e : table()[y - kFirstYear])
    if (e.date == yyyymmdd) return &e;
  return nullptr;
}

}  // namespace

bool isHoliday(int yyyymmdd) { return find(yyyymmdd) != nullptr; }

std::string holidayName(int yyyymmdd) {
  static const auto names = [] {
    std::array<std::string, std::size(kUtf8Names)> cp932;
    for (size_t i = 0; i < cp932.size(); ++i) cp932[i] = Sjis::fromUtf8(kUtf8Names[i]);
    return cp932;
  }();
  const Entry* e = find(yyyymmdd);
  return e ? names[static_cast<size_t>(e->name)] : std::string();
}

std::vector<int> holidaysOf(int year) {
  std::vector<int> dates;
  if (year < kFirstYear || year > kLastYear) return dates;
  for (const Entry& e : table()[year - kFirstYear]) dates.push_back(e.date);
  return dates;
}

}  // namespace JapaneseHolidays
