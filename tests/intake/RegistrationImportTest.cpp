
#include <algorithm>

#include "core/ConsentStore.h"
#include "core/Database.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/RegistrationImport.h"
#include "tests/intake/IntakeFixture.h"

namespace {

const std::string kPrefix = "[240507 12:34:56] ";

struct RegistrationImportTest : IntakeTest {
  RunLog log{program.file("FtpRcv.log"), program.file("FtpRcv_Err.log")};
  RegistrationImport importer{program.sql(), log, listener, stop};
  std::filesystem::path file = program.file("registdata.cgi");

  bool import(const std::string& content) {
    TestProgram::writeFile(file, content);
    return importer.importFile(file);
  }
  std::vector<std::string> errorLog() { return lines(TestProgram::readFile(program.file("FtpRcv_Err.log"))); }
  std::vector<std::string> runLog() { return lines(TestProgram::readFile(program.file("FtpRcv.log"))); }
  static std::string tail(const std::string& name, const std::string& mail, const std::string& stamp) {
    return sj("->名前-> [") + name + sj("] メールアドレス [") + mail + sj("] 登録時間 [") + stamp + "]";
  }
};

TEST_F(RegistrationImportTest, NumbersNewReadersOnFromTheLargestAndStoresEveryColumn) {
  storeReaders(1, 41);
  const std::string name = sj("山田　太郎");
  EXPECT_TRUE(import(sj("　山田　太郎　") + "\t taro@example.com \t2024/05/06 07:08:09\t https://example.jp/r.cgi \r\n" +
                     "\thanako@example.jp\t2023-12-31 23:59:58\n"));
  EXPECT_EQ(importer.registeredCount(), 2);
  EXPECT_FALSE(importer.refusedLinesLogged());
  const auto rows = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME", "SYORIKBN", "NEXTSTORY",
                             "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE", "SNDLASTTIME", "BIKO1"});
  ASSERT_EQ(rows.size(), 43u);
  EXPECT_EQ(rows[41], (std::vector<std::string>{"00042", pad("taro@example.com", 50), "20240506", "070809",
                                                 pad(name, 60), "01", "00001", "00000000", "000000", "00000000",
                                                 "000000", pad("", 60)}));
  EXPECT_EQ(rows[42][0], "00043");
  EXPECT_EQ(rows[42][2] + rows[42][3], "20231231235958");
  EXPECT_EQ(rows[42][4], pad("", 60));
  EXPECT_EQ(runLog(), (std::vector<std::string>{kPrefix + sj("DB登録開始"), kPrefix + sj("DB登録成功")}));
  EXPECT_TRUE(listener.boxes.empty());
  // The consent: the form at the line's time, its address when the line gives it.
  ConsentStore consents(program.sql());
  EXPECT_EQ(consentLine(consents.newest(42)), sj("同意: Webフォーム 2024/05/06 07:08:09 https://example.jp/r.cgi"));
  EXPECT_EQ(consents.newest(42)->address, "taro@example.com");
  EXPECT_EQ(consentLine(consents.newest(43)), sj("同意: Webフォーム 2023/12/31 23:59:58 フォームのアドレス不明"));
}

