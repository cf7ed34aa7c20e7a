#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <functional>

#include "controls/NavigatingEdit.h"
#include "core/IniFile.h"
#include "core/Sjis.h"
#include "settings/SettingsFiles.h"
#include "settings/SettingsWindow.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TestProgram.h"

namespace fs = std::filesystem;

namespace {

const QString kFolderQuestion = QStringLiteral("指定されたローカルフォルダが存在しません。作成しますか？");

class SettingsWindowTest : public ::testing::Test {
 protected:
  TestProgram program{false};
  SettingsPaths paths = SettingsPaths::of(program.ctx());
  ScriptedDialogs dialogs;
  SettingsWindow w{program.ctx()};

  void open(int page) {
    program.ctx().initSettings = 1;
    program.ctx().settingsPage = page;
    w.show();
    w.activate();
  }

  static QString q(const char* utf8) { return QString::fromUtf8(utf8); }

  // Every field valid, both password boxes ticked.
  void fillValid() {
    w.EFTP_Host_ADR->setText("ftp.example.com");
    w.EFTP_USER->setText("taro");
    w.CBFTP_PAS_SAVE->setChecked(true);
    w.EFTP_PAS->setText("ftp-pass");
    w.EFTP_LOCAL_PATH->setText(QString::fromStdString(program.dir().string()));
    w.EFTP_HOST_PATH->setText("/cgi-bin");
    w.ESmtp->setText("smtp.example.com");
    w.EMailAdress->setText("info@example.com");
    w.EMail1_Wait_Second->setText("30");
    w.CB_POP_before_SMTP->setChecked(true);
    w.EPop_Saver->setText("pop.example.com");
    w.EPop_UsrName->setText("taro");
    w.CB_Mail_PasSave->setChecked(true);
    w.EPop_PasWord->setText("pop-pass");
    w.EPop_After_Snd_Second->setText("10");
    w.EMax_Moji->setText("72");
    w.ENothing_UserName->setText(q("読者様"));
  }

  void expectFailure(const QString& message, int page, QWidget* focus) {
    EXPECT_EQ(dialogs.lastText(), message);
    EXPECT_EQ(w.PageControl1->currentIndex(), page);
    EXPECT_EQ(w.focusWidget(), focus) << (w.focusWidget() ? w.focusWidget()->objectName().toStdString() : "none");
  }

  std::vector<QPushButton*> bar() const {
    std::vector<QPushButton*> out;
    for (QPushButton* b : w.functionButtons()) out.push_back(b);
    return out;
  }
};

}  // namespace

TEST_F(SettingsWindowTest, NewWindowHasPassiveModeOnAndThePopGroupOff) {
  EXPECT_EQ(w.windowTitle(), q("FTP、Mail 設定"));
  EXPECT_TRUE(w.CPasv->isChecked());
  EXPECT_FALSE(w.CB_POP_before_SMTP->isChecked());
  EXPECT_FALSE(w.GPop_Inp->isEnabled());
  EXPECT_EQ(w.PageControl1->tabText(0), q("FTPの設定"));
  EXPECT_EQ(w.PageControl1->tabText(1), q("メール設定"));
}

