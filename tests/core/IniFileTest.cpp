#include <gtest/gtest.h>
#include <unistd.h>

#include "core/IniFile.h"
#include "tests/support/TestProgram.h"

namespace {

class IniFileTest : public ::testing::Test {
 protected:
  TestProgram program{false};
  std::filesystem::path path = program.file("QuorMail.env");
  std::string content() const { return TestProgram::readFile(path); }
};

}  // namespace

TEST_F(IniFileTest, MissingFileSectionOrKeyGivesTheDefault) {
  IniFile none(path);
  EXPECT_EQ(none.readString("FTP", "FTP_USER", "def"), "def");
  EXPECT_EQ(none.readInteger("FTP", "FTP_PASV", 1), 1);
  std::filesystem::create_directory(program.file("folder.env"));  // unreadable: defaults too
  EXPECT_EQ(IniFile(program.file("folder.env")).readString("FTP", "FTP_USER", "def"), "def");
  TestProgram::writeFile(path, "[FTP]\r\nFTP_USER=u\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.readString("Mail", "FTP_USER", "d"), "d");
  EXPECT_EQ(ini.readString("FTP", "FTP_HOST_ADR", "d"), "d");
}

TEST_F(IniFileTest, ReadsTrimmedValuesWithNamesInAnyCase) {
  TestProgram::writeFile(path,
                         "garbage line\n"
                         "Orphan=before any section\n"
                         "  [ ftp ]  \n"
                         "; FTP_USER=commented\n"
                         "  ftp_user  =  \t taro  \n"
                         "FTP_USER=second\n"
                         "Empty=\n"
                         "[Mail]\n"
                         "Smtp= " + sj("メール　サーバ") + " \n"
                         "Hex=0x1F\nDollar=$10\nNeg=-1\nBad=12a\nBlank=   \n");
  IniFile ini(path);
  EXPECT_EQ(ini.readString("FTP", "FTP_USER", ""), "taro");  // the first of two
  EXPECT_EQ(ini.readString("Ftp", "Empty", "d"), "");        // present but empty: not the default
  EXPECT_EQ(ini.readString("FTP", "Orphan", "d"), "d");
  EXPECT_EQ(ini.readString("MAIL", "smtp", ""), sj("メール　サーバ"));
  EXPECT_EQ(ini.readInteger("Mail", "Hex", 0), 31);
  EXPECT_EQ(ini.readInteger("Mail", "Dollar", 0), 16);
  EXPECT_EQ(ini.readInteger("Mail", "Neg", 0), -1);
  EXPECT_EQ(ini.readInteger("Mail", "Bad", 7), 7);
  EXPECT_EQ(ini.readInteger("Mail", "Blank", 25), 25);
  EXPECT_EQ(ini.readInteger("Mail", "Smtp", 80), 80);
}

TEST_F(IniFileTest, DoubleByteNamesAreNotCaseFolded) {
  // 0x83 0x41 and 0x83 0x61 are two katakana whose second bytes look like "A" and "a".
  TestProgram::writeFile(path, "[S]\r\n\x83\x41=1\r\n");
  IniFile ini(path);
  EXPECT_EQ(ini.readString("S", "\x83\x41", ""), "1");
  EXPECT_EQ(ini.readString("S", "\x83\x61", "none"), "none");
}

TEST_F(IniFileTest, NewFileGetsSectionsAndKeysInWriteOrder) {
  IniFile ini(path);
  ini.writeString("FTP", "FTP_HOST_ADR", "ftp.example.com");
  ini.writeInteger("FTP", "FTP_PAS", 1);
  ini.writeString("Mail", "Smtp", sj("送信"));
  ini.writeString("ftp", "FTP_PASV", "0");
  EXPECT_EQ(content(), "[FTP]\r\nFTP_HOST_ADR=ftp.example.com\r\nFTP_PAS=1\r\nFTP_PASV=0\r\n\r\n[Mail]\r\nSmtp=" +
                           sj("送信") + "\r\n");
  EXPECT_EQ(IniFile(path).readString("Mail", "Smtp", ""), sj("送信"));
}

TEST_F(IniFileTest, WritesKeepEveryOtherLineAndTheFilesLineEnds) {
  TestProgram::writeFile(path,
                         "; hand-written\n"
                         "[FTP]\n"
                         "ftp_user = old\n"
                         "Custom=keep me\n"
                         "\n"
                         "[Mail]\n"
                         "SMTPPORT=2525");  // no line end at the end
  IniFile ini(path);
  ini.writeString("FTP", "FTP_USER", "new");
  ini.writeString("FTP", "FTP_HOST_PATH", "/cgi");
  ini.writeString("Mail", "Smtp", "smtp.example.com");
  EXPECT_EQ(content(),
            "; hand-written\n"
            "[FTP]\n"
            "FTP_USER=new\n"
            "Custom=keep me\n"
            "FTP_HOST_PATH=/cgi\n"
            "\n"
            "[Mail]\n"
            "SMTPPORT=2525\n"
            "Smtp=smtp.example.com\n");
}

TEST_F(IniFileTest, AFailedWriteNamesTheFileAndChangesNothing) {
  IniFile missingFolder(program.file("no-such-folder") / "QuorMail.env");
  try {
    missingFolder.writeString("FTP", "FTP_USER", "u");
    FAIL() << "no error";
  } catch (const IniFileError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + (program.file("no-such-folder") / "QuorMail.env").string());
  }
  EXPECT_EQ(missingFolder.readString("FTP", "FTP_USER", "d"), "d");

  if (::geteuid() == 0) GTEST_SKIP() << "root writes read-only files";
  TestProgram::writeFile(path, "[FTP]\r\nFTP_USER=a\r\n");
  std::filesystem::permissions(path, std::filesystem::perms::owner_read);
  IniFile readOnly(path);
  EXPECT_THROW(readOnly.writeString("FTP", "FTP_USER", "b"), IniFileError);
  EXPECT_EQ(content(), "[FTP]\r\nFTP_USER=a\r\n");
}

TEST_F(IniFileTest, KeysAreReadAndWrittenOnlyInsideTheirOwnSection) {
  TestProgram::writeFile(path,
                         "[FTP]\r\nFTP_USER=ftp\r\n"
                         "[Mail]\r\nSmtp=mail.example.com\r\n"
                         "[Other]\r\nLogWrt=0\r\nFTP_USER=other\r\n");
  IniFile ini(path);
  // A key of a later section is not found from an earlier one, nor the reverse.
  EXPECT_EQ(ini.readInteger("Mail", "LogWrt", 1), 1);
  EXPECT_EQ(ini.readString("FTP", "Smtp", "d"), "d");
  EXPECT_EQ(ini.readString("Other", "FTP_USER", ""), "other");
  EXPECT_EQ(ini.readString("FTP", "FTP_USER", ""), "ftp");
  // A write goes to its own section even when another section has that key.
  ini.writeInteger("Mail", "LogWrt", 1);
  ini.writeString("Other", "FTP_USER", "x");
  EXPECT_EQ(content(),
            "[FTP]\r\nFTP_USER=ftp\r\n"
            "[Mail]\r\nSmtp=mail.example.com\r\nLogWrt=1\r\n"
            "[Other]\r\nLogWrt=0\r\nFTP_USER=x\r\n");
}
