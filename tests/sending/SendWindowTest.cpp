#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "controls/StripedGrid.h"
#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/Tables.h"
#include "core/TextUtil.h"
#include "sending/SendWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace {

QString q(const char* utf8) { return QString::fromUtf8(utf8); }

struct SendWindowTest : ::testing::Test {
  TestProgram program;
  ScriptedDialogs boxes;
  std::unique_ptr<SendWindow> window;

  void SetUp() override { Clock::setFixedStamp("20240507123456"); }
  void TearDown() override {
    window.reset();
    Clock::setFixedStamp("");
  }

  void settings(const std::string& extra, int smtpPort) {
    TestProgram::writeFile(program.file("QuorMail.env"),
                           "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=owner@example.com\r\nMail1_Wait_Second=0\r\n"
                           "PasSave=2\r\nPOP_before_SMTP=0\r\nLogWrt=1\r\nMax_Moji=80\r\nNothing_UserName=" +
                               sj("読者") + "\r\nSMTPPORT=" + std::to_string(smtpPort) + "\r\n" + extra);
  }

  void reader(const std::string& id, const std::string& name, const std::string& next,
              const std::string& kbn = "01", const std::string& address = "") {
    ReaderRow r;
    r.ID = id;
    r.MAILADDRESS = address.empty() ? "reader" + id + "@example.com" : address;
    r.TOUROKUDATE = "20240101";
    r.TOUROKUTIME = "090000";
    r.NAME = name;
    r.SYORIKBN = kbn;
    r.NEXTSTORY = next;
    r.SNDFASTDATE = "00000000";
    r.SNDFASTTIME = "000000";
    r.SNDLASTDATE = "00000000";
    r.SNDLASTTIME = "000000";
    r.BIKO1 = sj("備考");
    writeReader(program.sql(), r);
  }

  void story(const std::string& no, const std::string& subject, const std::string& body) {
    writeStory(program.sql(), StoryRow{no, subject, body});
  }

  void open(int sendOnly = 1) {
    window = std::make_unique<SendWindow>(program.ctx());
    program.ctx().sendOnly = static_cast<std::uint8_t>(sendOnly);
    program.ctx().initSend = 1;
    window->activate();
  }

  std::vector<std::string> column(int col) {
    std::vector<std::string> out;
    for (int r = 1; r < window->SG_USER->rowCount() && !window->cell(2, r).empty(); ++r)
      out.push_back(window->cell(col, r));
    return out;
  }

  std::vector<std::string> dbReader(const std::string& id) {
    auto rows = program.rows(Sql::readerById(id), {"NEXTSTORY", "SNDFASTDATE", "SNDFASTTIME", "SNDLASTDATE",
                                                    "SNDLASTTIME", "NAME", "BIKO1", "SYORIKBN"});
    return rows.empty() ? std::vector<std::string>{} : rows[0];
  }
};

TEST_F(SendWindowTest, ListsOnlyDueSendableReadersWithTheirMarks) {
  settings("", 25);
  story("00001", "s1", "b1");
  story("00002", "s2", "b2");
  reader("00001", sj("山田"), "00001");
  reader("00002", sj("停止中"), "00001", "00");
  reader("00003", sj("完了"), "00003");
  reader("00012", sj("最後"), "00002");
  open();
  EXPECT_EQ(window->ELast_StoryNo->text(), QStringLiteral("    2"));
  EXPECT_EQ(column(2), (std::vector<std::string>{"    1", "   12"}));
  EXPECT_EQ(column(1), (std::vector<std::string>{sj("可"), sj("可")}));
  EXPECT_EQ(window->SG_USER->rowCount(), 31);
  EXPECT_EQ(window->EMaxCnt->text(), QStringLiteral("     2"));
  EXPECT_EQ(window->SG_USER->model()->headerData(10, Qt::Horizontal).toString(), q("登録日 "));

  window->markKey(1, QLatin1Char('1'));
  EXPECT_EQ(window->cell(0, 1), sj("  ○  "));
  EXPECT_EQ(window->SG_USER->currentRow(), 2);
  window->markKey(2, QLatin1Char('x'));  // other keys clear and stay
  EXPECT_EQ(window->SG_USER->currentRow(), 2);
  window->BKaSelClick();
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  ○  "), sj("  ○  ")}));
  window->markKey(1, QLatin1Char('0'));
  EXPECT_EQ(window->cell(0, 1), "");
  window->BoffClick();
  EXPECT_EQ(column(0), (std::vector<std::string>{"", ""}));
}

TEST_F(SendWindowTest, GridGrowsPastThirtyReaders) {
  settings("", 25);
  story("00001", "s", "b");
  for (int i = 1; i <= 31; ++i) reader(zeroFill(std::to_string(i), 5), "n", "00001");
  open();
  EXPECT_EQ(window->SG_USER->rowCount(), 32);
}

