#include <gtest/gtest.h>

#include "core/Sjis.h"
#include "settings/SendPace.h"
#include "settings/SettingsFiles.h"

namespace {

std::string sj(const char* utf8) { return Sjis::fromUtf8(utf8); }

MailSettings pace(const char* hour, const char* day, const char* days = "1111111", int holidays = 0,
                  const char* hours = "") {
  MailSettings s;
  s.hourLimit = hour;
  s.dayLimit = day;
  s.sendDays = days;
  s.skipHolidaysMode = holidays;
  s.sendHours = hours;
  return s;
}

// 2026-12-09 is a Wednesday; 2027-01-01 a Friday and a holiday; 2027-01-11 成人の日.
TEST(SendPace, LimitsCountTheDayAndTheLastHour) {
  SendPace p(pace("3", "5"));
  ASSERT_TRUE(p.problem().empty());
  p.start({"20261208235900", "20261209000100", "20261209093000", "20261209100000"});  // yesterday's is not today's
  EXPECT_EQ(p.spacingSeconds(), 1200);
  const struct {
    const char* now;
    SendPace::Stop stop;
    int allowed;
  } rows[] = {{"20261209100500", SendPace::Stop::none, 1},   // 2 in the last hour, 3 today
              {"20261209103100", SendPace::Stop::none, 2}};  // 09:30 is more than an hour ago
  for (const auto& r : rows) {
    EXPECT_EQ(p.check(r.now), r.stop) << r.now;
    EXPECT_EQ(p.allowedNow(r.now), r.allowed) << r.now;
  }
  p.sent("20261209103100");
  p.sent("20261209103200");
  EXPECT_EQ(p.check("20261209103300"), SendPace::Stop::dayLimit);
  EXPECT_EQ(p.stopText(SendPace::Stop::dayLimit, 7, "20261209103300"),
            sj("本日の送信上限 5 通に達しました。残り 7 名は次回送信します。"));
  EXPECT_EQ(p.check("20261210000000"), SendPace::Stop::none) << "a new day";
  EXPECT_EQ(SendPace(pace("0", "0")).allowedNow("20261209103300"), -1);
}

TEST(SendPace, DaysHoursAndHolidaysAndTheNextWindow) {
  const struct {
    const char* days;
    int holidays;
    const char* hours;
    const char* now;
    bool in;
    const char* next;
  } rows[] = {
      {"1111111", 0, "", "20261209030000", true, "202612090300"},
      {"1111111", 0, "0800-2100", "20261209075900", false, "202612090800"},
      {"1111111", 0, "0800-2100", "20261209210000", false, "202612100800"},
      {"1111100", 0, "0800-2100", "20261211220000", false, "202612140800"},  // Friday night: Monday
      {"1111111", 1, "", "20270101120000", false, "202701020000"},           // 元日
      {"1111100", 1, "0900-1700", "20270108180000", false, "202701120900"},  // weekend, then 成人の日
      {"1111111", 0, "2200-0600", "20261209050000", true, "202612090500"},   // past midnight
      {"1111111", 0, "2200-0600", "20261209120000", false, "202612092200"},
  };
  for (const auto& r : rows) {
    const SendPace p(pace("0", "0", r.days, r.holidays, r.hours));
    ASSERT_TRUE(p.problem().empty()) << r.hours;
    EXPECT_EQ(p.inWindow(r.now), r.in) << r.now << " " << r.days << " " << r.hours;
    EXPECT_EQ(p.nextWindow(r.now), r.next) << r.now << " " << r.days << " " << r.hours;
  }
  EXPECT_EQ(SendPace(pace("0", "0", "1111100", 0, "0800-2100")).stopText(SendPace::Stop::outsideWindow, 3, "20261212100000"),
            sj("送信できる曜日・時間帯ではありません。残り 3 名は次回送信します。次に送信できるのは 2026/12/14 08:00 からです。"));
}

TEST(SendPace, SettingsThatAreNoPaceAreRefused) {
  for (const MailSettings& s : {pace("-1", "0"), pace("0", "1x"), pace("0", "0", "0000000"), pace("0", "0", "111111"),
                                pace("0", "0", "1111111", 0, "0800"), pace("0", "0", "1111111", 0, "0800-0800"),
                                pace("0", "0", "1111111", 0, "2500-0100"), pace("0", "0", "1111111", 0, "0860-1000")})
    EXPECT_FALSE(SendPace(s).problem().empty()) << s.hourLimit << " " << s.dayLimit << " " << s.sendDays << " " << s.sendHours;
  EXPECT_TRUE(SendPace(pace("100", "2000", "0000011", 1, "0000-2400")).problem().empty());
}

}  // namespace
