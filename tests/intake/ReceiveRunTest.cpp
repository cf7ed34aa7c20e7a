// The receive window against a real pyftpdlib: download, backup, emptying of the
// server's copy, import, and every stage failing with the server's copy left intact.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <memory>

#include "controls/NavigatingEdit.h"
#include "core/Sjis.h"
#include "intake/ReceiveRun.h"
#include "intake/ReceiveWindow.h"
#include "net/ConnectionStatus.h"
#include "net/FtpClient.h"
#include "settings/SettingsFiles.h"
#include "tests/intake/IntakeFixture.h"
#include "tests/support/Servers.h"

namespace fs = std::filesystem;

namespace {

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

const std::string kRegistrations = sj("山田\tyamada@example.com\t2024/05/01 10:11:12\r\n") +
                                   "\tsecond@example.com\t2024/05/02 08:09:10\r\n";

struct ReceiveWindowTest : IntakeTest {
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

  void startServer(const std::string& perm = "elradfmwMT") {
    server = std::make_unique<FtpTestServer>("quor", "pass", perm);
    fs::create_directories(server->home() + "/data");
  }
  std::string remotePath() const { return server->home() + "/data/registdata.cgi"; }
  void putRemote(const std::string& bytes) { TestProgram::writeFile(remotePath(), bytes); }
  std::string remote() const { return TestProgram::readFile(remotePath()); }

  // The "FTP" section; the password saved in QuorMail1.env.
  void settings(const std::string& hostPath = "/data", bool passive = true, const std::string& password = "pass",
                const std::string& host = "127.0.0.1", const std::string& user = "quor") {
    TestProgram::writeFile(program.file("QuorMail.env"),
                           "[FTP]\r\nFTP_HOST_ADR=" + host + "\r\nFTP_USER=" + user + "\r\nFTP_PAS=1\r\nFTP_HOST_PATH=" +
                               hostPath + "\r\nFTP_LOCAL_PATH=" + local + "\r\nFTP_PASV=" + (passive ? "1" : "0") +
                               "\r\n");
    writePasswordFile(program.file("QuorMail1.env"), password);
  }

  void open(int receiveOnly = 1) {
    window = std::make_unique<ReceiveWindow>(program.ctx());
    window->FtpPort = server ? server->port() : freeLocalPort();
    window->ChangeDirWaitMs = 0;
    program.ctx().receiveOnly = static_cast<std::uint8_t>(receiveOnly);
    program.ctx().initReceive = 1;
    window->activate();
  }
  void run() {
    open();
    window->B1Click();
  }

  // The run log's lines without their time prefix (an error text of several lines
  // continues without one).
  std::vector<std::string> runLog() {
    std::vector<std::string> out;
    const std::string prefix = "[240507 12:34:56] ";
    for (const std::string& l : lines(TestProgram::readFile(program.file("FtpRcv.log"))))
      out.push_back(l.compare(0, prefix.size(), prefix) == 0 ? l.substr(prefix.size()) : l);
    return out;
  }
  // The box of the failing stage; after a failed run of "読者情報受信" the "no data"
  // box follows it, as after any run that counted no reader.
  std::string stageBox() {
    const auto texts = boxes.texts();
    EXPECT_GE(texts.size(), 2u);
    EXPECT_EQ(texts.back(), QString::fromUtf8("登録データが、有りませんでした。"));
    return texts.size() < 2 ? std::string() : Sjis::fromQ(texts[texts.size() - 2]);
  }
  bool logged(const std::string& line) {
    const auto log = runLog();
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  // A failed run: the stage's message boxed and logged, Lerror, nothing imported, and
  // the registrations still on the server.
  void expectFailedRun(const std::string& message) {
    EXPECT_EQ(stageBox(), message);
    EXPECT_TRUE(window->Lerror->isVisibleTo(window.get()));
    EXPECT_FALSE(window->LSuccesuu->isVisibleTo(window.get()));
    EXPECT_EQ(readerCount(), 0u);
    EXPECT_EQ(remote(), kRegistrations);
    EXPECT_EQ(window->Run_Flg, false);
    EXPECT_FALSE(window->B[0]->isEnabled());
    EXPECT_TRUE(window->B[11]->isEnabled());
  }
};

}  // namespace

TEST(ReceiveRunNames, HostFileBackupAndLocalNames) {
  EXPECT_EQ(ReceiveRun::hostFileOf("/data"), "/data/registdata.cgi");
  EXPECT_EQ(ReceiveRun::hostFileOf("/data/"), "/data/registdata.cgi");
  EXPECT_EQ(ReceiveRun::backupName("/x.y/recv/registdata.cgi", "20240507123456"),
            "/x.y/recv/registdata_20240507_123456.bak");
  EXPECT_EQ(ReceiveRun::backupName("/x.y/recv/registdata", "20240507123456"),
            "/x.y/recv/registdata_20240507_123456.bak");
}

class ReceiveRunTest : public ReceiveWindowTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReceiveRunTest, DownloadsBacksUpEmptiesTheServerCopyAndImports) {
  const bool passive = GetParam();
  startServer();
  putRemote(kRegistrations);
  storeReaders(1, 3);
  TestProgram::writeFile(program.file("FtpRcv_Err.log"), "left from before\r\n");
  TestProgram::writeFile(local + "/registdata.cgi", std::string(5000, 'x'));  // an earlier download
  settings(passive ? "/data" : "/data/", passive);
  open();
  EXPECT_EQ(window->B[0]->isEnabled(), true);
  EXPECT_EQ(window->EOCnt->text(), QStringLiteral("    0"));
  window->B1Click();

