#include <gtest/gtest.h>

#include <functional>
#include <sys/stat.h>

#include "core/IniFile.h"
#include "core/JisCoverage.h"
#include "settings/SettingsFiles.h"
#include "settings/UnsubscribeSecret.h"
#include "tests/support/TestProgram.h"

namespace fs = std::filesystem;

namespace {

class SettingsFilesTest : public ::testing::Test {
 protected:
  TestProgram program{false};
  SettingsPaths paths = SettingsPaths::of(program.ctx());

  static AllSettings filled() {
    AllSettings s;
    s.ftp.host = "ftp.example.com";
    s.ftp.user = "taro";
    s.ftp.passwordMode = 1;
    s.ftp.password = "ftp-secret";
    s.ftp.hostFolder = "/public_html/cgi";
    s.ftp.localFolder = "/home/taro/data";
    s.ftp.passiveMode = 0;
    s.mail.smtpServer = "smtp.example.com";
    s.mail.senderAddress = "info@example.com";
    s.mail.waitSeconds = "  5";
    s.mail.popPasswordMode = 1;
    s.mail.password = "pop-secret";
    s.mail.popBeforeSmtpMode = 1;
    s.mail.popServer = " pop.example.com ";
    s.mail.popUser = "taro";
    s.mail.popWaitSeconds = " 10";
    s.mail.logMode = 0;
    s.mail.lineWidth = " 72";
    s.mail.defaultReaderName = sj(" 　読者様　 ");
    s.mail.smtpPort = 587;
    s.mail.smtpSecurity = 1;
    s.mail.smtpAuthMode = 1;
    s.mail.smtpUser = " taro@example.com ";
    s.mail.smtpPasswordMode = 1;
    s.mail.smtpPassword = "smtp-secret";
    s.mail.senderName = sj(" クオル 事務局 ");
    s.ftp.tlsMode = 1;
    s.mail.onePerDayMode = 1;
    s.mail.unsubscribeUrl = " https://example.com/unsubscribe.php ";
    s.mail.mailsPerConnection = 50;
    s.mail.legalFooterMode = 1;
    s.mail.senderPostalAddress = sj(" 東京都千代田区1-1 ");
    s.mail.senderContact = " 03-1234-5678 ";
    return s;
  }

  static unsigned mode(const fs::path& p) {
    struct stat st {};
    ::stat(p.c_str(), &st);
    return st.st_mode & 0777;
  }
};

}  // namespace

TEST_F(SettingsFilesTest, MissingFilesGiveTheDefaults) {
  const AllSettings s = readSettings(paths);
  EXPECT_EQ(s.ftp.host, "");
  EXPECT_EQ(s.ftp.passwordMode, 0);
  EXPECT_EQ(s.ftp.passiveMode, 1);
  EXPECT_EQ(s.mail.popPasswordMode, 0);
  EXPECT_FALSE(s.mail.popBeforeSmtp());  // a new installation logs in to SMTP only
  EXPECT_EQ(s.mail.logMode, 1);
  EXPECT_EQ(s.mail.popWaitSeconds, "10");
  EXPECT_EQ(s.mail.waitSeconds, "30");
  EXPECT_EQ(s.mail.lineWidth, "80");
  EXPECT_EQ(s.mail.smtpPort, 25);
  EXPECT_EQ(s.mail.password, "");
  // No settings file at all is a new installation: one story mail per reader and day.
  EXPECT_TRUE(s.mail.onePerDay());
  EXPECT_EQ(s.mail.unsubscribeUrl, "");

  // Saved as loaded, the switch stays on once the file exists.
  AllSettings saved = s;
  writeSettings(paths, saved);
  EXPECT_EQ(IniFile(paths.env).readString("Mail", "OnePerDay", ""), "1");
  EXPECT_TRUE(loadMailSettings(paths).onePerDay());
  saved.mail.onePerDayMode = 0;
  writeSettings(paths, saved);
  EXPECT_FALSE(loadMailSettings(paths).onePerDay());
}

