// The receive engine against a real pyftpdlib and a real database file, without any
// window: the file taken by rename (or, where renames are refused, downloaded and
// emptied), backup, import, every stage failing with the server's copy left intact,
// and stop requests.
#include <algorithm>
#include <filesystem>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

#include "core/Sjis.h"
#include "core/ReaderStore.h"
#include "intake/BackupRecord.h"
#include "intake/ReceiveRun.h"
#include "settings/SettingsFiles.h"
#include "tests/intake/IntakeFixture.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"

namespace fs = std::filesystem;

namespace {

// pyftpdlib's permissions without "f": RNFR is refused (550).
const std::string kNoRename = "elradmwMT";

const std::string kRegistrations = sj("山田\tyamada@example.com\t2024/05/01 10:11:12\r\n") +
                                   "\tsecond@example.com\t2024/05/02 08:09:10\r\n";

struct ReceiveRunTest : IntakeTest {
  std::unique_ptr<FtpTestServer> server;
  ReceiveRun engine{program.sql(), listener, stop};
  std::string local;  // the local folder

  void SetUp() override {
    IntakeTest::SetUp();
    local = program.file("recv").string();
    fs::create_directories(local);
    engine.log().setPaths(program.file("FtpRcv.log"), program.file("FtpRcv_Err.log"));
    engine.changeDirWaitMs = 0;
  }

  void startServer(const std::string& perm = "elradfmwMT") {
    server = std::make_unique<FtpTestServer>("quor", "pass", perm);
    fs::create_directories(server->home() + "/data");
  }
  std::string remotePath() const { return server->home() + "/data/registdata.cgi"; }
  void putRemote(const std::string& bytes) { TestProgram::writeFile(remotePath(), bytes); }
  std::string remote() const { return TestProgram::readFile(remotePath()); }
  std::string cancelPath() const { return server->home() + "/data/canceldata.cgi"; }
  // The name this run takes the registrations under.
  static std::string takenName() { return "/data/registdata.cgi.taking-20240507123456-" + std::to_string(::getpid()); }
  // What the server still holds of the registrations: the file and any taken copy.
  std::string serverHolds() const {
    std::string all;
    for (const std::string& name : remoteNames())
      if (name.rfind("registdata.cgi", 0) == 0) all += TestProgram::readFile(server->home() + "/data/" + name);
    return all;
  }
  // The files in the server's folder.
  std::vector<std::string> remoteNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(server->home() + "/data"))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  // Checked settings as the window hands them over.
  FtpSettings settings(const std::string& hostPath = "/data", bool passive = true,
                       const std::string& password = "pass") const {
    FtpSettings s;
    s.host = "127.0.0.1";
    s.user = "quor";
    s.passwordMode = 1;
    s.password = password;
    s.hostFolder = hostPath;
    s.localFolder = local;
    s.passiveMode = passive ? 1 : 0;
    return s;
  }
  IntakeReport run(const FtpSettings& s, int port = 0) {
    listener.boxes.clear();
    listener.report.reset();
    engine.port = port ? port : server ? server->port() : freeLocalPort();
    const IntakeReport report = engine.run(s);
    EXPECT_TRUE(listener.report.has_value());
    return report;
  }

  // The run log's lines without their time prefix (an error text of several lines
  // continues without one).
  std::vector<std::string> runLog() {
    std::vector<std::string> out;
    for (const std::string& l : lines(TestProgram::readFile(program.file("FtpRcv.log"))))
      out.push_back(l.size() >= 18 && l[0] == '[' && l.compare(16, 2, "] ") == 0 ? l.substr(18) : l);
    return out;
  }
  bool logged(const std::string& line) {
    const auto log = runLog();
    return std::find(log.begin(), log.end(), line) != log.end();
  }

