// The receive window over its engine: the settings check before a run, what a run shows
// (count, transfer, result, the closing boxes), and a stop while the run waits on a
// stalled server with the window's events still flowing.
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <filesystem>
#include <memory>

#include "controls/NavigatingEdit.h"
#include "core/RunThread.h"
#include "core/Sjis.h"
#include "intake/ReceiveWindow.h"
#include "settings/SettingsWindow.h"
#include <QTabWidget>
#include "settings/SettingsFiles.h"
#include "tests/intake/IntakeWindowFixture.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"

namespace fs = std::filesystem;

namespace {

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

const std::string kRegistrations = sj("山田\tyamada@example.com\t2024/05/01 10:11:12\r\n") +
                                   "\tsecond@example.com\t2024/05/02 08:09:10\r\n";
const QString kNoData = q("登録データが、有りませんでした。");

struct ReceiveWindowTest : IntakeWindowTest {
  std::unique_ptr<FtpTestServer> server;
  std::unique_ptr<ReceiveWindow> window;
  std::string local;  // the local folder

  void SetUp() override {
    IntakeTest::SetUp();
    local = program.file("recv").string();
    fs::create_directories(local);
  }
  void TearDown() override {
    window.reset();
    IntakeTest::TearDown();
  }

  void startServer() {
    server = std::make_unique<FtpTestServer>("quor", "pass");
    fs::create_directories(server->home() + "/data");
  }
  std::string remotePath() const { return server->home() + "/data/registdata.cgi"; }

  // The "FTP" section; the password saved in QuorMail1.env.
  void settings(const std::string& password = "pass", const std::string& hostPath = "/data") {
    TestProgram::writeFile(program.file("QuorMail.env"),
                           "[FTP]\r\nFTP_HOST_ADR=127.0.0.1\r\nFTP_USER=quor\r\nFTP_PAS=1\r\nFTP_HOST_PATH=" + hostPath +
                               "\r\n"
                           "FTP_LOCAL_PATH=" + local + "\r\nFTP_PASV=1\r\n");
    writePasswordFile(program.file("QuorMail1.env"), password);
  }

  void open(int port = 0) {
    window = std::make_unique<ReceiveWindow>(program.ctx());
    window->ftpPort = port ? port : server ? server->port() : freeLocalPort();
    window->changeDirWaitMs = 0;
    window->prepare(ReceiveWindow::Mode::receiveOnly);
    window->activate();
  }
  void waitForTheRun() { ASSERT_TRUE(waitUntil([&] { return !window->running(); })); }
  void run() {
    open();
    window->startButton->click();
    waitForTheRun();
  }
  std::string runLog() { return TestProgram::readFile(program.file("FtpRcv.log")); }
};

}  // namespace

TEST_F(ReceiveWindowTest, RunShowsCountTransferAndResult) {
  startServer();
  TestProgram::writeFile(remotePath(), kRegistrations);
  settings();
  open();
  EXPECT_TRUE(window->startButton->isEnabled());
  EXPECT_EQ(window->countBox->text(), QStringLiteral("    0"));
  window->startButton->click();
  EXPECT_FALSE(window->startButton->isEnabled());
  EXPECT_FALSE(window->endButton->isEnabled());
  waitForTheRun();

  EXPECT_EQ(readerCount(), 2u);
  EXPECT_EQ(window->countBox->text(), QStringLiteral("    2"));
  EXPECT_EQ(window->transferCountLabel->text(), QStringLiteral("%1 / %1 バイト").arg(kRegistrations.size()));
  EXPECT_EQ(window->transferProgress->value(), window->transferProgress->maximum());
  EXPECT_TRUE(window->successLabel->isVisibleTo(window.get()));
  EXPECT_FALSE(window->failureLabel->isVisibleTo(window.get()));
  EXPECT_TRUE(window->messageLine->text().isEmpty());
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_FALSE(window->startButton->isEnabled());
  EXPECT_TRUE(window->endButton->isEnabled());
  const std::string log = runLog();
  EXPECT_EQ(log.find("[240507 12:34:56] Env_FileName->" + program.file("QuorMail.env").string() + "\r\n"), 0u);
  EXPECT_NE(log.find("registdata.cgi"), std::string::npos);
}