// A new installation gets the legal footer; an existing file without the key keeps its
// bodies. The template file is written only once it differs from the built-in text.
TEST_F(SettingsFilesTest, TheLegalFooterIsOnForNewFilesOnlyAndItsTemplateFileIsWrittenWhenChanged) {
  AllSettings s = readSettings(paths);
  EXPECT_TRUE(s.mail.legalFooter());
  EXPECT_EQ(s.mail.footerTemplate, LegalFooter::defaultTemplate());
  EXPECT_TRUE(JisCoverage::find(LegalFooter::defaultTemplate()).empty());  // ISO-2022-JP carries it all
  writeSettings(paths, s);
  EXPECT_TRUE(loadMailSettings(paths).legalFooter());
  EXPECT_FALSE(fs::exists(paths.footerTemplate()));

  TestProgram::writeFile(paths.env, "[Mail]\r\nSmtp=smtp.example.com\r\n");
  EXPECT_FALSE(loadMailSettings(paths).legalFooter());

  s.mail.footerTemplate = sj("発行者：##sendername##\r\n##unsubscribe##\r\n");
  writeSettings(paths, s);
  EXPECT_EQ(TestProgram::readFile(paths.footerTemplate()), s.mail.footerTemplate);
  EXPECT_EQ(loadMailSettings(paths).footerTemplate, s.mail.footerTemplate);
  // Back to the built-in text: the existing file follows, so the save sticks.
  s.mail.footerTemplate = LegalFooter::defaultTemplate();
  writeSettings(paths, s);
  EXPECT_EQ(TestProgram::readFile(paths.footerTemplate()), LegalFooter::defaultTemplate());
}

TEST_F(SettingsFilesTest, AnUnsubscribeAddressIsUsableOnlyAsAPlainHttpsAddress) {
  const std::pair<const char*, UnsubscribeUrlProblem> cases[] = {
      {"", UnsubscribeUrlProblem::Empty},
      {"https://example.com/unsubscribe.php", UnsubscribeUrlProblem::None},
      {"https://example.com/u.php?list=1&x=%41", UnsubscribeUrlProblem::None},
      {"http://example.com/unsubscribe.php", UnsubscribeUrlProblem::NotHttps},
      // Plain http only for a script on this machine.
      {"http://localhost/unsubscribe.php", UnsubscribeUrlProblem::None},
      {"http://127.0.0.1:8080/unsubscribe.php", UnsubscribeUrlProblem::None},
      {"http://localhost.example.com/u.php", UnsubscribeUrlProblem::NotHttps},
      {"http://localhost@example.com/u.php", UnsubscribeUrlProblem::NotHttps},
      {"HTTPS://example.com/", UnsubscribeUrlProblem::NotHttps},
      {"https://", UnsubscribeUrlProblem::NotHttps},
      {"example.com/unsubscribe.php", UnsubscribeUrlProblem::NotHttps},
      {"mailto:info@example.com", UnsubscribeUrlProblem::NotHttps},
      {"https://example.com/un subscribe.php", UnsubscribeUrlProblem::BlankOrControl},
      {"https://example.com/\tx", UnsubscribeUrlProblem::BlankOrControl},
      {"https://example.com/\r\nBcc: x@example.com", UnsubscribeUrlProblem::BlankOrControl},
      {"https://example.com/\x7f", UnsubscribeUrlProblem::BlankOrControl},
  };
  for (const auto& [url, problem] : cases) EXPECT_EQ(checkUnsubscribeUrl(url), problem) << url;
  EXPECT_EQ(checkUnsubscribeUrl("https://example.com/" + sj("停止")), UnsubscribeUrlProblem::NotAscii);

  // Only a usable address reaches the mails; a file edited by hand may hold anything.
  TestProgram::writeFile(paths.env, "[Mail]\r\nUnsubscribeUrl= http://example.com/u.php \r\n");
  const MailSettings m = loadMailSettings(paths);
  EXPECT_EQ(m.unsubscribeUrl, "http://example.com/u.php");
  EXPECT_FALSE(m.hasUnsubscribeUrl());
}

// A save of a usable address makes the secret (64 hex digits, owner-only) once.
TEST_F(SettingsFilesTest, SavingAnUnsubscribeAddressMakesTheSecretOnce) {
  AllSettings s = readSettings(paths);
  s.mail.unsubscribeUrl = "http://localhost:8000/unsubscribe.php";
  writeSettings(paths, s);
  const std::string secret = TestProgram::readFile(program.file("QuorMailSecret.env"));
  EXPECT_EQ(secret.size(), 65u);
  EXPECT_EQ(mode(paths.unsubscribeSecret()), 0600u);
  writeSettings(paths, s);
  EXPECT_EQ(UnsubscribeSecret::loadOrCreate(paths.unsubscribeSecret()) + "\n", secret);
}

