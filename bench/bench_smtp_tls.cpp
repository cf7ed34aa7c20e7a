// 200 mails over STARTTLS with login to a local aiosmtpd, each on a fresh connection:
// SmtpClient against Python's smtplib (starttls + login + send_message) against the
// same server in the same run. Both verify the server's certificate.
#include <chrono>
#include <cstdio>
#include <string>

#include "core/Sjis.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "sending/JapaneseText.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"

namespace {

constexpr int kMails = 200;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
  const TestCertificates& certs = TestCertificates::get();
  SmtpTestServer::Options options;
  options.certFile = certs.localhost.cert;
  options.keyFile = certs.localhost.key;
  options.authUser = "bench";
  options.authPassword = "bench-pass";
  SmtpTestServer server(options);
  const std::string body = convertJapaneseText(
      Sjis::fromUtf8("山田太郎様\r\n\r\nステップメール第１回です。\r\nよろしくお願いします。\r\n"), 2);
  const std::string subject = cutAtInvalidChar(encodeHeaderText(Sjis::fromUtf8("第１回 お知らせ")));

  TempDir dir;
  writeFileBytes(dir.file("body.txt"), body);
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

  // Alternating batches, so that load from elsewhere on the machine falls on both.
  constexpr int kBatches = 5;
  constexpr int kPerBatch = kMails / kBatches;
  double ours = 0;
  double ref = 0;
  for (int batch = 0; batch < kBatches; ++batch) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < kPerBatch; ++i) {
      MailMessage m;
      m.from.setText("office@example.com");
      m.recipients.setText("reader" + std::to_string(i) + "@example.org");
      m.subject = subject;
      m.setBodyText(body);
      m.contentType = "text/plain";
      SmtpClient smtp;
      smtp.host = "localhost";
      smtp.port = server.port();
      smtp.security = SmtpSecurity::StartTls;
      smtp.user = "bench";
      smtp.password = "bench-pass";
      smtp.setAuthenticationType(AuthenticationType::login);
      smtp.connect(-1);
      smtp.send(m);
      smtp.disconnect();
    }
    ours += seconds(t0);
    const std::string out = runCommand(std::string(kPython) + " " + dir.file("ref.py") + " " +
                                       std::to_string(server.port()) + " " + dir.file("body.txt") + " " +
                                       std::to_string(kPerBatch) + " " + certs.authority);
    ref += std::stod(out);
  }
  const bool all = server.waitForMessages(2 * kMails);

  std::printf("messages stored: %zu of %d%s\n", server.messages().size(), 2 * kMails, all ? "" : " (MISSING)");
  std::printf("ours    (SmtpClient, STARTTLS + login, %d mails): %8.3f s  %6.2f ms/mail\n", kMails, ours,
              1000 * ours / kMails);
  std::printf("smtplib (starttls + login + send_message):      %8.3f s  %6.2f ms/mail\n", ref, 1000 * ref / kMails);
  std::printf("time ratio ours/smtplib: %.2f (target <= 1.3)\n", ours / ref);
  return 0;
}