  EXPECT_EQ(remote(), "");
  EXPECT_EQ(TestProgram::readFile(local + "/registdata.cgi"), kRegistrations);
  EXPECT_EQ(TestProgram::readFile(local + "/registdata_20240507_123456.bak"), kRegistrations);
  EXPECT_TRUE(fs::exists(local + "/registdata.non"));
  const auto stored = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "NEXTSTORY"});
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(stored[3], (std::vector<std::string>{"00004", pad("yamada@example.com", 50), "20240501", "00001"}));
  EXPECT_EQ(stored[4], (std::vector<std::string>{"00005", pad("second@example.com", 50), "20240502", "00001"}));
  EXPECT_EQ(window->Reg_Cnt, 2);
  EXPECT_EQ(window->EOCnt->text(), QStringLiteral("    2"));
  EXPECT_EQ(window->LCount->text(), QString("%1 of %1").arg(kRegistrations.size()));
  EXPECT_EQ(window->ProgressBar1->value(), window->ProgressBar1->maximum());
  EXPECT_TRUE(window->LSuccesuu->isVisibleTo(window.get()));
  EXPECT_FALSE(window->Lerror->isVisibleTo(window.get()));
  EXPECT_TRUE(window->LMSG->text().isEmpty());
  EXPECT_TRUE(boxes.shown().empty());
  EXPECT_FALSE(fs::exists(program.file("FtpRcv_Err.log")));
  EXPECT_FALSE(window->B[0]->isEnabled());
  EXPECT_TRUE(window->B[11]->isEnabled());

  // The stages in their order (listing lines and status lines in between).
  const std::vector<std::string> stages = {
      "Env_FileName->" + program.file("QuorMail.env").string(),
      sj("開始"),
      sj("ファイル作成開始 -> ") + local + "/registdata.non",
      sj("FTP切断開始"),
      sj("FTP切断成功"),
      sj("FTP接続開始"),
      "Status  Connecting",
      "Status  Connected",
      "Status  ftpReady",
      sj("FTP接続成功"),
      sj("FTP List取得開始"),
      "Status  ftpTransfert",
      sj("FTP ChangeDir開始 ") + (passive ? "/data" : "/data/"),
      sj("FTP ChangeDir正常終了"),
      sj("FTP List取得開始"),
      sj("FTP List取得開始"),
      sj("空ファイル送信開始") + local + "/registdata.non -> /data/registdata.cgi",
      sj("空ファイル送信成功"),
      sj("FTP List取得開始"),
      sj("FTP List取得開始"),
      sj("FTP切断開始"),
      "Status  Disconnecting",
      sj("FTP切断成功"),
      sj("FTP切断開始"),
      sj("FTP切断成功"),
      sj("DB登録開始"),
      sj("DB登録成功"),
      sj("終了")};
  const auto log = runLog();
  auto at = log.begin();
  for (const std::string& stage : stages) {
    at = std::find(at, log.end(), stage);
    ASSERT_NE(at, log.end()) << Sjis::toUtf8(stage);
  }
  // The listing of the host folder reached the log and the memo.
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
    return l.find("registdata.cgi") != std::string::npos && l.find("-rw") == 0;
  }));
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, ReceiveRunTest, ::testing::Values(true, false));

TEST_F(ReceiveWindowTest, EveryFailingStageLeavesTheServerCopyAndImportsNothing) {
  startServer();
  putRemote(kRegistrations);

  settings("/data", true, "wrong");
  run();
  expectFailedRun(sj("FTP接続失敗"));
  EXPECT_TRUE(logged(sj("FTP接続失敗")));

  settings("/nowhere");
  run();
  expectFailedRun(sj("FTP ChangeDir失敗"));
  EXPECT_TRUE(logged(sj("FTP ChangeDir失敗")));

  fs::rename(remotePath(), server->home() + "/data/elsewhere.cgi");
  settings("/data");
  run();
  EXPECT_EQ(stageBox(), sj("ファイルSize取得失敗 -> /data/registdata.cgi"));
  EXPECT_TRUE(window->Lerror->isVisibleTo(window.get()));
  EXPECT_FALSE(fs::exists(remotePath()));
  EXPECT_FALSE(fs::exists(local + "/registdata_20240507_123456.bak"));
  fs::rename(server->home() + "/data/elsewhere.cgi", remotePath());

  server->stop();
  run();
  expectFailedRun(sj("FTP接続失敗"));
  EXPECT_EQ(boxes.texts().size(), 8u);
}