TEST_F(SettingsFilesTest, SaveWritesTheKeysInOrderAndLoadsThemBack) {
  AllSettings s = filled();
  s.mail.bouncePopMode = 1;
  s.mail.bouncePopServer = " pop.example.com ";
  s.mail.bouncePopPort = 995;
  s.mail.bouncePopSecurity = 2;
  s.mail.bouncePopUser = "bounces";
  s.mail.bouncePopPassword = "bounce-secret";
  writeSettings(paths, s);
  EXPECT_EQ(TestProgram::readFile(paths.env),
            "[FTP]\r\nFTP_HOST_ADR=ftp.example.com\r\nFTP_USER=taro\r\nFTP_PAS=1\r\n"
            "FTP_HOST_PATH=/public_html/cgi\r\nFTP_LOCAL_PATH=/home/taro/data\r\nFTP_PASV=0\r\nFTP_TLS=1\r\n\r\n"
            "[Mail]\r\nSmtp=smtp.example.com\r\nMailAdress=info@example.com\r\nMail1_Wait_Second=5\r\n"
            "PasSave=1\r\nPOP_before_SMTP=1\r\nPop_Saver=pop.example.com\r\nPop_UsrName=taro\r\n"
            "Pop_After_Snd_Second=10\r\nLogWrt=0\r\nMax_Moji= 72\r\nNothing_UserName=" + sj("読者様") + "\r\n" +
                "SMTPPORT=587\r\nSmtpSecurity=1\r\nSmtpAuth=1\r\nSmtpPlainLogin=0\r\nSmtpUser=taro@example.com\r\nSmtpPasSave=1\r\n"
                "SenderName=" + sj("クオル 事務局") + "\r\nOnePerDay=1\r\n"
                "UnsubscribeUrl=https://example.com/unsubscribe.php\r\nHourLimit=0\r\nDayLimit=0\r\nSendDays=1111111\r\n"
                "SkipHolidays=0\r\nSendHours=\r\nMailsPerConnection=50\r\nPopSecurity=0\r\nBounceAddress=\r\n"
                "LegalFooter=1\r\nSenderPostalAddress=" + sj("東京都千代田区1-1") + "\r\nSenderContact=03-1234-5678\r\n"
                "BouncePop=1\r\nBouncePopServer=pop.example.com\r\nBouncePopPort=995\r\nBouncePopSecurity=2\r\n"
                "BouncePopUser=bounces\r\n");
  EXPECT_EQ(s.mail.defaultReaderName, sj("読者様"));  // what was written, for the field
  EXPECT_EQ(s.mail.unsubscribeUrl, "https://example.com/unsubscribe.php");

  const AllSettings back = readSettings(paths);
  EXPECT_EQ(back.ftp.password, "ftp-secret");
  EXPECT_EQ(back.mail.password, "pop-secret");
  EXPECT_EQ(back.ftp.passiveMode, 0);
  EXPECT_EQ(back.mail.lineWidth, "72");  // leading blanks go on reading
  EXPECT_EQ(back.mail.waitSeconds, "5");
  EXPECT_EQ(back.mail.logMode, 0);
  EXPECT_EQ(TestProgram::readFile(paths.ftpPassword).size(), 16u);
  EXPECT_EQ(back.mail.smtpPort, 587);
  EXPECT_EQ(back.mail.smtpSecurity, 1);
  EXPECT_TRUE(back.mail.smtpLogin());
  EXPECT_EQ(back.mail.smtpUser, "taro@example.com");
  EXPECT_TRUE(back.mail.smtpPasswordSaved());
  EXPECT_EQ(back.mail.smtpPassword, "smtp-secret");
  EXPECT_EQ(back.mail.senderName, sj("クオル 事務局"));
  EXPECT_TRUE(back.ftp.useTls());
  EXPECT_TRUE(back.mail.onePerDay());
  EXPECT_TRUE(back.mail.hasUnsubscribeUrl());
  EXPECT_EQ(back.mail.mailsPerConnection, 50);
  EXPECT_TRUE(back.mail.legalFooter());
  EXPECT_EQ(back.mail.senderPostalAddress, sj("東京都千代田区1-1"));
  EXPECT_EQ(back.mail.senderContact, "03-1234-5678");
  // The SMTP password file is the third of its kind: same cipher, owner only.
  EXPECT_EQ(paths.smtpPassword.filename(), "QuorMail3.env");
  EXPECT_EQ(TestProgram::readFile(paths.smtpPassword), encipherPassword("smtp-secret"));
  EXPECT_EQ(mode(paths.smtpPassword), 0600u);
  EXPECT_EQ(TestProgram::readFile(paths.env).find("smtp-secret"), std::string::npos);
  // The bounce mailbox's password is always saved, in the fourth file.
  EXPECT_EQ(paths.bouncePassword.filename(), "QuorMail4.env");
  EXPECT_EQ(mode(paths.bouncePassword), 0600u);
  EXPECT_EQ(back.mail.bouncePopPassword, "bounce-secret");
  EXPECT_EQ(back.mail.bouncePopPort, 995);
  EXPECT_TRUE(back.mail.readBounces());
}

