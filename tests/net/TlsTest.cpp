#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "net/FtpClient.h"
#include "net/MailMessage.h"
#include "net/NetErrors.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"
#include "text/JapaneseText.h"

namespace {

// "証明書を検証できません: " in CP932.
const std::string kCannotVerify =
    "\x8f\xd8\x96\xbe\x8f\x91\x82\xf0\x8c\x9f\x8f\xd8\x82\xc5\x82\xab\x82\xdc\x82\xb9\x82\xf1: ";

const TestCertificates& certs() { return TestCertificates::get(); }

SmtpTestServer::Options tlsServer(const TestCertificates::Pair& pair, bool implicit, bool login = true) {
  SmtpTestServer::Options o;
  o.certFile = pair.cert;
  o.keyFile = pair.key;
  o.implicitTls = implicit;
  if (login) {
    o.authUser = "quor";
    o.authPassword = "s3cret pass";
  }
  return o;
}

void point(SmtpClient& smtp, int port, SmtpSecurity security) {
  smtp.host = "localhost";
  smtp.port = port;
  smtp.security = security;
  smtp.user = "quor";
  smtp.password = "s3cret pass";
  smtp.setAuthenticationType(AuthenticationType::login);
  smtp.replyTimeoutMs = 10000;
}

MailMessage simpleMail() {
  MailMessage m;
  m.from.setText("office@example.com");
  m.recipients.setText("reader@example.org");
  m.subject = "tls";
  m.setBodyText("body");
  return m;
}

// Every status text the client reports, to prove the password is in none of them.
std::string statusTexts(SmtpClient& smtp, std::vector<std::string>& texts) {
  smtp.onStatus = [&texts](TcpConnection&, ConnectionStatus, const std::string& t) { texts.push_back(t); };
  return {};
}

template <typename E>
std::string failureText(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& e) {
    return e.what();
  } catch (const std::exception& e) {
    return std::string("other exception: ") + e.what();
  }
  return "no exception";
}

}  // namespace

class SmtpTls : public ::testing::TestWithParam<SmtpSecurity> {};

TEST_P(SmtpTls, LoginAndMailGoOverTls) {
  const bool implicit = GetParam() == SmtpSecurity::ImplicitTls;
  for (const bool plainOffered : {true, false}) {
    SmtpTestServer::Options options = tlsServer(certs().localhost, implicit);
    options.offerPlain = plainOffered;
    SmtpTestServer server(options);
    SmtpClient smtp;
    point(smtp, server.port(), GetParam());
    std::vector<std::string> texts;
    statusTexts(smtp, texts);
    smtp.connect(-1);
    EXPECT_TRUE(smtp.isTls());
    EXPECT_TRUE(smtp.didAuthenticate());
    // Over STARTTLS the schemes come from the EHLO sent after the handshake.
    EXPECT_NE(std::find(smtp.authSchemes.begin(), smtp.authSchemes.end(), "LOGIN"), smtp.authSchemes.end());
    MailMessage m = simpleMail();
    smtp.send(m);
    smtp.disconnect();
    ASSERT_TRUE(server.waitForMessages(1)) << server.log();
    const std::string envelope = server.messages()[0].envelope;
    EXPECT_NE(envelope.find("\"tls\": true"), std::string::npos) << envelope;
    EXPECT_NE(envelope.find("\"login\": \"quor\""), std::string::npos) << envelope;
    for (const std::string& t : texts) {
      EXPECT_EQ(t.find("s3cret"), std::string::npos) << t;
      EXPECT_EQ(t.find(JapaneseText::base64("s3cret pass")), std::string::npos) << t;
    }
  }
}

TEST_P(SmtpTls, RefusedLoginCarriesTheServersReply) {
  SmtpTestServer server(tlsServer(certs().localhost, GetParam() == SmtpSecurity::ImplicitTls));
  SmtpClient smtp;
  point(smtp, server.port(), GetParam());
  smtp.password = "wrong";
  try {
    smtp.connect(-1);
    FAIL() << "login accepted";
  } catch (const ProtocolReplyError& e) {
    EXPECT_EQ(e.replyCode(), 535);
    EXPECT_EQ(e.command(), "AUTH");
    EXPECT_EQ(e.enhancedCode(), "5.7.8");
    EXPECT_STREQ(e.what(), "535 5.7.8 Authentication credentials invalid\r\n");
  }
  EXPECT_FALSE(smtp.connected());
}