TEST_F(SendWindowTest, StartCheckMessagesInOrder) {
  settings("", 25);
  story("00001", "s", "b");
  open();
  window->Main_Part();
  EXPECT_EQ(boxes.lastText(), q("送信対象が１件もありません。"));

  reader("00001", "a", "00001");
  open();
  window->Main_Part();
  EXPECT_EQ(boxes.lastText(), q("選択されていません。"));

  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nSmtp=" + sj("ＳＭＴＰ") + "\r\nPOP_before_SMTP=0\r\n");
  open();
  window->BKaSelClick();
  // A settings problem leads into the settings window on its mail page.
  int envPage = -1;
  QDialog envProbe;
  program.ctx().setWindow(WindowId::Settings, &envProbe);
  QTimer::singleShot(0, [&] {
    envPage = program.ctx().settingsPage;
    envProbe.reject();
  });
  window->Main_Part();
  EXPECT_EQ(boxes.lastText(), q("SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"));
  EXPECT_EQ(envPage, 1);
  EXPECT_EQ(program.ctx().initSettings, 0);
}

TEST_F(SendWindowTest, NoStoryAtAll) {
  settings("", 25);
  reader("00001", "a", "00001");
  open();
  window->Main_Part();
  EXPECT_EQ(boxes.lastText(), q("ストーリーが登録されていません。"));
}

TEST_F(SendWindowTest, SavedPasswordMissingFailsTheCheck) {
  settings("", 25);
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=a@b\r\nPasSave=1\r\nPOP_before_SMTP=1\r\n"
                         "Pop_Saver=127.0.0.1\r\nPop_UsrName=u\r\n");
  story("00001", "s", "b");
  reader("00001", "a", "00001");
  open();
  window->BKaSelClick();
  EXPECT_FALSE(window->Chk_Part());
  EXPECT_EQ(boxes.lastText(), q("パスワードを設定して下さい。"));
  EXPECT_TRUE(window->Env_Err_Flg);
}

TEST_F(SendWindowTest, SendsEachMarkedReaderItsNextStoryAndAdvancesIt) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001", sj("第1話ご挨拶   "), "##readername##" + sj("様\r\nようこそ。"));
  story("00002", sj("第2話"), sj("二通目です。"));
  reader("00001", sj("山田　太郎"), "00001");
  reader("00002", "", "00002");
  reader("00003", sj("対象外"), "00001");
  open();
  window->markKey(1, QLatin1Char('1'));
  window->markKey(2, QLatin1Char('1'));
  window->Main_Part();

  ASSERT_TRUE(smtp.waitForMessages(2));
  const auto messages = smtp.messages();
  ASSERT_EQ(messages.size(), 2u);
  const std::string first = runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR
                                       "/tests/support/decode_mail.py " + messages[0].emlPath);
  EXPECT_NE(first.find("Subject: 第1話ご挨拶\n"), std::string::npos) << first;
  EXPECT_NE(first.find("To: reader00001@example.com"), std::string::npos) << first;
  EXPECT_NE(first.find("山田　太郎様\r\nようこそ。\r\n"), std::string::npos) << first;
  const std::string second = runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR
                                        "/tests/support/decode_mail.py " + messages[1].emlPath);
  EXPECT_NE(second.find("二通目です。"), std::string::npos) << second;

  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  "), sj("  済  "), ""}));
  EXPECT_EQ(column(1), (std::vector<std::string>{sj("可"), sj("全済"), sj("可")}));
  EXPECT_TRUE(window->LSuccesuu->isVisibleTo(window.get()));
  EXPECT_FALSE(window->Lerror->isVisibleTo(window.get()));
  EXPECT_EQ(window->BEnd->text(), q("終 了"));

  const auto r1 = dbReader("00001");
  EXPECT_EQ(r1[0], "00002");
  EXPECT_EQ(r1[1], "20240507");
  EXPECT_EQ(r1[2], "123456");
  EXPECT_EQ(r1[3], "20240507");
  EXPECT_EQ(trimRight(r1[5]), sj("山田　太郎"));
  EXPECT_EQ(trimRight(r1[6]), sj("備考"));
  EXPECT_EQ(dbReader("00002")[0], "00003");
  EXPECT_EQ(dbReader("00003")[0], "00001");

  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 3);
  EXPECT_EQ(log.substr(0, log.find("\r\n")), Sjis::fromUtf8("送信指示,送信区分,読者ID,次回ｽﾄｰﾘ番号,前回送信日,前回送信時間,読者名,メールアドレス,送信開始日,送信開始時間,登録日 ,登録時間,備考１,備考２,備考３"));
}

