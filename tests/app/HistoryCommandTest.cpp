// `quormail history` run as a separate process of the real program in a portable folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/ConsentStore.h"
#include "core/SendHistory.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace {

// CSV in UTF-8, fields with a comma, a quote or a line break quoted, each reader's consent
// before its entries; the filters choose the reader and the first date; a malformed
// filter is a usage error.
TEST(HistoryCommand, PrintsTheHistoryAsCsvFilteredByReaderAndDate) {
  TestProgram program;
  std::filesystem::copy_file(QUORMAIL_PROGRAM, program.file("quormail"));
  HistoryStore store(program.sql());
  store.add({7, 1, DateStamp(20261201, 90501), SendOutcome::sent, "250 2.0.0", "OK", "A"});
  store.add({8, 1, DateStamp(20261201, 90502), SendOutcome::refused, "550 5.1.1", sj("不明, \"user\"\r\n宛先"), "A"});
  store.add({7, 2, DateStamp(20261202, 171500), SendOutcome::skipped, "", sj("送れない文字: ①"), "B"});
  ConsentStore(program.sql())
      .add({7, "a@example.jp", ConsentSource::webForm, DateStamp(20261130, 80000), "https://example.jp/r.cgi?a,b"});
  program.closeDatabase();

  const std::string header = "reader,story,time,outcome,code,reply\n";
  const std::string first = "00007,1,2026/12/01 09:05:01,送信済,250 2.0.0,OK\n";
  const std::string second = "00008,1,2026/12/01 09:05:02,宛先不明で停止,550 5.1.1,\"不明, \"\"user\"\"\r\n宛先\"\n";
  const std::string third = "00007,2,2026/12/02 17:15:00,スキップ,,送れない文字: ①\n";
  // Each reader's consent before its first entry; reader 8 has none on record.
  const std::string consent7 = "00007,,2026/11/30 08:00:00,同意: Webフォーム,,\"https://example.jp/r.cgi?a,b\"\n";
  const std::string consent8 = "00008,,,同意: 記録なし,,\n";
  const struct {
    const char* arguments;
    int exit;
    std::string out;
  } cases[] = {{"", 0, header + consent7 + first + consent8 + second + third},
               {"--reader 7", 0, header + consent7 + first + third},
               {"--since 20261202 --reader 8", 0, header + consent8},
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
