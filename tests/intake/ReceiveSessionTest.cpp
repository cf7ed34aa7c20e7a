// The one sequence before a receive: settings read and checked, then the password.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "intake/ReceiveSession.h"
#include "settings/SettingsFiles.h"
#include "tests/support/TestProgram.h"

namespace {

namespace fs = std::filesystem;

struct ScriptedReceivePolicy : ReceivePolicy {
  bool makeFolder = false;
  std::vector<std::string> asked;
  void unreadable(const std::string&) override { asked.push_back("unreadable"); }
  bool makeLocalFolder(const std::string& folder) override {
    asked.push_back("make folder");
    if (makeFolder) fs::create_directories(folder);
    return makeFolder;
  }
  void refuse(const ReceiveCheck& check) override { asked.push_back("refuse " + check.message); }
  bool obtainPassword(FtpSettings&) override {
    asked.push_back("password");
    return true;
  }
};

TEST(ReceiveSession, AMissingLocalFolderIsMadeOrRefusedAndThePasswordComesLast) {
  TestProgram program(false);
  const std::string local = (program.dir() / "received").string();
  TestProgram::writeFile(program.file("QuorMail.env"),
                         "[FTP]\r\nFTP_HOST_ADR= ftp.example.com \r\nFTP_USER=quor\r\nFTP_HOST_PATH=/data\r\n"
                         "FTP_LOCAL_PATH=" + local + "\r\n");
  const SettingsPaths paths = SettingsPaths::of(program.ctx());
  for (const bool make : {false, true}) {
    ScriptedReceivePolicy policy;
    policy.makeFolder = make;
    FtpSettings settings;
    EXPECT_EQ(ReceiveSession(paths, policy).prepare(settings), make);
    ASSERT_EQ(policy.asked.size(), 2u);
    EXPECT_EQ(policy.asked[0], "make folder");
    if (make) {
      EXPECT_EQ(policy.asked[1], "password");
      EXPECT_EQ(settings.host, "ftp.example.com");  // as the check trims it
    } else {
      EXPECT_EQ(policy.asked[1].rfind("refuse ", 0), 0u) << policy.asked[1];
    }
  }
}

}  // namespace
