// The commands for a scheduler, run as a separate process of the real program in a
// portable folder: a real database file, aiosmtpd, no display.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <set>
#include <chrono>
#include <thread>

#include <filesystem>
#include <memory>
#include <regex>

#include "core/IniFile.h"
#include "core/SendGuard.h"
#include "core/StoryStore.h"
#include "core/ReaderStore.h"
#include "settings/SettingsFiles.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace fs = std::filesystem;

namespace {

struct UnattendedRunTest : ::testing::Test {
  TestProgram program;  // holds the database open the whole time, as an open window does
  SmtpTestServer smtp;
  int exitCode = -1;
  std::string out;

  void SetUp() override {
    fs::copy_file(QUORMAIL_PROGRAM, program.file("quormail"));
    program.exec(" DELETE FROM USERLIST");
    program.exec(" DELETE FROM STORYLIST");
    StoryStore(program.sql()).save(Story{1, sj("第1話 はじめに"), sj("##readername##様\r\n本文1")});
    StoryStore(program.sql()).save(Story{2, sj("第2話"), sj("本文2")});
    reader("00001", "00001", "01");
    reader("00002", "00002", "01");
    reader("00003", "00001", "00");  // may not be sent to
    writeMailSettings(0);
  }

  void reader(const std::string& id, const std::string& next, const std::string& status) {
    Reader r;
    r.id = std::stoi(id);
    r.address = "reader" + id + "@example.com";
    r.registered = DateStamp(20240101, 90000);
    r.name = sj("読者") + id;
    r.status = static_cast<SendStatus>(std::stoi(status));
    r.nextStory = std::stoi(next);
    ReaderStore(program.sql()).insert(r);
  }

  void writeMailSettings(int popBeforeSmtp, const std::string& server = "127.0.0.1", const FtpSettings& ftp = {}) {
    AllSettings s;
    s.ftp = ftp;
    s.mail.smtpServer = server;
    s.mail.senderAddress = "owner@example.com";
    s.mail.waitSeconds = "0";
    s.mail.popPasswordMode = 0;
    s.mail.popBeforeSmtpMode = popBeforeSmtp;
    s.mail.popServer = "127.0.0.1";
    s.mail.popUser = "user";
    const SettingsPaths paths{program.file("QuorMail.env"), program.file("QuorMail1.env"),
                              program.file("QuorMail2.env")};
    writeSettings(paths, s);
    IniFile(paths.env).writeInteger("Mail", "SMTPPORT", smtp.port());
  }

  // Runs the copied program with no display; standard output in out, errors after it.
  void command(const std::string& arguments) {
    out = runCommand("cd " + program.dir().string() + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM " +
                         "timeout 120 ./quormail " + arguments + " 2>&1",
                     &exitCode);
  }

