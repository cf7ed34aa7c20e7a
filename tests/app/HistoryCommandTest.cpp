// `quormail history` run as a separate process of the real program in a portable folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/SendHistory.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace {

// CSV in UTF-8, fields with a comma, a quote or a line break quoted; the filters choose
// the reader and the first date; a malformed filter is a usage error.
TEST(HistoryCommand, PrintsTheHistoryAsCsvFilteredByReaderAndDate) {
  TestProgram program;
  std::filesystem::copy_file(QUORMAIL_PROGRAM, program.file("quormail"));
  HistoryStore store(program.sql());
  store.add({7, 1, DateStamp(20261201, 90501), SendOutcome::sent, "250 2.0.0", "OK", "A"});
  store.add({8, 1, DateStamp(20261201, 90502), SendOutcome::refused, "550 5.1.1", sj("不明, \"user\"\r\n宛先"), "A"});
  store.add({7, 2, DateStamp(20261202, 171500), SendOutcome::skipped, "", sj("送れない文字: ①"), "B"});
  program.closeDatabase();

  const std::string header = "reader,story,time,outcome,code,reply\n";
  const std::string first = "00007,1,2026/12/01 09:05:01,送信済,250 2.0.0,OK\n";
  const std::string second = "00008,1,2026/12/01 09:05:02,宛先不明で停止,550 5.1.1,\"不明, \"\"user\"\"\r\n宛先\"\n";
  const std::string third = "00007,2,2026/12/02 17:15:00,スキップ,,送れない文字: ①\n";
  const struct {
    const char* arguments;
    int exit;
    std::string out;
  } cases[] = {{"", 0, header + first + second + third},
               {"--reader 7", 0, header + first + third},
               {"--since 20261202 --reader 8", 0, header},
               {"--since 2026-12-02", 2, ""},
               {"--reader", 2, ""}};
  for (const auto& c : cases) {
    int exitCode = -1;
    const std::string out = runCommand("cd " + program.dir().string() + " && env -u DISPLAY -u WAYLAND_DISPLAY " +
                                           "timeout 60 ./quormail history " + c.arguments + " 2>/dev/null",
                                       &exitCode);
    EXPECT_EQ(exitCode, c.exit) << c.arguments;
    EXPECT_EQ(out, c.out) << c.arguments;
  }
}

}  // namespace
