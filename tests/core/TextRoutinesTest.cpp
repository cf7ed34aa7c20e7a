#include <gtest/gtest.h>

#include <stdexcept>

#include "core/Clock.h"
#include "core/DateStamp.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "tests/support/TestProgram.h"

namespace {

struct FixedClock {
  explicit FixedClock(const char* stamp) { Clock::setFixedStamp(stamp); }
  ~FixedClock() { Clock::setFixedStamp(""); }
};

TEST(ZeroFill, PadsTrimsAndKeepsTheLastDigits) {
  EXPECT_EQ(zeroFill(" 7 ", 5), "00007");
  EXPECT_EQ(zeroFill("", 5), "00000");
  EXPECT_EQ(zeroFill("1234567", 5), "34567");
  EXPECT_EQ(zeroFill("12345", 5), "12345");
  EXPECT_EQ(spaceFill("12 ", 5), "   12");
  EXPECT_EQ(spaceFill(" 12", 5), "   12");  // only the right end is trimmed
}

TEST(ZeroSuppress, BlanksLeadingZerosButKeepsTheLastDigit) {
  EXPECT_EQ(zeroSuppress("00012"), "   12");
  EXPECT_EQ(zeroSuppress("00000"), "    0");
  EXPECT_EQ(zeroSuppress("0"), "0");
  EXPECT_EQ(zeroSuppress("00100"), "  100");
  EXPECT_EQ(zeroSuppress("12000"), "12000");
  EXPECT_EQ(zeroSuppress("000.5"), "  0.5");
  EXPECT_EQ(zeroSuppress("000", true), "   ");
  EXPECT_EQ(zeroSuppress(""), "");
}

TEST(ToIntOr, AcceptsSignedDecimalAndHexWithinInt32) {
  EXPECT_EQ(toIntOr("42", 0), 42);
  EXPECT_EQ(toIntOr("-7", 0), -7);
  EXPECT_EQ(toIntOr("+7", 0), 7);
  EXPECT_EQ(toIntOr("$1F", 0), 31);
  EXPECT_EQ(toIntOr("0x10", 0), 16);
  EXPECT_EQ(toIntOr("", -1), -1);
  EXPECT_EQ(toIntOr("   12", -1), 12);  // as zeroSuppress shows it
  EXPECT_EQ(toIntOr("12 ", -1), -1);
  EXPECT_EQ(toIntOr("   ", -1), -1);
  EXPECT_EQ(toIntOr("12a", -1), -1);
  EXPECT_EQ(toIntOr("20240507123456", -1), -1);  // a 14-digit stamp is no number
  EXPECT_EQ(toIntOr("2147483647", 0), 2147483647);
  EXPECT_EQ(toIntOr("2147483648", 0), 0);
  EXPECT_EQ(toIntOr("-2147483648", 0), -2147483647 - 1);
}

TEST(DateComplete, CompletesFromTodayByLength) {
  FixedClock clock("20240507101010");
  EXPECT_EQ(completeDate("7"), "20240507");
  EXPECT_EQ(completeDate("15"), "20240515");
  EXPECT_EQ(completeDate("612"), "20240612");
  EXPECT_EQ(completeDate("1224"), "20241224");
  EXPECT_EQ(completeDate("51224"), "20251224");
  EXPECT_EQ(completeDate("991231"), "20991231");
  EXPECT_EQ(completeDate("0240612"), "20240612");  // 7 digits take the millennium digit
  EXPECT_EQ(completeDate("20230101999"), "20230101");
  EXPECT_EQ(completeDate(""), "");
}

TEST(DateComplete, RejectsImpossibleDates) {
  FixedClock clock("20240507101010");
  EXPECT_EQ(completeDate("0230"), "");
  EXPECT_EQ(completeDate("20231131"), "");
  EXPECT_EQ(completeDate("0229"), "20240229");  // 2024 is a leap year
  EXPECT_EQ(completeDate("20000229"), "20000229");
  EXPECT_EQ(completeDate("19000229"), "");
  EXPECT_EQ(completeDate("13"), "20240513");
  EXPECT_EQ(completeDate("32"), "");
  EXPECT_EQ(completeDate("+1"), "");  // a sign is not a digit
  {
    FixedClock notLeap("20230507101010");
    EXPECT_EQ(completeDate("0229"), "");
  }
}

TEST(DateStamp, ShowsDatesAndTimesAsPeopleReadThemAndReadsThemBack) {
  const std::string dash = "\x81\x5C";  // the CP932 dash
  const std::pair<DateStamp, std::string> cases[] = {{DateStamp(20261209, 80000), "2026/12/09 08:00:00"},
                                                     {DateStamp(20240101, 0), "2024/01/01 00:00:00"},
                                                     {DateStamp(), dash + " " + dash}};
  for (const auto& [stamp, shown] : cases) {
    EXPECT_EQ(stamp.shownDate() + " " + stamp.shownTime(), shown);
    EXPECT_EQ(DateStamp::fromText(DateStamp::digitsOf(stamp.shownDate()), DateStamp::digitsOf(stamp.shownTime())), stamp);
  }
}

TEST(FitWidth, NeverSplitsADoubleByteCharacter) {
  std::string name;
  for (int i = 0; i < 31; ++i) name += sj("あ");
  EXPECT_EQ(fitWidth(name, 60), name.substr(0, 60));
  EXPECT_EQ(fitWidth(name, 59), name.substr(0, 58) + " ");
  EXPECT_EQ(fitWidth("abc  ", 5), "abc  ");
  EXPECT_EQ(fitWidth("abc", 6), "abc   ");
  EXPECT_EQ(fitWidth("", 3), "   ");
  const std::string loneLead("ab\x82", 3);
  EXPECT_EQ(fitWidth(loneLead, 3), loneLead);
}

TEST(CharRoutines, CountAndCopyWholeCharacters) {
  EXPECT_EQ(charCount("ab"), 2);
  const std::string mixed = "a" + sj("漢");
  EXPECT_EQ(charCount(mixed), 2);
  EXPECT_EQ(mixed.size(), 3u);
  EXPECT_FALSE(isHalfWidth(mixed));
  EXPECT_TRUE(isHalfWidth("user@example.com"));
  const std::string text = sj("漢a字b");
  EXPECT_EQ(charCopy(text, charCount(text), 1), "b");
  EXPECT_EQ(charCopy(text, 2, 2), "a" + sj("字"));
  EXPECT_EQ(charCopy(text, 4, 5), "b");
  EXPECT_EQ(charCopy(text, 9, 1), "");
  // Half-width katakana are single bytes, not lead bytes.
  EXPECT_EQ(charCount(sj("ｱｲｳ")), 3);
}

TEST(TrimFullWidth, RemovesHalfAndFullWidthBlanksAtBothEnds) {
  const std::string full = sj("　");
  EXPECT_EQ(trimFullWidth(full + "abc" + full + " "), "abc");
  EXPECT_EQ(trimFullWidth(" " + full + sj("山田") + " " + full), sj("山田"));
  EXPECT_EQ(trimFullWidth(full + full), "");
  EXPECT_EQ(trimFullWidth(""), "");
  EXPECT_EQ(trimFullWidth("\tx\t"), "\tx\t");
  // 0x81 0x40 that is not a character of its own must stay: here 0x40 follows the
  // trail byte 0x81 of "\x81\x81".
  const std::string tricky("\x81\x81\x40", 3);
  EXPECT_EQ(trimFullWidth(tricky), tricky);
}

TEST(IsTrailByte, CountsLeadBytesToTheLeft) {
  const std::string text = sj("漢a");
  EXPECT_FALSE(isTrailByte(text, 1));
  EXPECT_TRUE(isTrailByte(text, 2));
  EXPECT_FALSE(isTrailByte(text, 3));
  try {
    isTrailByte(text, 4);
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "Illegal Index");
  }
  EXPECT_THROW(isTrailByte(text, 0), std::out_of_range);
  EXPECT_THROW(isTrailByte("", 1), std::out_of_range);
}

}  // namespace
