// The send run without any window: a real database file, aiosmtpd and dovecot on
// 127.0.0.1, and a scripted server for a server that never answers.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <functional>
#include <memory>
#include <tuple>

#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "core/ReaderStore.h"
#include "core/TextUtil.h"
#include "sending/SendListener.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/SendRun.h"
#include "sending/StartCheck.h"
#include "sending/UnsubscribeLink.h"
#include "settings/UnsubscribeSecret.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestProgram.h"
#include "tests/support/WebServer.h"

namespace {

// Writes down what the run reports, in order, as readable lines.
struct Recorder : SendListener {
  std::vector<std::string> events;
  std::vector<std::string> errors;
  std::function<void(const std::string&)> onCountdown;

  void readerChanged(std::size_t index, const DueReader& r) override {
    events.push_back("reader " + std::to_string(index) + " " + markText(r.mark) + " " + std::to_string(r.reader.nextStory));
  }
  void progress(int sent, int marked) override {
    events.push_back("progress " + std::to_string(sent) + "/" + std::to_string(marked));
  }
  void loggingIn() override { events.push_back("login"); }
  void sending(const std::string& address) override { events.push_back("sending " + address); }
  void countdown(const std::string& text) override {
    events.push_back("countdown " + text);
    if (onCountdown) onCountdown(text);
  }
  void error(const std::string& text) override {
    errors.push_back(text);
    events.push_back("error");
  }
  bool saw(const std::string& event) const { return std::find(events.begin(), events.end(), event) != events.end(); }
};

struct SendRunTest : ::testing::Test {
  TestProgram program;
  SmtpClient smtp;
  Pop3Client pop3;
  SendRun run{program.sql(), program.file("SndMail.log"), smtp, pop3};
  Recorder recorder;
  std::atomic<bool> stop{false};

  void SetUp() override {
    Clock::setFixedStamp("20240507123456");
    run.setStopFlag(&stop);
  }
  void TearDown() override {
    Clock::setFixedStamp("");
    Clock::setPausesSkipped(false);
  }

  static MailSettings settings(int smtpPort) {
    MailSettings s;
    s.smtpServer = " 127.0.0.1 ";
    s.senderAddress = "owner@example.com";
    s.waitSeconds = "0";
    s.popPasswordMode = 2;
    s.popBeforeSmtpMode = 0;
    s.logMode = 1;
    s.lineWidth = "80";
    s.defaultReaderName = sj("読者");
    s.smtpPort = smtpPort;
    return s;
  }

  void reader(const std::string& id, const std::string& name, const std::string& next,
              const std::string& kbn = "01", const std::string& address = "") {
    Reader r;
    r.id = std::stoi(id);
    r.address = address.empty() ? "reader" + id + "@example.com" : address;
    r.registered = DateStamp(20240101, 90000);
    r.name = name;
    r.status = static_cast<SendStatus>(std::stoi(kbn));
    r.nextStory = std::stoi(next);
    r.note1 = sj("備考");
    ReaderStore(program.sql()).insert(r);
  }

  void story(const std::string& no, const std::string& subject, const std::string& body) {
    StoryStore(program.sql()).save(Story{std::stoi(no), subject, body});
  }

  // NEXTSTORY, SNDFASTDATE, SNDLASTDATE, SNDLASTTIME, NAME, BIKO1 of a reader in the file.
  std::vector<std::string> stored(const std::string& id) {
    auto rows = program.rows(" SELECT USERLIST.* FROM USERLIST WHERE ID = '" + id + "'",
                             {"NEXTSTORY", "SNDFASTDATE", "SNDLASTDATE", "SNDLASTTIME", "NAME", "BIKO1"});
    return rows.empty() ? std::vector<std::string>{} : rows[0];
  }

  std::vector<std::string> marks() {
    std::vector<std::string> out;
    for (const DueReader& r : run.list().readers()) out.push_back(markText(r.mark));
    return out;
  }

  std::string decoded(const SmtpTestServer::Message& m) {
    return runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR "/tests/support/decode_mail.py " + m.emlPath);
  }

  // One decoded header's value ("" when missing).
  static std::string headerOf(const std::string& decodedMail, const std::string& name) {
    const std::string text = "\n" + decodedMail;
    const std::size_t at = text.find("\n" + name + ": ");
    if (at == std::string::npos) return "";
    const std::size_t from = at + name.size() + 3;
    return text.substr(from, text.find('\n', from) - from);
  }
};

// A server that speaks TLS with the test authority's certificate and wants a login.
SmtpTestServer::Options tlsServer(const TestCertificates::Pair& pair, bool implicit) {
  SmtpTestServer::Options o;
  o.certFile = pair.cert;
  o.keyFile = pair.key;
  o.implicitTls = implicit;
  o.authUser = "quor";
  o.authPassword = "s3cret pass";
  return o;
}

TEST_F(SendRunTest, ListsTheSendableReadersDueAStoryAndMarksOnlyThoseThatCanBeSent) {
  story("00001", "s1", "b1");
  story("00002", "s2", "b2");
  reader("00001", sj("山田"), "00001");
  reader("00002", sj("停止中"), "00001", "00");
  reader("00003", sj("先の話"), "00003");
  reader("00012", sj("最後"), "00002");
  run.listDueReaders();
  EXPECT_EQ(run.list().lastStoryText(), "    2");
  EXPECT_EQ(run.list().lastStory(), 2);
  ASSERT_EQ(run.list().readers().size(), 2u);
  const DueReader& first = run.list().readers()[0];
  EXPECT_EQ(first.reader.id, 1);
  EXPECT_EQ(first.reader.nextStory, 1);
  EXPECT_EQ(first.reader.name, sj("山田"));
  EXPECT_EQ(first.reader.address, "reader00001@example.com");
  EXPECT_EQ(first.reader.registered, DateStamp(20240101, 90000));
  EXPECT_EQ(first.reader.note1, sj("備考"));
  // The cells as shown and logged: numbers right-aligned without their zeros, texts
  // blank-padded to their columns in the log.
  const std::vector<std::string> cells = first.cells();
  ASSERT_EQ(cells.size(), 15u);
  EXPECT_EQ(cells[1], sj("可"));
  EXPECT_EQ(cells[2], "    1");
  EXPECT_EQ(cells[3], "    1");
  EXPECT_EQ(cells[6], sj("山田") + std::string(56, ' '));
  EXPECT_EQ(cells[7], "reader00001@example.com" + std::string(27, ' '));
  EXPECT_EQ(cells[8], "00000000");
  EXPECT_EQ(cells[10], "20240101");
  EXPECT_EQ(first.cell(DueColumn::name), sj("山田"));
  EXPECT_EQ(run.list().readers()[1].cells()[2], "   12");

  run.list().mark(0);
  run.list().mark(7);  // past the list: ignored
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  ○  "), ""}));
  run.list().markAll();
  EXPECT_EQ(run.list().markedCount(), 2);
  run.list().unmark(0);
  EXPECT_EQ(marks(), (std::vector<std::string>{"", sj("  ○  ")}));
  run.list().unmarkAll();
  EXPECT_EQ(run.list().markedCount(), 0);

  // Listing again reads the file again, with every mark gone.
  run.list().markAll();
  program.exec(" DELETE FROM USERLIST WHERE ID = '00012'");
  run.listDueReaders();
  EXPECT_EQ(run.list().readers().size(), 1u);
  EXPECT_EQ(run.list().markedCount(), 0);

  program.exec(" DELETE FROM STORYLIST");
  run.listDueReaders();
  EXPECT_EQ(run.list().lastStoryText(), "0");
  EXPECT_TRUE(run.list().readers().empty());
}