TEST_F(RegistrationImportTest, RefusesOrMendsBadLinesAndLogsEachAsWritten) {
  const std::string longName = sj("あいうえおかきくけこ") + "x" + sj("さしすせそたちつてとなにぬねのはひふへほ");  // 61 bytes
  ASSERT_EQ(longName.size(), 61u);
  EXPECT_TRUE(import(sj("花子") + "\t\t2024/05/06 07:08:09\n" +           // no address
                     "Ichiro\tichiro@example.com\t2004/5/6 1:2:3\n" +      // unreadable date and time
                     "Jiro\tjiro@example.com\t2024/01/02 03:04:05\tx\ty\n" +  // five fields
                     longName + "\tlong@example.com\t2024/01/02 03:04:05\n" +
                     "\n"));                                               // empty last line
  EXPECT_TRUE(importer.refusedLinesLogged());
  EXPECT_EQ(importer.registeredCount(), 3);
  EXPECT_EQ(errorLog(), (std::vector<std::string>{
                            kPrefix + sj("メールアドレスが未登録です。DBに登録出来ませんでした。") +
                                tail(sj("花子"), "", "2024/05/06 07:08:09"),
                            kPrefix + "00001" + sj("登録日に誤りがありました。システム日をセットしました。") +
                                tail("Ichiro", "ichiro@example.com", "2004/5/6 1:2:3"),
                            kPrefix + "00001" + sj("登録時間に誤りがありました。システム時間をセットしました。") +
                                tail("Ichiro", "ichiro@example.com", "2004/5/6 1:2:3"),
                            kPrefix + sj("メールアドレスが未登録です。DBに登録出来ませんでした。") + tail("", "", ""),
                        }));
  EXPECT_EQ(listener.message, sj("DB登録成功"));
  const auto rows = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][2] + rows[0][3], "20240507123456");  // today and now instead
  EXPECT_EQ(rows[1][1], pad("jiro@example.com", 50));
  EXPECT_EQ(rows[1][2] + rows[1][3], "20240102030405");
  // Cut at a character boundary: the double-byte character across byte 60 is dropped whole.
  EXPECT_EQ(rows[2][4], pad(longName.substr(0, 59), 60));
}

TEST_F(RegistrationImportTest, AnAddressAReaderHasIsRefusedAndThatReaderLeftAsItIs) {
  storeReader("00001", "Taro@Example.com", "00");  // unsubscribed
  storeReader("00002", "hanako@example.jp");
  storeReader("00003", sj("ア") + "a@example.jp");  // 83 41: the trail byte reads as "A"
  EXPECT_TRUE(import(std::string("Taro\t TARO@example.COM \t2024/05/06 07:08:09\n") +
                     "New\tzed@example.com\t2024/05/06 07:08:09\n" +
                     "Again\tZED@Example.com\t2024/05/06 07:08:10\n" +
                     "Hanako\thanako@example.jp\t2024/05/06 07:08:11\n"));
  EXPECT_EQ(importer.registeredCount(), 1);
  const std::string refused = sj("このメールアドレスは既に登録されています。DBに登録出来ませんでした。");
  EXPECT_EQ(errorLog(), (std::vector<std::string>{
                            kPrefix + refused + tail("Taro", "TARO@example.COM", "2024/05/06 07:08:09"),
                            kPrefix + refused + tail("Again", "ZED@Example.com", "2024/05/06 07:08:10"),
                            kPrefix + refused + tail("Hanako", "hanako@example.jp", "2024/05/06 07:08:11"),
                        }));
  const auto rows = readers({"ID", "MAILADDRESS", "SYORIKBN"});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"00001", pad("Taro@Example.com", 50), "00"}))
      << "a file re-activated an unsubscribed reader";
  EXPECT_EQ(rows[3][1], pad("zed@example.com", 50));
  // 83 41 is "ア": its trail byte is no "A" to lower into "ャ" (83 61).
  EXPECT_EQ(addressKey(sj("ア") + "a@example.jp"), sj("ア") + "a@example.jp");
}

// A registration glued onto half of another (a full disk on the web host) makes an
// address that is no mailbox: refused like any malformed one.
TEST_F(RegistrationImportTest, AnAddressThatIsNoMailboxIsRefused) {
  const std::vector<std::string> malformed = {"lost1@example.c" + sj("佐藤"), "a@b@example.com", "@example.com",
                                              "a@example", "a@example..com", "a@example.com.", "a(b)@example.com",
                                              sj("ャ") + "a@example.jp"};
  std::string content = "N\ttaro..x.@docomo.ne.jp\t2024/01/02 03:04:05\n";  // as some carriers give them
  for (const std::string& address : malformed) content += "N\t" + address + "\t2024/01/02 03:04:05\n";
  EXPECT_TRUE(import(content));
  std::vector<std::string> expected;
  for (const std::string& address : malformed)
    expected.push_back(kPrefix + sj("メールアドレスの形式に誤りがあります。DBに登録出来ませんでした。") +
                       tail("N", address, "2024/01/02 03:04:05"));
  EXPECT_EQ(errorLog(), expected);
  EXPECT_EQ(readerCount(), 1u);
}

