#include <gtest/gtest.h>

#include <tuple>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
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
    w.prepare(page == 1 ? SettingsWindow::Page::mail : SettingsWindow::Page::ftp);
    w.show();
    w.activate();
  }

  static QString q(const char* utf8) { return QString::fromUtf8(utf8); }

  // Every field valid, both password boxes ticked.
  void fillValid() {
    w.ftpHostEdit->setText("ftp.example.com");
    w.ftpUserEdit->setText("taro");
    w.saveFtpPasswordBox->setChecked(true);
    w.ftpPasswordEdit->setText("ftp-pass");
    w.localFolderEdit->setText(QString::fromStdString(program.dir().string()));
    w.ftpHostFolderEdit->setText("/cgi-bin");
    w.smtpServerEdit->setText("smtp.example.com");
    w.senderAddressEdit->setText("info@example.com");
    w.waitSecondsEdit->setText("30");
    w.popBeforeSmtpBox->setChecked(true);
    w.popServerEdit->setText("pop.example.com");
    w.popUserEdit->setText("taro");
    w.savePopPasswordBox->setChecked(true);
    w.popPasswordEdit->setText("pop-pass");
    w.popWaitSecondsEdit->setText("10");
    w.lineWidthEdit->setText("72");
    w.missingNameEdit->setText(q("読者様"));
    w.senderNameEdit->setText(q("クオル 事務局"));
    w.smtpPortEdit->setText("587");
    w.smtpLoginBox->setChecked(true);
    w.smtpUserEdit->setText("taro");
    w.saveSmtpPasswordBox->setChecked(true);
    w.smtpPasswordEdit->setText("smtp-pass");
    w.unsubscribeUrlEdit->setText(" https://example.com/unsubscribe.php ");
  }

  void expectFailure(const QString& message, int page, QWidget* focus) {
    EXPECT_EQ(dialogs.lastText(), message);
    EXPECT_EQ(w.pages->currentIndex(), page);
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
  EXPECT_TRUE(w.passiveBox->isChecked());
  EXPECT_FALSE(w.popBeforeSmtpBox->isChecked());
  EXPECT_FALSE(w.popGroup->isEnabled());
  EXPECT_EQ(w.pages->tabText(0), q("FTPの設定"));
  EXPECT_EQ(w.pages->tabText(1), q("メール設定"));
}

TEST_F(SettingsWindowTest, OpensOnTheCallersPageWithEverySettingLoaded) {
  TestProgram::writeFile(paths.env, "[FTP]\r\nFTP_HOST_ADR=  ftp.example.com \r\nFTP_PAS=1\r\nFTP_PASV=2\r\n"
                                    "[Mail]\r\nPOP_before_SMTP=-1\r\nMail1_Wait_Second=5\r\nPop_After_Snd_Second=000\r\n"
                                    "Max_Moji= 80\r\nLogWrt=0\r\nPasSave=2\r\nNothing_UserName=" +
                                        sj("　名無し　") + "\r\n");
  writePasswordFile(paths.ftpPassword, "saved");
  writePasswordFile(paths.popPassword, "not read");
  open(1);
  EXPECT_EQ(w.pages->currentIndex(), 1);
  EXPECT_EQ(w.ftpHostEdit->text(), "ftp.example.com");
  EXPECT_TRUE(w.saveFtpPasswordBox->isChecked());
  EXPECT_EQ(w.ftpPasswordEdit->text(), "saved");
  EXPECT_FALSE(w.passiveBox->isChecked());
  EXPECT_TRUE(w.popBeforeSmtpBox->isChecked());
  EXPECT_TRUE(w.popGroup->isEnabled());
  EXPECT_FALSE(w.savePopPasswordBox->isChecked());
  EXPECT_EQ(w.popPasswordEdit->text(), "");
  EXPECT_FALSE(w.writeLogBox->isChecked());
  EXPECT_EQ(w.waitSecondsEdit->text(), "  5");
  EXPECT_EQ(w.popWaitSecondsEdit->text(), "  0");
  EXPECT_EQ(w.lineWidthEdit->text(), " 80");
  EXPECT_EQ(w.missingNameEdit->text(), q("名無し"));
  const auto buttons = bar();
  for (size_t i = 0; i < 12; ++i) {
    const bool shown = i == 0 || i == 11;
    EXPECT_EQ(buttons[i]->isVisible(), shown) << i;
    EXPECT_EQ(buttons[i]->isEnabled(), shown) << i;
  }
  EXPECT_EQ(w.saveButton->text(), q("登　録 F-1"));
  EXPECT_EQ(w.cancelButton->text(), q(" キャンセル F-12"));

  // Returning from a box or a nested dialog does not reload.
  w.ftpUserEdit->setText("typed");
  w.activate();
  EXPECT_EQ(w.ftpUserEdit->text(), "typed");
  open(0);
  EXPECT_EQ(w.pages->currentIndex(), 0);
  EXPECT_EQ(w.ftpUserEdit->text(), "");
}