TEST_F(SettingsFilesTest, AHandAddedKeySurvivesEverySave) {
  AllSettings s = filled();
  writeSettings(paths, s);
  IniFile(paths.env).writeString("Mail", "HandAdded", " 2525 ");
  writeSettings(paths, s);
  s.mail.smtpServer = "other.example.com";
  writeSettings(paths, s);
  const MailSettings m = loadMailSettings(paths);
  EXPECT_EQ(IniFile(paths.env).readInteger("Mail", "HandAdded", 0), 2525);
  EXPECT_EQ(m.smtpServer, "other.example.com");
}

TEST_F(SettingsFilesTest, AFileWrittenBeforeTheDeliveryKeysSendsAsBefore) {
  TestProgram::writeFile(paths.env, "[FTP]\r\nFTP_HOST_ADR=ftp.example.com\r\nFTP_PASV=1\r\n"
                                    "[Mail]\r\nSmtp=smtp.example.com\r\nMailAdress=info@example.com\r\nSMTPPORT=2525\r\n");
  writePasswordFile(paths.smtpPassword, "stray");  // no switch says it is saved
  AllSettings s = readSettings(paths);
  EXPECT_EQ(s.mail.smtpPort, 2525);
  EXPECT_EQ(s.mail.smtpSecurity, 0);
  EXPECT_FALSE(s.mail.smtpLogin());
  EXPECT_EQ(s.mail.smtpUser, "");
  EXPECT_FALSE(s.mail.smtpPasswordSaved());
  EXPECT_EQ(s.mail.smtpPassword, "");
  EXPECT_EQ(s.mail.senderName, "");
  EXPECT_FALSE(s.ftp.useTls());
  // An installation from before the daily limit keeps sending as it did; no web unsubscribe.
  EXPECT_FALSE(s.mail.onePerDay());
  EXPECT_TRUE(s.mail.popBeforeSmtp());
  EXPECT_EQ(s.mail.unsubscribeUrl, "");
  EXPECT_FALSE(s.mail.hasUnsubscribeUrl());
  EXPECT_EQ(s.mail.mailsPerConnection, 1);  // a session for each mail

  // A save keeps the hand-set port and deletes the password file nobody asked for.
  writeSettings(paths, s);
  EXPECT_EQ(IniFile(paths.env).readString("Mail", "SMTPPORT", ""), "2525");
  EXPECT_FALSE(fs::exists(paths.smtpPassword));
  EXPECT_EQ(IniFile(paths.env).readString("Mail", "OnePerDay", ""), "0");

  // The SMTP password follows its own switch, apart from the POP3 one.
  s.mail.smtpPasswordMode = 1;
  s.mail.smtpPassword = "smtp-only";
  s.mail.popPasswordMode = 0;
  writeSettings(paths, s);
  EXPECT_EQ(readPasswordFile(paths.smtpPassword), "smtp-only");
  EXPECT_FALSE(fs::exists(paths.popPassword));
  EXPECT_EQ(loadMailSettings(paths).smtpPassword, "smtp-only");
}

TEST_F(SettingsFilesTest, SwitchesReadAsTheirKeysDefine) {
  TestProgram::writeFile(paths.env,
                         "[FTP]\nFTP_PAS=2\nFTP_PASV=2\n[Mail]\nPOP_before_SMTP=-1\nPasSave=x\nLogWrt=2\n"
                         "SMTPPORT=abc\nNothing_UserName=" + sj("　名無し　") + "\n");
  writePasswordFile(paths.ftpPassword, "ignored");
  const AllSettings s = readSettings(paths);
  EXPECT_FALSE(s.ftp.passwordSaved());
  EXPECT_FALSE(s.ftp.passwordAsked());
  EXPECT_EQ(s.ftp.password, "");  // neither read nor asked for
  EXPECT_FALSE(s.ftp.passive());
  EXPECT_TRUE(s.mail.popBeforeSmtp());
  EXPECT_TRUE(s.mail.passwordAsked());  // not a number: the default 0
  EXPECT_FALSE(s.mail.writeLog());
  EXPECT_EQ(s.mail.smtpPort, 0);  // not a port: refused by the start check, not 25
  EXPECT_EQ(s.mail.defaultReaderName, sj("名無し"));
}