TEST_F(RegistrationImportTest, LinesOfRandomBytesNeverInsertAReaderTwice) {
  const std::string content = randomLines(7, 120, '\t');
  import(content);
  const auto ids = readers({"ID"});
  EXPECT_EQ(static_cast<int>(ids.size()), importer.registeredCount());
  for (size_t i = 0; i < ids.size(); ++i) EXPECT_EQ(ids[i][0], zeroFill(std::to_string(i + 1), 5));
}

TEST_F(RegistrationImportTest, StopsAtReaderNumber99999AndReadsNoFurther) {
  storeReaders(99997, 99998);
  EXPECT_FALSE(import("A\ta@example.com\t2024/01/02 03:04:05\n"
                      "B\tb@example.com\t2024/01/02 03:04:05\n"
                      "C\tc@example.com\t2024/01/02 03:04:05\n"));
  EXPECT_FALSE(importer.succeeded());
  EXPECT_EQ(importer.registeredCount(), 1);
  const auto ids = readers({"ID", "MAILADDRESS"});
  ASSERT_EQ(ids.size(), 3u);
  EXPECT_EQ(ids.back(), (std::vector<std::string>{"99999", pad("a@example.com", 50)}));
  EXPECT_EQ(errorLog(), (std::vector<std::string>{kPrefix + sj("IDが０より小さいか、MAX 99999を超えました。") +
                                                  tail("B", "b@example.com", "2024/01/02 03:04:05")}));
}

TEST_F(RegistrationImportTest, StopRequestMidImportKeepsEveryReaderAndInsertsEachOnce) {
  // The server's copy is already emptied when the import runs: a stop marks the run
  // failed but the file is still imported to its end.
  listener.onRegistered = [&](int count) {
    if (count == 2) stop = true;
  };
  std::string content;
  for (int i = 1; i <= 6; ++i) content += "R" + std::to_string(i) + "\tr" + std::to_string(i) + "@example.com\t2024/01/02 03:04:05\n";
  EXPECT_FALSE(import(content));
  EXPECT_EQ(readerCount(), 6u);
  // The stop marks the run failed: the readers after it are stored but not counted.
  EXPECT_EQ(importer.registeredCount(), 2);
}

TEST_F(RegistrationImportTest, NumberTakenByAnotherWriterMovesOnToTheNextFreeOne) {
  // Another writer takes the next number after the largest one was read.
  listener.onRegistered = [&](int count) {
    if (count == 1) program.exec("INSERT INTO USERLIST (ID) VALUES ('00002')");
  };
  EXPECT_TRUE(import("A\ta@example.com\t2024/01/02 03:04:05\n"
                     "B\tb@example.com\t2024/01/02 03:04:05\n"
                     "C\tc@example.com\t2024/01/02 03:04:05\n"));
  const auto rows = readers({"ID", "MAILADDRESS"});
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[1][1], "");  // the other writer's reader, untouched
  EXPECT_EQ(rows[2], (std::vector<std::string>{"00003", pad("b@example.com", 50)}));
  EXPECT_EQ(rows[3], (std::vector<std::string>{"00004", pad("c@example.com", 50)}));
  EXPECT_TRUE(listener.boxes.empty());
  EXPECT_EQ(importer.registeredCount(), 3);
}

