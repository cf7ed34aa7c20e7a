#include <gtest/gtest.h>

#include <stdexcept>

#include "core/Clock.h"
#include "core/jstrm.h"
#include "core/mystd.h"
#include "tests/support/TestProgram.h"

namespace {

struct FixedClock {
  explicit FixedClock(const char* stamp) { Clock::setFixedStamp(stamp); }
  ~FixedClock() { Clock::setFixedStamp(""); }
};

TEST(ZeroFill, PadsTrimsAndKeepsTheLastDigits) {
  EXPECT_EQ(Zero_Fill(" 7 ", 5), "00007");
  EXPECT_EQ(Zero_Fill("", 5), "00000");
  EXPECT_EQ(Zero_Fill("1234567", 5), "34567");
  EXPECT_EQ(Zero_Fill("12345", 5), "12345");
  EXPECT_EQ(Space_Fill("12 ", 5), "   12");
  EXPECT_EQ(Space_Fill(" 12", 5), "   12");  // only the right end is trimmed
}

TEST(ZeroSuppress, BlanksLeadingZerosButKeepsTheLastDigit) {
  EXPECT_EQ(Zero_Suppress("00012"), "   12");
  EXPECT_EQ(Zero_Suppress("00000"), "    0");
  EXPECT_EQ(Zero_Suppress("0"), "0");
  EXPECT_EQ(Zero_Suppress("00100"), "  100");
  EXPECT_EQ(Zero_Suppress("12000"), "12000");
  EXPECT_EQ(Zero_Suppress("000.5"), "  0.5");
  EXPECT_EQ(Zero_Suppress("000", true), "   ");
  EXPECT_EQ(Zero_Suppress(""), "");
}

TEST(StrToIntDef, AcceptsSignedDecimalAndHexWithinInt32) {
  EXPECT_EQ(StrToIntDef("42", 0), 42);
  EXPECT_EQ(StrToIntDef("-7", 0), -7);
  EXPECT_EQ(StrToIntDef("+7", 0), 7);
  EXPECT_EQ(StrToIntDef("$1F", 0), 31);
  EXPECT_EQ(StrToIntDef("0x10", 0), 16);
  EXPECT_EQ(StrToIntDef("", -1), -1);
  EXPECT_EQ(StrToIntDef("   12", -1), 12);  // as Zero_Suppress shows it
  EXPECT_EQ(StrToIntDef("12 ", -1), -1);
  EXPECT_EQ(StrToIntDef("   ", -1), -1);
  EXPECT_EQ(StrToIntDef("12a", -1), -1);
  EXPECT_EQ(StrToIntDef("20240507123456", -1), -1);  // a 14-digit stamp is no number
  EXPECT_EQ(StrToIntDef("2147483647", 0), 2147483647);
  EXPECT_EQ(StrToIntDef("2147483648", 0), 0);
  EXPECT_EQ(StrToIntDef("-2147483648", 0), -2147483647 - 1);
}

TEST(DateComplete, CompletesFromTodayByLength) {
  FixedClock clock("20240507101010");
  EXPECT_EQ(Date_Complete("7"), "20240507");
  EXPECT_EQ(Date_Complete("15"), "20240515");
  EXPECT_EQ(Date_Complete("612"), "20240612");
  EXPECT_EQ(Date_Complete("1224"), "20241224");
  EXPECT_EQ(Date_Complete("51224"), "20251224");
  EXPECT_EQ(Date_Complete("991231"), "20991231");
  EXPECT_EQ(Date_Complete("0240612"), "20240612");  // 7 digits take the millennium digit
  EXPECT_EQ(Date_Complete("20230101999"), "20230101");
  EXPECT_EQ(Date_Complete(""), "");
}

TEST(DateComplete, RejectsImpossibleDates) {
  FixedClock clock("20240507101010");
  EXPECT_EQ(Date_Complete("0230"), "");
  EXPECT_EQ(Date_Complete("20231131"), "");
  EXPECT_EQ(Date_Complete("0229"), "20240229");  // 2024 is a leap year
  EXPECT_EQ(Date_Complete("20000229"), "20000229");
  EXPECT_EQ(Date_Complete("19000229"), "");
  EXPECT_EQ(Date_Complete("13"), "20240513");
  EXPECT_EQ(Date_Complete("32"), "");
  EXPECT_EQ(Date_Complete("+1"), "");  // a sign is not a digit
  {
    FixedClock notLeap("20230507101010");
    EXPECT_EQ(Date_Complete("0229"), "");
  }
}

TEST(FitWidth, NeverSplitsADoubleByteCharacter) {
  std::string name;
  for (int i = 0; i < 31; ++i) name += sj("あ");
  EXPECT_EQ(Fit_Width(name, 60), name.substr(0, 60));
  EXPECT_EQ(Fit_Width(name, 59), name.substr(0, 58) + " ");
  EXPECT_EQ(Fit_Width("abc  ", 5), "abc  ");
  EXPECT_EQ(Fit_Width("abc", 6), "abc   ");
  EXPECT_EQ(Fit_Width("", 3), "   ");
  const std::string loneLead("ab\x82", 3);
  EXPECT_EQ(Fit_Width(loneLead, 3), loneLead);
}

TEST(CharRoutines, CountAndCopyWholeCharacters) {
  EXPECT_EQ(Char_Count("ab"), 2);
  const std::string mixed = "a" + sj("漢");
  EXPECT_EQ(Char_Count(mixed), 2);
  EXPECT_EQ(mixed.size(), 3u);
  EXPECT_FALSE(IsHalfWidth(mixed));
  EXPECT_TRUE(IsHalfWidth("user@example.com"));
  const std::string text = sj("漢a字b");
  EXPECT_EQ(Char_Copy(text, Char_Count(text), 1), "b");
  EXPECT_EQ(Char_Copy(text, 2, 2), "a" + sj("字"));
  EXPECT_EQ(Char_Copy(text, 4, 5), "b");
  EXPECT_EQ(Char_Copy(text, 9, 1), "");
  // Half-width katakana are single bytes, not lead bytes.
  EXPECT_EQ(Char_Count(sj("ｱｲｳ")), 3);
}

TEST(ZenTrim, RemovesHalfAndFullWidthBlanksAtBothEnds) {
  const std::string full = sj("　");
  EXPECT_EQ(Zen_Trim(full + "abc" + full + " "), "abc");
  EXPECT_EQ(Zen_Trim(" " + full + sj("山田") + " " + full), sj("山田"));
  EXPECT_EQ(Zen_Trim(full + full), "");
  EXPECT_EQ(Zen_Trim(""), "");
  EXPECT_EQ(Zen_Trim("\tx\t"), "\tx\t");
  // 0x81 0x40 that is not a character of its own must stay: here 0x40 follows the
  // trail byte 0x81 of "\x81\x81".
  const std::string tricky("\x81\x81\x40", 3);
  EXPECT_EQ(Zen_Trim(tricky), tricky);
}

TEST(IsTrailByte, CountsLeadBytesToTheLeft) {
  const std::string text = sj("漢a");
  EXPECT_FALSE(Is_Trail_Byte(text, 1));
  EXPECT_TRUE(Is_Trail_Byte(text, 2));
  EXPECT_FALSE(Is_Trail_Byte(text, 3));
  try {
    Is_Trail_Byte(text, 4);
    FAIL();
  } catch (const std::out_of_range& e) {
    EXPECT_STREQ(e.what(), "Illegal Index");
  }
  EXPECT_THROW(Is_Trail_Byte(text, 0), std::out_of_range);
  EXPECT_THROW(Is_Trail_Byte("", 1), std::out_of_range);
}

}  // namespace