TEST_F(SendRunTest, StartCheckGivesTheFirstProblemInTheOperatorsOrder) {
  using Outcome = StartCheck::Outcome;
  reader("00001", "a", "00001");
  run.listDueReaders();
  EXPECT_EQ(checkStart(run.list(), run.settings()).outcome, Outcome::noStory);
  EXPECT_EQ(checkStart(run.list(), run.settings()).message, sj("ストーリーが登録されていません。"));

  story("00001", "s", "b");
  program.exec(" DELETE FROM USERLIST");
  run.listDueReaders();
  EXPECT_EQ(checkStart(run.list(), run.settings()).outcome, Outcome::nothingDue);
  EXPECT_EQ(checkStart(run.list(), run.settings()).message, sj("送信対象が１件もありません。"));

  reader("00001", "a", "00001");
  run.listDueReaders();
  EXPECT_EQ(checkStart(run.list(), run.settings()).outcome, Outcome::nothingMarked);
  EXPECT_EQ(checkStart(run.list(), run.settings()).message, sj("選択されていません。"));
  run.list().markAll();

  // Each settings problem in turn, mended before the next one shows.
  MailSettings s;
  s.smtpServer = "";
  s.senderAddress = "";
  s.waitSeconds = "";
  s.popBeforeSmtpMode = 1;
  s.popServer = "";
  s.popUser = "";
  s.popWaitSeconds = "";
  s.lineWidth = "";
  const std::vector<std::pair<std::function<void(MailSettings&)>, const char*>> steps = {
      {[](MailSettings& m) { m.smtpServer = sj("ＳＭＴＰ"); }, "SMTPｻｰﾊﾞ名が設定されていません。"},
      {[](MailSettings& m) { m.smtpServer = " smtp.example.com "; },
       "SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {[](MailSettings& m) { m.senderAddress = sj("あ@example.com"); }, "メールアドレスが設定されていません。"},
      {[](MailSettings& m) { m.senderAddress = "a@example.com"; },
       "メールアドレスに全角文字があります。\r\r半角文字で設定して下さい。"},
      {[](MailSettings& m) { m.waitSeconds = "x"; }, "秒数を入力して下さい。"},
      {[](MailSettings& m) { m.waitSeconds = " 30 "; }, "秒数に誤りがあります。"},
      {[](MailSettings& m) { m.popServer = sj("ポップ"); }, "POP3ｻｰﾊﾞ名を設定して下さい。"},
      {[](MailSettings& m) { m.popServer = "pop.example.com"; },
       "POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {[](MailSettings& m) { m.popUser = sj("ユーザ"); }, "POP3ﾕｰｻﾞ名を設定して下さい。"},
      {[](MailSettings& m) { m.popUser = "user"; },
       "POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {[](MailSettings& m) { m.popWaitSeconds = "5"; }, "秒数を設定して下さい。"},
      {[](MailSettings& m) { m.lineWidth = "abc"; }, "文字数を設定して下さい。"},
      {[](MailSettings& m) { m.lineWidth = "72"; }, "文字数に誤りがあります。"},
  };
  for (const auto& [mend, message] : steps) {
    run.setSettings(s);
    const StartCheck check = checkStart(run.list(), run.settings());
    EXPECT_EQ(check.outcome, Outcome::settingsProblem) << message;
    EXPECT_EQ(check.message, sj(message));
    mend(s);
  }
  run.setSettings(s);
  EXPECT_TRUE(checkStart(run.list(), run.settings()).ready());
  EXPECT_EQ(run.settings().smtpServer, "smtp.example.com");  // checked texts are kept trimmed
  EXPECT_EQ(run.settings().waitSeconds, "30");
}

// A port the socket call would cut to 16 bits must not reach it: 109211 would become 43675.
TEST_F(SendRunTest, StartCheckRefusesAPortOutsideOneTo65535) {
  story("00001", "s", "b");
  reader("00001", "a", "00001");
  run.listDueReaders();
  run.list().markAll();
  for (const std::string& port : std::vector<std::string>{"109211", "65536", "0", "-25", "99999999999", " 25x", "abc", sj("２５")}) {
    TestProgram::writeFile(program.file("QuorMail.env"),
                           "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=owner@example.com\r\nSMTPPORT=" + port + "\r\n");
    run.setSettings(loadMailSettings(SettingsPaths{program.file("QuorMail.env"), {}, {}}));
    const StartCheck check = checkStart(run.list(), run.settings());
    EXPECT_EQ(check.outcome, StartCheck::Outcome::settingsProblem) << port;
    EXPECT_EQ(check.message, sj("SMTPポート番号に誤りがあります。")) << port;
  }
  for (int port : {1, 65535}) {
    run.setSettings(settings(port));
    EXPECT_TRUE(checkStart(run.list(), run.settings()).ready()) << port;
  }
}

TEST_F(SendRunTest, SendsEachMarkedReaderItsNextStoryAdvancesItAndLogsTheRun) {
  SmtpTestServer smtp;
  story("00001", sj("第1話ご挨拶   "), "##readername##" + sj("様\r\nようこそ。"));
  story("00002", sj("第2話"), "##readername##" + sj("様\r\n二通目です。"));
  reader("00001", sj("山田　太郎"), "00001");
  reader("00002", "", "00002");
  reader("00003", sj("対象外"), "00001");
  TestProgram::writeFile(program.file("SndMail.log"), "the previous run\r\n");
  run.listDueReaders();
  run.setSettings(settings(smtp.port()));
  run.list().mark(0);
  run.list().mark(1);
  ASSERT_TRUE(checkStart(run.list(), run.settings()).ready());
  const SendReport report = run.run(recorder);
  EXPECT_TRUE(report.completed);
  EXPECT_EQ(report.sent, 2);
  EXPECT_EQ(report.marked, 2);
  EXPECT_TRUE(recorder.errors.empty());

  ASSERT_TRUE(smtp.waitForMessages(2));
  const auto messages = smtp.messages();
  ASSERT_EQ(messages.size(), 2u);
  const std::string first = decoded(messages[0]);
  EXPECT_NE(first.find("Subject: 第1話ご挨拶\n"), std::string::npos) << first;
  EXPECT_NE(first.find("To: reader00001@example.com"), std::string::npos) << first;
  EXPECT_NE(first.find("山田　太郎様\r\nようこそ。\r\n"), std::string::npos) << first;
  const std::string second = decoded(messages[1]);
  EXPECT_NE(second.find("読者様"), std::string::npos) << second;  // blank name: the default
  EXPECT_NE(second.find("二通目です。"), std::string::npos) << second;

  // What the operator sees, in order, for the first reader; a countdown of no seconds
  // shows nothing.
  const std::vector<std::string> expected = {"progress 0/2",
                                             "reader 0 " + sj("処理中") + " 1",
                                             "sending reader00001@example.com",
                                             "reader 0 " + sj("  済  ") + " 1",
                                             "reader 0 " + sj("  済  ") + " 2",
                                             "progress 1/2"};
  EXPECT_EQ(std::vector<std::string>(recorder.events.begin(), recorder.events.begin() + 6), expected);
  EXPECT_EQ(recorder.events.back(), "progress 2/2");

  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  済  "), sj("  済  "), ""}));
  EXPECT_EQ(run.list().readers()[1].cells()[1], sj("全済"));
  EXPECT_EQ(run.list().readers()[0].reader.lastSent.dateText(), "20240507");
  EXPECT_EQ(run.list().readers()[0].reader.firstSent.timeText(), "123456");

  const std::vector<std::string> advanced = stored("00001");
  EXPECT_EQ(std::vector<std::string>(advanced.begin(), advanced.begin() + 4),
            (std::vector<std::string>{"00002", "20240507", "20240507", "123456"}));
  EXPECT_EQ(trimRight(advanced[4]), sj("山田　太郎"));  // the stored name and remarks are kept
  EXPECT_EQ(trimRight(advanced[5]), sj("備考"));
  EXPECT_EQ(stored("00002")[0], "00003");
  EXPECT_EQ(stored("00003")[0], "00001");

  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(log, joinCells(DueReader::headerCells()) + "\r\n" + joinCells(run.list().readers()[0].cells()) + "\r\n" +
                     joinCells(run.list().readers()[1].cells()) + "\r\n");
  EXPECT_EQ(log.substr(0, log.find("\r\n")),
            sj("送信指示,送信区分,読者ID,次回ｽﾄｰﾘ番号,前回送信日,前回送信時間,読者名,メールアドレス,送信開始日,"
               "送信開始時間,登録日 ,登録時間,備考１,備考２,備考３"));

  // Marking all afterwards passes over the reader who has had every story.
  run.list().markAll();
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  ○  "), sj("  済  "), sj("  ○  ")}));
}

TEST_F(SendRunTest, ASubjectIsCutToItsFirst200CharactersBeforeEncoding) {
  SmtpTestServer smtp;
  std::string subject;
  std::string expected;
  for (int i = 0; i < 199; ++i) subject += sj("あ");
  subject += sj("い") + std::string(50, 'x');  // characters 200 to 250
  for (int i = 0; i < 199; ++i) expected += "あ";
  expected += "い";
  story("00001", subject, "b");
  reader("00001", "a", "00001");
  run.listDueReaders();
  run.setSettings(settings(smtp.port()));
  run.list().markAll();
  EXPECT_TRUE(run.run(recorder).completed);
  ASSERT_TRUE(smtp.waitForMessages(1));
  const std::string mail = decoded(smtp.messages()[0]);
  const size_t at = mail.find("Subject:");
  ASSERT_NE(at, std::string::npos) << mail;
  const std::string line = mail.substr(at + 8, mail.find('\n', at) - at - 8);
  EXPECT_EQ(trim(line), expected);
}

TEST_F(SendRunTest, MissingStoryIsSkippedAndTheRunGoesOnWithoutALogWhenSwitchedOff) {
  SmtpTestServer smtp;
  story("00001", "s1", "b1");
  story("00003", "s3", "b3");
  reader("00001", "a", "00002");  // story 00002 was deleted
  reader("00002", "b", "00001");
  run.listDueReaders();
  MailSettings s = settings(smtp.port());
  s.logMode = 0;
  run.setSettings(s);
  run.list().markAll();
  const SendReport report = run.run(recorder);
  EXPECT_TRUE(report.completed);
  EXPECT_EQ(report.sent, 1);
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  Skip  "), sj("  済  ")}));
  EXPECT_EQ(stored("00001")[0], "00002");
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(program.file("SndMail.log")));
}

TEST_F(SendRunTest, FailedMailsEndTheRunAndLeaveTheReaders) {
  struct Case {
    const char* what;
    std::string address;
    SmtpTestServer::Options server;
    bool refused;
    const char* errorHas;
  };
  const std::vector<Case> cases = {
      {"refused connection", "", {}, true, "SMTPサーバに接続できませんでした（接続を拒否されました）。"},
      {"line break in the address", "x@example.com\r\nRCPT TO:<victim@example.com>", {}, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    program.exec(" DELETE FROM USERLIST");
    story("00001", "s1", "b1");
    reader("00001", "a", "00001", "01", c.address);
    reader("00002", "b", "00001");
    SmtpTestServer smtp(c.server);
    run.listDueReaders();
    run.setSettings(settings(c.refused ? freeLocalPort() : smtp.port()));
    run.list().markAll();
    Recorder seen;
    const SendReport report = run.run(seen);
    EXPECT_FALSE(report.completed);
    ASSERT_EQ(seen.errors.size(), 1u);
    EXPECT_EQ(seen.errors[0].rfind(sj(c.errorHas), 0), 0u) << seen.errors[0];
    EXPECT_EQ(marks(), (std::vector<std::string>{sj("送信失敗"), sj("  ○  ")}));
    EXPECT_TRUE(smtp.messages().empty());
    EXPECT_EQ(stored("00001")[0], "00001");
    EXPECT_EQ(stored("00002")[0], "00001");
  }
}

TEST_F(SendRunTest, StopDuringTheCountdownEndsTheRunBeforeTheNextMail) {
  SmtpTestServer smtp;
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  reader("00002", "b", "00001");
  run.listDueReaders();
  MailSettings s = settings(smtp.port());
  s.waitSeconds = "90";
  run.setSettings(s);
  run.list().markAll();
  std::vector<std::string> countdowns;
  recorder.onCountdown = [&](const std::string& text) {
    countdowns.push_back(text);
    stop = true;  // the operator answers the first countdown with a stop
  };
  const SendReport report = run.run(recorder);
  EXPECT_FALSE(report.completed);
  EXPECT_EQ(countdowns, (std::vector<std::string>{sj("メール送信まで 1 分 29 秒です。")}));
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  済  "), sj("  ○  ")}));
  EXPECT_EQ(stored("00002")[0], "00001");
  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);  // header and the one handled reader

  EXPECT_EQ(SendRun::countdownText(2, 59), sj("POP before SMTPのログインまで 59 秒です。"));
  EXPECT_EQ(SendRun::countdownText(1, 120), sj("メール送信まで 2 分 0 秒です。"));
}

TEST_F(SendRunTest, StopWhileTheServerNeverAnswersEndsTheRunWithoutAdvancingTheReader) {
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  reader("00002", "b", "00001");
  bool clientLeft = false;
  // Accepts, then says nothing; the stop comes while the client waits for the greeting.
  ScriptedServer stalled([&](ScriptedServer::Peer& p) {
    stop = true;
    clientLeft = p.waitForClose(60000);
  });
  run.listDueReaders();
  run.setSettings(settings(stalled.port()));
  run.list().markAll();
  const SendReport report = run.run(recorder);
  stalled.join();
  EXPECT_TRUE(clientLeft);
  EXPECT_FALSE(report.completed);
  EXPECT_EQ(report.sent, 0);
  EXPECT_TRUE(recorder.errors.empty());  // a stop is no error
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  中止  "), sj("  ○  ")}));
  EXPECT_EQ(stored("00001")[0], "00001");
  EXPECT_EQ(stored("00001")[2], "00000000");
  EXPECT_EQ(stored("00002")[0], "00001");

  // The stop comes while the client waits for the reply to the final ".": the server may
  // have the mail, so the reader's outcome is unknown and the reader stays.
  stop = false;
  ScriptedServer atDot([&](ScriptedServer::Peer& p) {
    p.send("220 ready\r\n");
    for (std::string line = p.readLine(); line != "DATA" && !line.empty(); line = p.readLine()) p.send("250 ok\r\n");
    p.send("354 go ahead\r\n");
    for (int i = 0; i < 100 && p.readLine() != "."; ++i) {
    }
    stop = true;
    clientLeft = p.waitForClose(60000);
  });
  run.listDueReaders();
  run.setSettings(settings(atDot.port()));
  run.list().markAll();
  EXPECT_EQ(run.run(recorder).unknown, 1);
  atDot.join();
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("結果不明"), sj("  ○  ")}));
  EXPECT_EQ(stored("00001")[0], "00001");
}

