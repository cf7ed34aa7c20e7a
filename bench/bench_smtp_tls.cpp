// 200 mails over STARTTLS with login to a local aiosmtpd, each on a fresh connection:
// SmtpClient against Python's smtplib (starttls + login + send_message) against the
// same server in the same run. Both verify the server's certificate.
#include <cstdio>
#include <string>

#include "bench/SmtpBench.h"
#include "tests/support/TestCertificates.h"

namespace {
constexpr int kMails = 200;
}  // namespace

int main() {
  const TestCertificates& certs = TestCertificates::get();
  SmtpTestServer server(SmtpTestServer::tlsLogin(certs.localhost.cert, certs.localhost.key, "bench", "bench-pass"));
  const bench::SampleMail mail;
  const std::string& subject = mail.subject;

  TempDir dir;
  writeFileBytes(dir.file("body.txt"), mail.body);
  // The reference times itself, so its interpreter start-up is not counted.
  const std::string script =
      "import email,email.policy,smtplib,ssl,sys,time\n"
      "body=open(sys.argv[2],'rb').read()\n"
      "ctx=ssl.create_default_context(cafile=sys.argv[4])\n"
      "t=time.perf_counter()\n"
      "for i in range(int(sys.argv[3])):\n"
      "    msg=email.message_from_bytes(b'From: office@example.com\\r\\nSubject: " + subject +
      "\\r\\nTo: reader%d@example.org\\r\\nContent-Type: text/plain\\r\\n\\r\\n' % i + body, policy=email.policy.SMTP)\n"
      "    s=smtplib.SMTP('localhost',int(sys.argv[1]))\n"
      "    s.starttls(context=ctx)\n"
      "    s.login('bench','bench-pass')\n"
      "    s.send_message(msg)\n"
      "    s.quit()\n"
      "print(time.perf_counter()-t)\n";
  writeFileBytes(dir.file("ref.py"), script);

  const auto [ours, ref] = bench::sendInAlternatingBatches(
      kMails, mail,
      [&](SmtpClient& smtp) {
        smtp.host = "localhost";
        smtp.port = server.port();
        smtp.security = SmtpSecurity::StartTls;
        smtp.user = "bench";
        smtp.password = "bench-pass";
        smtp.setAuthenticationType(AuthenticationType::login);
      },
      [&](int count) {
        return std::string(kPython) + " " + dir.file("ref.py") + " " + std::to_string(server.port()) + " " +
               dir.file("body.txt") + " " + std::to_string(count) + " " + certs.authority;
      });
  const bool all = server.waitForMessages(2 * kMails);

  std::printf("messages stored: %zu of %d%s\n", server.messages().size(), 2 * kMails, all ? "" : " (MISSING)");
  std::printf("ours    (SmtpClient, STARTTLS + login, %d mails): %8.3f s  %6.2f ms/mail\n", kMails, ours,
              1000 * ours / kMails);
  std::printf("smtplib (starttls + login + send_message):      %8.3f s  %6.2f ms/mail\n", ref, 1000 * ref / kMails);
  std::printf("time ratio ours/smtplib: %.2f (target <= 1.3)\n", ours / ref);
  return 0;
}
