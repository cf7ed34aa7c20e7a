// The CSV import engine against a real database file: what it stores, refuses and
// reports, without any window.
#include "core/ConsentStore.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "intake/CsvImport.h"
#include "tests/intake/IntakeFixture.h"

namespace {

struct CsvImportTest : IntakeTest {
  std::filesystem::path csv = program.file("readers.csv");
  CsvImport importer{program.sql(), listener, stop};

  IntakeReport run(const std::string& content) {
    TestProgram::writeFile(csv, content);
    const IntakeReport report = importer.run(csv);
    EXPECT_TRUE(listener.report.has_value());
    return report;
  }
};

TEST_F(CsvImportTest, InsertsAddressAndNameWithTheImportDefaults) {
  storeReaders(1, 9);
  const IntakeReport report = run("taro@example.com," + sj("山田　太郎") + "\r\n\"hanako@example.jp\",\"Hanako\"\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 2);
  EXPECT_EQ(listener.registered, 2);
  EXPECT_TRUE(listener.boxes.empty());
  const auto rows = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME", "SYORIKBN", "NEXTSTORY",
                             "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE", "SNDLASTTIME"});
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[9], (std::vector<std::string>{"00010", pad("taro@example.com", 50), "20240507", "123456",
                                                pad(sj("山田　太郎"), 60), "01", "00001", "00000000", "000000",
                                                "00000000", "000000"}));
  EXPECT_EQ(rows[10][0] + rows[10][1] + rows[10][4],
            "00011" + pad("hanako@example.jp", 50) + pad("Hanako", 60));  // quotes dropped
  // Each new reader's consent: this file, at the import's time.
  ConsentStore consents(program.sql());
  for (int id : {10, 11})
    EXPECT_EQ(consentLine(consents.newest(id)), sj("同意: CSV取込 2024/05/07 12:34:56 ") + csv.string()) << id;
  EXPECT_FALSE(consents.newest(9));
}