TEST_F(SettingsWindowTest, OpensOnTheCallersPageWithEverySettingLoaded) {
  TestProgram::writeFile(paths.env, "[FTP]\r\nFTP_HOST_ADR=  ftp.example.com \r\nFTP_PAS=1\r\nFTP_PASV=2\r\n"
                                    "[Mail]\r\nPOP_before_SMTP=-1\r\nMail1_Wait_Second=5\r\nPop_After_Snd_Second=000\r\n"
                                    "Max_Moji= 80\r\nLogWrt=0\r\nPasSave=2\r\nNothing_UserName=" +
                                        sj("　名無し　") + "\r\n");
  writePasswordFile(paths.ftpPassword, "saved");
  writePasswordFile(paths.popPassword, "not read");
  open(1);
  EXPECT_EQ(program.ctx().initSettings, 0);
  EXPECT_EQ(w.PageControl1->currentIndex(), 1);
  EXPECT_EQ(w.EFTP_Host_ADR->text(), "ftp.example.com");
  EXPECT_TRUE(w.CBFTP_PAS_SAVE->isChecked());
  EXPECT_EQ(w.EFTP_PAS->text(), "saved");
  EXPECT_FALSE(w.CPasv->isChecked());
  EXPECT_TRUE(w.CB_POP_before_SMTP->isChecked());
  EXPECT_TRUE(w.GPop_Inp->isEnabled());
  EXPECT_FALSE(w.CB_Mail_PasSave->isChecked());
  EXPECT_EQ(w.EPop_PasWord->text(), "");
  EXPECT_FALSE(w.CBLogWrt->isChecked());
  EXPECT_EQ(w.EMail1_Wait_Second->text(), "  5");
  EXPECT_EQ(w.EPop_After_Snd_Second->text(), "  0");
  EXPECT_EQ(w.EMax_Moji->text(), " 80");
  EXPECT_EQ(w.ENothing_UserName->text(), q("名無し"));
  const auto buttons = bar();
  for (size_t i = 0; i < 12; ++i) {
    const bool shown = i == 0 || i == 11;
    EXPECT_EQ(buttons[i]->isVisible(), shown) << i;
    EXPECT_EQ(buttons[i]->isEnabled(), shown) << i;
  }
  EXPECT_EQ(w.B1->text(), q("登　録 F-1"));
  EXPECT_EQ(w.B12->text(), q(" キャンセル F-12"));

  // Returning from a box or a nested dialog does not reload.
  w.EFTP_USER->setText("typed");
  w.activate();
  EXPECT_EQ(w.EFTP_USER->text(), "typed");
  open(0);
  EXPECT_EQ(w.PageControl1->currentIndex(), 0);
  EXPECT_EQ(w.EFTP_USER->text(), "");
}