  // A failed run: the stage's message boxed, nothing imported, and the registrations
  // still on the server (under their name, or taken by the run).
  void expectFailedRun(const IntakeReport& report, const std::string& message) {
    EXPECT_EQ(listener.boxes.size(), 1u);
    EXPECT_EQ(report.failedStage, message);
    EXPECT_TRUE(listener.boxes.empty() || listener.boxes[0].first == OperatorBox::Error);
    EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
    EXPECT_EQ(report.registered, 0);
    EXPECT_EQ(readerCount(), 0u);
    EXPECT_EQ(serverHolds(), kRegistrations);
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

class ReceiveRunModes : public ReceiveRunTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ReceiveRunModes, TakesTheFileByRenameBacksItUpDeletesItAndImports) {
  const bool passive = GetParam();
  startServer();
  putRemote(kRegistrations);
  storeReaders(1, 3);
  TestProgram::writeFile(program.file("FtpRcv_Err.log"), "left from before\r\n");
  TestProgram::writeFile(local + "/registdata.cgi", std::string(5000, 'x'));  // an earlier download
  const IntakeReport report = run(settings(passive ? "/data" : "/data/", passive));

  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 2);
  EXPECT_FALSE(report.refusedLinesLogged);
  EXPECT_EQ(remote(), "");
  EXPECT_EQ(remoteNames(), std::vector<std::string>{"registdata.cgi"});
  EXPECT_EQ(TestProgram::readFile(local + "/registdata.cgi"), kRegistrations);
  EXPECT_EQ(TestProgram::readFile(local + "/registdata_20240507_123456.bak"), kRegistrations);
  EXPECT_TRUE(fs::exists(local + "/registdata.non"));
  const auto stored = readers({"ID", "MAILADDRESS", "TOUROKUDATE", "NEXTSTORY"});
  ASSERT_EQ(stored.size(), 5u);
  EXPECT_EQ(stored[3], (std::vector<std::string>{"00004", pad("yamada@example.com", 50), "20240501", "00001"}));
  EXPECT_EQ(stored[4], (std::vector<std::string>{"00005", pad("second@example.com", 50), "20240502", "00001"}));
  EXPECT_EQ(listener.registered, 2);
  const auto size = static_cast<std::int64_t>(kRegistrations.size());
  EXPECT_EQ(listener.transferSize, size);
  EXPECT_EQ(listener.lastProgress, std::make_pair(size, size));
  EXPECT_EQ(listener.message, sj("DB登録成功"));
  EXPECT_TRUE(listener.boxes.empty());
  EXPECT_FALSE(fs::exists(program.file("FtpRcv_Err.log")));

  // The stages in their order (listing lines and status lines in between).
  const std::string taken = takenName();
  const std::vector<std::string> stages = {
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
      sj("FTP NameList取得開始"),
      sj("FTP Rename開始 /data/registdata.cgi -> ") + taken,
      sj("FTP Rename正常終了"),
      sj("空ファイル追記開始") + local + "/registdata.non -> /data/registdata.cgi",
      sj("空ファイル追記成功"),
      sj("FTP Delete開始 ") + taken,
      sj("FTP Delete正常終了"),
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
  // The listing of the host folder reached the log.
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
    return l.find("registdata.cgi") != std::string::npos && l.find("-rw") == 0;
  }));
  // A site without the unsubscribe script: only logged.
  EXPECT_TRUE(logged(sj("配信停止データはサーバーにありません -> /data/canceldata.cgi")));
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, ReceiveRunModes, ::testing::Values(true, false));

TEST_F(ReceiveRunTest, EveryFailingStageLeavesTheServerCopyAndImportsNothing) {
  startServer();
  putRemote(kRegistrations);

  IntakeReport report = run(settings("/data", true, "wrong"));
  expectFailedRun(report, sj("FTPログイン失敗"));
  EXPECT_TRUE(logged(sj("FTPログイン失敗")));

  report = run(settings("/nowhere"));
  expectFailedRun(report, sj("FTP ChangeDir失敗"));
  EXPECT_TRUE(logged(sj("FTP ChangeDir失敗")));

  fs::rename(remotePath(), server->home() + "/data/elsewhere.cgi");
  report = run(settings());
  EXPECT_EQ(report.failedStage, sj("ファイルSize取得失敗 -> /data/registdata.cgi"));
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_FALSE(fs::exists(remotePath()));
  EXPECT_FALSE(fs::exists(local + "/registdata_20240507_123456.bak"));
  fs::rename(server->home() + "/data/elsewhere.cgi", remotePath());

  fs::remove(local + "/registdata.non");
  fs::create_directory(local + "/registdata.non");  // a folder where the empty file should go
  report = run(settings());
  expectFailedRun(report, sj("ファイル作成失敗 -> ") + local + "/registdata.non");
  EXPECT_TRUE(logged(sj("ファイル作成失敗 -> ") + local + "/registdata.non"));
  fs::remove(local + "/registdata.non");

  server->stop();
  report = run(settings());
  expectFailedRun(report, sj("FTP接続失敗"));
}