  std::string nextStoryOf(const std::string& id) {
    return program.rows(" SELECT NEXTSTORY FROM USERLIST WHERE ID = '" + id + "'", {"NEXTSTORY"})[0][0];
  }
};

TEST_F(UnattendedRunTest, DryRunListsEachDueReaderWithStoryAndSubjectAndSendsNothing) {
  command("send --dry-run");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_NE(out.find("00001\t1\treader00001@example.com\t第1話 はじめに\n"), std::string::npos) << out;
  EXPECT_NE(out.find("00002\t2\treader00002@example.com\t第2話\n"), std::string::npos) << out;
  EXPECT_EQ(out.find("00003"), std::string::npos) << "a reader who may not be sent to was listed";
  EXPECT_NE(out.find("送信予定: 2 名"), std::string::npos) << out;
  EXPECT_TRUE(smtp.messages().empty());
  EXPECT_EQ(nextStoryOf("00001"), "00001");
  EXPECT_FALSE(fs::exists(program.file("SndMail.log")));
}

TEST_F(UnattendedRunTest, DryRunSaysWhoWaitsForALaterRunAndWhy) {
  IniFile(program.file("QuorMail.env")).writeString("Mail", "DayLimit", "1");
  command("send --dry-run");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_NE(out.find("00001\t1\treader00001@example.com\t第1話 はじめに\n"), std::string::npos) << out;
  EXPECT_NE(out.find("00002\t2\treader00002@example.com\t第2話\t本日の送信上限 1 通に達しました。\n"), std::string::npos) << out;
  EXPECT_NE(out.find("送信予定: 1 名"), std::string::npos) << out;
  EXPECT_NE(out.find("次回以降: 1 名 本日の送信上限 1 通に達しました。"), std::string::npos) << out;
  // No sending day at all is a settings error.
  IniFile(program.file("QuorMail.env")).writeString("Mail", "SendDays", "0000000");
  command("send");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_TRUE(smtp.messages().empty());
}

TEST_F(UnattendedRunTest, SendWorksWhileAnotherProcessHoldsTheDatabaseOpen) {
  command("send");
  EXPECT_EQ(exitCode, 0) << out;
  ASSERT_TRUE(smtp.waitForMessages(2));
  EXPECT_NE(out.find("送信済 00001 reader00001@example.com\n"), std::string::npos) << out;
  EXPECT_NE(out.find("送信済 00002 reader00002@example.com\n"), std::string::npos) << out;
  EXPECT_EQ(nextStoryOf("00001"), "00002");
  EXPECT_EQ(nextStoryOf("00002"), "00003");
  EXPECT_EQ(nextStoryOf("00003"), "00001");
  EXPECT_TRUE(fs::exists(program.file("SndMail.log")));

  // The second run sends the second story mail to the first reader only; then nobody
  // is due any more: done, with the run's own message.
  command("send");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(nextStoryOf("00001"), "00003");
  command("send");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_NE(out.find("送信対象が１件もありません。"), std::string::npos) << out;
}

TEST_F(UnattendedRunTest, OneSendRunAtATimeAndNoReaderMailedTwice) {
  // While another run holds the database's send lock, a send is refused with status 4.
  {
    auto held = SendGuard::acquire(program.ctx().databaseName(), "window");
    ASSERT_TRUE(held);
    command("send");
    EXPECT_EQ(exitCode, 4) << out;
    EXPECT_NE(out.find("別の送信が実行中です。"), std::string::npos) << out;
    EXPECT_TRUE(smtp.messages().empty());
  }
  // Two commands started together: whichever comes second is refused or finds the
  // readers already served; every reader gets the first story exactly once.
  program.exec(" DELETE FROM USERLIST");
  // (A wait of 0 seconds still lasts to the next tick: the run takes about 8 seconds.)
  for (int id = 1; id <= 8; ++id) reader(idText(id), "00001", "01");
  const std::string run = "cd " + program.dir().string() + " && env -u DISPLAY timeout 120 ./quormail send";
  int first = -1, second = -1;
  std::thread other([&] { runCommand(run + " >second.txt 2>&1", &second); });
  runCommand(run + " >first.txt 2>&1", &first);
  other.join();
  for (int status : {first, second}) EXPECT_TRUE(status == 0 || status == 4) << status;
  ASSERT_TRUE(smtp.waitForMessages(8));
  std::multiset<std::string> recipients;
  for (const auto& m : smtp.messages()) recipients.insert(m.envelope.substr(m.envelope.find("rcpt_tos")));
  EXPECT_EQ(smtp.messages().size(), 8u);
  EXPECT_EQ(std::set<std::string>(recipients.begin(), recipients.end()).size(), 8u);
}

TEST_F(UnattendedRunTest, NeverAsksAndEndsWithTheCheckMessageAndItsStatus) {
  // POP before SMTP with a password that is asked at each run: nothing can ask.
  writeMailSettings(1);
  command("send");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("パスワードが保存されていません"), std::string::npos) << out;
  EXPECT_TRUE(smtp.messages().empty());

  writeMailSettings(0);
  IniFile(program.file("QuorMail.env")).writeInteger("Mail", "SmtpAuth", 1);
  IniFile(program.file("QuorMail.env")).writeInteger("Mail", "SmtpPlainLogin", 1);
  IniFile(program.file("QuorMail.env")).writeString("Mail", "SmtpUser", "owner");
  command("send");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("SMTPのパスワードが保存されていません"), std::string::npos) << out;
  EXPECT_TRUE(smtp.messages().empty());

  writeMailSettings(0, "");
  command("send");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("SMTPｻｰﾊﾞ名が設定されていません。"), std::string::npos) << out;

  command("send --now");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("不明なオプションです: --now"), std::string::npos) << out;
}