TEST_F(SettingsWindowTest, MissingFilesLoadTheDefaults) {
  open(0);
  EXPECT_EQ(w.PageControl1->currentIndex(), 0);
  EXPECT_EQ(w.EMail1_Wait_Second->text(), " 30");
  EXPECT_EQ(w.EPop_After_Snd_Second->text(), " 10");
  EXPECT_EQ(w.EMax_Moji->text(), " 80");
  EXPECT_TRUE(w.CB_POP_before_SMTP->isChecked());
  EXPECT_TRUE(w.CBLogWrt->isChecked());
  EXPECT_TRUE(w.CPasv->isChecked());
  EXPECT_FALSE(w.CBFTP_PAS_SAVE->isChecked());
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SettingsWindowTest, FullCheckStopsAtTheFirstFailingFieldInOrder) {
  open(1);
  w.EFTP_Host_ADR->setText("   ");
  EXPECT_FALSE(w.Chk_Part(99));
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].title, q("クオル"));
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::Ok);
  expectFailure(q("ホスト名、又は、アドレスを入力して下さい。"), 0, w.EFTP_Host_ADR);
  EXPECT_EQ(w.EFTP_Host_ADR->text(), "");  // trimmed in place

  struct Case {
    std::function<void()> spoil;
    const char* message;
    int page;
    QWidget* focus;
  };
  const Case cases[] = {
      {[&] { w.EFTP_Host_ADR->setText(q("ｆｔｐ")); }, "全角文字があります。\r\r半角文字で入力して下さい。", 0, w.EFTP_Host_ADR},
      {[&] { w.EFTP_USER->setText(""); }, "ユーザ名を入力して下さい。", 0, w.EFTP_USER},
      {[&] { w.EFTP_USER->setText(q("太郎")); }, "ユーザ名に全角文字があります。\r\r半角文字で入力して下さい。", 0, w.EFTP_USER},
      {[&] { w.EFTP_PAS->setText(" "); }, "パスワードを入力して下さい。", 0, w.EFTP_PAS},
      {[&] { w.EFTP_PAS->setText(q("ぱす")); }, "パスワードに全角文字があります。\r\r半角文字で入力して下さい。", 0, w.EFTP_PAS},
      {[&] { w.EFTP_LOCAL_PATH->setText(""); }, "ローカルフォルダ名を入力して下さい。", 0, w.EFTP_LOCAL_PATH},
      {[&] { w.EFTP_HOST_PATH->setText(""); }, "ホストのフォルダ名を入力して下さい。", 0, w.EFTP_HOST_PATH},
      {[&] { w.EFTP_HOST_PATH->setText(q("/フォルダ")); }, "ホストのフォルダ名に全角文字があります。\r\r半角文字で入力して下さい。", 0, w.EFTP_HOST_PATH},
      {[&] { w.ESmtp->setText(""); }, "SMTPｻｰﾊﾞ名を入力して下さい。", 1, w.ESmtp},
      {[&] { w.ESmtp->setText(q("ｓmtp")); }, "SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.ESmtp},
      {[&] { w.EMailAdress->setText(""); }, "メールアドレスを入力して下さい。", 1, w.EMailAdress},
      {[&] { w.EMailAdress->setText(q("あ@example.com")); }, "メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。", 1, w.EMailAdress},
      {[&] { w.EMail1_Wait_Second->setText(""); }, "秒数を入力して下さい。", 1, w.EMail1_Wait_Second},
      {[&] { w.EMail1_Wait_Second->setText("1a"); }, "秒数に誤りがあります。", 1, w.EMail1_Wait_Second},
      {[&] { w.EPop_Saver->setText(""); }, "POP3ｻｰﾊﾞ名を入力して下さい。", 1, w.EPop_Saver},
      {[&] { w.EPop_Saver->setText(q("ポップ")); }, "POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.EPop_Saver},
      {[&] { w.EPop_UsrName->setText(""); }, "POP3ﾕｰｻﾞ名を入力して下さい。", 1, w.EPop_UsrName},
      {[&] { w.EPop_UsrName->setText(q("ユーザ")); }, "POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.EPop_UsrName},
      {[&] { w.EPop_PasWord->setText(""); }, "パスワードを入力して下さい。", 1, w.EPop_PasWord},
      {[&] { w.EPop_PasWord->setText(q("ｐ")); }, "パスワードに全角文字があります。\r\r半角文字で入力して下さい。", 1, w.EPop_PasWord},
      {[&] { w.EPop_After_Snd_Second->setText(" "); }, "秒数を入力して下さい。", 1, w.EPop_After_Snd_Second},
      {[&] { w.EMax_Moji->setText(""); }, "文字数を入力して下さい。", 1, w.EMax_Moji},
      {[&] { w.EMax_Moji->setText("0"); }, "文字数に誤りがあります。", 1, w.EMax_Moji},
  };
  for (const Case& c : cases) {
    fillValid();
    ASSERT_TRUE(w.Chk_Part(99));
    w.PageControl1->setCurrentIndex(c.page == 0 ? 1 : 0);
    c.spoil();
    dialogs.clear();
    EXPECT_FALSE(w.Chk_Part(99)) << c.message;
    EXPECT_EQ(dialogs.shown().size(), 1u) << c.message;
    expectFailure(q(c.message), c.page, c.focus);
  }
}

TEST_F(SettingsWindowTest, SecondsAndWidthsAreShownRightAlignedInThree) {
  open(1);
  fillValid();
  w.EMail1_Wait_Second->setText("5");
  EXPECT_TRUE(w.Chk_Part(23));
  EXPECT_EQ(w.EMail1_Wait_Second->text(), "  5");
  w.EMail1_Wait_Second->setText("000");
  EXPECT_TRUE(w.Chk_Part(23));
  EXPECT_EQ(w.EMail1_Wait_Second->text(), "  0");
  w.EMail1_Wait_Second->setText("");
  EXPECT_FALSE(w.Chk_Part(23));
  EXPECT_EQ(w.EMail1_Wait_Second->text(), "   ");

  w.EPop_After_Snd_Second->setText("07");
  EXPECT_TRUE(w.Chk_Part(29));
  EXPECT_EQ(w.EPop_After_Snd_Second->text(), "  7");
  w.EPop_After_Snd_Second->setText("  ");
  EXPECT_FALSE(w.Chk_Part(29));
  EXPECT_EQ(w.EPop_After_Snd_Second->text(), "");  // emptied

  w.EMax_Moji->setText("0");
  EXPECT_FALSE(w.Chk_Part(33));
  EXPECT_EQ(w.EMax_Moji->text(), "");
  w.EMax_Moji->setText("72");
  EXPECT_TRUE(w.Chk_Part(33));
  EXPECT_EQ(w.EMax_Moji->text(), " 72");
}

TEST_F(SettingsWindowTest, ChecksThatDependOnTheBoxesPassWhenTheBoxesAreOff) {
  open(0);
  fillValid();
  w.CBFTP_PAS_SAVE->setChecked(false);
  w.EFTP_PAS->setText("");
  w.CB_POP_before_SMTP->setChecked(false);
  for (NavigatingEdit* e : {w.EPop_Saver, w.EPop_UsrName, w.EPop_PasWord, w.EPop_After_Snd_Second}) e->setText("");
  EXPECT_TRUE(w.Chk_Part(99));
  // With POP before SMTP on but the password not saved, only the password may stay blank.
  w.CB_POP_before_SMTP->setChecked(true);
  w.CB_Mail_PasSave->setChecked(false);
  w.EPop_Saver->setText("pop");
  w.EPop_UsrName->setText("u");
  w.EPop_After_Snd_Second->setText("1");
  EXPECT_TRUE(w.Chk_Part(99));
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SettingsWindowTest, EnterInAFieldRunsItsCheckAfterTheFocusMoved) {
  open(1);
  fillValid();
  w.EPop_PasWord->setText("");
  w.EPop_PasWord->setFocus();
  QTest::keyClick(w.EPop_PasWord, Qt::Key_Return);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  expectFailure(q("パスワードを入力して下さい。"), 1, w.EPop_PasWord);

  // A field without a check just moves on.
  w.ENothing_UserName->setFocus();
  QTest::keyClick(w.ENothing_UserName, Qt::Key_Return);
  EXPECT_EQ(dialogs.shown().size(), 1u);
  EXPECT_NE(w.focusWidget(), w.ENothing_UserName);
}

TEST_F(SettingsWindowTest, AMissingLocalFolderIsCreatedOnlyWhenTheOperatorAgrees) {
  open(1);
  const fs::path target = program.dir() / "a" / "b" / "c";
  w.EFTP_LOCAL_PATH->setText(QString::fromStdString(target.string()));
  dialogs.queueAnswer(MsgResult::No);
  EXPECT_FALSE(w.Chk_Part(4));
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::YesNo);
  expectFailure(kFolderQuestion, 0, w.EFTP_LOCAL_PATH);
  EXPECT_FALSE(fs::exists(program.dir() / "a"));

  dialogs.queueAnswer(MsgResult::Yes);
  EXPECT_TRUE(w.Chk_Part(4));
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(dialogs.shown().size(), 2u);

  TestProgram::writeFile(program.dir() / "plain-file", "x");
  w.EFTP_LOCAL_PATH->setText(QString::fromStdString((program.dir() / "plain-file" / "sub").string()));
  EXPECT_FALSE(w.Chk_Part(4));
  EXPECT_EQ(dialogs.texts().back(), q("フォルダの作成に失敗しました。"));
  EXPECT_EQ(dialogs.texts()[dialogs.texts().size() - 2], kFolderQuestion);
}

TEST_F(SettingsWindowTest, FolderButtonStartsAtTheProgramFolderAndChecksTheChoice) {
  open(0);
  w.EFTP_LOCAL_PATH->setText("  ");
  w.BFTP_LOCAL_PATH->click();  // cancelled: nothing changes
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_TRUE(dialogs.fileRequests[0].endsWith("|" + QString::fromStdString(program.dir().string())));
  EXPECT_EQ(w.EFTP_LOCAL_PATH->text(), "  ");

  const fs::path chosen = program.dir() / "new-folder";
  dialogs.queueFile(QString::fromStdString(chosen.string()));
  dialogs.queueAnswer(MsgResult::Yes);
  w.BFTP_LOCAL_PATH->click();
  EXPECT_EQ(w.EFTP_LOCAL_PATH->text(), QString::fromStdString(chosen.string()));
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{kFolderQuestion});
  EXPECT_TRUE(fs::is_directory(chosen));
}

