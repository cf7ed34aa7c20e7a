// When a reader's next story mail falls due, and the send options read from the
// settings file.
#include <gtest/gtest.h>

#include "sending/SendOptions.h"
#include "sending/SendSchedule.h"
#include "settings/SettingsFiles.h"
#include "tests/support/TestProgram.h"

namespace {

TEST(SendSchedule, CountsCalendarDaysAcrossMonthsYearsAndLeapDays) {
  for (const char* date : {"19700101", "20240228", "20240229", "20240301", "20231231", "21000228", "20000229"})
    EXPECT_EQ(SendSchedule::dateOf(SendSchedule::dayNumber(date)), date);
  EXPECT_EQ(SendSchedule::dayNumber("19700101"), 0);
  EXPECT_EQ(SendSchedule::dateOf(SendSchedule::dayNumber("20240228") + 2), "20240301");
  EXPECT_EQ(SendSchedule::dateOf(SendSchedule::dayNumber("20230228") + 1), "20230301");
  EXPECT_EQ(SendSchedule::dateOf(SendSchedule::dayNumber("20231231") + 1), "20240101");
  // What the tables hold for "never" and what a typist may leave behind count as no date.
  for (const char* bad : {"00000000", "", "20240230", "2024-5-1", "        ", "20241301"})
    EXPECT_EQ(SendSchedule::dayNumber(bad), -1) << bad;
}

TEST(SendSchedule, StoryOneCountsFromRegistrationLaterOnesFromTheLastMail) {
  // Story 1 waits 3 days, story 2 waits 7, story 3 has no interval.
  const SendSchedule schedule({0, 3, 7}, false);
  EXPECT_EQ(schedule.dueDate(1, "20240505", "00000000"), "20240508");
  EXPECT_EQ(schedule.dueDate(2, "20240101", "20240501"), "20240508");
  EXPECT_EQ(schedule.dueDate(3, "20240101", "20240507"), "20240507");
  // Nothing to count from: due at once.
  EXPECT_EQ(schedule.dueDate(2, "20240101", "00000000"), "");
  EXPECT_TRUE(SendSchedule::dueBy("", "20240507"));
  EXPECT_TRUE(SendSchedule::dueBy("20240507", "20240507"));
  EXPECT_FALSE(SendSchedule::dueBy("20240508", "20240507"));

  // One mail a day: never on the day of the previous mail, whatever the interval.
  const SendSchedule daily({0, 3, 7}, true);
  EXPECT_EQ(daily.dueDate(3, "20240101", "20240507"), "20240508");
  EXPECT_EQ(daily.dueDate(1, "20240501", "20240507"), "20240508");  // a reader set back to story 1
  EXPECT_EQ(daily.dueDate(2, "20240101", "20240501"), "20240508");
  EXPECT_EQ(daily.dueDate(1, "20240505", "00000000"), "20240508");
}

TEST(SendOptions, OneMailADayIsOnForNewInstallationsAndTheUrlMustBeHttps) {
  TestProgram program(false, false);
  const SettingsPaths paths{program.file("QuorMail.env"), {}, {}, {}};
  SendOptions o = SendOptions::load(paths);
  EXPECT_TRUE(o.onePerDay);  // no settings file yet: a new installation
  EXPECT_EQ(o.unsubscribeUrl, "");
  EXPECT_EQ(o.secretFile, program.file("QuorMailSecret.env"));

  TestProgram::writeFile(paths.env, "[Mail]\r\nSmtp=127.0.0.1\r\nUnsubscribeUrl=http://example.jp/u.php\r\n");
  o = SendOptions::load(paths);
  EXPECT_FALSE(o.onePerDay);  // an existing installation without the key
  EXPECT_EQ(o.unsubscribeUrl, "");

  TestProgram::writeFile(paths.env, "[mail]\r\nonePerDay=1\r\nUnsubscribeUrl= https://example.jp/u.php \r\n");
  o = SendOptions::load(paths);
  EXPECT_TRUE(o.onePerDay);
  EXPECT_EQ(o.unsubscribeUrl, "https://example.jp/u.php");
  TestProgram::writeFile(paths.env, "[Mail]\r\nOnePerDay=0\r\n");
  EXPECT_FALSE(SendOptions::load(paths).onePerDay);
}

}  // namespace
