// Receive, then send, with the program's real windows: a registration placed on the FTP
// server reaches the SMTP server as the first story mail, and the next chained run
// sends the second.
#include <gtest/gtest.h>

#include <QLabel>
#include <QTimer>
#include <filesystem>

#include "app/Windows.h"
#include "core/MainMenu.h"
#include "core/StoryStore.h"
#include "intake/ReceiveWindow.h"
#include "sending/SendWindow.h"
#include "settings/SettingsFiles.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/Servers.h"
#include "tests/support/TestProgram.h"

namespace {

struct Chain : ::testing::Test {
  TestProgram program;
  ScriptedDialogs boxes;
  FtpTestServer ftp{"quor", "pass"};
  SmtpTestServer smtp;
  std::vector<std::unique_ptr<QDialog>> windows;
  std::unique_ptr<MainMenu> menu;
  SendWindow* send = nullptr;
  QTimer closer;

  void SetUp() override {
    const std::string local = program.file("recv").string();
    std::filesystem::create_directories(ftp.home() + "/cgi-bin");
    std::filesystem::create_directories(local);
    TestProgram::writeFile(program.file("QuorMail.env"),
                           "[FTP]\r\nFTP_HOST_ADR=127.0.0.1\r\nFTP_USER=quor\r\nFTP_PAS=1\r\nFTP_HOST_PATH=/cgi-bin\r\n"
                           "FTP_LOCAL_PATH=" + local + "\r\nFTP_PASV=1\r\n"
                           "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=owner@example.com\r\nMail1_Wait_Second=0\r\n"
                           "PasSave=2\r\nPOP_before_SMTP=0\r\nLogWrt=1\r\nMax_Moji=80\r\nNothing_UserName=" +
                               sj("読者") + "\r\nSMTPPORT=" + std::to_string(smtp.port()) + "\r\n");
    writePasswordFile(SettingsPaths::of(program.ctx()).ftpPassword, "pass");
    StoryStore(program.sql()).save(Story{1, sj("第1話"), "##readername##" + sj("様\r\nようこそ。")});
    StoryStore(program.sql()).save(Story{2, sj("第2話"), sj("二通目です。")});

    windows = createWindows(program.ctx());
    auto* receive = dynamic_cast<ReceiveWindow*>(program.ctx().window(WindowId::Receive));
    ASSERT_NE(receive, nullptr);
    receive->ftpPort = ftp.port();
    receive->changeDirWaitMs = 0;
    send = dynamic_cast<SendWindow*>(program.ctx().window(WindowId::Send));
    ASSERT_NE(send, nullptr);
    menu = std::make_unique<MainMenu>(program.ctx());
    connectMenu(*menu, program.ctx());
    menu->show();
    // The send window stays open after a run that sent something; the operator closes it.
    closer.setInterval(20);
    QObject::connect(&closer, &QTimer::timeout, [this] {
      if (send->isVisible() && !send->running() &&
          (send->successLabel()->isVisible() || send->errorLabel()->isVisible()))
        send->close();
    });
    closer.start();
  }

  void registration(const std::string& line) {
    const std::string path = ftp.home() + "/cgi-bin/registdata.cgi";
    std::string bytes = std::filesystem::exists(path) ? TestProgram::readFile(path) : std::string();
    TestProgram::writeFile(path, bytes + line);
  }

  // Subject and recipient of each decoded mail that arrived, in order.
  std::vector<std::string> mails() {
    std::vector<std::string> out;
    for (const auto& m : smtp.messages()) {
      const std::string text = runCommand(std::string(kPython) + " " QUORMAIL_SOURCE_DIR
                                          "/tests/support/decode_mail.py " + m.emlPath);
      const auto field = [&](const std::string& name) {
        const size_t at = text.find(name);
        return at == std::string::npos ? std::string("?") : text.substr(at, text.find('\n', at) - at);
      };
      out.push_back(field("Subject: ") + " " + field("To: "));
    }
    return out;
  }
};

}  // namespace

TEST_F(Chain, RegistrationOnTheServerReceivesItsStoryMailsRunAfterRun) {
  registration(sj("山田\tyamada@example.com\t2024/05/01 10:11:12\r\n"));
  menu->openReceiveThenSend();
  ASSERT_TRUE(smtp.waitForMessages(1));
  EXPECT_EQ(mails(), (std::vector<std::string>{"Subject: 第1話 To: yamada@example.com"}));
  EXPECT_EQ(TestProgram::readFile(ftp.home() + "/cgi-bin/registdata.cgi"), "");
  EXPECT_TRUE(menu->isVisible());
  // The window asks once before sending, with what the receive brought.
  EXPECT_EQ(boxes.texts(), std::vector<QString>{QString::fromUtf8("受信を終えました。新規登録 1名、送信対象 1名です。\n\n"
                                                                  "1名の読者にメールを送信します。よろしいですか？\nストーリー番号: 1")});
  boxes.clear();

  // A second reader registers; the next chained run sends the first reader the second
  // mail and the new reader the first.
  registration("\tsecond@example.com\t2024/05/02 08:09:10\r\n");
  menu->openReceiveThenSend();
  ASSERT_TRUE(smtp.waitForMessages(3));
  EXPECT_EQ(mails(), (std::vector<std::string>{"Subject: 第1話 To: yamada@example.com",
                                               "Subject: 第2話 To: yamada@example.com",
                                               "Subject: 第1話 To: second@example.com"}));
  const auto next = program.rows(" SELECT USERLIST.* FROM USERLIST ORDER BY ID", {"ID", "NEXTSTORY"});
  EXPECT_EQ(next, (std::vector<std::vector<std::string>>{{"00001", "00003"}, {"00002", "00002"}}));
  EXPECT_EQ(boxes.texts(), std::vector<QString>{QString::fromUtf8("受信を終えました。新規登録 1名、送信対象 2名です。\n\n"
                                                                  "2名の読者にメールを送信します。よろしいですか？\nストーリー番号: 1, 2")});
}