TEST_P(SmtpTls, CertificatesThatDoNotVerifyAreRefused) {
  const bool implicit = GetParam() == SmtpSecurity::ImplicitTls;
  struct Case {
    TestCertificates::Pair pair;
    const char* host;
    const char* reason;
  };
  for (const Case& c : {Case{certs().wrongHost, "localhost", "hostname mismatch"},
                        Case{certs().wrongHost, "127.0.0.1", "IP address mismatch"},
                        Case{certs().expired, "localhost", "certificate has expired"}}) {
    SmtpTestServer server(tlsServer(c.pair, implicit, false));
    SmtpClient smtp;
    point(smtp, server.port(), GetParam());
    smtp.host = c.host;
    smtp.setAuthenticationType(AuthenticationType::none);
    MailMessage m = simpleMail();
    EXPECT_EQ(failureText<CertificateError>([&] {
                smtp.connect(-1);
                smtp.send(m);
              }),
              kCannotVerify + c.reason)
        << c.host;
    EXPECT_FALSE(smtp.connected());
    EXPECT_TRUE(server.messages().empty());
  }
}

INSTANTIATE_TEST_SUITE_P(StartTlsAndImplicit, SmtpTls,
                         ::testing::Values(SmtpSecurity::StartTls, SmtpSecurity::ImplicitTls),
                         [](const auto& info) { return info.param == SmtpSecurity::StartTls ? "StartTls" : "Implicit"; });

// POP before SMTP over STLS and over TLS from the first byte against dovecot: the login
// succeeds with a certificate for the host; STLS on a server without TLS, or a
// certificate for another name, ends it before any password goes out.
TEST(Pop3Tls, LogsInOverStlsOrTlsAndRefusesWhatCannotBeVerified) {
  const struct {
    Pop3Security security;
    const TestCertificates::Pair* cert;  // nullptr: a server without TLS
    const char* failure;                 // a part of the error, or nullptr for a login
  } cases[] = {
      {Pop3Security::Stls, &certs().localhost, nullptr},
      {Pop3Security::ImplicitTls, &certs().localhost, nullptr},
      {Pop3Security::Stls, nullptr, "The server does not offer STLS."},
      {Pop3Security::ImplicitTls, &certs().wrongHost, "hostname mismatch"},
  };
  for (const auto& c : cases) {
    const bool implicit = c.security == Pop3Security::ImplicitTls;
    Pop3TestServer server("popuser", "secret", c.cert ? c.cert->cert : "", c.cert ? c.cert->key : "", implicit);
    Pop3Client pop;
    pop.host = "localhost";
    pop.port = server.port();
    pop.user = "popuser";
    pop.password = "secret";
    pop.security = c.security;
    try {
      pop.connect(10000);
      EXPECT_EQ(c.failure, nullptr) << static_cast<int>(c.security);
      pop.disconnect();
    } catch (const std::exception& e) {
      ASSERT_NE(c.failure, nullptr) << e.what();
      EXPECT_NE(std::string(e.what()).find(c.failure), std::string::npos) << e.what();
      EXPECT_FALSE(pop.connected());
    }
  }
}

TEST(SmtpTlsRefusals, NoPlainTextWhereTlsIsRequired) {
  certs();
  {  // A server without STARTTLS: the client stops before any login or mail.
    SmtpTestServer server;
    SmtpClient smtp;
    point(smtp, server.port(), SmtpSecurity::StartTls);
    EXPECT_EQ(failureText<MissingServerFeatureError>([&] { smtp.connect(-1); }), "The server does not offer STARTTLS.");
    EXPECT_FALSE(smtp.connected());
  }
  {  // Login without TLS on a server that allows it only after STARTTLS: refused
     // before any password goes out, and the client says STARTTLS is there; allowed, the
     // server offers no login in clear.
    SmtpTestServer server(tlsServer(certs().localhost, false));
    SmtpClient smtp;
    point(smtp, server.port(), SmtpSecurity::None);
    EXPECT_EQ(failureText<MissingServerFeatureError>([&] { smtp.connect(-1); }),
              "The password is not sent without encryption; the server offers STARTTLS.");
    smtp.loginWithoutTls = true;
    EXPECT_EQ(failureText<MissingServerFeatureError>([&] { smtp.connect(-1); }),
              "The server does not offer SMTP AUTH PLAIN or LOGIN.");
  }
  // Bytes sent with the 220 to STARTTLS would be read as if protected: refused.
  ScriptedServer scripted([](ScriptedServer::Peer& p) {
    p.send("220 scripted\r\n");
    p.readLine();
    p.send("250-scripted\r\n250 STARTTLS\r\n");
    p.readLine();
    p.send("220 go ahead\r\n250 injected\r\n");
    p.readAll();
  });
  SmtpClient smtp;
  point(smtp, scripted.port(), SmtpSecurity::StartTls);
  EXPECT_EQ(failureText<TlsError>([&] { smtp.connect(-1); }), "Unexpected data before the TLS handshake.");
  scripted.join();
  EXPECT_EQ(scripted.received().back(), "STARTTLS");
}