TEST_F(SettingsWindowTest, MissingFilesLoadTheDefaults) {
  open(0);
  EXPECT_EQ(w.pages->currentIndex(), 0);
  EXPECT_EQ(w.waitSecondsEdit->text(), " 30");
  EXPECT_EQ(w.popWaitSecondsEdit->text(), " 10");
  EXPECT_EQ(w.lineWidthEdit->text(), " 80");
  EXPECT_FALSE(w.popBeforeSmtpBox->isChecked());
  EXPECT_TRUE(w.writeLogBox->isChecked());
  EXPECT_TRUE(w.passiveBox->isChecked());
  EXPECT_FALSE(w.saveFtpPasswordBox->isChecked());
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SettingsWindowTest, FullCheckListsEveryFailureAndGoesToTheFirst) {
  open(1);
  // Every failure in one box, a line each; the FTP page is checked once a field holds something.
  w.ftpHostEdit->setText(q("ｆｔｐ"));
  w.smtpPortEdit->setText("0");
  EXPECT_FALSE(w.checkField(SettingsCheck::All));
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::Ok);
  expectFailure(q("全角文字があります。半角文字で入力して下さい。\nユーザ名を入力して下さい。\nローカルフォルダ名を入力して下さい。\n"
                  "ホストのフォルダ名を入力して下さい。\nSMTPｻｰﾊﾞ名を入力して下さい。\nメールアドレスを入力して下さい。\n"
                  "SMTPポート番号に誤りがあります。"),
                0, w.ftpHostEdit);

  // One failure alone keeps its message as it is.
  struct Case {
    std::function<void()> spoil;
    const char* message;
    int page;
    QWidget* focus;
  };
  const Case cases[] = {
      {[&] { w.ftpHostEdit->setText(q("ｆｔｐ")); }, "全角文字があります。\r\r半角文字で入力して下さい。", 0, w.ftpHostEdit},
      {[&] { w.ftpUserEdit->setText(""); }, "ユーザ名を入力して下さい。", 0, w.ftpUserEdit},
      {[&] { w.ftpUserEdit->setText(q("太郎")); }, "ユーザ名に全角文字があります。\r\r半角文字で入力して下さい。", 0, w.ftpUserEdit},
      {[&] { w.ftpPasswordEdit->setText(" "); }, "パスワードを入力して下さい。", 0, w.ftpPasswordEdit},
      {[&] { w.ftpPasswordEdit->setText(q("ぱす")); }, "パスワードに全角文字があります。\r\r半角文字で入力して下さい。", 0, w.ftpPasswordEdit},
      {[&] { w.localFolderEdit->setText(""); }, "ローカルフォルダ名を入力して下さい。", 0, w.localFolderEdit},
      {[&] { w.ftpHostFolderEdit->setText(""); }, "ホストのフォルダ名を入力して下さい。", 0, w.ftpHostFolderEdit},
      {[&] { w.ftpHostFolderEdit->setText(q("/フォルダ")); }, "ホストのフォルダ名に全角文字があります。\r\r半角文字で入力して下さい。", 0, w.ftpHostFolderEdit},
      {[&] { w.smtpServerEdit->setText(""); }, "SMTPｻｰﾊﾞ名を入力して下さい。", 1, w.smtpServerEdit},
      {[&] { w.smtpServerEdit->setText(q("ｓmtp")); }, "SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.smtpServerEdit},
      {[&] { w.senderAddressEdit->setText(""); }, "メールアドレスを入力して下さい。", 1, w.senderAddressEdit},
      {[&] { w.senderAddressEdit->setText(q("あ@example.com")); }, "メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。", 1, w.senderAddressEdit},
      {[&] { w.senderNameEdit->setText(q("ｸｵﾙ 事務局")); }, "差出人名に半角カナがあります。\r\r全角文字で入力して下さい。", 1, w.senderNameEdit},
      {[&] { w.smtpPortEdit->setText(" "); }, "SMTPポート番号を入力して下さい。", 1, w.smtpPortEdit},
      {[&] { w.smtpPortEdit->setText("0"); }, "SMTPポート番号に誤りがあります。", 1, w.smtpPortEdit},
      {[&] { w.smtpPortEdit->setText("65536"); }, "SMTPポート番号に誤りがあります。", 1, w.smtpPortEdit},
      {[&] { w.smtpUserEdit->setText(" "); }, "SMTPユーザ名を設定して下さい。", 1, w.smtpUserEdit},
      {[&] { w.smtpUserEdit->setText(q("太郎")); }, "SMTPユーザ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.smtpUserEdit},
      {[&] { w.smtpPasswordEdit->setText(""); }, "SMTPパスワードを入力して下さい。", 1, w.smtpPasswordEdit},
      {[&] { w.smtpPasswordEdit->setText(q("ぱす")); }, "SMTPパスワードに全角文字があります。\r\r半角文字で入力して下さい。", 1, w.smtpPasswordEdit},
      {[&] { w.waitSecondsEdit->setText(""); }, "秒数を入力して下さい。", 1, w.waitSecondsEdit},
      {[&] { w.waitSecondsEdit->setText("1a"); }, "秒数に誤りがあります。", 1, w.waitSecondsEdit},
      {[&] { w.popServerEdit->setText(""); }, "POP3ｻｰﾊﾞ名を入力して下さい。", 1, w.popServerEdit},
      {[&] { w.popServerEdit->setText(q("ポップ")); }, "POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.popServerEdit},
      {[&] { w.popUserEdit->setText(""); }, "POP3ﾕｰｻﾞ名を入力して下さい。", 1, w.popUserEdit},
      {[&] { w.popUserEdit->setText(q("ユーザ")); }, "POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。", 1, w.popUserEdit},
      {[&] { w.popPasswordEdit->setText(""); }, "パスワードを入力して下さい。", 1, w.popPasswordEdit},
      {[&] { w.popPasswordEdit->setText(q("ｐ")); }, "パスワードに全角文字があります。\r\r半角文字で入力して下さい。", 1, w.popPasswordEdit},
      {[&] { w.popWaitSecondsEdit->setText(" "); }, "秒数を入力して下さい。", 1, w.popWaitSecondsEdit},
      {[&] { w.lineWidthEdit->setText(""); }, "文字数を入力して下さい。", 1, w.lineWidthEdit},
      {[&] { w.lineWidthEdit->setText("0"); }, "文字数に誤りがあります。", 1, w.lineWidthEdit},
      {[&] { w.unsubscribeUrlEdit->setText("http://example.com/u.php"); }, "配信停止URLはhttps://で始まるアドレスを入力して下さい。", 1, w.unsubscribeUrlEdit},
      {[&] { w.unsubscribeUrlEdit->setText("https://"); }, "配信停止URLはhttps://で始まるアドレスを入力して下さい。", 1, w.unsubscribeUrlEdit},
      {[&] { w.unsubscribeUrlEdit->setText("https://example.com/a b"); }, "配信停止URLに空白や使えない文字（制御文字、<、>、\"）があります。\r\r取り除いて入力して下さい。", 1, w.unsubscribeUrlEdit},
      {[&] { w.unsubscribeUrlEdit->setText(q("https://example.com/停止")); }, "配信停止URLに全角文字があります。\r\r半角文字で入力して下さい。", 1, w.unsubscribeUrlEdit},
  };
  for (const Case& c : cases) {
    fillValid();
    ASSERT_TRUE(w.checkField(SettingsCheck::All));
    w.pages->setCurrentIndex(c.page == 0 ? 1 : 0);
    c.spoil();
    dialogs.clear();
    EXPECT_FALSE(w.checkField(SettingsCheck::All)) << c.message;
    EXPECT_EQ(dialogs.shown().size(), 1u) << c.message;
    expectFailure(q(c.message), c.page, c.focus);
  }
}

TEST_F(SettingsWindowTest, SecondsAndWidthsAreShownRightAlignedInThree) {
  open(1);
  fillValid();
  w.waitSecondsEdit->setText("5");
  EXPECT_TRUE(w.checkField(SettingsCheck::WaitSeconds));
  EXPECT_EQ(w.waitSecondsEdit->text(), "  5");
  w.waitSecondsEdit->setText("000");
  EXPECT_TRUE(w.checkField(SettingsCheck::WaitSeconds));
  EXPECT_EQ(w.waitSecondsEdit->text(), "  0");
  w.waitSecondsEdit->setText("");
  EXPECT_FALSE(w.checkField(SettingsCheck::WaitSeconds));
  EXPECT_EQ(w.waitSecondsEdit->text(), "   ");

  w.popWaitSecondsEdit->setText("07");
  EXPECT_TRUE(w.checkField(SettingsCheck::PopWaitSeconds));
  EXPECT_EQ(w.popWaitSecondsEdit->text(), "  7");
  w.popWaitSecondsEdit->setText("  ");
  EXPECT_FALSE(w.checkField(SettingsCheck::PopWaitSeconds));
  EXPECT_EQ(w.popWaitSecondsEdit->text(), "");  // emptied

  w.lineWidthEdit->setText("0");
  EXPECT_FALSE(w.checkField(SettingsCheck::LineWidth));
  EXPECT_EQ(w.lineWidthEdit->text(), "");
  w.lineWidthEdit->setText("72");
  EXPECT_TRUE(w.checkField(SettingsCheck::LineWidth));
  EXPECT_EQ(w.lineWidthEdit->text(), " 72");
}

TEST_F(SettingsWindowTest, ChecksThatDependOnTheBoxesPassWhenTheBoxesAreOff) {
  open(0);
  fillValid();
  w.saveFtpPasswordBox->setChecked(false);
  w.ftpPasswordEdit->setText("");
  w.popBeforeSmtpBox->setChecked(false);
  for (NavigatingEdit* e : {w.popServerEdit, w.popUserEdit, w.popPasswordEdit, w.popWaitSecondsEdit}) e->setText("");
  w.smtpLoginBox->setChecked(false);
  for (NavigatingEdit* e : {w.smtpUserEdit, w.smtpPasswordEdit}) e->setText("");
  w.senderNameEdit->setText("");  // no name: the address alone
  EXPECT_TRUE(w.checkField(SettingsCheck::All));
  // No FTP at all, even with its password box ticked.
  w.saveFtpPasswordBox->setChecked(true);
  for (NavigatingEdit* e : {w.ftpHostEdit, w.ftpUserEdit, w.ftpHostFolderEdit, w.localFolderEdit}) e->setText(" ");
  EXPECT_TRUE(w.checkField(SettingsCheck::All));
  // With the login on but its password not saved, only that password may stay blank.
  w.smtpLoginBox->setChecked(true);
  w.saveSmtpPasswordBox->setChecked(false);
  w.smtpUserEdit->setText("u");
  EXPECT_TRUE(w.checkField(SettingsCheck::All));
  // With POP before SMTP on but the password not saved, only the password may stay blank.
  w.popBeforeSmtpBox->setChecked(true);
  w.savePopPasswordBox->setChecked(false);
  w.popServerEdit->setText("pop");
  w.popUserEdit->setText("u");
  w.popWaitSecondsEdit->setText("1");
  EXPECT_TRUE(w.checkField(SettingsCheck::All));
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SettingsWindowTest, EnterInAFieldRunsItsCheckAfterTheFocusMoved) {
  open(1);
  fillValid();
  w.popPasswordEdit->setText("");
  w.popPasswordEdit->setFocus();
  QTest::keyClick(w.popPasswordEdit, Qt::Key_Return);
  ASSERT_EQ(dialogs.shown().size(), 1u);
  expectFailure(q("パスワードを入力して下さい。"), 1, w.popPasswordEdit);

  w.unsubscribeUrlEdit->setText("ftp://example.com/");
  w.unsubscribeUrlEdit->setFocus();
  QTest::keyClick(w.unsubscribeUrlEdit, Qt::Key_Return);
  ASSERT_EQ(dialogs.shown().size(), 2u);
  expectFailure(q("配信停止URLはhttps://で始まるアドレスを入力して下さい。"), 1, w.unsubscribeUrlEdit);
  w.unsubscribeUrlEdit->setText("");  // empty: mails offer unsubscribing by mail only
  QTest::keyClick(w.unsubscribeUrlEdit, Qt::Key_Return);
  EXPECT_EQ(dialogs.shown().size(), 2u);

  // A field without a check just moves on.
  dialogs.clear();
  w.missingNameEdit->setFocus();
  QTest::keyClick(w.missingNameEdit, Qt::Key_Return);
  EXPECT_TRUE(dialogs.shown().empty());
  EXPECT_NE(w.focusWidget(), w.missingNameEdit);
}

TEST_F(SettingsWindowTest, AMissingLocalFolderIsCreatedOnlyWhenTheOperatorAgrees) {
  open(1);
  const fs::path target = program.dir() / "a" / "b" / "c";
  w.localFolderEdit->setText(QString::fromStdString(target.string()));
  dialogs.queueAnswer(MsgResult::No);
  EXPECT_FALSE(w.checkField(SettingsCheck::LocalFolder));
  ASSERT_EQ(dialogs.shown().size(), 1u);
  EXPECT_EQ(dialogs.shown()[0].buttons, MsgButtons::YesNo);
  expectFailure(kFolderQuestion, 0, w.localFolderEdit);
  EXPECT_FALSE(fs::exists(program.dir() / "a"));

  dialogs.queueAnswer(MsgResult::Yes);
  EXPECT_TRUE(w.checkField(SettingsCheck::LocalFolder));
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(dialogs.shown().size(), 2u);

  TestProgram::writeFile(program.dir() / "plain-file", "x");
  w.localFolderEdit->setText(QString::fromStdString((program.dir() / "plain-file" / "sub").string()));
  EXPECT_FALSE(w.checkField(SettingsCheck::LocalFolder));
  EXPECT_EQ(dialogs.texts().back(), q("フォルダの作成に失敗しました。"));
  EXPECT_EQ(dialogs.texts()[dialogs.texts().size() - 2], kFolderQuestion);
}

TEST_F(SettingsWindowTest, FolderButtonStartsAtTheProgramFolderAndChecksTheChoice) {
  open(0);
  w.localFolderEdit->setText("  ");
  w.chooseLocalFolderButton->click();  // cancelled: nothing changes
  ASSERT_EQ(dialogs.fileRequests.size(), 1u);
  EXPECT_TRUE(dialogs.fileRequests[0].endsWith("|" + QString::fromStdString(program.dir().string())));
  EXPECT_EQ(w.localFolderEdit->text(), "  ");

  const fs::path chosen = program.dir() / "new-folder";
  dialogs.queueFile(QString::fromStdString(chosen.string()));
  dialogs.queueAnswer(MsgResult::Yes);
  w.chooseLocalFolderButton->click();
  EXPECT_EQ(w.localFolderEdit->text(), QString::fromStdString(chosen.string()));
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{kFolderQuestion});
  EXPECT_TRUE(fs::is_directory(chosen));
}

TEST_F(SettingsWindowTest, PopBeforeSmtpBoxSwitchesTheGroupAndFocusesTheServer) {
  open(1);
  ASSERT_FALSE(w.popBeforeSmtpBox->isChecked());  // off in new settings
  w.popBeforeSmtpBox->setChecked(true);
  w.popBeforeSmtpBox->click();
  EXPECT_FALSE(w.popGroup->isEnabled());
  for (NavigatingEdit* e : {w.popServerEdit, w.popUserEdit, w.popPasswordEdit, w.popWaitSecondsEdit})
    EXPECT_FALSE(e->isEnabled());
  w.smtpServerEdit->setFocus();
  w.popBeforeSmtpBox->click();
  EXPECT_TRUE(w.popGroup->isEnabled());
  EXPECT_TRUE(w.popWaitSecondsEdit->isEnabled());
  EXPECT_EQ(w.focusWidget(), w.popServerEdit);
}

TEST_F(SettingsWindowTest, LoginSwitchEnablesItsFieldsAndTheStoredDeliverySettingsLoad) {
  TestProgram::writeFile(paths.env, "[FTP]\r\nFTP_TLS=1\r\n[Mail]\r\nSMTPPORT=2465\r\nSmtpSecurity=2\r\nSmtpAuth=1\r\n"
                                    "SmtpUser=taro\r\nSmtpPasSave=1\r\nSenderName=" + sj("クオル 事務局") + "\r\n");
  writePasswordFile(paths.smtpPassword, "smtp-saved");
  open(1);
  EXPECT_TRUE(w.ftpTlsBox->isChecked());
  EXPECT_EQ(w.smtpSecurityBox->currentIndex(), 2);
  EXPECT_EQ(w.smtpSecurityBox->currentText(), "SSL/TLS");
  EXPECT_EQ(w.smtpPortEdit->text(), "2465");  // the stored port, not the mode's usual one
  EXPECT_TRUE(w.smtpLoginBox->isChecked());
  EXPECT_EQ(w.smtpUserEdit->text(), "taro");
  EXPECT_TRUE(w.saveSmtpPasswordBox->isChecked());
  EXPECT_EQ(w.smtpPasswordEdit->text(), "smtp-saved");
  EXPECT_EQ(w.senderNameEdit->text(), q("クオル 事務局"));
  EXPECT_TRUE(w.smtpUserEdit->isEnabled());

  w.smtpLoginBox->click();
  for (QWidget* f : std::initializer_list<QWidget*>{w.smtpUserEdit, w.smtpPasswordEdit, w.saveSmtpPasswordBox})
    EXPECT_FALSE(f->isEnabled()) << f->objectName().toStdString();
  w.smtpLoginBox->click();
  EXPECT_TRUE(w.smtpPasswordEdit->isEnabled());

  // A file from before these settings: no login, its fields off, plain on port 25.
  TestProgram::writeFile(paths.env, "[Mail]\r\nSmtp=smtp.example.com\r\n");
  open(1);
  EXPECT_FALSE(w.ftpTlsBox->isChecked());
  EXPECT_EQ(w.smtpSecurityBox->currentText(), q("なし"));
  EXPECT_EQ(w.smtpPortEdit->text(), "25");
  EXPECT_FALSE(w.smtpLoginBox->isChecked());
  EXPECT_FALSE(w.smtpUserEdit->isEnabled());
  EXPECT_EQ(w.senderNameEdit->text(), "");
}

TEST_F(SettingsWindowTest, ChoosingASecurityModeProposesItsUsualPortOnlyOverAnotherModesPort) {
  open(1);
  ASSERT_EQ(w.smtpPortEdit->text(), "25");
  w.smtpSecurityBox->setCurrentIndex(1);
  EXPECT_EQ(w.smtpPortEdit->text(), "587");
  w.smtpSecurityBox->setCurrentIndex(2);
  EXPECT_EQ(w.smtpPortEdit->text(), "465");
  w.smtpSecurityBox->setCurrentIndex(0);
  EXPECT_EQ(w.smtpPortEdit->text(), "25");
  // A port of the operator's own stays whatever the mode.
  w.smtpPortEdit->setText("2525");
  w.smtpSecurityBox->setCurrentIndex(1);
  EXPECT_EQ(w.smtpPortEdit->text(), "2525");
  w.smtpPortEdit->setText("");
  w.smtpSecurityBox->setCurrentIndex(2);
  EXPECT_EQ(w.smtpPortEdit->text(), "465");
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SettingsWindowTest, TypingTheSubmissionOrTlsPortProposesItsSecurityWithTheLogin) {
  const std::tuple<const char*, int, bool> cases[] = {{"587", 1, true}, {"465", 2, true}, {"2525", 0, false}};
  open(1);
  for (const auto& [port, security, login] : cases) {
    w.smtpSecurityBox->setCurrentIndex(0);
    w.smtpLoginBox->setChecked(false);
    w.smtpPortEdit->clear();
    QTest::keyClicks(w.smtpPortEdit, port);
    EXPECT_EQ(w.smtpSecurityBox->currentIndex(), security) << port;
    EXPECT_EQ(w.smtpLoginBox->isChecked(), login) << port;
  }
  // A port the file holds proposes nothing: the operator's choice stays.
  TestProgram::writeFile(paths.env, "[Mail]\r\nSMTPPORT=587\r\nSmtpSecurity=0\r\nSmtpAuth=0\r\n");
  open(1);
  EXPECT_EQ(w.smtpSecurityBox->currentIndex(), 0);
  EXPECT_FALSE(w.smtpLoginBox->isChecked());
}

TEST_F(SettingsWindowTest, TheSecretsPathIsShownAndCopied) {
  open(1);
  const QString path = QString::fromStdString(program.file("QuorMailSecret.env").string());
  EXPECT_EQ(w.secretPathLabel->text(), path);
  QApplication::clipboard()->clear();
  w.copySecretPathButton->click();
  EXPECT_EQ(QApplication::clipboard()->text(), path);
}

TEST_F(SettingsWindowTest, SaveChecksWritesAndCloses) {
  writePasswordFile(paths.ftpPassword, "old");
  IniFile(paths.env).writeString("Mail", "SMTPPORT", "2525");
  open(0);
  fillValid();
  w.saveFtpPasswordBox->setChecked(false);
  w.ftpPasswordEdit->setText("");
  w.missingNameEdit->setText(q(" 　読者様　"));
  QTest::keyClick(w.ftpUserEdit, Qt::Key_F1);
  EXPECT_TRUE(dialogs.shown().empty()) << dialogs.lastText().toStdString();
  EXPECT_FALSE(w.isVisible());
  EXPECT_EQ(w.result(), QDialog::Accepted);
  EXPECT_EQ(w.missingNameEdit->text(), q("読者様"));
  EXPECT_FALSE(fs::exists(paths.ftpPassword));

  const AllSettings s = readSettings(paths);
  EXPECT_EQ(s.ftp.host, "ftp.example.com");
  EXPECT_EQ(s.ftp.passwordMode, 0);
  EXPECT_EQ(s.ftp.localFolder, program.dir().string());
  EXPECT_EQ(s.mail.password, "pop-pass");
  EXPECT_EQ(s.mail.waitSeconds, "30");
  EXPECT_EQ(s.mail.lineWidth, "72");
  EXPECT_EQ(s.mail.smtpPort, 587);
  EXPECT_EQ(s.mail.smtpSecurity, 0);
  EXPECT_TRUE(s.mail.smtpLogin());
  EXPECT_EQ(s.mail.smtpUser, "taro");
  EXPECT_EQ(s.mail.smtpPassword, "smtp-pass");
  EXPECT_EQ(s.mail.senderName, sj("クオル 事務局"));
  EXPECT_FALSE(s.ftp.useTls());
  EXPECT_EQ(s.mail.unsubscribeUrl, "https://example.com/unsubscribe.php");
  EXPECT_EQ(w.unsubscribeUrlEdit->text(), "https://example.com/unsubscribe.php");  // as written
  EXPECT_NE(TestProgram::readFile(paths.env).find("Max_Moji= 72\r\n"), std::string::npos);

  // The port the file had is shown and written back; the switches are saved as set.
  IniFile(paths.env).writeString("Mail", "SMTPPORT", "2525");
  open(1);
  EXPECT_EQ(w.smtpPortEdit->text(), "2525");
  w.smtpSecurityBox->setCurrentIndex(1);
  w.ftpTlsBox->setChecked(true);
  w.saveSmtpPasswordBox->setChecked(false);
  w.smtpPasswordEdit->setText("");
  w.saveButton->click();
  EXPECT_TRUE(dialogs.shown().empty()) << dialogs.lastText().toStdString();
  const AllSettings again = readSettings(paths);
  EXPECT_EQ(again.mail.smtpPort, 2525);
  EXPECT_EQ(again.mail.smtpSecurity, 1);
  EXPECT_TRUE(again.ftp.useTls());
  EXPECT_FALSE(again.mail.smtpPasswordSaved());
  EXPECT_FALSE(fs::exists(paths.smtpPassword));
}

TEST_F(SettingsWindowTest, AFailedCheckOrCancelSavesNothing) {
  open(0);
  fillValid();
  w.ftpUserEdit->setText("");
  w.saveButton->click();
  EXPECT_EQ(dialogs.texts(), std::vector<QString>{q("ユーザ名を入力して下さい。")});
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(w.saveButton->isEnabled());
  EXPECT_TRUE(w.cancelButton->isEnabled());
  QTest::keyClick(w.ftpUserEdit, Qt::Key_F12);
  EXPECT_FALSE(w.isVisible());
  EXPECT_FALSE(fs::exists(paths.env));
}

TEST_F(SettingsWindowTest, ASaveErrorIsShownAndLeavesEveryButtonDisabled) {
  fs::create_directory(paths.env);  // a folder where the file should be: never writable
  open(0);
  fillValid();
  w.saveButton->click();
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

TEST_F(SettingsWindowTest, TheDailyLimitIsOnForANewInstallationAndSavedAsSet) {
  open(1);  // no settings file yet
  EXPECT_TRUE(w.onePerDayBox->isChecked());
  EXPECT_EQ(w.onePerDayBox->text(), q("同じ読者には1日1通まで"));
  EXPECT_EQ(w.unsubscribeUrlEdit->text(), "");
  fillValid();
  w.saveButton->click();
  ASSERT_TRUE(dialogs.shown().empty()) << dialogs.lastText().toStdString();
  EXPECT_EQ(IniFile(paths.env).readString("Mail", "OnePerDay", ""), "1");

  // A file from before the switch: off, and a save writes it off.
  TestProgram::writeFile(paths.env, "[Mail]\r\nSmtp=smtp.example.com\r\n");
  open(1);
  EXPECT_FALSE(w.onePerDayBox->isChecked());
  fillValid();
  w.saveButton->click();
  ASSERT_TRUE(dialogs.shown().empty()) << dialogs.lastText().toStdString();
  EXPECT_FALSE(loadMailSettings(paths).onePerDay());

  open(1);
  w.onePerDayBox->click();
  w.unsubscribeUrlEdit->setText("");
  w.saveButton->click();
  const MailSettings m = loadMailSettings(paths);
  EXPECT_TRUE(m.onePerDay());
  EXPECT_EQ(m.unsubscribeUrl, "");
  EXPECT_NE(TestProgram::readFile(paths.env).find("UnsubscribeUrl=\r\n"), std::string::npos);
}

TEST_F(SettingsWindowTest, EveryOpeningFocusesTheFirstFieldOfTheShownPage) {
  // The load switches POP before SMTP on, which focuses the POP3 server: the opening wins.
  open(1);
  EXPECT_EQ(w.pages->currentIndex(), 1);
  EXPECT_EQ(w.focusWidget(), w.smtpServerEdit);
  w.lineWidthEdit->setFocus();
  w.cancelButton->click();
  open(0);
  EXPECT_EQ(w.focusWidget(), w.ftpHostEdit);
  w.passiveBox->setFocus();
  w.cancelButton->click();
  open(1);
  EXPECT_EQ(w.focusWidget(), w.smtpServerEdit);
  // A later activation (back from a message box) leaves the focus where the operator was.
  w.lineWidthEdit->setFocus();
  w.activate();
  EXPECT_EQ(w.focusWidget(), w.lineWidthEdit);
}

TEST_F(SettingsWindowTest, EnterMovesPastCheckBoxesAndTheSecurityChoiceWithoutTogglingThem) {
  open(0);
  struct Step {
    QWidget* from;
    QWidget* to;
  };
  // With the POP3 group on, its fields follow its box.
  w.popBeforeSmtpBox->setChecked(true);
  const Step steps[] = {{w.saveFtpPasswordBox, w.ftpHostFolderEdit},
                        {w.passiveBox, w.ftpTlsBox},
                        {w.smtpSecurityBox, w.smtpLoginBox},
                        {w.popBeforeSmtpBox, w.popServerEdit},
                        {w.savePopPasswordBox, w.popWaitSecondsEdit},
                        {w.writeLogBox, w.onePerDayBox},
                        {w.onePerDayBox, w.unsubscribeUrlEdit}};
  for (const Step& step : steps) {
    w.pages->setCurrentIndex(w.ftpPage->isAncestorOf(step.from) ? 0 : 1);
    step.from->setFocus();
    const bool checked = qobject_cast<QCheckBox*>(step.from) && qobject_cast<QCheckBox*>(step.from)->isChecked();
    QTest::keyClick(step.from, Qt::Key_Return);
    EXPECT_EQ(w.focusWidget(), step.to) << step.from->objectName().toStdString();
    if (auto* box = qobject_cast<QCheckBox*>(step.from)) EXPECT_EQ(box->isChecked(), checked);
  }
  QTest::keyClick(w.onePerDayBox, Qt::Key_Enter);  // the keypad's Enter too
  EXPECT_EQ(w.focusWidget(), w.unsubscribeUrlEdit);
  EXPECT_TRUE(w.isVisible());
  EXPECT_TRUE(dialogs.shown().empty());
}

TEST_F(SettingsWindowTest, AFocusedCheckBoxLooksDifferent) {
  open(0);
  w.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
  w.ftpHostEdit->setFocus(Qt::MouseFocusReason);  // not through Tab: the style alone would not mark it
  const QImage plain = w.passiveBox->grab().toImage();
  w.passiveBox->setFocus(Qt::MouseFocusReason);
  ASSERT_TRUE(w.passiveBox->hasFocus());
  EXPECT_NE(w.passiveBox->grab().toImage(), plain);
}

// The window must fit a 1366x768 screen at 100 % and a 1920x1080 screen at 150 % (1280x720
// logical pixels), each less a task bar of 40 and a window frame of about 8 by 32.
// The pace page writes the keys the send run reads, and a window that is no time of day
// keeps the window open on that page.
TEST_F(SettingsWindowTest, ThePacePageSavesTheLimitsDaysAndHours) {
  open(1);
  fillValid();
  w.hourLimitEdit->setText("100");
  w.sendDayBoxes[5]->setChecked(false);
  w.sendDayBoxes[6]->setChecked(false);
  w.skipHolidaysBox->setChecked(true);
  w.sendFromEdit->setText("2500");
  w.sendUntilEdit->setText("2100");
  w.saveButton->click();
  expectFailure(q("送信する時間帯の設定に誤りがあります。（例: 0800-2100）"), 2, w.hourLimitEdit);
  w.sendFromEdit->setText("0800");
  w.mailsPerConnectionEdit->setText("50");
  w.popSecurityBox->setCurrentIndex(2);
  w.bounceAddressEdit->setText(" bounces@example.com ");
  w.saveButton->click();
  const MailSettings saved = loadMailSettings(paths);
  EXPECT_EQ(saved.mailsPerConnection, 50);
  EXPECT_EQ(saved.popSecurity, 2);
  EXPECT_EQ(saved.bounceAddress, "bounces@example.com");
  EXPECT_EQ(std::make_tuple(saved.hourLimit, saved.dayLimit, saved.sendDays, saved.skipHolidaysMode, saved.sendHours),
            std::make_tuple(std::string("100"), std::string("0"), std::string("1111100"), 1, std::string("0800-2100")));
}

TEST_F(SettingsWindowTest, BothPagesFitTheSmallScreens) {
  const QSize roomy(1366 - 8, 768 - 40 - 32);
  const QSize small(1280 - 8, 720 - 40 - 32);
  for (int page : {0, 1}) {
    open(page);
    QApplication::processEvents();
    for (const QSize& screen : {roomy, small}) {
      EXPECT_LE(w.minimumSizeHint().width(), screen.width()) << page;
      EXPECT_LE(w.minimumSizeHint().height(), screen.height()) << page;
      EXPECT_LE(w.sizeHint().width(), screen.width()) << page;
      EXPECT_LE(w.sizeHint().height(), screen.height()) << page;
      EXPECT_LE(w.width(), screen.width()) << page;
      EXPECT_LE(w.height(), screen.height()) << page;
    }
    // Nothing on the page is squeezed below what it asks for.
    QWidget* shown = w.pages->currentWidget();
    EXPECT_GE(shown->height(), shown->minimumSizeHint().height()) << page;
    EXPECT_GE(shown->width(), shown->minimumSizeHint().width()) << page;
    w.cancelButton->click();
  }
}
