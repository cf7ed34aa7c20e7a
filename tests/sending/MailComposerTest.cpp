#include <gtest/gtest.h>
#include <sys/stat.h>

#include "sending/MailComposer.h"
#include "sending/SendLog.h"
#include "tests/support/TestProgram.h"

namespace {

std::string repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(MailComposer, PutsTheNameInOrTheDefaultName) {
  const std::string story = "##readername##" + sj("様");
  EXPECT_EQ(composeBody(sj("山田"), sj("読者"), story, 80), sj("山田様") + "\r\n");
  EXPECT_EQ(composeBody("   ", sj("読者"), story, 80), sj("読者様") + "\r\n");
  EXPECT_EQ(composeBody("", "", story, 80), sj("様") + "\r\n");
  // Every placeholder gets the name: twice on a line, adjacent, and on the next line.
  EXPECT_EQ(composeBody(sj("山田"), "", "##readername##" + sj("様、") + "##readername####readername##\r\n##readername##", 80),
            sj("山田様、山田山田") + "\r\n" + sj("山田") + "\r\n");
  // A name holding the placeholder is put in as it is, not expanded again.
  EXPECT_EQ(composeBody("##readername##", "", "a##readername##b##readername##", 80),
            "a##readername##b##readername##\r\n");
}

TEST(MailComposer, WrapsByBytesNeverSplittingACharacter) {
  EXPECT_EQ(composeBody("", "", std::string(80, 'a'), 80), std::string(80, 'a') + "\r\n");
  const std::string zen = sj("あ");
  EXPECT_EQ(composeBody("", "", repeat(zen, 41), 80), repeat(zen, 40) + "\r\n" + zen + "\r\n");
  EXPECT_EQ(composeBody("", "", std::string(79, 'a') + zen, 80), std::string(79, 'a') + "\r\n" + zen + "\r\n");
  // Blanks at the break stay where they fall.
  EXPECT_EQ(wrapLine("ab cd", 3), "ab \r\ncd\r\n");
}

TEST(MailComposer, EveryLineEndsWithCrLf) {
  EXPECT_EQ(composeBody("", "", "one\r\n\r\nthree", 80), "one\r\n\r\nthree\r\n");
  EXPECT_EQ(composeBody("", "", "one\r\ntwo\r\n", 80), "one\r\ntwo\r\n");
  EXPECT_EQ(composeBody("", "", "", 80), "");
}

TEST(MailComposer, FillsTheFooterAndWrapsItButNeverBreaksTheUnsubscribeLink) {
  const std::string link = "https://example.jp/u.php?id=00001&code=0123456789abcdef";
  const FooterItems items{sj("山田商店"), sj("東京都千代田区千代田1-1"), "03-1234-5678", link};
  struct Case {
    const char* what;
    std::string footerTemplate;
    int width;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"every placeholder, lines in CR LF", sj("発行者：##sendername##\r\n住所：##postaladdress##\r\n") + "##contact##\r\n",
       80, sj("発行者：山田商店\r\n住所：東京都千代田区千代田1-1\r\n") + "03-1234-5678\r\n"},
      {"LF line ends, a blank line, no break at the end", "a##contact##\n\nb", 80, "a03-1234-5678\r\n\r\nb\r\n"},
      {"a filled value is not searched again", "##sendername####contact##", 80, sj("山田商店") + "03-1234-5678\r\n"},
      {"wrapped at the width, never inside a character", sj("住所：##postaladdress##"), 20,
       sj("住所：東京都千代田区\r\n千代田1-1") + "\r\n"},
      {"a link longer than the width stays whole", "##unsubscribe##", 20, link + "\r\n"},
      {"a link line that fits stays one line", sj("停止：##unsubscribe##"), 80, sj("停止：") + link + "\r\n"},
      {"too long: the link on a line of its own, the text around it wrapped",
       sj("配信停止はこちら：##unsubscribe##") + " (1)", 10, sj("配信停止は\r\nこちら：\r\n") + link + "\r\n (1)\r\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(composeFooter(c.footerTemplate, items, c.width), c.expected) << c.what;
}

TEST(SendLog, HeaderOnceThenOneLinePerRowAndDeletedAtRunStart) {
  TestProgram p(false);
  SendLog log(p.file("SndMail.log"));
  TestProgram::writeFile(log.path(), "old run\r\n");
  log.startRun();
  EXPECT_FALSE(std::filesystem::exists(log.path()));
  const std::vector<std::string> header = {sj("送信指示"), sj("登録日 ")};
  log.writeRow(header, {sj("  済  "), "a,b"});
  log.writeRow(header, {sj("  Skip  "), ""});
  EXPECT_EQ(TestProgram::readFile(log.path()),
            sj("送信指示,登録日 ") + "\r\n" + sj("  済  ") + ",a,b\r\n" + sj("  Skip  ") + ",\r\n");
}

// The log lists readers' names and addresses: readable by the owner only, even under
// a permissive umask and after a wider file of an earlier version.
TEST(SendLog, IsReadableByItsOwnerOnly) {
  TestProgram p(false);
  SendLog log(p.file("SndMail.log"));
  TestProgram::writeFile(log.path(), "old run\r\n");
  std::filesystem::permissions(log.path(), std::filesystem::perms(0644));
  const mode_t before = ::umask(0);
  log.startRun();
  log.writeRow({"h"}, {"a"});
  ::umask(before);
  EXPECT_EQ(std::filesystem::status(log.path()).permissions(), std::filesystem::perms(0600));
  EXPECT_EQ(TestProgram::readFile(log.path()), "h\r\na\r\n");
}

TEST(SendLog, UnwritableFileIsIgnored) {
  SendLog log("/nonexistent-folder/SndMail.log");
  log.startRun();
  EXPECT_FALSE(log.appendLine("x"));
}

}  // namespace