namespace {

// A TLS server that completes the handshake and then sends one byte every 100 ms,
// never a whole line; for the limits over TLS.
class TricklingTlsServer : public ServerProcess {
 public:
  explicit TricklingTlsServer(const TestCertificates::Pair& pair) {
    writeFileBytes(m_dir.file("trickle.py"),
                   "import socket, ssl, sys, time, threading\n"
                   "ctx = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)\n"
                   "ctx.load_cert_chain(sys.argv[2], sys.argv[3])\n"
                   "s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)\n"
                   "s.bind(('127.0.0.1', int(sys.argv[1]))); s.listen(8)\n"
                   "def serve(c):\n"
                   "    try:\n"
                   "        t = ctx.wrap_socket(c, server_side=True)\n"
                   "        t.send(b'220-')\n"
                   "        for i in range(100):\n"
                   "            time.sleep(0.1); t.send(b'x')\n"
                   "    except Exception:\n"
                   "        pass\n"
                   "while True:\n"
                   "    c, _ = s.accept()\n"
                   "    threading.Thread(target=serve, args=(c,), daemon=True).start()\n");
    start({kPython, m_dir.file("trickle.py"), std::to_string(m_port), pair.cert, pair.key});
  }
};

}  // namespace

TEST(SmtpTlsRefusals, DeadlinesAndStopWorkOverTls) {
  TricklingTlsServer server(certs().localhost);
  SmtpClient smtp;
  point(smtp, server.port(), SmtpSecurity::ImplicitTls);
  smtp.replyTimeoutMs = 600;
  EXPECT_EQ(failureText<ReplyDeadlineError>([&] { smtp.connect(-1); }), "Read timed out.");

  std::atomic<bool> stop{false};
  smtp.replyTimeoutMs = 0;
  smtp.setStopFlag(&stop);
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    stop.store(true);
  });
  EXPECT_EQ(failureText<StoppedError>([&] { smtp.connect(-1); }), "Stopped.");
  stopper.join();
}

namespace {

void point(FtpClient& ftp, int port) {
  ftp.host = "localhost";
  ftp.port = port;
  ftp.user = "quor";
  ftp.password = "pass";
  ftp.useTls = true;
}

}  // namespace

class FtpTls : public ::testing::TestWithParam<bool> {};

TEST_P(FtpTls, ReceiveRunOverEncryptedControlAndData) {
  FtpTestServer server("quor", "pass", "elradfmwMT", certs().localhost.cert, certs().localhost.key);
  std::filesystem::create_directories(server.home() + "/cgi-bin");
  std::string data;
  for (int i = 0; i < 50000; ++i) data += "name" + std::to_string(i) + ",mail" + std::to_string(i) + "@example.org\r\n";
  writeFileBytes(server.home() + "/cgi-bin/registdata.cgi", data);
  TempDir local;
  writeFileBytes(local.file("empty.cgi"), "");

  FtpClient ftp;
  point(ftp, server.port());
  ftp.passive = GetParam();
  ftp.connect(true, 10000);
  EXPECT_TRUE(ftp.isTls());
  ftp.changeDir("cgi-bin");
  std::vector<std::string> listing;
  ftp.list(listing, "*.*", true);
  ASSERT_EQ(listing.size(), 1u);
  EXPECT_NE(listing[0].find("registdata.cgi"), std::string::npos);
  EXPECT_EQ(ftp.size("registdata.cgi"), static_cast<std::int64_t>(data.size()));
  ftp.get("registdata.cgi", local.file("registdata.cgi"), true, false);
  EXPECT_EQ(readFileBytes(local.file("registdata.cgi")), data);
  ftp.put(local.file("registdata.cgi"), "backup.cgi", false);
  ftp.put(local.file("empty.cgi"), "registdata.cgi", false);
  ftp.disconnect();
  EXPECT_EQ(readFileBytes(server.home() + "/cgi-bin/backup.cgi"), data);
  EXPECT_EQ(std::filesystem::file_size(server.home() + "/cgi-bin/registdata.cgi"), 0u);

  // The server really demands TLS: a plain client is refused at the login.
  ftp.useTls = false;
  EXPECT_THROW(ftp.connect(true, 10000), ProtocolReplyError);
}

INSTANTIATE_TEST_SUITE_P(PassiveAndActive, FtpTls, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Passive" : "Active"; });

TEST(FtpTlsRefusals, CertificatesThatDoNotVerifyAreRefused) {
  for (const auto& [pair, reason] : {std::make_pair(certs().wrongHost, "hostname mismatch"),
                                     std::make_pair(certs().expired, "certificate has expired")}) {
    FtpTestServer server("quor", "pass", "elradfmwMT", pair.cert, pair.key);
    FtpClient ftp;
    point(ftp, server.port());
    EXPECT_EQ(failureText<CertificateError>([&] { ftp.connect(true, 10000); }), kCannotVerify + reason);
    EXPECT_FALSE(ftp.connected());
  }
}