TEST_F(ReceiveRunTest, TheBoxOfAFailedStageGivesItsReasonOnTheNextLine) {
  startServer();
  putRemote(kRegistrations);
  auto box = [&] { return listener.boxes.empty() ? std::string("<no box>") : listener.boxes[0].second; };

  FtpSettings unknownHost = settings();
  unknownHost.host = "no-such-host.invalid";
  IntakeReport report = run(unknownHost);
  EXPECT_EQ(box(), sj("FTPサーバが見つかりませんでした。「FTP、Mail 設定」のFTPのページで、ホスト名（アドレス）を確かめて"
                      "下さい。インターネットに繋がっているかも確かめて下さい。\nSocket Error # 11001 Host not found."));
  EXPECT_EQ(report.failedStage, sj("FTP接続失敗"));

  report = run(settings("/data", true, "wrong"));
  EXPECT_EQ(box(), sj("FTPサーバにログインできませんでした。「FTP、Mail 設定」のFTPのページで、ユーザ名とパスワードを確かめて"
                      "下さい。\n530 Authentication failed."));
  EXPECT_EQ(report.failedStage, sj("FTPログイン失敗"));

  fs::rename(remotePath(), server->home() + "/data/elsewhere.cgi");
  report = run(settings());
  EXPECT_EQ(box(), sj("FTPサーバに、ホストのフォルダ、又は、その中の読者情報ファイルがありませんでした。「FTP、Mail 設定」の"
                      "FTPのページで、ホストのフォルダを確かめて下さい。\n550 /data/registdata.cgi is not retrievable."));
  EXPECT_EQ(report.failedStage, sj("ファイルSize取得失敗 -> /data/registdata.cgi"));
}

TEST_F(ReceiveRunTest, RefusedEmptyingOrDeleteKeepsTheServerCopyAndSkipsTheImport) {
  // pyftpdlib's permissions, and the stage that fails.
  const std::pair<std::string, std::string> cases[] = {
      {"elr", sj("空ファイル送信失敗") + local + "/registdata.non -> /data/registdata.cgi"},  // no STOR
      {"elrafmwMT", sj("FTP Delete失敗 -> ") + takenName()}};                             // no DELE
  for (const auto& [perm, stage] : cases) {
    startServer(perm);
    putRemote(kRegistrations);
    const IntakeReport report = run(settings());
    expectFailedRun(report, stage);
    // The download and its backup were made before the server refused; nothing is owed.
    EXPECT_EQ(TestProgram::readFile(local + "/registdata_20240507_123456.bak"), kRegistrations);
    EXPECT_TRUE(BackupRecord(local).owed().empty());
    EXPECT_FALSE(logged(sj("DB登録開始")));
  }
}

TEST_F(ReceiveRunTest, ConnectionDroppedDuringTheDownload) {
  startServer();
  std::string big;
  while (big.size() < (24u << 20)) big += kRegistrations;
  TestProgram::writeFile(remotePath(), big);
  // The server goes away at the first progress report of the download.
  bool dropped = false;
  listener.onProgress = [&](std::int64_t) {
    if (!dropped) server->stop();
    dropped = true;
  };
  const IntakeReport report = run(settings());
  EXPECT_EQ(report.failedStage, sj("ファイル受信失敗") + takenName() + " -> " + local +
                                                           "/registdata.cgi");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(serverHolds(), big);
  EXPECT_FALSE(fs::exists(local + "/registdata_20240507_123456.bak"));
}