TEST_F(ReceiveWindowTest, ReadersStoppedByUnsubscribeRequestsAreCountedAndListed) {
  startServer();
  storeReader("00001", "old@example.com");
  TestProgram::writeFile(remotePath(), kRegistrations);
  TestProgram::writeFile(server->home() + "/data/canceldata.cgi",
                         "00001\t2024/05/07 09:00:00\nsecond@example.com\t2024/05/07 09:01:00\n");
  settings();
  run();
  EXPECT_EQ(window->stoppedLine->text(), q("配信停止 2 名"));
  ASSERT_EQ(window->stoppedList->count(), 2);
  EXPECT_EQ(window->stoppedList->item(0)->text(), q("00001 old@example.com"));
  EXPECT_EQ(window->stoppedList->item(1)->text(), q("00003 second@example.com"));
}

TEST_F(ReceiveWindowTest, FailedStageIsBoxedWithItsReasonAndStaysInSight) {
  startServer();
  TestProgram::writeFile(remotePath(), kRegistrations);
  settings("wrong");
  run();
  // Only the stage's box, with the server's reason: no "no data" box after a failure.
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{q("FTPサーバにログインできませんでした。「FTP、Mail 設定」のFTPのページで、"
                                                    "ユーザ名とパスワードを確かめて下さい。\n530 Authentication failed.")}));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  EXPECT_EQ(window->messageLine->text(), q("FTPログイン失敗"));  // the stage, not the last connection status
  EXPECT_TRUE(window->failureLabel->isVisibleTo(window.get()));
  EXPECT_EQ(window->failureLabel->text(), q("エラーで終了しました。"));
  EXPECT_FALSE(window->successLabel->isVisibleTo(window.get()));
  EXPECT_EQ(readerCount(), 0u);
}

TEST_F(ReceiveWindowTest, RefusedLinesAreWarnedAboutAtTheEnd) {
  startServer();
  TestProgram::writeFile(remotePath(), sj("名無し\t\t2024/05/01 10:11:12\n"));
  settings();
  run();
  const QString warning = q("ＤＢに登録できなかったデータがあります。エラーログを確認して下さい。");
  // The box names the file to look at.
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{warning + "\n" + QString::fromStdString(
                                                                   program.file("FtpRcv_Err.log").string()),
                                                 kNoData}));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  EXPECT_EQ(window->messageLine->text(), warning);
  EXPECT_NE(runLog().find("] " + Sjis::fromQ(warning) + "\r\n"), std::string::npos);
  EXPECT_TRUE(window->successLabel->isVisibleTo(window.get()));
}

TEST_F(ReceiveWindowTest, CloseDuringAStalledServerStopsTheRunWhileTheWindowStaysResponsive) {
  // Accepts the connection and never says a word.
  std::atomic<bool> accepted{false};
  ScriptedServer stalled([&](ScriptedServer::Peer& p) {
    accepted = true;
    p.readAll();
  });
  settings();
  open(stalled.port());
  window->startButton->click();
  ASSERT_TRUE(waitUntil([&] { return accepted.load(); }));
  // The run waits for the greeting; the window's own timers still fire.
  int ticks = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
  ticker.start(1);
  ASSERT_TRUE(waitUntil([&] { return ticks >= 3; }));
  EXPECT_TRUE(window->running());

  boxes.queueAnswer(MsgResult::Yes);
  EXPECT_FALSE(window->close());  // asks, requests the stop and stays open
  waitForTheRun();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{q("本当に処理を中止しますか?")}));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Warning);
  EXPECT_TRUE(window->failureLabel->isVisibleTo(window.get()));
  EXPECT_EQ(window->failureLabel->text(), q("中断しました。"));
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_NE(runLog().find(sj("FTP接続失敗")), std::string::npos);
  EXPECT_TRUE(window->endButton->isEnabled());
}

TEST_F(ReceiveWindowTest, TheWindowKeepsItsSizeThroughARun) {
  startServer();
  TestProgram::writeFile(remotePath(), kRegistrations);
  // Long texts on the message line, as a deep local folder gives them.
  local += "/" + std::string(120, 'x');
  fs::create_directories(local);
  settings();
  open();
  window->show();
  QCoreApplication::processEvents();
  const QSize before = window->size();
  window->startButton->click();
  std::vector<QSize> seen;
  ASSERT_TRUE(waitUntil([&] {
    seen.push_back(window->size());
    return !window->running();
  }));
  QCoreApplication::processEvents();
  seen.push_back(window->size());
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_TRUE(window->successLabel->isVisible());

  // A stage failing with a long text, looked at while its box is open (the run waits),
  // then the other result label.
  const std::string deep = "/data/" + std::string(150, 'y');
  fs::create_directories(server->home() + deep);
  settings("pass", deep);
  boxes.onMessage = [&](const ScriptedDialogs::Shown&) {
    for (int i = 0; i < 5; ++i) QCoreApplication::processEvents();
    seen.push_back(window->size());
  };
  window->startButton->setEnabled(true);
  window->startButton->click();
  waitForTheRun();
  QCoreApplication::processEvents();
  seen.push_back(window->size());
  EXPECT_EQ(boxes.shown().size(), 1u);
  EXPECT_EQ(window->messageLine->text(), Sjis::toQ(sj("ファイルSize取得失敗 -> ") + deep + "/registdata.cgi"));
  EXPECT_TRUE(window->failureLabel->isVisible());
  for (const QSize& size : seen) EXPECT_EQ(size, before);
}

