// The one sequence before a send: start check, characters, confirmation, passwords.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/Clock.h"
#include "core/ReaderStore.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/SendSession.h"
#include "tests/support/TestProgram.h"

namespace {

std::string sj(const char* utf8) { return Sjis::fromUtf8(utf8); }

// Answers as told and records what it was asked, in order.
struct ScriptedPolicy : SendPolicy {
  CharacterDecision characters = CharacterDecision::substitute;
  bool confirms = true, passwords = true;
  std::vector<std::string> asked;
  void refuse(const StartCheck& check) override { asked.push_back("refuse " + Sjis::toUtf8(check.message)); }
  CharacterDecision decideCharacters(const CharacterCheck& check) override {
    asked.push_back(check.onlyInNames() ? "names" : "characters");
    return characters;
  }
  bool outsideWindow = true;
  bool sendOutsideWindow(const std::string&) override {
    asked.push_back("outside");
    return outsideWindow;
  }
  bool confirm(const DueList&) override {
    asked.push_back("confirm");
    return confirms;
  }
  bool obtainPasswords(MailSettings&) override {
    asked.push_back("passwords");
    return passwords;
  }
};

struct SendSessionTest : ::testing::Test {
  TestProgram program;
  SmtpClient smtp;
  Pop3Client pop3;
  SendRun run{program.sql(), program.file("SndMail.log"), smtp, pop3};
  ScriptedPolicy policy;

  void SetUp() override { Clock::setFixedStamp("20240507123456"); }
  void TearDown() override { Clock::setFixedStamp(""); }

  // One reader due story 1, whose body takes the reader's name.
  void prepareList(const std::string& name, bool markAll = true) {
    StoryStore(program.sql()).save(Story{1, "s", sj("##readername##様")});
    Reader r;
    r.id = 1;
    r.address = "a@example.com";
    r.name = name;
    r.status = SendStatus::sendable;
    r.nextStory = 1;
    ReaderStore(program.sql()).insert(r);
    MailSettings s;
    s.smtpServer = "127.0.0.1";
    s.senderAddress = "owner@example.com";
    s.waitSeconds = "0";
    s.popBeforeSmtpMode = 0;
    run.setSettings(s);
    run.listDueReaders();
    if (markAll) run.list().markAll();
  }
};

TEST_F(SendSessionTest, AsksInOrderAndStopsAtTheFirstNo) {
  struct Case {
    const char* name;  // the reader's name (UTF-8)
    CharacterDecision characters;
    bool confirms, passwords;
    bool ready;
    std::vector<std::string> asked;
  };
  const Case cases[] = {
      {"山田", CharacterDecision::substitute, true, true, true, {"confirm", "passwords"}},
      {"山田", CharacterDecision::substitute, false, true, false, {"confirm"}},
      {"山田", CharacterDecision::substitute, true, false, false, {"confirm", "passwords"}},
      {"髙橋", CharacterDecision::stop, true, true, false, {"names"}},
      {"髙橋", CharacterDecision::withoutSubstitutes, true, true, true, {"names", "confirm", "passwords"}},
      {"髙橋", CharacterDecision::substitute, true, true, true, {"names", "confirm", "passwords"}},
  };
  for (const Case& c : cases) {
    program.exec(" DELETE FROM USERLIST");
    prepareList(sj(c.name));
    policy = ScriptedPolicy{};
    policy.characters = c.characters;
    policy.confirms = c.confirms;
    policy.passwords = c.passwords;
    const int row = static_cast<int>(&c - cases);
    EXPECT_EQ(SendSession(run, policy).prepare(), c.ready) << row;
    EXPECT_EQ(policy.asked, c.asked) << row;
    // Without substitutes the reader is passed over with the reason; with them, the
    // substitute goes into the mail.
    const ComposedMail mail = run.mails().compose(run.list().at(0));
    if (c.characters == CharacterDecision::withoutSubstitutes) EXPECT_NE(mail.skipReason.find(sj("髙")), std::string::npos) << row;
    if (c.ready && c.characters == CharacterDecision::substitute) EXPECT_TRUE(mail.skipReason.empty()) << row;
  }
  EXPECT_NE(run.mails().compose(run.list().at(0)).body.find(sj("高橋様")), std::string::npos);
}

// 2024-05-07 12:34 is a Tuesday: outside a weekend-only window the policy is asked; its
// yes sends all the same.
TEST_F(SendSessionTest, OutsideTheSendingDaysThePolicyDecides) {
  prepareList(sj("山田"));
  MailSettings s = run.settings();
  s.sendDays = "0000011";
  run.setSettings(s);
  for (const bool yes : {false, true}) {
    policy = ScriptedPolicy{};
    policy.outsideWindow = yes;
    EXPECT_EQ(SendSession(run, policy).prepare(), yes);
    EXPECT_EQ(policy.asked.front(), "outside");
  }
}

TEST_F(SendSessionTest, ARefusedStartAsksNothingElse) {
  prepareList(sj("山田"), false);
  EXPECT_FALSE(SendSession(run, policy).prepare());
  EXPECT_EQ(policy.asked, std::vector<std::string>{"refuse 選択されていません。"});
}

}  // namespace