TEST_F(UnattendedRunTest, BouncesReadsTheMailboxOnceWithAStatusForEachEnding) {
  command("bounces");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("エラーメールの受信箱が設定されていません。"), std::string::npos) << out;

  auto mailbox = std::make_unique<Pop3TestServer>("bounce", "pw");
  const std::string bounce =
      TestProgram::readFile(QUORMAIL_SOURCE_DIR "/tests/sending/bounces/gmail-5.1.1.eml");
  mailbox->deliver(std::regex_replace(bounce, std::regex("reader00001@gmail.com"), "reader00001@example.com"));
  IniFile ini(program.file("QuorMail.env"));
  ini.writeInteger("Mail", "BouncePop", 1);
  ini.writeString("Mail", "BouncePopServer", "127.0.0.1");
  ini.writeInteger("Mail", "BouncePopPort", mailbox->port());
  ini.writeString("Mail", "BouncePopUser", "bounce");
  writePasswordFile(program.file("QuorMail4.env"), "pw");
  command("bounces");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_NE(out.find("エラーメール 00001 reader00001@example.com 宛先不明で停止 550 5.1.1 550-5.1.1 The email"),
            std::string::npos) << out;
  EXPECT_NE(out.find("エラーメール 1 件: 停止 1 名、保留 0 名、不明なメール 0 通"), std::string::npos) << out;
  EXPECT_EQ(program.rows(" SELECT SYORIKBN FROM USERLIST WHERE ID = '00001'", {"SYORIKBN"})[0][0], "00");

  mailbox.reset();  // nobody answers on the port any more
  command("bounces");
  EXPECT_EQ(exitCode, 1) << out;
  EXPECT_NE(out.find("エラーメールのPOP3サーバに接続できませんでした（接続を拒否されました）。"
                     "「FTP、Mail 設定」のエラーメールのページで、POP3ｻｰﾊﾞ名とﾎﾟｰﾄ番号を確かめて下さい。"
                     " / Socket Error # 10061 Connection refused."),
            std::string::npos) << out;
}

TEST_F(UnattendedRunTest, AFailedRunAndAMissingDatabaseHaveTheirOwnStatus) {
  // A receive that fails still lets the readers be sent their mails; the status says it failed.
  FtpSettings f;
  f.host = "127.0.0.254";  // nobody listens there
  f.user = "op";
  f.passwordMode = 1;
  f.password = "secret";
  f.hostFolder = "/data";
  f.localFolder = program.dir().string();
  writeMailSettings(0, "127.0.0.1", f);
  command("receive-and-send");
  EXPECT_EQ(exitCode, 1) << out;
  EXPECT_TRUE(smtp.waitForMessages(2)) << out;

  program.exec(" UPDATE USERLIST SET NEXTSTORY = ID");
  smtp.stop();  // nobody answers on the port any more
  command("send");
  EXPECT_EQ(exitCode, 1) << out;
  EXPECT_EQ(nextStoryOf("00001"), "00001");

  IniFile(program.file("QuorMail.env")).writeString("Database", "Database", (program.dir() / "NONE.GDB").string());
  command("send --dry-run");
  EXPECT_EQ(exitCode, 3) << out;
  EXPECT_NE(out.find("データベースを開けません"), std::string::npos) << out;

  command("--version");
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(out.rfind("QuorMail ", 0), 0u) << out;
}

}  // namespace

namespace {

// Installed outside a portable folder, the program keeps its data in $QUORMAIL_HOME and
// creates an empty database there from the schema it carries, saying so once.
TEST(DataFolder, FirstStartCreatesTheDatabaseInTheDataFolderOnce) {
  TestProgram installed(false, false);
  const fs::path bin = installed.dir() / "bin";
  const fs::path home = installed.dir() / "data";
  fs::create_directories(bin);
  fs::copy_file(QUORMAIL_PROGRAM, bin / "quormail");
  const std::string run = "env -u DISPLAY QUORMAIL_HOME=" + home.string() + " " + (bin / "quormail").string() +
                          " send --dry-run 2>&1";
  int exitCode = -1;
  std::string out = runCommand(run, &exitCode);
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_NE(out.find("データベースを作成しました: " + (home / "QUORMAIL.GDB").string()), std::string::npos) << out;
  EXPECT_TRUE(fs::exists(home / "QUORMAIL.GDB"));
  EXPECT_FALSE(fs::exists(bin / "QUORMAIL.GDB"));

  out = runCommand(run, &exitCode);
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out.find("データベースを作成しました"), std::string::npos) << out;
  EXPECT_NE(out.find("送信予定: 0 名"), std::string::npos) << out;
}