TEST_F(RegistrationImportTest, RejectedInsertIsUndoneAloneAndTheNextLinesGoOn) {
  program.exec("CREATE EXCEPTION REFUSED_READER 'refused by the test'");
  program.exec("CREATE TRIGGER REFUSE_B FOR USERLIST BEFORE INSERT AS BEGIN "
               "IF (NEW.MAILADDRESS STARTING WITH 'b@') THEN EXCEPTION REFUSED_READER; END");
  EXPECT_FALSE(import("A\ta@example.com\t2024/01/02 03:04:05\n"
                      "B\tb@example.com\t2024/01/02 03:04:05\n"
                      "C\tc@example.com\t2024/01/02 03:04:05\n"));
  const auto rows = readers({"ID", "MAILADDRESS"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"00001", pad("a@example.com", 50)}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"00003", pad("c@example.com", 50)}));  // 2 was used up
  ASSERT_EQ(listener.boxes.size(), 1u);
  EXPECT_EQ(listener.boxes[0].first, OperatorBox::Error);
  EXPECT_NE(listener.boxes[0].second.find("refused by the test"), std::string::npos) << listener.boxes[0].second;
  const auto lines = runLog();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1], kPrefix + sj("DB INSERT 失敗"));
  EXPECT_EQ(lines[2].rfind(kPrefix + "exception 1\n-REFUSED_READER\n-refused by the test", 0), 0u) << lines[2];
  // The failure marks the run failed: the reader after it is stored, not counted.
  EXPECT_EQ(importer.registeredCount(), 1);
}

TEST_F(RegistrationImportTest, LineEndsByteOrderMarkAndTheLastLineWithoutItsEnd) {
  // A file without any LF ends its lines at CR; the byte-order mark is dropped.
  EXPECT_TRUE(import("\xEF\xBB\xBF" "A\ta@example.com\t2024/01/02 03:04:05\r"
                     "B\tb@example.com\t2024/01/02 03:04:05\r"
                     "C\tc@example.com\t2024/01/02 03:04:05"));
  auto rows = readers({"NAME", "MAILADDRESS"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{pad("A", 60), pad("a@example.com", 50)}));
  EXPECT_EQ(rows[2], (std::vector<std::string>{pad("C", 60), pad("c@example.com", 50)}));

  // With LF in the file a lone CR inside a line is dropped; the last line needs no LF.
  EXPECT_TRUE(import("D\td@exa\rmple.com\t2024/01/02 03:04:05\nE\te@example.com\t2024/01/02 03:04:05"));
  rows = readers({"MAILADDRESS"});
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[3][0], pad("d@example.com", 50));
  EXPECT_EQ(rows[4][0], pad("e@example.com", 50));
}

TEST_F(RegistrationImportTest, AddressesAndStampsThatMustNotBeStoredAreRefused) {
  EXPECT_TRUE(import(std::string("A\ta\x01@example.com\t2024/01/02 03:04:05\n") +
                     std::string("B\tb\0@example.com\t2024/01/02 03:04:05\n", 37) +
                     "C\tc c@example.com\t2024/01/02 03:04:05\n" +
                     "D\t<d@example.com>\t2024/01/02 03:04:05\n" +
                     "E\te@example.com\t2024/+1/02 03:04:05\n" +
                     "F\tf@example.com\t2024/01/02 0x:04:05\n"));
  const auto rows = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME"});
  ASSERT_EQ(rows.size(), 2u);  // only E and F, their stamps replaced by the clock's
  EXPECT_EQ(rows[0], (std::vector<std::string>{"00001", pad("e@example.com", 50), "20240507", "030405"}));
  EXPECT_EQ(rows[1], (std::vector<std::string>{"00002", pad("f@example.com", 50), "20240102", "123456"}));
  const auto errors = errorLog();
  ASSERT_EQ(errors.size(), 6u);
  EXPECT_EQ(errors[0], kPrefix + sj("メールアドレスに制御文字が有ります。DBに登録出来ませんでした。") +
                           tail("A", "a\x01@example.com", "2024/01/02 03:04:05"));
  const std::string nul = kPrefix + sj("メールアドレスにNULが有ります。");
  EXPECT_EQ(errors[1].substr(0, nul.size()), nul);
  EXPECT_EQ(errors[2], kPrefix + sj("メールアドレスに空白が有ります。DBに登録出来ませんでした。") +
                           tail("C", "c c@example.com", "2024/01/02 03:04:05"));
  const std::string angle = kPrefix + sj("メールアドレスに\"<\"又は\">\"が有ります。");
  EXPECT_EQ(errors[3].substr(0, angle.size()), angle);
  EXPECT_EQ(errors[4], kPrefix + "00001" + sj("登録日に誤りがありました。システム日をセットしました。") +
                           tail("E", "e@example.com", "2024/+1/02 03:04:05"));
  EXPECT_EQ(errors[5], kPrefix + "00002" + sj("登録時間に誤りがありました。システム時間をセットしました。") +
                           tail("F", "f@example.com", "2024/01/02 0x:04:05"));
}

