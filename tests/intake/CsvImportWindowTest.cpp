// The CSV import window: the file and start questions before the run, the count while
// it runs on its worker thread, the end button's stop question, and the offer to save
// the refused lines afterwards.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include "controls/NavigatingEdit.h"
#include "core/RunThread.h"
#include "intake/CsvImportWindow.h"
#include "tests/intake/IntakeWindowFixture.h"

namespace {

const QString kAsk = QStringLiteral("処理を開始してもよろしいですか？");
const QString kStop = QStringLiteral("処理を中止しますか?");

struct CsvWindowTest : IntakeWindowTest {
  CsvImportWindow form{program.ctx()};
  std::filesystem::path csv = program.file("readers.csv");
  bool closed = false;

  void SetUp() override {
    IntakeTest::SetUp();
    form.prepare();
    form.activate();
    QObject::connect(&form, &QDialog::finished, [this] { closed = true; });
  }
  void TearDown() override {
    form.runThread().waitProcessingEvents();
    IntakeTest::TearDown();
  }
  // Picks the file, says Yes to the start question and waits for the end of the run.
  void run(const std::string& content, const QString& saveAs = QString()) {
    TestProgram::writeFile(csv, content);
    boxes.queueFile(QString::fromStdString(csv.string()));
    if (!saveAs.isEmpty()) boxes.queueFile(saveAs);
    form.startButton->click();
    ASSERT_TRUE(waitUntil([&] { return !form.runThread().running(); }));
  }
  QString count() const { return form.countBox->text(); }
};

// A named pipe as the CSV file: the import waits for each line the test writes.
struct Pipe {
  explicit Pipe(const std::filesystem::path& path) {
    ::mkfifo(path.c_str(), 0600);
    fd = ::open(path.c_str(), O_RDWR);  // a reader and a writer: opening never blocks
  }
  ~Pipe() { close(); }
  void write(const std::string& bytes) { EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  void close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
  int fd = -1;
};

TEST_F(CsvWindowTest, RunShowsTheCountAndTheResult) {
  run("a@b.jp,A\nc@d.jp,C\ne@f.jp,E\n");
  EXPECT_EQ(boxes.texts(), std::vector<QString>{kAsk});
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Information);
  EXPECT_EQ(count(), QStringLiteral("    3"));
  EXPECT_FALSE(form.successLabel->isHidden());
  EXPECT_TRUE(form.failureLabel->isHidden());
  EXPECT_TRUE(form.startButton->isEnabled());
  EXPECT_EQ(readerCount(), 3u);
  EXPECT_FALSE(closed);
}

TEST_F(CsvWindowTest, TheWindowKeepsItsSizeThroughARunAlsoWhenMadeAsSmallAsItGoes) {
  form.show();
  QCoreApplication::processEvents();
  form.resize(form.minimumSizeHint());
  QCoreApplication::processEvents();
  const QSize before = form.size();
  run("a@b.jp,A\n");
  QCoreApplication::processEvents();
  EXPECT_TRUE(form.successLabel->isVisible());
  EXPECT_EQ(form.size(), before);
  // Again, with a refused line whose offer is declined.
  boxes.queueAnswer(MsgResult::No);
  run("nobody,x\n");
  QCoreApplication::processEvents();
  EXPECT_EQ(form.size(), before);
}

TEST_F(CsvWindowTest, NothingIsReadUnlessFileAndQuestionAreConfirmed) {
  form.startButton->click();  // the file dialog cancelled
  EXPECT_FALSE(form.runThread().running());
  EXPECT_TRUE(boxes.shown().empty());
  boxes.queueAnswer(MsgResult::No);
  run("a@b.jp,A\n");
  EXPECT_EQ(boxes.texts(), std::vector<QString>{kAsk});
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_TRUE(form.successLabel->isHidden());
  EXPECT_TRUE(form.failureLabel->isHidden());
  EXPECT_TRUE(form.startButton->isEnabled());
}

TEST_F(CsvWindowTest, RefusedLinesAreOfferedAndSavedWithTheCsvEnding) {
  run("nobody.example.com,Nobody\na@b.jp,A\nnoat,x\n", QString::fromStdString(program.file("errors").string()));
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{kAsk, QStringLiteral("メールアドレスに誤りがあった為、登録できなかった"
                                                                       "データがあります。\r登録できなかったデータを"
                                                                       "ファイルに保存しますか？")}));
  EXPECT_EQ(boxes.shown()[1].icon, MsgIcon::Warning);
  // Proposed in the data folder.
  EXPECT_EQ(boxes.fileRequests.back(), QStringLiteral("|%1|メールアドレスエラー.csv")
                                           .arg(QString::fromStdString(program.ctx().programDir().string())));
  EXPECT_EQ(TestProgram::readFile(program.file("errors.csv")), "nobody.example.com,Nobody\r\nnoat,x\r\n");
  EXPECT_FALSE(form.successLabel->isHidden());
  EXPECT_EQ(count(), QStringLiteral("    1"));
}

