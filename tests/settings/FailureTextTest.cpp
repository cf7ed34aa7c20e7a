#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>

#include "core/Database.h"
#include "core/Sjis.h"
#include "net/FtpClient.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "settings/FailureText.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"

namespace {

const TestCertificates& certs() { return TestCertificates::get(); }

// Connects an SMTP client as the send run would, with login over STARTTLS.
void smtpConnect(const std::string& host, int port, SmtpSecurity security, const std::string& password = "pw") {
  SmtpClient smtp;
  smtp.host = host;
  smtp.port = port;
  smtp.security = security;
  smtp.user = "quor";
  smtp.password = password;
  smtp.setAuthenticationType(AuthenticationType::login);
  smtp.replyTimeoutMs = 500;
  smtp.connect(5000);
}

FtpClient& ftpTo(FtpClient& ftp, const FtpTestServer& server, const std::string& password) {
  ftp.host = server.host();
  ftp.port = server.port();
  ftp.user = "quor";
  ftp.password = password;
  ftp.connect(true, 5000);
  return ftp;
}

}  // namespace

// Each failure the operator can meet, produced by a real server where one can show it:
// the first line says what happened and names the page and field, the second line is
// the failure's own text.
TEST(FailureText, EachFailureKindNamesWhatToCheck) {
  certs();
  const std::string keptStore = std::getenv("SSL_CERT_FILE");
  const SmtpTestServer login(SmtpTestServer::tlsLogin(certs().localhost.cert, certs().localhost.key, "quor", "pw"));
  const SmtpTestServer plain;
  const SmtpTestServer wrongHost(SmtpTestServer::tlsLogin(certs().wrongHost.cert, certs().wrongHost.key, "quor", "pw"));
  const SmtpTestServer expired(SmtpTestServer::tlsLogin(certs().expired.cert, certs().expired.key, "quor", "pw"));
  const Pop3TestServer mailbox("bounce", "pw");
  const FtpTestServer ftpServer("quor", "pw");
  ScriptedServer silent([](ScriptedServer::Peer& p) { p.waitForClose(10000); });
  const std::string emptyStore = ftpServer.folder() + "/empty.pem";
  std::ofstream(emptyStore).close();

  struct Case {
    const char* what;
    FailedLink link;
    std::function<void()> act;
    FailureKind kind;
    const char* firstLine;  // in full, or its beginning
    const char* reasonHas;
  };
  const std::vector<Case> cases = {
      {"wrong password", FailedLink::smtp, [&] { smtpConnect("localhost", login.port(), SmtpSecurity::StartTls, "no"); },
       FailureKind::loginRefused,
       "SMTPサーバにログインできませんでした。「FTP、Mail 設定」のメールのページで、ユーザ名とパスワードを確かめて下さい。",
       "535"},
      {"connect refused", FailedLink::smtp, [&] { smtpConnect("127.0.0.1", freeLocalPort(), SmtpSecurity::None); },
       FailureKind::connectRefused,
       "SMTPサーバに接続できませんでした（接続を拒否されました）。「FTP、Mail 設定」のメールのページで、"
       "SMTPｻｰﾊﾞ名とﾎﾟｰﾄ番号を確かめて下さい。",
       "Connection refused."},
      {"host not found", FailedLink::smtp, [&] { smtpConnect("nonexistent.invalid", 25, SmtpSecurity::None); },
       FailureKind::hostNotFound, "SMTPサーバが見つかりませんでした。「FTP、Mail 設定」のメールのページで、SMTPｻｰﾊﾞ名を",
       "Host not found."},
      {"no greeting", FailedLink::smtp, [&] { smtpConnect("127.0.0.1", silent.port(), SmtpSecurity::None); },
       FailureKind::replyTimeout, "SMTPサーバから時間内に応答がありませんでした。", "Read"},
      {"no STARTTLS", FailedLink::smtp, [&] { smtpConnect("localhost", plain.port(), SmtpSecurity::StartTls); },
       FailureKind::secureConnectionMissing, "SMTPサーバは暗号化（STARTTLS）に対応していません。", "STARTTLS"},
      {"untrusted", FailedLink::smtp,
       [&] {
         ::setenv("SSL_CERT_FILE", emptyStore.c_str(), 1);
         smtpConnect("localhost", login.port(), SmtpSecurity::StartTls);
       },
       FailureKind::certificateUntrusted, "SMTPサーバの証明書を信頼できませんでした", "issuer"},
      {"expired", FailedLink::smtp, [&] { smtpConnect("localhost", expired.port(), SmtpSecurity::StartTls); },
       FailureKind::certificateExpired, "SMTPサーバの証明書が有効期限の外です。", "expired"},
      {"other host", FailedLink::smtp, [&] { smtpConnect("localhost", wrongHost.port(), SmtpSecurity::StartTls); },
       FailureKind::certificateOtherHost,
       "SMTPサーバの証明書は別のサーバ名のものです。「FTP、Mail 設定」のメールのページで、SMTPｻｰﾊﾞ名を", "mismatch"},
      {"bounce mailbox login", FailedLink::bouncePop,
       [&] {
         Pop3Client pop;
         pop.host = mailbox.host();
         pop.port = mailbox.port();
         pop.user = "bounce";
         pop.password = "no";
         pop.connect(5000);
       },
       FailureKind::loginRefused,
       "エラーメールのPOP3サーバにログインできませんでした。「FTP、Mail 設定」のエラーメールのページで、"
       "POP3ﾕｰｻﾞ名とPOP3ﾊﾟｽﾜｰﾄﾞを確かめて下さい。",
       "-ERR"},
      {"FTP login", FailedLink::ftp, [&] { FtpClient ftp; ftpTo(ftp, ftpServer, "no"); }, FailureKind::loginRefused,
       "FTPサーバにログインできませんでした。「FTP、Mail 設定」のFTPのページで、ユーザ名とパスワードを確かめて下さい。",
       "530"},
      {"FTP folder missing", FailedLink::ftp, [&] { FtpClient ftp; ftpTo(ftp, ftpServer, "pw").changeDir("/nowhere"); },
       FailureKind::folderMissing, "FTPサーバに、ホストのフォルダ、又は、その中の読者情報ファイルがありませんでした。", "550"},
      {"disk full", FailedLink::ftp,
       [&] {
         std::ofstream(ftpServer.home() + "/registdata.cgi") << "a@example.com\n";
         FtpClient ftp;
         ftpTo(ftp, ftpServer, "pw").get("registdata.cgi", "/dev/full", true, false);
       },
       FailureKind::diskFull, "ディスクが一杯で、ファイルを書き込めませんでした。「FTP、Mail 設定」のFTPのページで、ローカルフォルダ",
       "/dev/full"},
      {"database locked", FailedLink::database, [] { throw DbLockConflict("lock conflict on no wait transaction"); },
       FailureKind::databaseLocked, "データベースの同じデータを他の処理が使っています。", "lock conflict"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    try {
      c.act();
      ADD_FAILURE() << "no failure";
    } catch (const std::exception& e) {
      ::setenv("SSL_CERT_FILE", keptStore.c_str(), 1);
      EXPECT_EQ(failureKind(e, c.link), c.kind) << e.what();
      const std::string text = Sjis::toUtf8(failureText(e, c.link));
      const std::size_t newline = text.find('\n');
      ASSERT_NE(newline, std::string::npos) << text;
      EXPECT_EQ(text.rfind(c.firstLine, 0), 0u) << text;
      EXPECT_NE(text.find(c.reasonHas, newline), std::string::npos) << text;
      EXPECT_EQ(text.find_first_of("\r\n", newline + 1), std::string::npos) << text;  // the reason on one line
    }
  }
}

// A failure of no known kind keeps the caller's own first line.
TEST(FailureText, UnknownFailuresKeepTheirOwnFirstLine) {
  const std::runtime_error odd("Server reply too long.\r\n");
  EXPECT_EQ(failureText(odd, FailedLink::smtp, "X"), "X\nServer reply too long.");
  EXPECT_EQ(failureText(odd, FailedLink::smtp), "Server reply too long.");
}