TEST_F(ReceiveRunTest, EmptyServerFileAndRefusedLines) {
  startServer();
  putRemote("");
  IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 0);
  EXPECT_TRUE(listener.boxes.empty());
  EXPECT_TRUE(fs::exists(local + "/registdata_20240507_123456.bak"));
  EXPECT_EQ(fs::file_size(remotePath()), 0u);

  // A line without an address: refused into the error log, which the report mentions.
  putRemote(sj("名無し\t\t2024/05/01 10:11:12\n"));
  report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_TRUE(report.refusedLinesLogged);
  EXPECT_TRUE(listener.boxes.empty());
  EXPECT_EQ(lines(TestProgram::readFile(program.file("FtpRcv_Err.log"))).size(), 1u);
}

TEST_F(ReceiveRunTest, StopOnAStalledServerEndsTheRunQuietlyAndImportsNothing) {
  startServer();
  putRemote(kRegistrations);
  // Accepts the connection and never says a word; the stop comes once it is connected.
  ScriptedServer stalled([&](ScriptedServer::Peer& p) {
    stop = true;
    p.readAll();
  });
  const IntakeReport report = run(settings(), stalled.port());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_TRUE(listener.boxes.empty());  // the operator asked for it: no error box
  EXPECT_TRUE(logged("Stopped."));
  EXPECT_TRUE(logged(sj("FTP接続失敗")));
  EXPECT_TRUE(logged(sj("終了")));
  EXPECT_FALSE(logged(sj("DB登録開始")));
  EXPECT_FALSE(fs::exists(local + "/registdata.cgi"));
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(remote(), kRegistrations);
}

TEST_F(ReceiveRunTest, StopDuringTheDownloadEndsItAndLeavesTheServerCopy) {
  startServer();
  std::string big;
  while (big.size() < (24u << 20)) big += kRegistrations;
  TestProgram::writeFile(remotePath(), big);
  listener.onProgress = [&](std::int64_t) { stop = true; };
  const IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_TRUE(listener.boxes.empty());
  EXPECT_TRUE(logged(sj("ファイル受信失敗") + takenName() + " -> " + local + "/registdata.cgi"));
  EXPECT_FALSE(fs::exists(local + "/registdata_20240507_123456.bak"));
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(serverHolds(), big);
}

TEST_F(ReceiveRunTest, StopOnceTheServerCopyIsEmptiedStillImportsTheDownload) {
  startServer(kNoRename);
  putRemote(kRegistrations);
  listener.onMessage = [&](const std::string& text) {
    if (text == sj("空ファイル送信成功")) stop = true;
  };
  const IntakeReport report = run(settings());
  // The download is the only copy now: its registrations are in the database rather
  // than only in the backup, though the run counts as stopped.
  EXPECT_EQ(remote(), "");
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(report.registered, 0);
  EXPECT_TRUE(listener.boxes.empty());
}

namespace {

const std::string kBackup = "registdata_20240507_123456.bak";

TEST_F(ReceiveRunTest, MaskRefusedInListIsListedAgainWithoutIt) {
  server = std::make_unique<FtpTestServer>("quor", "pass", FtpTestServer::PlainListing{});
  fs::create_directories(server->home() + "/data");
  putRemote(kRegistrations);
  const IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 2);
  EXPECT_EQ(remote(), "");
  EXPECT_FALSE(logged(sj("FTP List取得失敗")));
  const auto log = runLog();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& l) {
    return l.find("registdata.cgi") != std::string::npos && l.find("-rw") == 0;
  }));
}

TEST_F(ReceiveRunTest, DownloadShorterThanItsSizeFailsAndLeavesTheServerCopy) {
  startServer(kNoRename);
  putRemote(kRegistrations);
  // The server sends only half of what SIZE announced, then reports success (226).
  const std::string half = kRegistrations.substr(0, kRegistrations.size() / 2);
  listener.onMessage = [&](const std::string& text) {
    if (text == sj("ファイルSize取得成功")) putRemote(half);
  };
  const IntakeReport report = run(settings());
  EXPECT_EQ(report.failedStage, sj("ファイル受信失敗/data/registdata.cgi -> ") + local + "/registdata.cgi");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(remote(), half);
  EXPECT_FALSE(fs::exists(local + "/" + kBackup));
  EXPECT_FALSE(logged(sj("空ファイル送信開始") + local + "/registdata.non -> /data/registdata.cgi"));
}

