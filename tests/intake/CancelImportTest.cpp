// Unsubscribe requests fetched from the web site stop mail to the readers they name.
#include <gtest/gtest.h>

#include "core/ReaderStore.h"
#include "intake/CancelImport.h"
#include "intake/RunLog.h"
#include "tests/intake/IntakeFixture.h"

namespace {

struct CancelImportTest : IntakeTest {
  RunLog log{program.file("FtpRcv.log"), program.file("FtpRcv_Err.log")};
  CancelImport import{program.sql(), log};

  void reader(const std::string& id, const std::string& address, const std::string& status = "01") {
    Reader r;
    r.id = std::stoi(id);
    r.address = address;
    r.status = static_cast<SendStatus>(std::stoi(status));
    r.nextStory = 2;
    ReaderStore(program.sql()).insert(r);
  }
};

TEST_F(CancelImportTest, NumbersAndAddressesStopTheirReadersAndUnknownNamesAreOnlyLogged) {
  reader("00001", "taro@example.com");
  reader("00002", "Hanako@Example.com");
  reader("00003", "jiro@example.com");
  reader("00004", "stopped@example.com", "00");
  const std::string file = program.file("canceldata.cgi").string();
  TestProgram::writeFile(file,
                         "00001\t2024/05/07 10:00:00\n"
                         "hanako@example.COM\t2024/05/07 10:01:00\r\n"
                         "99999\t2024/05/07 10:02:00\n"
                         "nobody@example.com\t2024/05/07 10:03:00\n"
                         "4\t2024/05/07 10:04:00\n"
                         "' OR '1'='1\t2024/05/07 10:05:00\n"
                         "\n");
  EXPECT_EQ(import.importFile(file), 2);
  EXPECT_EQ(statusOf("00001"), "00");
  EXPECT_EQ(statusOf("00002"), "00");
  EXPECT_EQ(statusOf("00003"), "01") << "a reader nobody named was stopped";
  EXPECT_EQ(statusOf("00004"), "00");
  EXPECT_EQ(import.stoppedReaders(), (std::vector<std::string>{"00001 taro@example.com", "00002 Hanako@Example.com"}));
  const std::string logged = TestProgram::readFile(program.file("FtpRcv.log"));
  EXPECT_NE(logged.find(sj("配信停止: 送信区分を不可にしました -> 00001 00001")), std::string::npos) << logged;
  EXPECT_NE(logged.find(sj("配信停止: 送信区分を不可にしました -> 00002 hanako@example.COM")), std::string::npos);
  EXPECT_NE(logged.find(sj("配信停止: 該当する読者がいません -> 99999")), std::string::npos);
  EXPECT_NE(logged.find(sj("配信停止: 該当する読者がいません -> nobody@example.com")), std::string::npos);
  EXPECT_NE(logged.find(sj("配信停止: 既に送信不可です -> 00004 4")), std::string::npos);
}

TEST_F(CancelImportTest, AFileWithCarriageReturnsOnlyIsReadLineByLine) {
  reader("00001", "a@example.com");
  reader("00002", "b@example.com");
  const std::string file = program.file("canceldata.cgi").string();
  TestProgram::writeFile(file, "00001\tx\r00002\tx\r");
  EXPECT_EQ(import.importFile(file), 2);
}

}  // namespace
