#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "controls/NavigatingEdit.h"
#include "core/Sjis.h"
#include "core/TextUtil.h"
#include "intake/CsvImport.h"
#include "intake/CsvImportWindow.h"
#include "tests/intake/IntakeFixture.h"

namespace {

const QString kAsk = QStringLiteral("処理を開始してもよろしいですか？");
const QString kOfferSave = QStringLiteral(
    "メールアドレスに誤りがあった為、登録できなかったデータがあります。\r登録できなかったデータをファイルに保存しますか？");

struct CsvImportTest : IntakeTest {
  ImportWindow window{program};
  std::filesystem::path csv = program.file("readers.csv");

  // Picks the file, answers the question with Yes, and runs the import.
  CsvImport::Outcome run(const std::string& content, CsvImport* keep = nullptr, const QString& saveAs = QString()) {
    TestProgram::writeFile(csv, content);
    boxes.queueFile(QString::fromStdString(csv.string()));
    if (!saveAs.isEmpty()) boxes.queueFile(saveAs);
    CsvImport local(program.sql(), window);
    CsvImport& imp = keep ? *keep : local;
    return imp.Csv_To_DB();
  }
};

TEST_F(CsvImportTest, InsertsAddressAndNameWithTheImportDefaults) {
  storeReaders(1, 9);
  EXPECT_EQ(run("taro@example.com," + sj("山田　太郎") + "\r\n\"hanako@example.jp\",\"Hanako\"\n"),
            CsvImport::Outcome::Completed);
  EXPECT_EQ(boxes.texts(), std::vector<QString>{kAsk});
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Information);
  const auto rows = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "TOUROKUTIME", "NAME", "SYORIKBN", "NEXTSTORY",
                             "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE", "SNDLASTTIME"});
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_EQ(rows[9], (std::vector<std::string>{"00010", pad("taro@example.com", 50), "20240507", "123456",
                                                pad(sj("山田　太郎"), 60), "01", "00001", "00000000", "000000",
                                                "00000000", "000000"}));
  EXPECT_EQ(rows[10][0] + rows[10][1] + rows[10][4],
            "00011" + pad("hanako@example.jp", 50) + pad("Hanako", 60));  // quotes dropped
  EXPECT_EQ(window.Reg_Cnt, 2);
}

TEST_F(CsvImportTest, SplitsAtEveryCommaKeepsAtMost255FieldsAndSkipsEmptyLines) {
  EXPECT_EQ(CsvImport::splitLine("\"a@b.jp\",\"Doe, John\""), (std::vector<std::string>{"a@b.jp", "Doe", " John"}));
  std::string wide = "w@b.jp,Wide";
  for (int i = 0; i < 300; ++i) wide += ",f" + std::to_string(i);
  EXPECT_EQ(CsvImport::splitLine(wide).size(), 255u);
  EXPECT_EQ(CsvImport::splitLine(wide).back(), "f252");

  CsvImport imp(program.sql(), window);
  EXPECT_EQ(run(",,,,,\n\n  ,  \n" + wide + "\n\"q@b.jp\",\"Doe, John\"\n", &imp), CsvImport::Outcome::Completed);
  EXPECT_TRUE(imp.rejected().empty());
  const auto rows = readers({"MAILADDRESS", "NAME"});
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{pad("w@b.jp", 50), pad("Wide", 60)}));
  EXPECT_EQ(rows[1][1], pad("Doe", 60));
}

TEST_F(CsvImportTest, AddressesWithoutAtAreOfferedForSavingAndLongOnesCut) {
  const std::string fullWidthBlank = sj("山田　太郎");  // 0x81 0x40: its second byte is no "@"
  const std::string longAddress = std::string(55, 'a') + "@example.com";  // "@" within the first 60 bytes
  const std::string lateAt = std::string(61, 'b') + "@example.com";       // "@" beyond byte 60
  const QString saved = QString::fromStdString(program.file("errors").string());
  CsvImport imp(program.sql(), window);
  EXPECT_EQ(run("nobody.example.com,Nobody\n" + fullWidthBlank + ",x\n" + longAddress + ",Long\n" + lateAt +
                    ",Late\n",
                &imp, saved),
            CsvImport::Outcome::Completed);
  const std::vector<std::string> refused = {"nobody.example.com,Nobody", fullWidthBlank + ",x",
                                            std::string(60, 'b') + ",Late"};
  EXPECT_EQ(imp.rejected(), refused);
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{kAsk, kOfferSave}));
  EXPECT_EQ(boxes.shown()[1].icon, MsgIcon::Warning);
  EXPECT_TRUE(boxes.fileRequests.back().endsWith(QStringLiteral("|メールアドレスエラー.csv")));
  EXPECT_EQ(TestProgram::readFile(program.file("errors.csv")),
            refused[0] + "\r\n" + refused[1] + "\r\n" + refused[2] + "\r\n");
  const auto rows = readers({"MAILADDRESS"});
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], longAddress.substr(0, 50));
}