// The connection that carried each message, in arrival order, counted from the first
// message's (the server's start-up probe takes a connection number too).
std::vector<int> connectionsOf(const std::vector<SmtpTestServer::Message>& messages) {
  std::vector<int> numbers;
  for (const SmtpTestServer::Message& m : messages) {
    const std::size_t at = m.envelope.find("\"connection\": ");
    numbers.push_back(at == std::string::npos ? 0 : std::atoi(m.envelope.c_str() + at + 14));
  }
  const int first = numbers.empty() ? 1 : numbers.front();
  for (int& n : numbers) n -= first - 1;
  return numbers;
}

TEST_F(SendRunTest, PopBeforeSmtpLogsInBeforeEachSmtpSession) {
  Clock::setPausesSkipped(true);
  SmtpTestServer smtp;
  Pop3TestServer pop("popuser", "secret");
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  run.listDueReaders();
  MailSettings s = settings(smtp.port());
  s.popBeforeSmtpMode = 1;
  s.popServer = "127.0.0.1";
  s.popUser = "popuser";
  s.popWaitSeconds = "0";
  run.setSettings(s);
  run.settings().password = "secret";
  run.delivery().setPop3Port(pop.port());
  run.list().markAll();
  ASSERT_TRUE(checkStart(run.list(), run.settings()).ready());
  const SendReport report = run.run(recorder);
  EXPECT_TRUE(report.completed) << (recorder.errors.empty() ? "" : recorder.errors[0]);
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_EQ(stored("00001")[0], "00002");
  const auto at = [&](const std::string& event) {
    return std::find(recorder.events.begin(), recorder.events.end(), event) - recorder.events.begin();
  };
  ASSERT_TRUE(recorder.saw("login"));
  EXPECT_LT(at("login"), at("sending reader00001@example.com"));
  EXPECT_TRUE(recorder.saw("reader 0 " + sj("  ○  ") + " 1"));  // back to marked after the login

  // A refused login: the box, and the reader's mail does not go out.
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  run.listDueReaders();
  run.settings().password = "wrong";
  run.list().markAll();
  Recorder refused;
  EXPECT_FALSE(run.run(refused).completed);
  ASSERT_EQ(refused.errors.size(), 1u);
  EXPECT_EQ(refused.errors[0].rfind(sj("POP3サーバ（POP before SMTP）にログインできませんでした。"), 0), 0u)
      << refused.errors[0];
  EXPECT_TRUE(refused.saw("reader 0 " + sj("送信失敗") + " 1"));
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  中止  ")}));
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_EQ(stored("00001")[0], "00001");

  // Two mails to a session: three readers need two logins.
  reader("00002", "b", "00001");
  reader("00003", "c", "00001");
  run.listDueReaders();
  run.settings().password = "secret";
  run.settings().mailsPerConnection = 2;
  run.list().markAll();
  Recorder sessions;
  EXPECT_TRUE(run.run(sessions).completed);
  EXPECT_EQ(std::count(sessions.events.begin(), sessions.events.end(), "login"), 2);
  ASSERT_TRUE(smtp.waitForMessages(4));
  EXPECT_EQ(connectionsOf(smtp.messages()), (std::vector<int>{1, 2, 2, 3}));
}