TEST_F(ReceiveRunTest, RegistrationAddedAfterTheDownloadIsDownloadedAgainBeforeEmptying) {
  startServer(kNoRename);
  putRemote(kRegistrations);
  const std::string added = "Late\tlate@example.com\t2024/05/03 01:02:03\r\n";
  int downloads = 0;
  listener.onMessage = [&](const std::string& text) {
    if (text == sj("ファイル受信成功") && ++downloads == 1) putRemote(kRegistrations + added);
  };
  const IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(downloads, 2);
  EXPECT_EQ(report.registered, 3);
  EXPECT_EQ(readers({"MAILADDRESS"}).back()[0], pad("late@example.com", 50));
  EXPECT_EQ(TestProgram::readFile(local + "/" + kBackup), kRegistrations + added);
  EXPECT_EQ(remote(), "");
  EXPECT_TRUE(logged(sj("受信中に登録データが追加されました。再受信します -> /data/registdata.cgi")));
  EXPECT_TRUE(logged(sj("FTP Renameが拒否されたため、空ファイル送信で受信します -> /data/registdata.cgi")));
}

TEST_F(ReceiveRunTest, LinesAddedAfterSizeArriveWithTheDownloadAndAreKept) {
  startServer(kNoRename);
  putRemote(kRegistrations);
  const std::string added = "Late\tlate@example.com\t2024/05/03 01:02:03\r\n";
  listener.onMessage = [&](const std::string& text) {
    if (text == sj("ファイルSize取得成功")) putRemote(kRegistrations + added);
  };
  const IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 3);
  EXPECT_EQ(TestProgram::readFile(local + "/" + kBackup), kRegistrations + added);
  EXPECT_EQ(remote(), "");
  EXPECT_FALSE(logged(sj("受信中に登録データが追加されました。再受信します -> /data/registdata.cgi")));
}

TEST_F(ReceiveRunTest, FileThatKeepsGrowingIsLeftOnTheServer) {
  startServer(kNoRename);
  putRemote(kRegistrations);
  std::string content = kRegistrations;
  int downloads = 0;
  listener.onMessage = [&](const std::string& text) {
    if (text != sj("ファイル受信成功")) return;
    ++downloads;
    content += "R" + std::to_string(downloads) + "\tr" + std::to_string(downloads) + "@example.com\t2024/05/03 01:02:03\n";
    putRemote(content);
  };
  const IntakeReport report = run(settings());
  const std::string message =
      sj("受信中に登録データが追加され続けたため、サーバーのファイルを空にしませんでした -> /data/registdata.cgi");
  EXPECT_EQ(downloads, 1 + ReceiveRun::kRedownloads);
  EXPECT_EQ(listener.boxTexts(), std::vector<std::string>{message});
  EXPECT_TRUE(logged(message));
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(remote(), content);
  EXPECT_TRUE(BackupRecord(local).owed().empty());
}

TEST_F(ReceiveRunTest, FilesTakenByARunThatDiedAreTakenFirstAndNothingIsLost) {
  startServer();
  const std::string taken = server->home() + "/data/registdata.cgi.taking-";
  const std::string older = "Older\tolder@example.com\t2024/05/05 01:00:00\n";
  const std::string old = "Old\told@example.com\t2024/05/06 01:00:00\n";
  TestProgram::writeFile(taken + "20240506000000-77", old);
  TestProgram::writeFile(taken + "20240505000000-99", older);
  putRemote(kRegistrations);
  IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 4);
  EXPECT_EQ(TestProgram::readFile(local + "/" + kBackup), older + old + kRegistrations);
  EXPECT_EQ(remoteNames(), std::vector<std::string>{"registdata.cgi"});
  EXPECT_TRUE(logged(sj("前回の受信で取り出したファイルを受信します -> /data/registdata.cgi.taking-20240505000000-99")));

  // A run that died after its backup was owed and before the delete: the next run
  // imports the backup, takes the file again, and refuses its address as known.
  const std::string twice = "Twice\ttwice@example.com\t2024/05/07 01:00:00\n";
  TestProgram::writeFile(local + "/registdata_20240507_000000.bak", twice);
  BackupRecord(local).markOwed("registdata_20240507_000000.bak");
  TestProgram::writeFile(taken + "20240507000000-5", twice);
  Clock::setFixedStamp("20240508090000");
  report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(readerCount(), 5u);
  EXPECT_TRUE(report.refusedLinesLogged);
  EXPECT_EQ(remoteNames(), std::vector<std::string>{"registdata.cgi"});
  EXPECT_TRUE(BackupRecord(local).owed().empty());
}