TEST_F(CsvImportTest, AnAddressAReaderHasIsRefusedIntoTheListAndThatReaderLeftAsItIs) {
  storeReader("00001", "Taro@Example.com", "00");  // unsubscribed
  const IntakeReport report =
      run(" taro@EXAMPLE.com ,Taro\nnew@example.com,New\n\"New@Example.COM\",Again\nother@example.com,Other\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 2);
  const std::string reason = sj("このメールアドレスは既に登録されています。");
  EXPECT_EQ(report.rejected,
            (std::vector<std::string>{"taro@EXAMPLE.com,Taro," + reason, "New@Example.COM,Again," + reason}));
  EXPECT_EQ(statusOf("00001"), "00") << "a file re-activated an unsubscribed reader";
  EXPECT_EQ(readerCount(), 3u);
}

TEST_F(CsvImportTest, SplitsAtEveryCommaKeepsAtMost255FieldsAndSkipsEmptyLines) {
  EXPECT_EQ(CsvImport::splitLine("\"a@b.jp\",\"Doe, John\""), (std::vector<std::string>{"a@b.jp", "Doe", " John"}));
  std::string wide = "w@b.jp,Wide";
  for (int i = 0; i < 300; ++i) wide += ",f" + std::to_string(i);
  EXPECT_EQ(CsvImport::splitLine(wide).size(), 255u);
  EXPECT_EQ(CsvImport::splitLine(wide).back(), "f252");

  const IntakeReport report = run(",,,,,\n\n  ,  \n" + wide + "\n\"q@b.jp\",\"Doe, John\"\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_TRUE(report.rejected.empty());
  const auto rows = readers({"MAILADDRESS", "NAME"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{pad("w@b.jp", 50), pad("Wide", 60)}));
  EXPECT_EQ(rows[1][1], pad("Doe", 60));
}

TEST_F(CsvImportTest, AddressesWithoutAtOrCutAtTheColumnAreRefused) {
  const std::string fullWidthBlank = sj("山田　太郎");  // 0x81 0x40: its second byte is no "@"
  const std::string longAddress = std::string(55, 'a') + "@example.com";  // "@" within the first 60 bytes
  const std::string fitting = std::string(38, 'c') + "@example.com";     // 50 bytes: the column's width
  const std::string lateAt = std::string(61, 'b') + "@example.com";       // "@" beyond byte 60
  const IntakeReport report = run("nobody.example.com,Nobody\n" + fullWidthBlank + ",x\n" + longAddress + ",Long\n" +
                                  lateAt + ",Late\n" + fitting + ",Fits\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  // An address cut at the column's width is no address any more.
  const std::vector<std::string> refused = {"nobody.example.com,Nobody", fullWidthBlank + ",x",
                                            longAddress.substr(0, 60) + ",Long," + sj("メールアドレスの形式に誤りがあります。"),
                                            std::string(60, 'b') + ",Late"};
  EXPECT_EQ(report.rejected, refused);
  const auto rows = readers({"MAILADDRESS"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], fitting);

  EXPECT_EQ(CsvImport::saveRejected(program.file("errors.csv"), refused), "");
  EXPECT_EQ(TestProgram::readFile(program.file("errors.csv")),
            refused[0] + "\r\n" + refused[1] + "\r\n" + refused[2] + "\r\n" + refused[3] + "\r\n");
  EXPECT_EQ(CsvImport::saveRejected(program.file("no-folder") / "errors.csv", refused), "No such file or directory");
}

TEST_F(CsvImportTest, RandomBytesNeverCrashOrInsertTwice) {
  // Random bytes hardly ever make a mailbox: two lines that do follow them.
  const IntakeReport report = run(randomLines(11, 100, '@') + "last1@example.com,A\nlast2@example.com,B\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  const auto rows = readers({"ID", "MAILADDRESS"});
  EXPECT_EQ(static_cast<int>(rows.size()), report.registered);
  EXPECT_GT(rows.size(), 0u);
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i][0], zeroFill(std::to_string(i + 1), 5));
}

TEST_F(CsvImportTest, StopsWithTheIdMessageAfterReader99999) {
  storeReaders(99998, 99998);
  const IntakeReport report = run("a@b.jp,A\n c@d.jp , " + sj("名前") + " \ne@f.jp,E\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  ASSERT_EQ(listener.boxes.size(), 1u);
  EXPECT_EQ(listener.boxes[0].first, OperatorBox::Plain);
  EXPECT_EQ(listener.boxes[0].second,
            sj("IDが０より小さいか、MAX 99999を超えました。->名前-> [名前] メールアドレス [c@d.jp]"));
  EXPECT_EQ(readers({"ID"}).back()[0], "99999");
  EXPECT_EQ(readerCount(), 2u);
}

TEST_F(CsvImportTest, RefusedInsertEndsTheImportWithTheDatabaseMessage) {
  program.exec("CREATE EXCEPTION REFUSED_ADDRESS 'refused'");
  program.exec("CREATE TRIGGER REFUSE_B FOR USERLIST BEFORE INSERT AS BEGIN "
               "IF (NEW.MAILADDRESS STARTING WITH 'b@') THEN EXCEPTION REFUSED_ADDRESS; END");
  const IntakeReport report = run("a@x.jp,A\nb@x.jp,B\nc@x.jp,C\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(report.registered, 1);
  EXPECT_EQ(readerCount(), 1u);
  ASSERT_EQ(listener.boxes.size(), 1u);
  EXPECT_EQ(listener.boxes[0].first, OperatorBox::Plain);
  EXPECT_EQ(listener.boxes[0].second.rfind(sj("DB INSERT 失敗 ") + "\r", 0), 0u) << listener.boxes[0].second;
  EXPECT_NE(listener.boxes[0].second.find("REFUSED_ADDRESS"), std::string::npos) << listener.boxes[0].second;
}

TEST_F(CsvImportTest, UnreadableFileIsBoxedAndNothingIsRead) {
  const IntakeReport report = importer.run(program.file("absent.csv"));
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::NotStarted);
  EXPECT_EQ(listener.boxTexts(), std::vector<std::string>{program.file("absent.csv").string() +
                                                          sj("ファイルの読み込みに失敗しました\r他のソフトで使用中の場合は、"
                                                             "終了させて下さい。\rNo such file or directory")});
  EXPECT_EQ(listener.boxes[0].first, OperatorBox::Error);
  EXPECT_EQ(readerCount(), 0u);
}

TEST_F(CsvImportTest, StopBetweenLinesKeepsTheReadersSoFarAndInsertsNoMore) {
  listener.onRegistered = [&](int count) {
    if (count == 2) stop = true;
  };
  const IntakeReport report = run("a@b.jp,A\nc@d.jp,C\ne@f.jp,E\ng@h.jp,G\n");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_EQ(report.registered, 2);
}

TEST_F(CsvImportTest, LineEndsByteOrderMarkAndAddressesThatMustNotBeStored) {
  // CR alone ends the lines of a file without any LF; a byte-order mark is no address.
  IntakeReport report = run("\xEF\xBB\xBF" "a@b.jp,A\rc@d.jp,C\re@f.jp,E");
  EXPECT_EQ(report.registered, 3);
  auto rows = readers({"MAILADDRESS"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][0], pad("a@b.jp", 50));
  EXPECT_EQ(rows[2][0], pad("e@f.jp", 50));

  program.exec(" DELETE FROM USERLIST");
  report = run(std::string("x@y.jp,LF file\n") + "ctl\x01@b.jp,Control\n" + std::string("nul\0@b.jp,Nul\n", 14) +
               "sp ace@b.jp,Blank\n" + "wide" + sj("　") + "@b.jp,Wide\n" + "<a@b.jp>,Angle\n" + "q@r.jp,Last");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  rows = readers({"MAILADDRESS"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1][0], pad("q@r.jp", 50));  // a last line without its line feed counts
  ASSERT_EQ(report.rejected.size(), 5u);
  EXPECT_EQ(report.rejected[0], "ctl?@b.jp,Control," + sj("メールアドレスに制御文字が有ります。"));
  EXPECT_EQ(report.rejected[1], "nul?@b.jp,Nul," + sj("メールアドレスにNULが有ります。"));
  EXPECT_EQ(report.rejected[2], "sp ace@b.jp,Blank," + sj("メールアドレスに空白が有ります。"));
  EXPECT_EQ(report.rejected[3], "wide" + sj("　") + "@b.jp,Wide," + sj("メールアドレスに空白が有ります。"));
  EXPECT_EQ(report.rejected[4], "<a@b.jp>,Angle," + sj("メールアドレスに\"<\"又は\">\"が有ります。"));
}

TEST_F(CsvImportTest, TheFileIsOneTransactionThatAnAbortLeavesEmpty) {
  // An exception the import does not expect (as a kill would) ends it before its commit.
  listener.onRegistered = [&](int count) {
    if (count == 3) throw std::runtime_error("aborted");
  };
  EXPECT_THROW(run("a@b.jp,A\nc@d.jp,C\ne@f.jp,E\ng@h.jp,G\n"), std::runtime_error);
  EXPECT_EQ(readerCount(), 0u);
}

}  // namespace