TEST_F(SendRunTest, MailsShareAnSmtpSessionUpToTheCountAndANewOneFollowsAMailNotAccepted) {
  struct Case {
    int mailsPerConnection;
    const char* refused;  // an address the server refuses at RCPT, or ""
    std::vector<int> connections;
  };
  const Case cases[] = {
      {1, "", {1, 2, 3, 4, 5}}, {2, "", {1, 1, 2, 2, 3}}, {5, "", {1, 1, 1, 1, 1}},
      {5, "reader00003@example.com", {1, 1, 2, 2}},
  };
  Clock::setPausesSkipped(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mailsPerConnection) + " " + c.refused);
    program.exec(" DELETE FROM USERLIST");
    story("00001", "s1", "b1");
    for (const char* id : {"00001", "00002", "00003", "00004", "00005"}) reader(id, "r", "00001");
    SmtpTestServer server(SmtpTestServer::Options{{c.refused}});
    run.listDueReaders();
    run.setSettings(settings(server.port()));
    run.settings().mailsPerConnection = c.mailsPerConnection;
    run.list().markAll();
    EXPECT_TRUE(run.run(recorder).completed);
    ASSERT_TRUE(server.waitForMessages(c.connections.size()));
    EXPECT_EQ(connectionsOf(server.messages()), c.connections);
    EXPECT_FALSE(smtp.connected());  // the run's end closed the last session
  }
}

TEST_F(SendRunTest, ASessionTheServerEndedBetweenMailsIsOpenedAgainForTheNextMail) {
  // Takes every mail; on its first connection it answers the command after the first
  // mail with goodbye and closes (nullptr: it keeps the session).
  const auto server = [](const char* goodbye) {
    return [goodbye, connection = std::make_shared<int>(0)](ScriptedServer::Peer& p) {
      const bool first = ++*connection == 1;
      p.send("220 ready\r\n");
      for (std::string line = p.readLine(), answer; !line.empty() && line != "QUIT"; line = p.readLine()) {
        if (line == "DATA") {
          p.send("354 go ahead\r\n");
          for (int i = 0; i < 100 && p.readLine() != "."; ++i) {
          }
        }
        if (first && goodbye && answer == "250 accepted\r\n") {
          p.send(goodbye);
          return;
        }
        p.send(answer = line == "DATA" ? "250 accepted\r\n" : "250 ok\r\n");
      }
    };
  };
  // What the client sends for reader n's mail, its text left out.
  const auto mail = [](int n) {
    return "RSET|MAIL FROM:<owner@example.com>|RCPT TO:<reader0000" + std::to_string(n) + "@example.com>|DATA|.|";
  };
  const std::string reopened = "EHLO me|" + mail(1) + "RSET|EHLO me|" + mail(2) + mail(3) + "QUIT|";
  const std::tuple<const char*, int, std::string> cases[] = {
      {nullptr, 1, "EHLO me|" + mail(1) + mail(2) + mail(3) + "QUIT|"},
      {"421 4.4.2 idle too long\r\n", 2, reopened},
      {"", 2, reopened},  // closed without a word
  };
  Clock::setPausesSkipped(true);
  smtp.heloName = "me";
  for (const auto& [goodbye, connections, exchange] : cases) {
    SCOPED_TRACE(goodbye ? goodbye : "kept");
    program.exec(" DELETE FROM USERLIST");
    story("00001", "s1", "b1");
    for (const char* id : {"00001", "00002", "00003"}) reader(id, "r", "00001");
    ScriptedServer scripted(server(goodbye), connections);
    run.listDueReaders();
    run.setSettings(settings(scripted.port()));
    run.settings().mailsPerConnection = 3;
    run.list().markAll();
    Recorder seen;
    EXPECT_EQ(run.run(seen).sent, 3);
    scripted.join();
    EXPECT_TRUE(seen.errors.empty()) << seen.errors[0];
    std::string commands;
    bool inData = false;
    for (const std::string& line : scripted.received()) {
      if (line == ".") inData = false;
      if (!inData) commands += line + "|";
      if (line == "DATA") inData = true;
    }
    EXPECT_EQ(commands, exchange);
  }
}

}  // namespace

namespace {

// The settings of a submission server: TLS as given, login as quor.
MailSettings submission(int port, int security) {
  MailSettings s = SendRunTest::settings(port);
  s.smtpServer = "localhost";  // the name the test certificates carry
  s.smtpSecurity = security;
  s.smtpAuthMode = 1;
  s.smtpUser = " quor ";
  s.senderName = sj(" クオル 事務局 ");
  return s;
}

}  // namespace