TEST_F(ReceiveWindowTest, RefusedUploadKeepsTheServerCopyAndSkipsTheImport) {
  startServer("elr");  // may read and list, may not store
  putRemote(kRegistrations);
  settings();
  run();
  expectFailedRun(sj("空ファイル送信失敗") + local + "/registdata.non -> /data/registdata.cgi");
  // The download and its backup were made before the upload was refused.
  EXPECT_EQ(TestProgram::readFile(local + "/registdata_20240507_123456.bak"), kRegistrations);
  EXPECT_FALSE(logged(sj("DB登録開始")));
}

TEST_F(ReceiveWindowTest, ConnectionDroppedDuringTheDownload) {
  startServer();
  std::string big;
  while (big.size() < (24u << 20)) big += kRegistrations;
  TestProgram::writeFile(remotePath(), big);
  settings();
  open();
  // The server goes away at the first event pump of the download.
  auto status = window->IdFTP1->onStatus;
  int transfers = 0;
  window->IdFTP1->onStatus = [&](TcpConnection& c, ConnectionStatus s, const std::string& t) {
    status(c, s, t);
    if (s == ConnectionStatus::Transfer && ++transfers == 3) QTimer::singleShot(0, [&] { server->stop(); });
  };
  window->B1Click();
  EXPECT_EQ(stageBox(),
            sj("ファイル受信失敗/data/registdata.cgi -> ") + local + "/registdata.cgi");
  EXPECT_TRUE(window->Lerror->isVisibleTo(window.get()));
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(TestProgram::readFile(remotePath()), big);
  EXPECT_FALSE(fs::exists(local + "/registdata_20240507_123456.bak"));
}

TEST_F(ReceiveWindowTest, EmptyServerFileAndRefusedLines) {
  startServer();
  putRemote("");
  settings();
  run();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{q("登録データが、有りませんでした。")}));
  EXPECT_TRUE(window->LSuccesuu->isVisibleTo(window.get()));
  EXPECT_TRUE(fs::exists(local + "/registdata_20240507_123456.bak"));
  EXPECT_EQ(fs::file_size(remotePath()), 0u);

  // A line without an address: refused into the error log, warned about at the end.
  boxes.clear();
  putRemote(sj("名無し\t\t2024/05/01 10:11:12\n"));
  run();
  const QString warning = q("ＤＢに登録できなっかたデータがあります。エラーログを確認して下さい。");
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{warning, q("登録データが、有りませんでした。")}));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Error);
  EXPECT_TRUE(logged(Sjis::fromQ(warning)));
  EXPECT_EQ(lines(TestProgram::readFile(program.file("FtpRcv_Err.log"))).size(), 1u);
  EXPECT_TRUE(window->LSuccesuu->isVisibleTo(window.get()));
}

TEST_F(ReceiveWindowTest, StopRequestDuringTheRunStillImportsOnceTheServerCopyIsEmptied) {
  startServer();
  putRemote(kRegistrations);
  settings();
  open();
  window->IdFTP1->onConnected = [&](TcpConnection&) { window->close(); };
  boxes.queueAnswer(MsgResult::Yes);
  window->B1Click();
  ASSERT_FALSE(boxes.shown().empty());
  EXPECT_EQ(boxes.shown()[0].text, q("本当に処理を中止しますか?"));
  EXPECT_EQ(boxes.shown()[0].icon, MsgIcon::Warning);
  // The remaining stages ran, so the server's copy is gone; its registrations are in
  // the database rather than only in the backup.
  EXPECT_EQ(remote(), "");
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_TRUE(window->Lerror->isVisibleTo(window.get()));
  EXPECT_EQ(window->Reg_Cnt, 0);
}

TEST_F(ReceiveWindowTest, SettingsCheckMessagesOpenTheSettingsWindowOnItsFtpPage) {
  int envPage = -1;
  int envOpened = 0;
  QDialog envProbe;
  program.ctx().setWindow(WindowId::Settings, &envProbe);
  auto check = [&](const std::string& env, const char* message) {
    TestProgram::writeFile(program.file("QuorMail.env"), env);
    boxes.clear();
    QTimer::singleShot(0, [&] {
      envPage = program.ctx().settingsPage;
      ++envOpened;
      envProbe.reject();
    });
    run();
    EXPECT_EQ(boxes.lastText(), q(message)) << env;
    EXPECT_EQ(envPage, 0);
    EXPECT_EQ(program.ctx().initSettings, 0);
    EXPECT_TRUE(window->B[0]->isEnabled());  // the run did not start
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
  putRemote(kRegistrations);
  local += "/made/here";
  settings();
  run();
  EXPECT_EQ(boxes.texts(), (std::vector<QString>{q("指定されたローカルフォルダが存在しません。作成しますか？")}));
  EXPECT_EQ(TestProgram::readFile(local + "/registdata.cgi"), kRegistrations);
  EXPECT_EQ(readerCount(), 2u);
}