TEST_F(ReceiveWindowTest, SettingsCheckMessagesOpenTheSettingsWindowOnItsFtpPage) {
  int envPage = -1;
  int envOpened = 0;
  SettingsWindow envProbe(program.ctx());
  program.ctx().setWindow(WindowId::Settings, &envProbe);
  auto check = [&](const std::string& env, const char* message) {
    TestProgram::writeFile(program.file("QuorMail.env"), env);
    boxes.clear();
    QTimer::singleShot(0, [&] {
      envProbe.activate();
      envPage = envProbe.pages->currentIndex();
      ++envOpened;
      envProbe.reject();
    });
    open();
    window->startButton->click();
    EXPECT_EQ(boxes.lastText(), q(message)) << env;
    EXPECT_EQ(envPage, 0);
    EXPECT_FALSE(window->running());
    EXPECT_TRUE(window->startButton->isEnabled());  // the run did not start
  };
  const std::string localKey = "FTP_LOCAL_PATH=" + local + "\r\n";
  check("[FTP]\r\nFTP_HOST_ADR=  \r\n", "ホスト名、又は、アドレスが登録されていません。");
  check("[FTP]\r\nFTP_HOST_ADR=" + sj("ホスト") + "\r\n", "全角文字があります。\r\r半角文字で登録して下さい。");
  check("[FTP]\r\nFTP_HOST_ADR=h\r\n", "ユーザ名を登録して下さい。");
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=" + sj("ユーザ") + "\r\n",
        "ユーザ名に全角文字があります。\r\r半角文字で登録して下さい。");
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=u\r\nFTP_PAS=2\r\n", "ローカルフォルダ名を登録して下さい。");
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=u\r\nFTP_PAS=2\r\n" + localKey, "ホストのフォルダ名を登録して下さい。");
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=u\r\nFTP_PAS=2\r\n" + localKey + "FTP_HOST_PATH=/" + sj("フォルダ") +
            "\r\n",
        "ホストのフォルダ名に全角文字があります。\r\r半角文字で登録して下さい。");
  // A saved password that is blank fails the password rule.
  fs::remove(program.file("QuorMail1.env"));
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=u\r\nFTP_PAS=1\r\n" + localKey + "FTP_HOST_PATH=/d\r\n",
        "パスワードを設定して下さい。");
  EXPECT_EQ(envOpened, 8);

  // A missing local folder: No fails the check, a folder that cannot be made too.
  boxes.queueAnswer(MsgResult::No);
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=u\r\nFTP_PAS=2\r\nFTP_HOST_PATH=/d\r\nFTP_LOCAL_PATH=" + local +
            "/new\r\n",
        "指定されたローカルフォルダが存在しません。作成しますか？");
  EXPECT_FALSE(fs::exists(local + "/new"));
  TestProgram::writeFile(local + "/plainfile", "x");
  check("[FTP]\r\nFTP_HOST_ADR=h\r\nFTP_USER=u\r\nFTP_PAS=2\r\nFTP_HOST_PATH=/d\r\nFTP_LOCAL_PATH=" + local +
            "/plainfile/sub\r\n",
        "フォルダの作成に失敗しました。");
}

TEST_F(ReceiveWindowTest, MissingLocalFolderIsCreatedOnYesAndTheRunGoesOn) {
  startServer();
  TestProgram::writeFile(remotePath(), kRegistrations);
  local += "/made/here";
  settings();
  run();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{q("指定されたローカルフォルダが存在しません。作成しますか？")}));
  EXPECT_EQ(TestProgram::readFile(local + "/registdata.cgi"), kRegistrations);
  EXPECT_EQ(readerCount(), 2u);
}