TEST_F(SendRunTest, MailGoesOverStartTlsOrImplicitTlsWithLoginAndReadsBackAsTyped) {
  TestCertificates::get();  // the authority reaches the client through SSL_CERT_FILE
  story("00001", sj("第2話 最終"), "##readername##" + sj("様\r\n第2話 最終回です。"));
  for (const int security : {1, 2}) {
    SCOPED_TRACE(security);
    program.exec(" DELETE FROM USERLIST");
    reader("00001", sj("山田"), "00001");
    SmtpTestServer smtp(tlsServer(TestCertificates::get().localhost, security == 2));
    run.listDueReaders();
    run.setSettings(submission(smtp.port(), security));
    run.settings().smtpPassword = "s3cret pass";
    // Bounces go where the envelope sender says; without it, to the From address.
    run.settings().bounceAddress = security == 2 ? " bounces@example.com " : "";
    run.list().markAll();
    ASSERT_TRUE(checkStart(run.list(), run.settings()).ready());
    Recorder seen;
    const SendReport report = run.run(seen);
    ASSERT_TRUE(report.completed) << (seen.errors.empty() ? "" : seen.errors[0]);
    ASSERT_TRUE(smtp.waitForMessages(1));
    const SmtpTestServer::Message m = smtp.messages()[0];
    EXPECT_NE(m.envelope.find("\"tls\": true"), std::string::npos) << m.envelope;
    EXPECT_NE(m.envelope.find("\"login\": \"quor\""), std::string::npos) << m.envelope;
    EXPECT_NE(m.envelope.find(security == 2 ? "\"mail_from\": \"bounces@example.com\"" : "\"mail_from\": \"owner@example.com\""),
              std::string::npos)
        << m.envelope;

    const std::string mail = decoded(m);
    EXPECT_EQ(headerOf(mail, "Subject"), "第2話 最終") << mail;
    EXPECT_EQ(headerOf(mail, "From"), "クオル 事務局 <owner@example.com>") << mail;
    EXPECT_NE(mail.find("\n\n山田様\r\n第2話 最終回です。\r\n"), std::string::npos) << mail;
    EXPECT_EQ(headerOf(mail, "MIME-Version"), "1.0");
    EXPECT_EQ(headerOf(mail, "Content-Type"), "text/plain; charset=\"ISO-2022-JP\"");
    EXPECT_EQ(headerOf(mail, "Content-Transfer-Encoding"), "7bit");
    const std::string id = headerOf(mail, "Message-ID");
    EXPECT_EQ(id.front(), '<');
    EXPECT_NE(id.find("@example.com>"), std::string::npos) << id;
    EXPECT_EQ(stored("00001")[0], "00002");
  }
}

TEST_F(SendRunTest, EveryReaderGetsAnOutcomeOfItsOwn) {
  struct Case {
    const char* what;
    SmtpTestServer::Options server;
    std::vector<std::string> marks;          // the first reader's, the second's
    std::vector<std::string> next, status;   // stored afterwards
    SendReport::EndedEarly ended;
    const char* errorHas;                    // in the one error box, or nullptr for none
  };
  const std::string first = "reader00001@example.com";
  SmtpTestServer::Options refused, deferred, slowDown, content, dropped;
  refused.recipientReplies = {first + "=550 5.1.1 <" + first + ">: User unknown"};
  deferred.recipientReplies = {first + "=450 4.2.1 Mailbox busy"};
  slowDown.mailFromReply = "421 4.7.0 Too many connections, try later";
  content.dataReply = "554 5.6.0 Message refused";
  dropped.dataReply = "drop";
  const std::vector<Case> cases = {
      {"refused at RCPT", refused, {sj("停止"), sj("  済  ")}, {"00001", "00002"}, {"00", "01"},
       SendReport::EndedEarly::none, nullptr},
      {"deferred at RCPT", deferred, {sj("保留"), sj("  済  ")}, {"00001", "00002"}, {"01", "01"},
       SendReport::EndedEarly::none, nullptr},
      {"server asks to slow down", slowDown, {sj("保留"), sj("  ○  ")}, {"00001", "00001"}, {"01", "01"},
       SendReport::EndedEarly::serverDeferred, "421 4.7.0 Too many connections"},
      {"content refused", content, {sj("送信失敗"), sj("  ○  ")}, {"00001", "00001"}, {"01", "01"},
       SendReport::EndedEarly::contentRefused, "554 5.6.0 Message refused"},
      {"connection lost after the mail", dropped, {sj("結果不明"), sj("結果不明")}, {"00001", "00001"}, {"01", "01"},
       SendReport::EndedEarly::none, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    program.exec(" DELETE FROM USERLIST");
    story("00001", "s1", "b1");
    reader("00001", "a", "00001");
    reader("00002", "b", "00001");
    SmtpTestServer smtp(c.server);
    run.listDueReaders();
    run.setSettings(settings(smtp.port()));
    run.list().markAll();
    Recorder seen;
    const SendReport report = run.run(seen);
    EXPECT_EQ(report.endedEarly, c.ended);
    EXPECT_EQ(marks(), c.marks);
    EXPECT_EQ(program.rows(" SELECT NEXTSTORY FROM USERLIST ORDER BY ID", {"NEXTSTORY"}),
              (std::vector<std::vector<std::string>>{{c.next[0]}, {c.next[1]}}));
    EXPECT_EQ(program.rows(" SELECT SYORIKBN FROM USERLIST ORDER BY ID", {"SYORIKBN"}),
              (std::vector<std::vector<std::string>>{{c.status[0]}, {c.status[1]}}));
    if (c.errorHas) {
      ASSERT_EQ(seen.errors.size(), 1u);
      EXPECT_NE(seen.errors[0].find(c.errorHas), std::string::npos) << seen.errors[0];
    } else {
      EXPECT_TRUE(seen.errors.empty()) << seen.errors[0];
    }
  }
  // A reader stopped after the list was made is passed over, not mailed.
  program.exec(" DELETE FROM USERLIST");
  reader("00001", "a", "00001");
  SmtpTestServer smtp;
  run.listDueReaders();
  run.setSettings(settings(smtp.port()));
  run.list().markAll();
  program.exec(" UPDATE USERLIST SET SYORIKBN = '00'");
  EXPECT_EQ(run.run(recorder).skipped, 1);
  EXPECT_EQ(marks(), std::vector<std::string>{sj("スキップ")});
  EXPECT_TRUE(smtp.messages().empty());
}

// The daily limit counts the mails of earlier runs of the day from the history: the run
// that reaches it ends cleanly and the readers it did not serve stay due.
TEST_F(SendRunTest, TheDayLimitCountsEarlierRunsAndEndsTheRunCleanly) {
  story("00001", "s1", "b1");
  for (const char* id : {"00001", "00002", "00003", "00004"}) reader(id, "a", "00001");
  SmtpTestServer smtp;
  MailSettings s = settings(smtp.port());
  s.dayLimit = "3";
  std::vector<SendReport> reports;
  for (int round : {1, 2}) {
    run.listDueReaders();  // the second time: readers 3 and 4 only
    run.setSettings(s);
    run.list().mark(0);
    run.list().mark(1);
    Recorder seen;
    reports.push_back(run.run(seen));
    if (round == 2) {
      ASSERT_EQ(seen.errors.size(), 1u);
      EXPECT_EQ(seen.errors[0], sj("本日の送信上限 3 通に達しました。残り 1 名は次回送信します。"));
    }
  }
  EXPECT_EQ(reports[0].endedEarly, SendReport::EndedEarly::none);
  EXPECT_EQ(reports[1].endedEarly, SendReport::EndedEarly::paced);
  EXPECT_EQ(smtp.messages().size(), 3u);
  EXPECT_EQ(program.rows(" SELECT NEXTSTORY FROM USERLIST ORDER BY ID", {"NEXTSTORY"}),
            (std::vector<std::vector<std::string>>{{"00002"}, {"00002"}, {"00002"}, {"00001"}}));
}

TEST_F(SendRunTest, RefusedLoginShowsTheServersReplyStopsTheRunAndNeverLogsThePassword) {
  TestCertificates::get();
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  reader("00002", "b", "00001");
  SmtpTestServer smtp(tlsServer(TestCertificates::get().localhost, false));
  run.listDueReaders();
  run.setSettings(submission(smtp.port(), 1));
  run.settings().smtpPassword = "wrong-Pa55word";
  run.list().markAll();
  const SendReport report = run.run(recorder);
  EXPECT_FALSE(report.completed);
  EXPECT_EQ(report.sent, 0);
  ASSERT_EQ(recorder.errors.size(), 1u);
  // The server's own words (aiosmtpd's reply to a wrong password).
  EXPECT_EQ(recorder.errors[0], sj("SMTPサーバにログインできませんでした。「FTP、Mail 設定」のメールのページで、"
                                   "ユーザ名とパスワードを確かめて下さい。\n535 5.7.8 Authentication credentials invalid"));
  EXPECT_EQ(recorder.errors[0].find("wrong-Pa55word"), std::string::npos);
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("送信失敗"), sj("  ○  ")}));
  EXPECT_TRUE(smtp.messages().empty());
  EXPECT_EQ(stored("00001")[0], "00001");
  EXPECT_EQ(stored("00002")[0], "00001");
  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_FALSE(log.empty());
  EXPECT_EQ(log.find("wrong-Pa55word"), std::string::npos);
}