TEST_F(ReceiveRunTest, FailedBackupCopyLeavesTheServerCopy) {
  startServer();
  putRemote(kRegistrations);
  fs::create_directories(local + "/" + kBackup);  // a folder where the backup should go
  const IntakeReport report = run(settings());
  expectFailedRun(report, sj("FTP受信ファイルバックアップ失敗"));
  EXPECT_TRUE(logged(sj("FTP受信ファイルバックアップ失敗")));
  EXPECT_FALSE(logged(sj("空ファイル送信開始") + local + "/registdata.non -> /data/registdata.cgi"));
}

TEST_F(ReceiveRunTest, ImportKilledAfterTheServerCopyWasEmptiedIsCompletedByTheNextRun) {
  startServer();
  putRemote(kRegistrations);
  // The run dies in the middle of the import, as a kill would end it.
  listener.onRegistered = [](int count) {
    if (count == 1) throw std::runtime_error("killed");
  };
  engine.port = server->port();
  EXPECT_THROW(engine.run(settings()), std::runtime_error);
  EXPECT_EQ(readerCount(), 0u);
  EXPECT_EQ(remote(), "");
  EXPECT_EQ(TestProgram::readFile(local + "/" + kBackup), kRegistrations);

  // The next run imports the backup before anything is downloaded, then the new file.
  listener.onRegistered = nullptr;
  Clock::setFixedStamp("20240508090000");
  putRemote("Third\tthird@example.com\t2024/05/08 08:00:00\n");
  std::vector<std::string> shown;
  listener.onMessage = [&](const std::string& text) { shown.push_back(text); };
  const IntakeReport report = run(settings());
  const std::string announced = sj("前回登録が完了していないバックアップを登録します -> ") + local + "/" + kBackup;
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 3);
  const auto stored = readers({"MAILADDRESS"});
  ASSERT_EQ(stored.size(), 3u);
  EXPECT_EQ(stored[0][0], pad("yamada@example.com", 50));
  EXPECT_EQ(stored[2][0], pad("third@example.com", 50));
  const auto log = runLog();
  const auto at = std::find(log.begin(), log.end(), announced);
  ASSERT_NE(at, log.end());
  // Announced in the second run before any connection, let alone a download.
  const auto runStart = std::find(std::make_reverse_iterator(at), log.rend(), sj("開始")).base();
  EXPECT_TRUE(std::find(runStart, at, sj("FTP接続開始")) == at);
  EXPECT_NE(std::find(shown.begin(), shown.end(), announced), shown.end());
  EXPECT_TRUE(BackupRecord(local).owed().empty());

  // Nothing is owed any more: a third run imports nothing twice.
  Clock::setFixedStamp("20240509090000");
  run(settings());
  EXPECT_EQ(readerCount(), 3u);
}

TEST_F(ReceiveRunTest, KillBetweenTheCommitAndTheRecordImportsNothingTwice) {
  startServer();
  putRemote(kRegistrations);
  run(settings());
  ASSERT_EQ(readerCount(), 2u);
  // As left by a kill right after the commit: the entry still names the last reader.
  Reader last;
  last.id = 2;
  last.address = "second@example.com";
  last.registered = DateStamp(20240502, 80910);
  BackupRecord(local).markOwed(kBackup);
  BackupRecord(local).markCommitting(kBackup, last);
  Clock::setFixedStamp("20240508090000");  // this run's own backup is another file
  run(settings());
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_TRUE(BackupRecord(local).owed().empty());
  EXPECT_TRUE(logged(sj("バックアップは登録済みです -> ") + local + "/" + kBackup));

  // Killed just before the commit instead: the reader is not there, the backup is imported.
  program.exec(" DELETE FROM USERLIST");
  BackupRecord(local).markOwed(kBackup);
  BackupRecord(local).markCommitting(kBackup, last);
  run(settings());
  EXPECT_EQ(readerCount(), 2u);
  EXPECT_TRUE(BackupRecord(local).owed().empty());
}