// Without FIREBIRD_LOCK the engine's lock folder is the data folder's own: one that is
// a link, another user's or writable by others is refused before the database opens,
// and a link planted in its configuration folder is replaced, not followed.
TEST(DataFolder, TheEngineLockFolderIsTheUsersOwnOrRefused) {
  TestProgram folder(false, false);
  fs::copy_file(QUORMAIL_PROGRAM, folder.file("quormail"));
  fs::copy_file(QUORMAIL_TEMPLATE_DB, folder.file("QUORMAIL.GDB"));
  const fs::path lock = folder.file("firebird-lock");
  const fs::path victim = folder.file("notes.txt");
  TestProgram::writeFile(victim, "mine");
  const std::string run = "cd " + folder.dir().string() +
                          " && env -u DISPLAY -u FIREBIRD_LOCK -u FIREBIRD ./quormail send --dry-run 2>&1";
  const struct {
    const char* what;
    std::function<void()> plant;
    bool refused;
  } cases[] = {
      {"made by the program", [] {}, false},
      {"a link in the configuration", [&] { fs::remove(lock / "conf" / "firebird.conf"); fs::create_symlink(victim, lock / "conf" / "firebird.conf"); }, false},
      {"writable by others", [&] { fs::permissions(lock, fs::perms::all); }, true},
      {"a link to another folder", [&] { fs::remove_all(lock); fs::create_directory(folder.file("elsewhere")); fs::create_directory_symlink(folder.file("elsewhere"), lock); }, true},
  };
  for (const auto& c : cases) {
    c.plant();
    int exitCode = -1;
    const std::string out = runCommand(run, &exitCode);
    EXPECT_EQ(exitCode, c.refused ? 3 : 0) << c.what << "\n" << out;
    EXPECT_EQ(out.find("ロックフォルダが安全ではありません") != std::string::npos, c.refused) << c.what << "\n" << out;
    EXPECT_EQ(TestProgram::readFile(victim), "mine") << c.what;
  }
  if (::geteuid() == 0) {  // another user's folder: only root can make one
    fs::remove(lock);
    fs::create_directory(lock);
    fs::permissions(lock, fs::perms::owner_all, fs::perm_options::replace);
    ASSERT_EQ(::chown(lock.c_str(), 65534, 65534), 0);
    int exitCode = -1;
    const std::string out = runCommand(run, &exitCode);
    EXPECT_EQ(exitCode, 3) << out;
  }
}

}  // namespace

namespace {

// pyftpdlib on the standard FTP port, which the program always uses, on the first
// loopback address where that port is free (the host is a setting, the port is not).
struct StandardPortFtpServer : ServerProcess {
  static std::string freeAddress() {
    if (::geteuid() != 0) return std::string();
    for (int last = 1; last < 10; ++last) {
      const std::string address = "127.0.0." + std::to_string(last);
      const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in sa{};
      sa.sin_family = AF_INET;
      sa.sin_port = htons(21);
      ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr);
      const bool free = ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
      ::close(fd);
      if (free) return address;
    }
    return std::string();
  }
  explicit StandardPortFtpServer(const std::string& address) {
    m_port = 21;
    m_host = address;
    fs::create_directories(home() + "/data");
    start({kPython, QUORMAIL_SOURCE_DIR "/tests/support/ftp_server.py", "--host", address, "--port", "21", "--user",
           "op", "--password", "secret", "--home", home()});
  }
  std::string home() const { return folder() + "/home"; }
};

TEST_F(UnattendedRunTest, ReceiveAndSendFetchesRegistrationsAndSendsThemTheirFirstMail) {
  const std::string address = StandardPortFtpServer::freeAddress();
  if (address.empty()) GTEST_SKIP() << "needs root and port 21 free on a loopback address";
  StandardPortFtpServer ftp(address);
  TestProgram::writeFile(ftp.home() + "/data/registdata.cgi",
                         sj("新人 一郎\tnew1@example.com\t2024/05/01 10:00:00\n") +
                             sj("新人 二郎\tnew2@example.com\t2024/05/01 10:05:00\n"));
  program.exec(" DELETE FROM USERLIST");
  FtpSettings f;
  f.host = ftp.host();
  f.user = "op";
  f.passwordMode = 1;
  f.password = "secret";
  f.hostFolder = "/data";
  f.localFolder = (program.dir() / "received").string();
  fs::create_directories(f.localFolder);
  writeMailSettings(0, "127.0.0.1", f);

  command("receive-and-send");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_NE(out.find("DB登録成功"), std::string::npos) << out;
  EXPECT_NE(out.find("登録件数: 2"), std::string::npos) << out;
  EXPECT_NE(out.find("送信済 00001 new1@example.com"), std::string::npos) << out;
  EXPECT_NE(out.find("送信済 00002 new2@example.com"), std::string::npos) << out;
  EXPECT_TRUE(smtp.waitForMessages(2));
  EXPECT_EQ(TestProgram::readFile(ftp.home() + "/data/registdata.cgi"), "");

  // A password that is asked at each run cannot be asked here.
  f.passwordMode = 0;
  writeMailSettings(0, "127.0.0.1", f);
  command("receive");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("FTPのパスワードが保存されていません"), std::string::npos) << out;
}

}  // namespace

