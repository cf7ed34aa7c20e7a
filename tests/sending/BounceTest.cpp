// The bounce mailbox: real-shaped bounces read by the parser, then through dovecot over
// STLS into a real database, and read at the start of a send run.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>

#include "core/Clock.h"
#include "core/ReaderStore.h"
#include "core/SendHistory.h"
#include "core/StoryStore.h"
#include "net/MailMessage.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/BounceParser.h"
#include "sending/BounceRun.h"
#include "sending/SendListener.h"
#include "sending/SendRun.h"
#include "sending/StartCheck.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestProgram.h"

namespace {

std::string sample(const char* name) {
  return TestProgram::readFile(std::string(QUORMAIL_SOURCE_DIR "/tests/sending/bounces/") + name);
}

TEST(BounceParser, ReadsReportsAndPlainBouncesAndLeavesRepliesAlone) {
  const struct {
    const char* file;
    BounceKind kind;
    const char* address;  // the first address reported, "" for none
    bool permanent;
    const char* code;
    int taggedReader;  // 0: no Message-ID of ours
    int taggedStory;
  } cases[] = {
      {"gmail-5.1.1.eml", BounceKind::bounce, "reader00001@gmail.com", true, "550 5.1.1", 1, 3},
      {"delayed-4.2.2.eml", BounceKind::bounce, "reader00002@example.net", false, "452 4.2.2", 2, 1},
      {"docomo-qmail.eml", BounceKind::bounce, "reader00003@docomo.ne.jp", true, "5.1.1", 3, 2},
      {"vacation.eml", BounceKind::autoReply, "", false, "", 0, 0},
      {"unrelated.eml", BounceKind::other, "", false, "", 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const ParsedBounce b = parseBounce(sample(c.file));
    EXPECT_EQ(b.kind, c.kind);
    ASSERT_EQ(b.addresses.empty(), *c.address == '\0');
    if (!b.addresses.empty()) {
      EXPECT_EQ(b.addresses[0].address, c.address);
      EXPECT_EQ(b.addresses[0].permanent, c.permanent);
      EXPECT_EQ(b.addresses[0].code, c.code);
      EXPECT_FALSE(b.addresses[0].reason.empty());
    }
    EXPECT_EQ(b.mail ? b.mail->readerId : 0, c.taggedReader);
    EXPECT_EQ(b.mail ? b.mail->story : 0, c.taggedStory);
  }
  // The qmail bounce's reason is its own report line, not the returned story's text.
  EXPECT_EQ(parseBounce(sample("docomo-qmail.eml")).addresses[0].reason,
            sj("お送りいただいたメールは宛先不明のため配信できませんでした。"));
  // A plain bounce naming only our Message-ID (in a copy of the mail sent) names the mail.
  const std::string id = newMessageId("owner@example.com", storyMessageTag(12, 7));
  const ParsedBounce tagged = parseBounce("From: postmaster@example.jp\r\nSubject: Undeliverable\r\n\r\n"
                                          "550 User unknown\r\n--- Below this line is a copy of the message.\r\n"
                                          "Message-ID: " + id + "\r\n");
  ASSERT_TRUE(tagged.mail);
  EXPECT_EQ(tagged.mail->readerId, 12);
  EXPECT_EQ(tagged.mail->story, 7);
  EXPECT_EQ(tagged.kind, BounceKind::bounce);
}

TEST(BounceSettings, TheStartCheckWantsTheWholeMailboxOnlyWhenItIsRead) {
  MailSettings whole;
  whole.bouncePopMode = 1;
  whole.bouncePopServer = " pop.example.com ";
  whole.bouncePopUser = "bounce";
  whole.bouncePopPassword = "pw";
  const struct {
    std::function<void(MailSettings&)> change;
    const char* starts;  // "" for ready
  } cases[] = {
      {[](MailSettings&) {}, ""},
      {[](MailSettings& s) { s.bouncePopServer = ""; }, "エラーメールのPOP3サーバ名が設定されていません。"},
      {[](MailSettings& s) { s.bouncePopPort = 0; }, "エラーメールのPOP3ポート番号に誤りがあります。"},
      {[](MailSettings& s) { s.bouncePopSecurity = 3; }, "エラーメールのPOP3の暗号化の設定に誤りがあります。"},
      {[](MailSettings& s) { s.bouncePopUser = " "; }, "エラーメールのPOP3ユーザ名が設定されていません。"},
      {[](MailSettings& s) { s.bouncePopPassword = ""; }, "エラーメールのPOP3パスワードが保存されていません。"},
      {[](MailSettings& s) { s.bouncePopMode = 0, s.bouncePopServer = ""; }, ""},
  };
  for (const auto& c : cases) {
    MailSettings s = whole;
    c.change(s);
    const StartCheck check = checkBounceSettings(s);
    EXPECT_EQ(check.message.substr(0, std::strlen(sj(c.starts).c_str())), sj(c.starts)) << c.starts;
    EXPECT_EQ(check.ready(), *c.starts == '\0');
  }
}

struct BounceRunTest : ::testing::Test {
  TestProgram program;
  Pop3TestServer mailbox{"bounce", "b0unce pw", TestCertificates::get().localhost.cert,
                         TestCertificates::get().localhost.key, false};

  void SetUp() override { Clock::setFixedStamp("20261209120000"); }
  void TearDown() override { Clock::setFixedStamp(""); }

  MailSettings settings() {
    MailSettings s;
    s.bouncePopMode = 1;
    s.bouncePopServer = "localhost";
    s.bouncePopPort = mailbox.port();
    s.bouncePopSecurity = 1;
    s.bouncePopUser = "bounce";
    s.bouncePopPassword = "b0unce pw";
    return s;
  }

  void reader(int id, const std::string& address, int next) {
    Reader r;
    r.id = id;
    r.address = address;
    r.registered = DateStamp(20261201, 90000);
    r.status = SendStatus::sendable;
    r.nextStory = next;
    ReaderStore(program.sql()).insert(r);
  }

  std::vector<std::vector<std::string>> readers() {
    return program.rows(" SELECT ID, SYORIKBN FROM USERLIST ORDER BY ID", {"ID", "SYORIKBN"});
  }
};

TEST_F(BounceRunTest, AppliesEachBounceOnceItIsCommittedAndLeavesTheRestInTheMailbox) {
  reader(1, "reader00001@gmail.com", 4);
  reader(2, "Reader00002@Example.net", 2);  // addresses compare without regard to case
  reader(3, "reader00003@docomo.ne.jp", 3);
  reader(4, "reader00004@example.jp", 3);
  for (const char* file : {"gmail-5.1.1.eml", "delayed-4.2.2.eml", "docomo-qmail.eml", "vacation.eml",
                           "unrelated.eml", "stranger-5.1.1.eml"})
    mailbox.deliver(sample(file));
  const MailSettings s = settings();
  Pop3Client pop;
  BounceRun bounces(program.sql(), s, pop);
  HistoryRun run = HistoryRun::start();
  const BounceReport report = bounces.run(run);

  EXPECT_TRUE(report.error.empty()) << report.error;
  EXPECT_EQ(report.messages, 6);
  EXPECT_EQ(report.deleted, 3);
  EXPECT_EQ(report.unknown, 3);
  EXPECT_EQ(report.summary(), sj("エラーメール 3 件: 停止 2 名、保留 1 名、不明なメール 3 通"));
  EXPECT_EQ(readers(), (std::vector<std::vector<std::string>>{{"00001", "00"}, {"00002", "01"}, {"00003", "00"},
                                                                {"00004", "01"}}));
  // The history names the story of the returned mail and the report's reason.
  std::vector<std::string> entries;
  HistoryStore(program.sql()).forEach(std::nullopt, std::nullopt, [&](const HistoryEntry& e) {
    entries.push_back(std::to_string(e.readerId) + " " + std::to_string(e.story) + " " + outcomeText(e.outcome) + " " +
                      e.code + " " + e.runId.substr(0, 14));
  });
  EXPECT_EQ(entries, (std::vector<std::string>{sj("1 3 宛先不明で停止 550 5.1.1 20261209120000"),
                                               sj("2 1 保留 452 4.2.2 20261209120000"),
                                               sj("3 2 宛先不明で停止 5.1.1 20261209120000")}));
  // What is no bounce, or names no reader, stays: the vacation reply, the newsletter and
  // the stranger's bounce, in their order.
  const std::vector<std::string> left = mailbox.mails();
  ASSERT_EQ(left.size(), 3u);
  EXPECT_EQ(left[0], sample("vacation.eml"));
  EXPECT_EQ(left[1], sample("unrelated.eml"));
  EXPECT_EQ(left[2], sample("stranger-5.1.1.eml"));

  // Read again: the same bounce for a reader already stopped changes nothing more.
  mailbox.deliver(sample("gmail-5.1.1.eml"));
  HistoryRun again = HistoryRun::start();
  const BounceReport second = bounces.run(again);
  ASSERT_EQ(second.outcomes.size(), 1u);
  EXPECT_TRUE(second.outcomes[0].alreadyStopped);
  EXPECT_EQ(again.entries, 0);
  EXPECT_EQ(mailbox.mails().size(), 3u);
}

TEST_F(BounceRunTest, ASendRunReadsTheMailboxFirstAndDoesNotMailAReaderItStopped) {
  StoryStore(program.sql()).save(Story{1, "s1", "b1"});
  StoryStore(program.sql()).save(Story{2, "s2", "b2"});
  reader(1, "reader00001@gmail.com", 2);
  reader(2, "reader00002@example.com", 2);
  mailbox.deliver(sample("gmail-5.1.1.eml"));
  SmtpTestServer smtp;
  SmtpClient smtpClient;
  Pop3Client pop;
  SendRun send(program.sql(), program.file("SndMail.log"), smtpClient, pop);
  MailSettings s = settings();
  s.smtpServer = "127.0.0.1";
  s.smtpPort = smtp.port();
  s.senderAddress = "owner@example.com";
  s.waitSeconds = "0";
  s.popBeforeSmtpMode = 0;
  s.lineWidth = "80";
  send.listDueReaders();
  send.setSettings(s);
  send.list().markAll();
  struct : SendListener {
    std::vector<std::string> summaries;
    void bouncesRead(const BounceReport& r) override { summaries.push_back(r.summary()); }
  } listener;
  const SendReport report = send.run(listener);
  EXPECT_EQ(listener.summaries, std::vector<std::string>{sj("エラーメール 1 件: 停止 1 名、保留 0 名、不明なメール 0 通")});
  EXPECT_EQ(report.sent, 1);
  EXPECT_EQ(report.refused, 1);
  EXPECT_EQ(send.list().at(0).mark, SendMark::refused);
  ASSERT_EQ(smtp.messages().size(), 1u);
  EXPECT_NE(smtp.messages()[0].data.find("To: reader00002@example.com"), std::string::npos);
  // The story mail's Message-ID names its reader and story, for the bounces to come.
  EXPECT_NE(smtp.messages()[0].data.find("Message-ID: <qm.00002.2."), std::string::npos);
  EXPECT_TRUE(mailbox.mails().empty());
}

}  // namespace