// A real run enters its last reader in the record before the commit, and a commit the
// database refuses leaves the backup owed.
TEST_F(ReceiveRunTest, ImportRefusedAtItsCommitKeepsTheRecordNamingItsLastReader) {
  startServer();
  putRemote(kRegistrations);
  program.exec("CREATE EXCEPTION COMMIT_REFUSED 'commit refused'");
  program.exec("CREATE TRIGGER REFUSE_COMMIT ON TRANSACTION COMMIT AS BEGIN IF (EXISTS (SELECT 1 FROM USERLIST "
               "WHERE MAILADDRESS STARTING WITH 'second@')) THEN EXCEPTION COMMIT_REFUSED; END");
  EXPECT_EQ(run(settings()).outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(readerCount(), 0u);
  const std::vector<BackupRecord::Entry> owed = BackupRecord(local).owed();
  ASSERT_EQ(owed.size(), 1u);
  EXPECT_EQ(owed[0].backup, kBackup);
  EXPECT_EQ(owed[0].id, "00002");
  EXPECT_EQ(owed[0].mail, "second@example.com");
}

TEST_F(ReceiveRunTest, FilesHoldingAddressesAreTheOwnersAlone) {
  startServer();
  putRemote(kRegistrations + sj("名無し\t\t2024/05/01 10:11:12\n"));
  const mode_t before = ::umask(022);
  run(settings());
  ::umask(before);
  for (const std::string& file : {program.file("FtpRcv.log").string(), program.file("FtpRcv_Err.log").string(),
                                  local + "/registdata.cgi", local + "/" + kBackup})
    EXPECT_EQ(fs::status(file).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write)
        << file;
}

}  // namespace

namespace {

const std::string kCancelBackup = "canceldata_20240507_123456.bak";

// The index of the first log line equal to text, or the log's length.
size_t logIndex(const std::vector<std::string>& log, const std::string& text) {
  return static_cast<size_t>(std::find(log.begin(), log.end(), text) - log.begin());
}

TEST_F(ReceiveRunTest, UnsubscribeRequestsAreFetchedFirstAndAppliedAfterTheRegistrations) {
  startServer();
  storeReader("00001", "old@example.com");
  putRemote(kRegistrations);
  // A reader of an earlier run by number, one who registered and unsubscribed since the
  // last run by address (letter case aside), and an address nobody has.
  const std::string requests = "00001\t2024/05/07 09:00:00\nYamada@Example.com\t2024/05/07 09:01:00\n"
                               "nobody@example.com\t2024/05/07 09:02:00\n";
  TestProgram::writeFile(cancelPath(), requests);
  const IntakeReport report = run(settings());

  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.registered, 2);
  EXPECT_EQ(report.cancelled, 2);
  EXPECT_TRUE(listener.boxes.empty());
  const auto rows = readers({"ID", "MAILADDRESS", "SYORIKBN"});
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][2], "00");
  EXPECT_EQ(rows[1], (std::vector<std::string>{"00002", pad("yamada@example.com", 50), "00"}));
  EXPECT_EQ(rows[2][2], "01");
  // Fetched as the registrations are: backed up, the server's copy emptied.
  EXPECT_EQ(TestProgram::readFile(cancelPath()), "");
  EXPECT_EQ(TestProgram::readFile(local + "/" + kCancelBackup), requests);
  EXPECT_TRUE(BackupRecord(local, BackupRecord::kCancelFileName).owed().empty());
  EXPECT_TRUE(logged(sj("配信停止: 該当する読者がいません -> nobody@example.com")));
  EXPECT_TRUE(logged(sj("配信停止: 送信区分を不可にしました -> 00002 Yamada@Example.com")));

  const auto log = runLog();
  const std::string taking = ".cgi.taking-20240507123456-" + std::to_string(::getpid());
  const size_t cancelsTaken = logIndex(log, sj("FTP Delete開始 /data/canceldata") + taking);
  const size_t registrationsTaken = logIndex(log, sj("FTP Delete開始 /data/registdata") + taking);
  const size_t imported = logIndex(log, sj("DB登録成功"));
  const size_t applied = logIndex(log, sj("配信停止データ反映開始 -> ") + local + "/" + kCancelBackup);
  EXPECT_LT(cancelsTaken, registrationsTaken);
  EXPECT_LT(registrationsTaken, imported);
  EXPECT_LT(imported, applied);
  EXPECT_LT(applied, log.size());
  EXPECT_LT(logIndex(log, sj("配信停止データ反映成功")), log.size());
}