TEST_F(SettingsWindowTest, PopBeforeSmtpBoxSwitchesTheGroupAndFocusesTheServer) {
  open(1);
  ASSERT_TRUE(w.CB_POP_before_SMTP->isChecked());
  w.CB_POP_before_SMTP->click();
  EXPECT_FALSE(w.GPop_Inp->isEnabled());
  for (NavigatingEdit* e : {w.EPop_Saver, w.EPop_UsrName, w.EPop_PasWord, w.EPop_After_Snd_Second})
    EXPECT_FALSE(e->isEnabled());
  w.ESmtp->setFocus();
  w.CB_POP_before_SMTP->click();
  EXPECT_TRUE(w.GPop_Inp->isEnabled());
  EXPECT_TRUE(w.EPop_After_Snd_Second->isEnabled());
  EXPECT_EQ(w.focusWidget(), w.EPop_Saver);
}

TEST_F(SettingsWindowTest, SaveChecksWritesAndCloses) {
  writePasswordFile(paths.ftpPassword, "old");
  IniFile(paths.env).WriteString("Mail", "SMTPPORT", "2525");
  open(0);
  fillValid();
  w.CBFTP_PAS_SAVE->setChecked(false);
  w.EFTP_PAS->setText("");
  w.ENothing_UserName->setText(q(" 　読者様　"));
  QTest::keyClick(w.EFTP_USER, Qt::Key_F1);
  EXPECT_TRUE(dialogs.shown().empty()) << dialogs.lastText().toStdString();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(w.ENothing_UserName->text(), q("読者様"));
  EXPECT_FALSE(fs::exists(paths.ftpPassword));

  const AllSettings s = readSettings(paths);
  EXPECT_EQ(s.ftp.FTP_HOST_ADR, "ftp.example.com");
  EXPECT_EQ(s.ftp.FTP_PAS, 0);
  EXPECT_EQ(s.ftp.FTP_LOCAL_PATH, program.dir().string());
  EXPECT_EQ(s.mail.password, "pop-pass");
  EXPECT_EQ(s.mail.Mail1_Wait_Second, "30");
  EXPECT_EQ(s.mail.Max_Moji, "72");
  EXPECT_EQ(s.mail.SMTPPORT, 2525);
  EXPECT_NE(TestProgram::readFile(paths.env).find("Max_Moji= 72\r\n"), std::string::npos);
}

TEST_F(SettingsWindowTest, AFailedCheckOrCancelSavesNothing) {
  open(0);
  fillValid();
  w.EFTP_USER->setText("");
  w.B1->click();
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{q("ユーザ名を入力して下さい。")});
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.B1->isEnabled());
  EXPECT_TRUE(w.B12->isEnabled());
  QTest::keyClick(w.EFTP_USER, Qt::Key_F12);
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(fs::exists(paths.env));
}

TEST_F(SettingsWindowTest, ASaveErrorIsShownAndLeavesEveryButtonDisabled) {
  fs::create_directory(paths.env);  // a folder where the file should be: never writable
  open(0);
  fillValid();
  w.B1->click();
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].icon, MsgIcon::Error);
  EXPECT_EQ(dialogs.shown()[0].text, "Unable to write to " + QString::fromStdString(paths.env.string()));
  EXPECT_TRUE(w.isVisible());
  for (QPushButton* b : bar()) {
    EXPECT_TRUE(b->isVisible());
    EXPECT_FALSE(b->isEnabled());
  }
  w.close();
  EXPECT_FALSE(w.isVisible());
}