TEST_F(SendRunTest, ACertificateThatCannotBeVerifiedStopsTheRunWithItsReason) {
  const TestCertificates& certs = TestCertificates::get();
  story("00001", "s1", "b1");
  for (const auto& [pair, reason] : {std::make_pair(certs.wrongHost, "は別のサーバ名のものです。"),
                                     std::make_pair(certs.expired, "が有効期限の外です。")}) {
    for (const int security : {1, 2}) {
      SCOPED_TRACE(std::string(reason) + " " + std::to_string(security));
      program.exec(" DELETE FROM USERLIST");
      reader("00001", "a", "00001");
      SmtpTestServer smtp(tlsServer(pair, security == 2));
      run.listDueReaders();
      run.setSettings(submission(smtp.port(), security));
      run.settings().smtpPassword = "s3cret pass";
      run.list().markAll();
      Recorder seen;
      EXPECT_FALSE(run.run(seen).completed);
      ASSERT_EQ(seen.errors.size(), 1u);
      // Over STARTTLS and over TLS from the first byte alike.
      EXPECT_EQ(seen.errors[0].rfind(sj("SMTPサーバの証明書") + sj(reason), 0), 0u);
      EXPECT_TRUE(smtp.messages().empty());
      EXPECT_EQ(stored("00001")[0], "00001");
    }
  }
}

TEST_F(SendRunTest, SubjectsAndSenderNamesReadBackExactlyAsTyped) {
  SmtpTestServer smtp;
  // Subject, sender name, and the From line as a mail reader shows it.
  const std::vector<std::array<const char*, 3>> typed = {
      {"第2話 最終", "クオル 事務局", "クオル 事務局 <owner@example.com>"},
      {"第1話ご挨拶", "山田", "山田 <owner@example.com>"},
      {"お知らせ No.3", "Quor Mail", "Quor Mail <owner@example.com>"},
      {"【重要】 第３回　お知らせ", "Quor \"Mail\" Office", "\"Quor \\\"Mail\\\" Office\" <owner@example.com>"},
      {"Weekly news  vol.2", "事務局 (Quor)", "\"事務局 (Quor)\" <owner@example.com>"},
      {"A 第2話  最終 B", "", "owner@example.com"},
  };
  for (std::size_t i = 0; i < typed.size(); ++i) story(zeroFill(std::to_string(i + 1), 5), sj(typed[i][0]), "b");
  for (std::size_t i = 0; i < typed.size(); ++i) {
    SCOPED_TRACE(typed[i][0]);
    program.exec(" DELETE FROM USERLIST");
    reader("00001", "a", zeroFill(std::to_string(i + 1), 5));
    run.listDueReaders();
    MailSettings s = settings(smtp.port());
    s.senderName = sj(typed[i][1]);
    run.setSettings(s);
    run.list().markAll();
    ASSERT_TRUE(run.run(recorder).completed);
    ASSERT_TRUE(smtp.waitForMessages(i + 1));
    const std::string mail = decoded(smtp.messages()[i]);
    EXPECT_EQ(headerOf(mail, "Subject"), typed[i][0]) << mail;
    EXPECT_EQ(headerOf(mail, "From"), typed[i][2]) << mail;
  }
}

