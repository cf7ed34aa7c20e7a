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