TEST_F(CsvWindowTest, ANameAddressFileIsAskedAboutOnceShownFirstAndCounted) {
  boxes.queueAnswer(MsgResult::Yes);  // name,address
  boxes.queueAnswer(MsgResult::Yes);  // start
  boxes.queueAnswer(MsgResult::No);   // no list of the refused line
  run(sj("名前,メールアドレス\n山田,taro@example.jp\nB,noaddress.example.jp\n"));
  ASSERT_EQ(boxes.texts().size(), 3u);
  EXPECT_TRUE(boxes.texts()[0].contains(QStringLiteral("「名前,メールアドレス」の順として取り込みますか？")));
  EXPECT_EQ(boxes.texts()[1], kAsk);
  EXPECT_TRUE(form.previewLabel->text().contains(QStringLiteral("taro@example.jp ／ 山田")));
  EXPECT_TRUE(form.previewLabel->text().contains(QStringLiteral("1行目は見出しとして読み飛ばします")));
  EXPECT_EQ(form.countsLabel->text(), QStringLiteral("登録 1 件、登録できなかった行 1 件（うち登録済みのアドレス 0 件）"));
  EXPECT_TRUE(form.nothingLabel->isHidden());
  // Read to its end with nothing stored: no success.
  boxes.queueAnswer(MsgResult::Yes);
  boxes.queueAnswer(MsgResult::No);
  run("taro@example.jp,again\n");
  EXPECT_TRUE(form.successLabel->isHidden());
  EXPECT_FALSE(form.nothingLabel->isHidden());
  EXPECT_EQ(form.countsLabel->text(), QStringLiteral("登録 0 件、登録できなかった行 1 件（うち登録済みのアドレス 1 件）"));
}

TEST_F(CsvWindowTest, EngineBoxesAppearOnTheWindowsSide) {
  storeReaders(99999, 99999);
  run("a@b.jp,A\n");
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.lastText(), QStringLiteral("IDが０より小さいか、MAX 99999を超えました。->名前-> [A] メールアドレス [a@b.jp]"));
  EXPECT_EQ(boxes.shown().back().icon, MsgIcon::None);
  EXPECT_FALSE(form.failureLabel->isHidden());

  boxes.clear();
  boxes.queueFile(QString::fromStdString(program.file("absent.csv").string()));
  form.startButton->click();
  ASSERT_TRUE(waitUntil([&] { return !form.runThread().running(); }));
  ASSERT_EQ(boxes.shown().size(), 2u);
  EXPECT_EQ(boxes.shown()[1].icon, MsgIcon::Error);
  EXPECT_TRUE(form.failureLabel->isHidden());  // nothing was read: no result shown
}

TEST_F(CsvWindowTest, EndDuringTheRunAsksAndStopsOnYesWhileTheWindowStaysResponsive) {
  Pipe pipe(csv);
  pipe.write("a@b.jp,A\nc@d.jp,C\n");
  boxes.queueFile(QString::fromStdString(csv.string()));
  form.startButton->click();
  // The import waits for the pipe's next line; the window's events still flow.
  ASSERT_TRUE(waitUntil([&] { return count() == QStringLiteral("    2"); }));
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(1);
  ASSERT_TRUE(waitUntil([&] { return ticks >= 3; }));
  EXPECT_TRUE(form.runThread().running());

  form.endButton->click();  // Yes
  pipe.write("e@f.jp,E\n");
  pipe.close();
  ASSERT_TRUE(waitUntil([&] { return !form.runThread().running(); }));
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{kAsk, kStop}));
  EXPECT_EQ(boxes.shown()[1].icon, MsgIcon::Warning);
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_EQ(count(), QStringLiteral("    2"));
  EXPECT_FALSE(form.failureLabel->isHidden());
  EXPECT_TRUE(form.startButton->isEnabled());
  EXPECT_FALSE(closed);

  form.endButton->click();  // not running: the window closes
  EXPECT_TRUE(closed);
}

TEST_F(CsvWindowTest, EndDuringTheRunAnsweredNoClosesWhenTheRunEnds) {
  Pipe pipe(csv);
  pipe.write("a@b.jp,A\n");
  boxes.queueFile(QString::fromStdString(csv.string()));
  form.startButton->click();
  ASSERT_TRUE(waitUntil([&] { return count() == QStringLiteral("    1"); }));
  boxes.queueAnswer(MsgResult::No);
  form.endButton->click();
  EXPECT_FALSE(closed);
  pipe.write("c@d.jp,C\ne@f.jp,E\n");
  pipe.close();
  ASSERT_TRUE(waitUntil([&] { return closed; }));
  EXPECT_EQ(readerCount(), 3u);
}

}  // namespace