TEST_F(SendWindowTest, MissingStoryMailIsSkippedAndTheRunGoesOn) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001", "s1", "b1");
  story("00003", "s3", "b3");
  reader("00001", "a", "00002");  // story 00002 was deleted
  reader("00002", "b", "00001");
  open();
  window->BKaSelClick();
  window->Main_Part();
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  Skip  "), sj("  済  ")}));
  EXPECT_EQ(dbReader("00001")[0], "00002");
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_TRUE(window->LSuccesuu->isVisibleTo(window.get()));
}

TEST_F(SendWindowTest, RefusedConnectionStopsTheRunWithoutTouchingLaterReaders) {
  settings("", freeLocalPort());
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  reader("00002", "b", "00001");
  open();
  window->BKaSelClick();
  window->Main_Part();
  ASSERT_FALSE(boxes.shown().empty());
  EXPECT_TRUE(boxes.lastText().startsWith(q("QuickSend 失敗\r"))) << boxes.lastText().toStdString();
  EXPECT_TRUE(boxes.lastText().contains(QStringLiteral("Connection refused"))) << boxes.lastText().toStdString();
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  Skip  "), sj("  ○  ")}));
  EXPECT_TRUE(window->Lerror->isVisibleTo(window.get()));
  EXPECT_EQ(dbReader("00001")[0], "00001");
  EXPECT_EQ(dbReader("00002")[0], "00001");
}

TEST_F(SendWindowTest, AddressWithLineBreakNeverReachesTheDialogue) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001", "s1", "b1");
  reader("00001", "a", "00001", "01", "x@example.com\r\nRCPT TO:<victim@example.com>");
  open();
  window->BKaSelClick();
  window->Main_Part();
  EXPECT_TRUE(boxes.lastText().startsWith(q("QuickSend 失敗\r"))) << boxes.lastText().toStdString();
  EXPECT_TRUE(smtp.messages().empty());
  EXPECT_EQ(dbReader("00001")[0], "00001");
}

TEST_F(SendWindowTest, StopDuringTheCountdownEndsTheRunAtOnce) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  reader("00002", "b", "00001");
  open();
  window->settings.Mail1_Wait_Second = "90";
  window->BKaSelClick();
  QString countdown;
  QTimer::singleShot(1500, [&] {
    countdown = window->LNokoriByo->text();
    boxes.queueAnswer(MsgResult::Yes);
    window->BEnd->click();
  });
  window->Main_Part();
  EXPECT_EQ(countdown, q("メール送信まで 1 分 29 秒です。"));
  EXPECT_EQ(boxes.lastText(), q("送信を中止しますか?"));
  EXPECT_EQ(boxes.shown().back().icon, MsgIcon::Warning);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  "), sj("  ○  ")}));
  EXPECT_TRUE(window->Lerror->isVisibleTo(window.get()));
  const std::string log = TestProgram::readFile(program.file("SndMail.log"));
  EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 2);  // header and the one handled row
}

TEST_F(SendWindowTest, ChainMarksAllAndStartsByItselfOrClosesWhenNothingIsDue) {
  SmtpTestServer smtp;
  settings("", smtp.port());
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  open(0);
  EXPECT_EQ(smtp.messages().size(), 1u);
  EXPECT_EQ(column(0), (std::vector<std::string>{sj("  済  ")}));

  window.reset();
  program.exec(" DELETE FROM USERLIST");
  window = std::make_unique<SendWindow>(program.ctx());
  window->show();
  program.ctx().sendOnly = 0;
  program.ctx().initSend = 1;
  window->activate();
  EXPECT_EQ(boxes.lastText(), q("送信対象が１件もありません。"));
  for (int i = 0; i < 20 && window->isVisible(); ++i) {
    QTimer::singleShot(20, [] {});
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  EXPECT_FALSE(window->isVisible());
}

TEST_F(SendWindowTest, PopBeforeSmtpLogsInBeforeTheMail) {
  SmtpTestServer smtp;
  Pop3TestServer pop("popuser", "secret");
  settings("", smtp.port());
  story("00001", "s1", "b1");
  reader("00001", "a", "00001");
  open();
  window->settings.POP_before_SMTP = 1;
  window->settings.Pop_Saver = "127.0.0.1";
  window->settings.Pop_UsrName = "popuser";
  window->settings.Pop_After_Snd_Second = "0";
  window->settings.password = "secret";
  window->Pop3Port = pop.port();
  window->BKaSelClick();
  window->Sel_Cnt = 1;
  window->Run_Flg = 1;
  EXPECT_TRUE(window->Pop3_Snd()) << boxes.lastText().toStdString();
  window->settings.password = "wrong";
  EXPECT_FALSE(window->Pop3_Snd());
  EXPECT_TRUE(boxes.lastText().startsWith(q("Pop Connect 失敗 \r"))) << boxes.lastText().toStdString();
  EXPECT_EQ(window->Run_Flg, 0);
}

}  // namespace