TEST_F(SendRunTest, StartCheckWantsAUserForTheLoginAndAKnownSecurityMode) {
  story("00001", "s", "b");
  reader("00001", "a", "00001");
  run.listDueReaders();
  run.list().markAll();
  MailSettings s = settings(25);
  s.smtpAuthMode = 1;
  s.smtpUser = "  ";
  const std::vector<std::pair<std::function<void(MailSettings&)>, const char*>> steps = {
      {[](MailSettings& m) { m.smtpUser = sj("ユーザ"); }, "SMTPユーザ名を設定して下さい。"},
      {[](MailSettings& m) { m.smtpUser = " quor "; }, "SMTPユーザ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      // No encryption: the password goes in clear only with the operator's word.
      {[](MailSettings& m) { m.smtpPlainLoginMode = 1; },
       "暗号化なしの接続ではSMTPのパスワードを送りません。\r\r「FTP、Mail 設定」のメールのページで、暗号化を「STARTTLS」"
       "にして下さい（ポート587が一般的です）。暗号化に対応していないサーバだけは、「暗号化なしでログインする」を選んで下さい。"},
      {[](MailSettings& m) { m.smtpSecurity = 3; }, nullptr},
      {[](MailSettings& m) { m.smtpSecurity = 2; }, "SMTPの暗号化の設定に誤りがあります。"},
  };
  for (const auto& [mend, message] : steps) {
    run.setSettings(s);
    const StartCheck check = checkStart(run.list(), run.settings());
    if (message) {
      EXPECT_EQ(check.outcome, StartCheck::Outcome::settingsProblem) << message;
      EXPECT_EQ(check.message, sj(message));
    } else {
      EXPECT_TRUE(check.ready());
    }
    mend(s);
  }
  run.setSettings(s);
  EXPECT_TRUE(checkStart(run.list(), run.settings()).ready());
  EXPECT_EQ(run.settings().smtpUser, "quor");
  // Without the login the user is not looked at.
  s.smtpAuthMode = 0;
  s.smtpUser = sj("全角");
  run.setSettings(s);
  EXPECT_TRUE(checkStart(run.list(), run.settings()).ready());
}

namespace {

std::vector<std::string> eligibilities(const SendRun& run) {
  std::vector<std::string> out;
  for (const DueReader& r : run.list().readers()) out.push_back(eligibilityText(r.eligibility) + " " + r.cell(DueColumn::dueDate));
  return out;
}

}  // namespace

TEST_F(SendRunTest, IntervalsHoldReadersBackUntilTheirDayAndOnlyDueReadersCanBeMarked) {
  SmtpTestServer smtp;
  story("00001", "s1", "b1");
  story("00002", "s2", "b2");
  story("00003", "s3", "b3");
  program.exec(" UPDATE STORYLIST SET INTERVALDAYS = 3 WHERE STORYNO = '00001'");
  program.exec(" UPDATE STORYLIST SET INTERVALDAYS = 7 WHERE STORYNO = '00002'");
  reader("00001", "a", "00001");  // registered 20240101: long due
  reader("00002", "b", "00001");
  program.exec(" UPDATE USERLIST SET TOUROKUDATE = '20240505' WHERE ID = '00002'");  // due on the 8th
  reader("00003", "c", "00002");
  program.exec(" UPDATE USERLIST SET SNDLASTDATE = '20240501' WHERE ID = '00003'");  // story 2: the 8th
  reader("00004", "d", "00003");
  program.exec(" UPDATE USERLIST SET SNDLASTDATE = '20240507' WHERE ID = '00004'");  // no interval
  run.listDueReaders();
  EXPECT_EQ(eligibilities(run), (std::vector<std::string>{sj("可") + " 20240104", sj("待機") + " 20240508",
                                                          sj("待機") + " 20240508", sj("可") + " 20240507"}));
  EXPECT_EQ(run.list().dueCount(), 2);
  EXPECT_EQ(DueList::countDueNow(program.sql(), SendOptions()), 2);  // the main menu's count
  run.list().mark(1);  // not due: refused
  EXPECT_EQ(run.list().markedCount(), 0);
  run.list().markAll();
  EXPECT_EQ(marks(), (std::vector<std::string>{sj("  ○  "), "", "", sj("  ○  ")}));
  EXPECT_EQ(run.list().markedStories(), (std::vector<int>{1, 3}));

  // After its mail the reader waits for story 2's seven days; the log is unchanged in form.
  run.setSettings(settings(smtp.port()));
  ASSERT_TRUE(run.run(recorder).completed);
  EXPECT_EQ(eligibilities(run)[0], sj("待機") + " 20240514");
  EXPECT_EQ(eligibilities(run)[3], sj("全済") + " ");
  EXPECT_EQ(stored("00001")[0], "00002");
  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(log.substr(log.find("\r\n") + 2), joinCells(run.list().readers()[0].cells()) + "\r\n" +
                                                  joinCells(run.list().readers()[3].cells()) + "\r\n");
  EXPECT_EQ(run.list().readers()[0].cells().size(), 15u);

  // A week later readers 2 and 3 are due, reader 1 still waits.
  Clock::setFixedStamp("20240513090000");
  run.listDueReaders();
  EXPECT_EQ(eligibilities(run), (std::vector<std::string>{sj("待機") + " 20240514", sj("可") + " 20240508",
                                                          sj("可") + " 20240508"}));
  EXPECT_EQ(DueList::countDueNow(program.sql(), SendOptions()), 2);

  // Nobody due: the start check says so, as when nobody is listed.
  Clock::setFixedStamp("20240502090000");
  run.listDueReaders();
  EXPECT_EQ(run.list().dueCount(), 0);
  EXPECT_EQ(checkStart(run.list(), run.settings()).outcome, StartCheck::Outcome::nothingDue);
}

TEST_F(SendRunTest, OneMailADayKeepsASecondRunOnTheSameDayFromTheSameReader) {
  SmtpTestServer smtp;
  story("00001", "s1", "b1");
  story("00002", "s2", "b2");
  reader("00001", "a", "00001");
  for (const bool onePerDay : {false, true}) {
    SCOPED_TRACE(onePerDay);
    program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001', SNDLASTDATE = '00000000'");
    SendOptions options;
    options.onePerDay = onePerDay;
    run.setOptions(options);
    run.setSettings(settings(smtp.port()));
    run.listDueReaders();
    run.list().markAll();
    ASSERT_TRUE(run.run(recorder).completed);
    EXPECT_EQ(eligibilities(run)[0], (onePerDay ? sj("待機") + " 20240508" : sj("可") + " 20240507"));
    // The second run of the day.
    run.listDueReaders();
    run.list().markAll();
    EXPECT_EQ(run.list().markedCount(), onePerDay ? 0 : 1);
  }
}

TEST_F(SendRunTest, CharacterCheckListsWhereEachUncarriableCharacterIsAndReplacesOnlyInTheMail) {
  SmtpTestServer smtp;
  story("00001", sj("第①話"), sj("##readername##様\r\n㈱クオル"));
  story("00002", sj("お知らせ"), sj("名前なし"));
  reader("00001", sj("髙橋"), "00001");
  reader("00002", sj("﨑山"), "00002");  // story 2 puts no name in: not looked at
  reader("00003", "", "00001");           // the default name goes in
  run.listDueReaders();
  MailSettings s = settings(smtp.port());
  s.defaultReaderName = sj("読者Ⅱ");
  run.setSettings(s);
  run.list().markAll();
  CharacterCheck check = run.mails().checkCharacters(run.list(), run.list().markedIndexes());
  EXPECT_EQ(check.found, 4);
  EXPECT_TRUE(check.allReplaceable);
  EXPECT_EQ(check.report, sj("ストーリー1 件名 1行2列「①」 -> (1)\r\n"
                             "ストーリー1 本文 2行1列「㈱」 -> (株)\r\n"
                             "読者00001 名前 1行1列「髙」 -> 高\r\n"
                             "読者名未設定時の名前 1行3列「Ⅱ」 -> II\r\n"));
  // One reader's mail alone, as for a test mail.
  EXPECT_TRUE(run.mails().checkCharacters(run.list(), {1}).clean());

  run.mails().setReplaceUncarriable(true);
  ASSERT_TRUE(run.run(recorder).completed);
  ASSERT_TRUE(smtp.waitForMessages(3));
  const std::string first = decoded(smtp.messages()[0]);
  EXPECT_EQ(headerOf(first, "Subject"), "第(1)話") << first;
  EXPECT_NE(first.find("高橋様\r\n(株)クオル"), std::string::npos) << first;
  EXPECT_NE(decoded(smtp.messages()[2]).find("読者II様"), std::string::npos);
  // The database keeps what the operator typed.
  EXPECT_EQ(program.rows(" SELECT SUBJECT FROM STORYLIST WHERE STORYNO = '00001'", {"SUBJECT"})[0][0].substr(0, 6), sj("第①話"));
  EXPECT_EQ(trimRight(stored("00001")[4]), sj("髙橋"));

  // A character without a usual substitute cannot be replaced.
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  story("00001", sj("第1話"), sj("纊"));
  run.listDueReaders();
  run.list().markAll();
  check = run.mails().checkCharacters(run.list(), run.list().markedIndexes());
  EXPECT_FALSE(check.allReplaceable);
  EXPECT_EQ(check.report.substr(0, check.report.find("\r\n")), sj("ストーリー1 本文 1行1列「纊」"));
}

TEST_F(SendRunTest, PreviewShowsExactlyWhatTheMailReaderDecodes) {
  SmtpTestServer smtp;
  // A name put in, a line wrapped at 20 bytes, half-width katakana widened on the way.
  story("00001", sj("第1話 ｶﾀｶﾅ と 漢字"), sj("##readername##様\r\nこんにちは、ステップメールの第一回です。\r\nｶﾀｶﾅ"));
  reader("00001", sj("山田　太郎"), "00001");
  run.listDueReaders();
  MailSettings s = settings(smtp.port());
  s.lineWidth = "20";
  s.senderName = sj("クオル 事務局");
  run.setSettings(s);
  const std::string preview = Sjis::toUtf8(run.mails().previewText(run.list().at(0)));
  run.list().markAll();
  ASSERT_TRUE(run.run(recorder).completed);
  ASSERT_TRUE(smtp.waitForMessages(1));
  const std::string mail = decoded(smtp.messages()[0]);
  const std::string body = mail.substr(mail.find("\n\n") + 2);
  EXPECT_EQ(preview, "差出人: " + headerOf(mail, "From") + "\r\n宛先: " + headerOf(mail, "To") + "\r\n件名: " +
                         headerOf(mail, "Subject") + "\r\n\r\n" + body)
      << mail;
  EXPECT_NE(body.find("カタカナ"), std::string::npos) << body;
}

TEST_F(SendRunTest, TestMailGoesToTheTypedAddressAndChangesNoReader) {
  SmtpTestServer smtp;
  story("00001", sj("第1話"), sj("##readername##様"));
  reader("00001", sj("山田"), "00001");
  run.listDueReaders();
  run.setSettings(settings(smtp.port()));
  ASSERT_TRUE(checkSettings(run.settings()).ready());
  EXPECT_TRUE(run.sendTestMail(0, " tester@example.net ", recorder));
  ASSERT_TRUE(smtp.waitForMessages(1));
  const SmtpTestServer::Message m = smtp.messages()[0];
  EXPECT_NE(m.envelope.find("\"rcpt_tos\": [\"tester@example.net\"]"), std::string::npos) << m.envelope;
  const std::string mail = decoded(m);
  EXPECT_EQ(headerOf(mail, "Subject"), "[テスト]第1話");
  EXPECT_EQ(headerOf(mail, "To"), "tester@example.net");
  EXPECT_EQ(headerOf(mail, "List-Unsubscribe"), "<mailto:owner@example.com?subject=unsubscribe%20test%20mail>");
  EXPECT_NE(mail.find("山田様"), std::string::npos);
  EXPECT_EQ(stored("00001")[0], "00001");
  EXPECT_EQ(stored("00001")[2], "00000000");
  EXPECT_EQ(marks(), std::vector<std::string>{""});
  EXPECT_FALSE(std::filesystem::exists(program.file("SndMail.log")));
}

TEST_F(SendRunTest, EveryMailCarriesUnsubscribeLinksAndItsOneClickUrlReachesTheWebScript) {
  SmtpTestServer smtp;
  story("00001", "s1", "b1");
  reader("00012", "a", "00001");
  // Without an unsubscribe URL: the mailto: address alone.
  run.setSettings(settings(smtp.port()));
  run.listDueReaders();
  run.list().markAll();
  ASSERT_TRUE(run.run(recorder).completed);
  ASSERT_TRUE(smtp.waitForMessages(1));
  std::string mail = decoded(smtp.messages()[0]);
  EXPECT_EQ(headerOf(mail, "List-Unsubscribe"), "<mailto:owner@example.com?subject=unsubscribe%2000012>") << mail;
  EXPECT_EQ(headerOf(mail, "List-Unsubscribe-Post"), "");
  EXPECT_FALSE(std::filesystem::exists(program.file(UnsubscribeSecret::kFile)));

  // With the script's https address in the settings file: its link with the check code.
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nUnsubscribeUrl=https://www.example.jp/mail/unsubscribe.php\r\n");
  run.setOptions(SendOptions::load(SettingsPaths{program.file("QuorMail.env"), {}, {}, {}}));
  program.exec(" UPDATE USERLIST SET NEXTSTORY = '00001'");
  run.listDueReaders();
  run.list().markAll();
  ASSERT_TRUE(run.run(recorder).completed);
  ASSERT_TRUE(smtp.waitForMessages(2));
  mail = decoded(smtp.messages()[1]);
  const std::string links = headerOf(mail, "List-Unsubscribe");
  const std::string prefix = "<mailto:owner@example.com?subject=unsubscribe%2000012>, <https://www.example.jp/mail/";
  ASSERT_EQ(links.substr(0, prefix.size()), prefix) << mail;
  EXPECT_EQ(headerOf(mail, "List-Unsubscribe-Post"), "List-Unsubscribe=One-Click");
  const std::string script = links.substr(prefix.size(), links.size() - prefix.size() - 1);
  const std::string secret = TestProgram::readFile(program.file(UnsubscribeSecret::kFile));
  EXPECT_EQ(script, "unsubscribe.php?id=00012&since=20240101090000&code=" +
                        UnsubscribeLink::checkCode(trim(secret), "00012-20240101090000"));

  // The mail client's one click, posted to the script with the program's secret beside it.
  PhpTestServer web;
  std::filesystem::copy_file(program.file(UnsubscribeSecret::kFile), web.docroot() + "/QuorMailSecret.env");
  int status = 0;
  web.post("/" + script, "List-Unsubscribe=One-Click", &status);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(TestProgram::readFile(web.docroot() + "/canceldata.cgi").substr(0, 21), "00012-20240101090000\t");
}

TEST_F(SendRunTest, StartCheckWantsEveryItemTheLegalFooterShows) {
  story("00001", "s", "b");
  reader("00001", "a", "00001");
  run.listDueReaders();
  run.list().markAll();
  const char* const noLink = "法定表示に配信停止のリンク（##unsubscribe##）がありません。「FTP、Mail 設定」の法定表示のページで入れて下さい。";
  const std::vector<std::tuple<const char*, std::function<void(MailSettings&)>, const char*>> cases = {
      {"every item filled in", [](MailSettings&) {}, nullptr},
      {"switched off", [](MailSettings& m) { m = settings(25); }, nullptr},
      {"no sender name", [](MailSettings& m) { m.senderName = " "; },
       "法定表示の送信者名（差出人名）が空です。「FTP、Mail 設定」のメールのページで入力して下さい。"},
      {"no postal address", [](MailSettings& m) { m.senderPostalAddress = sj("　"); },
       "法定表示の住所が空です。「FTP、Mail 設定」の法定表示のページで入力して下さい。"},
      {"no contact", [](MailSettings& m) { m.senderContact = ""; },
       "法定表示の連絡先が空です。「FTP、Mail 設定」の法定表示のページで入力して下さい。"},
      {"no contact, and the template shows none",
       [](MailSettings& m) {
         m.senderContact = "";
         m.footerTemplate = sj("発行者：##sendername##\r\n住所：##postaladdress##\r\n##unsubscribe##\r\n");
       },
       nullptr},
      {"no link in the template", [](MailSettings& m) { m.footerTemplate = sj("発行者：##sendername##\r\n"); }, noLink},
  };
  for (const auto& [what, change, message] : cases) {
    MailSettings s = settings(25);
    s.legalFooterMode = 1;
    s.senderName = sj("クオル商店");
    s.senderPostalAddress = sj("東京都千代田区1-1");
    s.senderContact = "03-1234-5678";
    change(s);
    run.setSettings(s);
    const StartCheck check = checkStart(run.list(), run.settings());
    if (message) {
      EXPECT_EQ(check.outcome, StartCheck::Outcome::settingsProblem) << what;
      EXPECT_EQ(check.message, sj(message)) << what;
    } else {
      EXPECT_TRUE(check.ready()) << what << ": " << check.message;
    }
  }
}

TEST_F(SendRunTest, TheLegalFooterArrivesWithEveryItemAndTheReadersOwnLink) {
  SmtpTestServer smtp;
  story("00001", sj("第1話"), sj("##readername##様\r\n本文です。"));
  reader("00012", sj("山田"), "00001");
  run.listDueReaders();
  MailSettings s = settings(smtp.port());
  s.legalFooterMode = 1;
  s.senderName = sj("クオル商店");
  s.senderPostalAddress = sj("東京都千代田区千代田1-1");
  s.senderContact = "03-1234-5678";
  run.setSettings(s);
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nUnsubscribeUrl=https://www.example.jp/mail/unsubscribe.php\r\n");
  run.setOptions(SendOptions::load(SettingsPaths{program.file("QuorMail.env"), {}, {}, {}}));
  const std::string preview = Sjis::toUtf8(run.mails().previewText(run.list().at(0)));
  run.list().markAll();
  ASSERT_TRUE(run.run(recorder).completed);
  ASSERT_TRUE(smtp.waitForMessages(1));
  const std::string mail = decoded(smtp.messages()[0]);
  const std::string links = headerOf(mail, "List-Unsubscribe");
  const std::string link = links.substr(links.find(", <") + 3, links.size() - links.find(", <") - 4);
  ASSERT_EQ(link.rfind("https://www.example.jp/mail/unsubscribe.php?id=00012&", 0), 0u) << links;
  const std::string body = mail.substr(mail.find("\n\n") + 2);
  EXPECT_EQ(body, "山田様\r\n本文です。\r\n\r\n────────────────────\r\n発行者：クオル商店\r\n"
                  "このメールの配信は、いつでも停止できます。\r\n配信停止はこちら\r\n" +
                      link + "\r\n住所：東京都千代田区千代田1-1\r\nお問い合わせ：03-1234-5678\r\n");
  EXPECT_EQ(preview.substr(preview.find("\r\n\r\n") + 4), body);
}