TEST_F(ReceiveRunTest, RequestAddedDuringTheRunIsDownloadedAgainAndAShortDownloadFails) {
  startServer(kNoRename);
  storeReader("00001", "a@example.com");
  storeReader("00002", "b@example.com");
  storeReader("00003", "c@example.com");
  putRemote(kRegistrations);
  TestProgram::writeFile(cancelPath(), "00001\tx\n");
  int downloads = 0;
  listener.onMessage = [&](const std::string& text) {
    if (text == sj("ファイル受信成功") && ++downloads == 1) TestProgram::writeFile(cancelPath(), "00001\tx\n00002\tx\n");
  };
  IntakeReport report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(downloads, 3);  // the requests twice, the registrations once
  EXPECT_TRUE(logged(sj("受信中に登録データが追加されました。再受信します -> /data/canceldata.cgi")));
  EXPECT_EQ(statusOf("00002"), "00");
  EXPECT_EQ(TestProgram::readFile(cancelPath()), "");

  // Half of what SIZE announced, ended with 226: nothing applied, nothing emptied, and
  // the registrations are left for the next run as well.
  Clock::setFixedStamp("20240508090000");
  listener.onMessage = [&](const std::string& text) {
    if (text == sj("ファイルSize取得成功")) TestProgram::writeFile(cancelPath(), "00003\t");
  };
  TestProgram::writeFile(cancelPath(), "00003\tx\n");
  putRemote(kRegistrations);
  report = run(settings());
  EXPECT_EQ(report.failedStage, sj("ファイル受信失敗/data/canceldata.cgi -> ") + local + "/canceldata.cgi");
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(statusOf("00003"), "01");
  EXPECT_EQ(TestProgram::readFile(cancelPath()), "00003\t");
  EXPECT_EQ(remote(), kRegistrations);
}

TEST_F(ReceiveRunTest, RequestsWhoseRegistrationsWereNotFetchedAreAppliedByTheNextRun) {
  startServer();
  storeReader("00001", "old@example.com");
  TestProgram::writeFile(cancelPath(), "00001\tx\nlate@example.com\tx\n");
  // No registration file yet: that stage fails after the requests were fetched.
  IntakeReport report = run(settings());
  EXPECT_EQ(report.failedStage, sj("ファイルSize取得失敗 -> /data/registdata.cgi"));
  EXPECT_EQ(TestProgram::readFile(cancelPath()), "");
  EXPECT_EQ(statusOf("00001"), "01");
  EXPECT_TRUE(logged(sj("配信停止データは次回の受信で反映します")));
  EXPECT_EQ(BackupRecord(local, BackupRecord::kCancelFileName).owed().size(), 1u);

  // The registration of the address that unsubscribed arrives with the next run.
  Clock::setFixedStamp("20240508090000");
  putRemote("Late\tlate@example.com\t2024/05/07 08:00:00\n");
  report = run(settings());
  EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed);
  EXPECT_EQ(report.cancelled, 2);
  EXPECT_EQ(statusOf("00001"), "00");
  EXPECT_EQ(statusOf("00002"), "00") << "a reader who unsubscribed was registered as sendable";
  EXPECT_TRUE(BackupRecord(local, BackupRecord::kCancelFileName).owed().empty());
}

}  // namespace