namespace {

// SIGTERM from a scheduler ends a command as "中 断" ends a run: the mail in progress
// fails, its reader stays where it was, and the command ends normally.
// Runs `quormail send` as a child, sends it the signal once ready() holds, and returns
// the output once it has ended; a command still running after the deadline fails.
std::string sendStoppedBy(TestProgram& program, int signal, const std::function<bool()>& ready) {
  const std::string outFile = (program.dir() / "out.txt").string();
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::chdir(program.dir().c_str());
    ::freopen(outFile.c_str(), "w", stdout);
    ::dup2(::fileno(stdout), 2);
    ::unsetenv("DISPLAY");
    ::execl("./quormail", "quormail", "send", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!ready() && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_TRUE(ready()) << "the command never got where the signal was to reach it";
  ::kill(pid, signal);
  int status = -1;
  while (::waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      ::kill(pid, SIGKILL);
      ::waitpid(pid, &status, 0);
      ADD_FAILURE() << "the command did not end after signal " << signal;
      return std::string();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 5) << "signal " << signal << ", wait status " << status;
  return TestProgram::readFile(outFile);
}

// Each of the three signals ends the command, waiting between mails or on a server
// that never answers, with status 5; the reader whose mail did not go out stays due.
TEST_F(UnattendedRunTest, SignalsStopASendWithTheirOwnStatus) {
  for (int signal : {SIGTERM, SIGINT, SIGHUP}) {
    program.exec(" UPDATE USERLIST SET NEXTSTORY = ID");
    IniFile(program.file("QuorMail.env")).writeString("Mail", "Mail1_Wait_Second", "60");
    const std::size_t before = smtp.messages().size();
    const std::string printed = sendStoppedBy(program, signal, [&] { return smtp.messages().size() > before; });
    EXPECT_NE(printed.find("中断しました。"), std::string::npos) << printed;
    EXPECT_EQ(nextStoryOf("00002"), "00002");
  }
  std::atomic<bool> connected{false};
  ScriptedServer silent([&](ScriptedServer::Peer& p) {
    connected = true;
    p.waitForClose(60000);
  });
  IniFile(program.file("QuorMail.env")).writeInteger("Mail", "SMTPPORT", silent.port());
  program.exec(" UPDATE USERLIST SET NEXTSTORY = ID");
  sendStoppedBy(program, SIGTERM, [&] { return connected.load(); });
  EXPECT_EQ(nextStoryOf("00001"), "00001");
}

}  // namespace

namespace {

TEST_F(UnattendedRunTest, DryRunListsOnlyReadersDueNowUnderTheIntervals) {
  // Story 1 waits a hundred years after the registration; story 2 has no interval.
  program.exec(" UPDATE STORYLIST SET INTERVALDAYS = 36500 WHERE STORYNO = '00001'");
  command("send --dry-run");
  EXPECT_EQ(exitCode, 0) << out;
  EXPECT_EQ(out.find("00001\t"), std::string::npos) << out;
  EXPECT_NE(out.find("00002\t2\treader00002@example.com\t第2話\n"), std::string::npos) << out;
  EXPECT_NE(out.find("送信予定: 1 名"), std::string::npos) << out;
}

TEST_F(UnattendedRunTest, CharactersTheMailCannotCarryEndTheSendWithTheirList) {
  StoryStore(program.sql()).save(Story{1, sj("第①話"), sj("##readername##様")});
  command("send");
  EXPECT_EQ(exitCode, 2) << out;
  EXPECT_NE(out.find("ISO-2022-JPのメールで送れない文字があります。送信を中止します。\n"), std::string::npos) << out;
  EXPECT_NE(out.find("ストーリー1 件名 1行2列「①」 -> (1)\n"), std::string::npos) << out;
  EXPECT_TRUE(smtp.messages().empty());
  EXPECT_EQ(nextStoryOf("00002"), "00002");
}

}  // namespace