TEST_F(CsvImportTest, RandomBytesNeverCrashOrInsertTwice) {
  const std::string content = randomLines(11, 100, '@');
  boxes.queueAnswer(MsgResult::Yes);  // start
  boxes.queueAnswer(MsgResult::No);   // do not save the refused lines
  CsvImport imp(program.sql(), window);
  EXPECT_EQ(run(content, &imp), CsvImport::Outcome::Completed);
  const auto rows = readers({"ID", "MAILADDRESS"});
  EXPECT_EQ(static_cast<int>(rows.size()), window.Reg_Cnt);
  EXPECT_GT(rows.size(), 0u);
  for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i][0], zeroFill(std::to_string(i + 1), 5));
}

TEST_F(CsvImportTest, StopsWithTheIdMessageAfterReader99999) {
  storeReaders(99998, 99998);
  EXPECT_EQ(run("a@b.jp,A\n c@d.jp , " + sj("名前") + " \ne@f.jp,E\n"), CsvImport::Outcome::Stopped);
  EXPECT_EQ(boxes.lastText(), QStringLiteral("IDが０より小さいか、MAX 99999を超えました。->名前-> [名前] メールアドレス [c@d.jp]"));
  EXPECT_EQ(boxes.shown().back().icon, MsgIcon::None);
  EXPECT_EQ(readers({"ID"}).back()[0], "99999");
  EXPECT_EQ(readerCount(), 2u);
}

TEST_F(CsvImportTest, NothingIsReadUnlessFileAndQuestionAreConfirmed) {
  CsvImport imp(program.sql(), window);
  EXPECT_EQ(imp.Csv_To_DB(), CsvImport::Outcome::NotStarted);  // dialog cancelled
  boxes.queueAnswer(MsgResult::No);
  EXPECT_EQ(run("a@b.jp,A\n"), CsvImport::Outcome::NotStarted);
  EXPECT_EQ(readerCount(), 0u);

  boxes.clear();
  boxes.queueFile(QString::fromStdString(program.file("absent.csv").string()));
  EXPECT_EQ(imp.Csv_To_DB(), CsvImport::Outcome::NotStarted);
  EXPECT_EQ(boxes.lastText(), QString::fromStdString(program.file("absent.csv").string()) +
                                  QStringLiteral("ファイルの読み込みに失敗しました\r他のソフトで使用中の場合は、"
                                                 "終了させて下さい。\rNo such file or directory"));
  EXPECT_EQ(boxes.shown().back().icon, MsgIcon::Error);
  EXPECT_FALSE(window.Run_Flg);
}

TEST_F(CsvImportTest, StopBetweenLinesKeepsTheReadersSoFarAndInsertsNoMore) {
  window.onEvents = [&](int pump) {
    if (pump == 3) window.Run_Flg = false;  // after the second reader
  };
  EXPECT_EQ(run("a@b.jp,A\nc@d.jp,C\ne@f.jp,E\ng@h.jp,G\n"), CsvImport::Outcome::Stopped);
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_EQ(window.Reg_Cnt, 2);
}

struct CsvWindowTest : IntakeTest {
  CsvImportWindow form{program.ctx()};
  std::filesystem::path csv = program.file("readers.csv");

  void SetUp() override {
    IntakeTest::SetUp();
    program.ctx().initCsvImport = 1;
    form.activate();
    TestProgram::writeFile(csv, "a@b.jp,A\nc@d.jp,C\ne@f.jp,E\n");
    boxes.queueFile(QString::fromStdString(csv.string()));
  }
};

TEST_F(CsvWindowTest, RunShowsTheCountAndTheResult) {
  EXPECT_EQ(program.ctx().initCsvImport, 0);
  form.B1->click();
  EXPECT_EQ(form.EOCnt->text(), QStringLiteral("    3"));
  EXPECT_FALSE(form.LSuccesuu->isHidden());
  EXPECT_TRUE(form.Lerror->isHidden());
  EXPECT_TRUE(form.B1->isEnabled());
  EXPECT_EQ(readerCount(), 3u);
}

TEST_F(CsvWindowTest, EndDuringTheRunAsksAndStopsOnYes) {
  bool closed = false;
  QObject::connect(&form, &QDialog::finished, [&] { closed = true; });
  QTimer::singleShot(0, form.B12, [this] { form.B12->click(); });
  form.B1->click();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{QStringLiteral("処理を開始してもよろしいですか？"),
                                                 QStringLiteral("処理を中止しますか?")}));
  EXPECT_EQ(readerCount(), 1u);
  EXPECT_EQ(form.EOCnt->text(), QStringLiteral("    1"));
  EXPECT_FALSE(form.Lerror->isHidden());
  EXPECT_FALSE(closed);
}

TEST_F(CsvWindowTest, EndDuringTheRunAnsweredNoClosesWhenTheRunEnds) {
  bool closed = false;
  QObject::connect(&form, &QDialog::finished, [&] { closed = true; });
  boxes.queueAnswer(MsgResult::Yes);
  boxes.queueAnswer(MsgResult::No);
  QTimer::singleShot(0, form.B12, [this] { form.B12->click(); });
  form.B1->click();
  EXPECT_EQ(readerCount(), 3u);
  EXPECT_TRUE(closed);
}

}  // namespace