TEST_F(RegistrationImportTest, TheFileIsOneTransactionThatAnAbortLeavesEmpty) {
  storeReaders(1, 5);
  listener.onRegistered = [&](int count) {
    if (count == 2) throw std::runtime_error("aborted");  // as a kill before the commit
  };
  EXPECT_THROW(import("A\ta@example.com\t2024/01/02 03:04:05\nB\tb@example.com\t2024/01/02 03:04:05\n"
                      "C\tc@example.com\t2024/01/02 03:04:05\n"),
               std::runtime_error);
  EXPECT_EQ(readerCount(), 5u);

  // A database failure before the commit: the log gives its reason and no success.
  listener.onRegistered = nullptr;
  importer.beforeCommit = [](const Reader&) { throw DbError("lock conflict"); };
  import("D\td@example.com\t2024/01/02 03:04:05\n");
  EXPECT_EQ(readerCount(), 5u);
  const std::vector<std::string> log = runLog();
  EXPECT_EQ(std::count(log.begin(), log.end(), kPrefix + sj("DB登録成功")), 0);
  EXPECT_NE(std::find(log.begin(), log.end(), kPrefix + "lock conflict"), log.end());
}

TEST_F(RegistrationImportTest, MissingFileFailsWithItsPath) {
  EXPECT_FALSE(importer.importFile(file));
  const std::string text = sj("登録データを開けません -> ") + file.string();
  EXPECT_EQ(listener.message, text);
  EXPECT_EQ(runLog(), std::vector<std::string>{kPrefix + text});
  EXPECT_EQ(listener.boxTexts(), std::vector<std::string>{text});
  EXPECT_FALSE(importer.succeeded());
}

TEST_F(RegistrationImportTest, FileOfOneHundredThousandLines) {
  // Every tenth line is a registration, the others lack the address: 10,000 readers
  // and 90,000 refusals, each refusal one line of the error log.
  std::string content;
  content.reserve(100000 * 40);
  for (int i = 1; i <= 100000; ++i)
    content += i % 10 ? "nobody\t\t2024/01/02 03:04:05\n"
                      : "R" + std::to_string(i) + "\tr" + std::to_string(i) + "@example.com\t2024/01/02 03:04:05\n";
  EXPECT_TRUE(import(content));
  EXPECT_EQ(importer.registeredCount(), 10000);
  EXPECT_EQ(readerCount(), 10000u);
  EXPECT_EQ(errorLog().size(), 90000u);
  EXPECT_EQ(readers({"ID"}).back()[0], "10000");
}

TEST(RunLogTest, ErrorLineCountsOnlyWhenWritten) {
  TestProgram p(false);
  RunLog log(p.file("run.log"), p.file("missing-folder") / "err.log");
  log.write("a");
  log.write("b");
  EXPECT_FALSE(log.writeError("lost"));
  log.setPaths(p.file("run.log"), p.file("err.log"));
  EXPECT_TRUE(log.writeError("kept"));
  log.removeErrorLog();
  EXPECT_FALSE(std::filesystem::exists(p.file("err.log")));
  Clock::setFixedStamp("20240102030405");
  EXPECT_EQ(RunLog::stampPrefix(), "[240102 03:04:05] ");
  Clock::setFixedStamp("");
  const std::string run = TestProgram::readFile(p.file("run.log"));
  EXPECT_EQ(run.size(), 2 * (18 + 1 + 2));
  EXPECT_EQ(run.substr(18, 3), "a\r\n");
}

}  // namespace
