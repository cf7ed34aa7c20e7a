// The receive run with FTP_TLS on, against pyftpdlib's TLS handler that wants TLS on
// the control and data connections, and the test authority handed in through
// SSL_CERT_FILE: every stage over TLS in passive and active mode, and certificates that
// cannot be verified refused.
#include <filesystem>
#include <memory>
#include <tuple>

#include "core/Sjis.h"
#include "intake/ReceiveRun.h"
#include "settings/SettingsFiles.h"
#include "tests/intake/IntakeFixture.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"

namespace fs = std::filesystem;

namespace {

const std::string kRegistrations = "\tfirst@example.com\t2024/05/01 10:11:12\r\n";

struct ReceiveRunTlsTest : IntakeTest {
  std::unique_ptr<FtpTestServer> server;
  ReceiveRun engine{program.sql(), listener, stop};
  std::string local;

  void SetUp() override {
    IntakeTest::SetUp();
    local = program.file("recv").string();
    fs::create_directories(local);
    engine.log().setPaths(program.file("FtpRcv.log"), program.file("FtpRcv_Err.log"));
    engine.changeDirWaitMs = 0;
  }

  void startServer(const TestCertificates::Pair& pair) {
    server = std::make_unique<FtpTestServer>("quor", "pass", "elradfmwMT", pair.cert, pair.key);
    fs::create_directories(server->home() + "/data");
    TestProgram::writeFile(remotePath(), kRegistrations);
  }
  std::string remotePath() const { return server->home() + "/data/registdata.cgi"; }

  IntakeReport run(bool passive, bool tls) {
    FtpSettings s;
    s.host = "localhost";  // the name the test certificates carry
    s.user = "quor";
    s.passwordMode = 1;
    s.password = "pass";
    s.hostFolder = "/data";
    s.localFolder = local;
    s.passiveMode = passive ? 1 : 0;
    s.tlsMode = tls ? 1 : 0;
    listener.boxes.clear();
    engine.port = server->port();
    return engine.run(s);
  }

  std::string runLog() const { return TestProgram::readFile(program.file("FtpRcv.log")); }
};

}  // namespace

TEST_F(ReceiveRunTlsTest, EveryStageGoesOverTlsPassiveAndActive) {
  startServer(TestCertificates::get().localhost);
  for (const bool passive : {true, false}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    TestProgram::writeFile(remotePath(), kRegistrations);
    program.exec(" DELETE FROM USERLIST");
    const IntakeReport report = run(passive, true);
    EXPECT_EQ(report.outcome, IntakeReport::Outcome::Completed) << runLog();
    EXPECT_EQ(report.registered, 1);
    EXPECT_TRUE(listener.boxes.empty());
    EXPECT_EQ(TestProgram::readFile(local + "/registdata.cgi"), kRegistrations);
    EXPECT_EQ(TestProgram::readFile(remotePath()), "");  // the upload went over TLS too
    EXPECT_EQ(readerCount(), 1u);
  }
  // The server wants TLS: without the switch the login is refused and nothing changes.
  TestProgram::writeFile(remotePath(), kRegistrations);
  program.exec(" DELETE FROM USERLIST");
  const IntakeReport plain = run(true, false);
  EXPECT_EQ(plain.outcome, IntakeReport::Outcome::Interrupted);
  EXPECT_EQ(plain.failedStage, sj("FTP接続失敗"));
  EXPECT_EQ(TestProgram::readFile(remotePath()), kRegistrations);
  EXPECT_EQ(readerCount(), 0u);
}

TEST_F(ReceiveRunTlsTest, ACertificateThatCannotBeVerifiedStopsTheConnectionWithItsReason) {
  const TestCertificates& certs = TestCertificates::get();
  for (const auto& [pair, reason, sentence] :
       {std::make_tuple(certs.wrongHost, "hostname mismatch", "FTPサーバの証明書は別のサーバ名のものです。"),
        std::make_tuple(certs.expired, "certificate has expired", "FTPサーバの証明書が有効期限の外です。")}) {
    SCOPED_TRACE(reason);
    startServer(pair);
    const IntakeReport report = run(true, true);
    EXPECT_EQ(report.outcome, IntakeReport::Outcome::Interrupted);
    // The box says why, not only that the connection failed.
    ASSERT_EQ(listener.boxes.size(), 1u);
    const std::string box = listener.boxes[0].second;
    EXPECT_EQ(box.find(sj(sentence)), 0u) << Sjis::toUtf8(box);
    EXPECT_NE(box.find(sj("\n証明書を検証できません: ") + reason), std::string::npos) << Sjis::toUtf8(box);
    EXPECT_NE(runLog().find(sj("証明書を検証できません: ") + reason), std::string::npos) << runLog();
    EXPECT_EQ(TestProgram::readFile(remotePath()), kRegistrations);
    EXPECT_EQ(readerCount(), 0u);
  }
}
