#include <gtest/gtest.h>

#include "core/JisCoverage.h"
#include "tests/support/TestProgram.h"

namespace {

TEST(JisCoverage, FindsWhatIso2022JpCannotCarryWithLineAndColumn) {
  const std::string text = sj("第①話　㈱クオル\r\nⅡ期の髙橋と山﨑\r\n漢字ｶﾅABC～");
  const auto found = JisCoverage::find(text);
  ASSERT_EQ(found.size(), 5u);
  EXPECT_EQ(found[0].character, sj("①"));
  EXPECT_EQ(found[0].line, 1);
  EXPECT_EQ(found[0].column, 2);
  EXPECT_EQ(found[0].substitute, "(1)");
  EXPECT_EQ(found[1].character, sj("㈱"));
  EXPECT_EQ(found[1].column, 5);
  EXPECT_EQ(found[2].character, sj("Ⅱ"));
  EXPECT_EQ(found[2].line, 2);
  EXPECT_EQ(found[2].column, 1);
  EXPECT_EQ(found[3].character, sj("髙"));
  EXPECT_EQ(found[3].column, 4);
  EXPECT_EQ(found[4].character, sj("﨑"));
  EXPECT_EQ(found[4].substitute, sj("崎"));

  EXPECT_EQ(JisCoverage::replaceWithSubstitutes(text), sj("第(1)話　(株)クオル\r\nII期の高橋と山崎\r\n漢字ｶﾅABC～"));
  EXPECT_TRUE(JisCoverage::find(JisCoverage::replaceWithSubstitutes(text)).empty());
  EXPECT_EQ(JisCoverage::describe(found, 2), sj("1行2列「①」 -> (1)\r\n1行5列「㈱」 -> (株)\r\nほか 3 文字\r\n"));
}

TEST(JisCoverage, OrdinaryJapaneseAndUserDefinedCharacters) {
  EXPECT_TRUE(JisCoverage::find(sj("ステップメール第２回です。「よろしく」※〒℃熙")).empty());
  // A user-defined character, or an NEC-selected IBM one (leads 0xED, 0xEE), without a
  // substitute is found and stays as it is.
  for (const std::string other : {"\xF0\x40", "\xED\x40", "\xEE\xFC"}) {
    const auto found = JisCoverage::find("a" + other);
    ASSERT_EQ(found.size(), 1u) << other;
    EXPECT_EQ(found[0].substitute, "");
    EXPECT_EQ(JisCoverage::replaceWithSubstitutes("a" + other), "a" + other);
  }
}

}  // namespace