TEST_F(SettingsFilesTest, PasswordFilesFollowTheSwitchesAndBlanks) {
  AllSettings s = filled();
  s.ftp.password = "   ";  // ticked but blank: written, then deleted
  writeSettings(paths, s);
  EXPECT_FALSE(fs::exists(paths.ftpPassword));
  EXPECT_EQ(IniFile(paths.env).readInteger("FTP", "FTP_PAS", -1), 1);
  EXPECT_EQ(readSettings(paths).ftp.password, "");

  ASSERT_TRUE(fs::exists(paths.popPassword));
  s.mail.popPasswordMode = 0;
  writeSettings(paths, s);
  EXPECT_FALSE(fs::exists(paths.popPassword));
  EXPECT_EQ(IniFile(paths.env).readInteger("Mail", "PasSave", -1), 0);
  s.mail.popPasswordMode = 1;
  writeSettings(paths, s);
  EXPECT_EQ(readPasswordFile(paths.popPassword), "pop-secret");
}

TEST_F(SettingsFilesTest, PasswordFilesAreOwnerOnlyAndWholeBlocks) {
  TestProgram::writeFile(paths.popPassword, "old");
  fs::permissions(paths.popPassword, fs::perms::all);
  writePasswordFile(paths.popPassword, "12345678");
  EXPECT_EQ(mode(paths.popPassword), 0600u);
  EXPECT_EQ(TestProgram::readFile(paths.popPassword).size(), 16u);
  writePasswordFile(paths.ftpPassword, "");
  EXPECT_EQ(mode(paths.ftpPassword), 0600u);
  EXPECT_EQ(TestProgram::readFile(paths.ftpPassword).size(), 8u);
  EXPECT_EQ(readPasswordFile(paths.ftpPassword), "");

  const std::string typed = sj(" パス word ");  // kept exactly as typed
  writePasswordFile(paths.ftpPassword, typed);
  EXPECT_EQ(readPasswordFile(paths.ftpPassword), typed);
  EXPECT_EQ(decipherPassword(encipherPassword(typed)), typed);
}

// A password file that is not a plain file, or far larger than a password, is refused
// without being read (a link to /dev/zero would otherwise fill the memory).
TEST_F(SettingsFilesTest, OversizedOrSpecialPasswordFilesAreRefusedUnread) {
  const struct {
    const char* what;
    std::function<void()> make;
  } cases[] = {
      {"a link to /dev/zero", [&] { fs::create_symlink("/dev/zero", paths.popPassword); }},
      {"a folder", [&] { fs::create_directory(paths.popPassword); }},
      {"5,000 bytes", [&] { TestProgram::writeFile(paths.popPassword, std::string(5000, 'x')); }},
  };
  for (const auto& c : cases) {
    fs::remove_all(paths.popPassword);
    c.make();
    try {
      readPasswordFile(paths.popPassword);
      ADD_FAILURE() << c.what << " was read";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(sj("パスワードファイルが正しくありません")), std::string::npos) << c.what;
    }
  }
  fs::remove_all(paths.popPassword);
}

TEST_F(SettingsFilesTest, DamagedPasswordFilesGiveTheEmptyPassword) {
  const std::string good = encipherPassword("secret");
  ASSERT_EQ(good.size(), 8u);
  for (const std::string& bytes : {std::string(), good.substr(0, 7), good + "1234", std::string(12, 'x')}) {
    TestProgram::writeFile(paths.ftpPassword, bytes);
    EXPECT_EQ(readPasswordFile(paths.ftpPassword), "") << bytes.size() << " bytes";
  }
  EXPECT_EQ(readPasswordFile(program.file("missing.env")), "");
  // Foreign content of a valid length deciphers to something, without any error.
  TestProgram::writeFile(paths.ftpPassword, std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A\x0B\x0C\x0D\x0E\x0F\x10", 16));
  EXPECT_NO_THROW(readPasswordFile(paths.ftpPassword));
}

TEST_F(SettingsFilesTest, ASaveThatFailsKeepsWhatItHadWritten) {
  SettingsPaths broken = paths;
  broken.ftpPassword = program.file("no-such-folder") / "QuorMail1.env";
  AllSettings s = filled();
  EXPECT_THROW(writeSettings(broken, s), std::runtime_error);
  const IniFile ini(paths.env);
  EXPECT_EQ(ini.readString("FTP", "FTP_USER", ""), "taro");
  EXPECT_EQ(ini.readString("FTP", "FTP_PAS", ""), "1");
  EXPECT_EQ(ini.readString("FTP", "FTP_HOST_PATH", "none"), "none");

  broken = paths;
  broken.env = program.file("no-such-folder") / "QuorMail.env";
  try {
    writeSettings(broken, s);
    FAIL() << "no error";
  } catch (const IniFileError& e) {
    EXPECT_NE(std::string(e.what()).find("no-such-folder/QuorMail.env"), std::string::npos);
  }
}
