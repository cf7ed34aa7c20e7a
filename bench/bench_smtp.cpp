// 500 mails, each on a fresh connection, to a local aiosmtpd: SmtpClient against Python's
// smtplib doing the same against the same server in the same run.
#include <cstdio>
#include <string>

#include "bench/SmtpBench.h"

namespace {
constexpr int kMails = 500;
}  // namespace

int main() {
  SmtpTestServer server;
  const bench::SampleMail mail;
  const std::string& subject = mail.subject;

  TempDir dir;
  writeFileBytes(dir.file("body.txt"), mail.body);
  // The reference times itself, so its interpreter start-up is not counted.
  const std::string script =
      "import smtplib,sys,time\n"
      "body=open(sys.argv[2],'rb').read()\n"
      "t=time.perf_counter()\n"
      "for i in range(int(sys.argv[3])):\n"
      "    s=smtplib.SMTP('127.0.0.1',int(sys.argv[1]))\n"
      "    msg=b'From: office@example.com\\r\\nSubject: " + subject + "\\r\\nTo: reader%d@example.org\\r\\n"
      "Content-Type: text/plain\\r\\n\\r\\n' % i + body\n"
      "    s.sendmail('office@example.com',['reader%d@example.org' % i],msg)\n"
      "    s.quit()\n"
      "print(time.perf_counter()-t)\n";
  writeFileBytes(dir.file("ref.py"), script);

  const auto [ours, ref] = bench::sendInAlternatingBatches(
      kMails, mail,
      [&](SmtpClient& smtp) {
        smtp.host = "127.0.0.1";
        smtp.port = server.port();
      },
      [&](int count) {
        return std::string(kPython) + " " + dir.file("ref.py") + " " + std::to_string(server.port()) + " " +
               dir.file("body.txt") + " " + std::to_string(count);
      });
  const bool all = server.waitForMessages(2 * kMails);

  std::printf("messages stored: %zu of %d%s\n", server.messages().size(), 2 * kMails, all ? "" : " (MISSING)");
  std::printf("ours    (SmtpClient, %d mails, fresh connection each): %8.3f s\n", kMails, ours);
  std::printf("smtplib (Python, same server, same mails):          %8.3f s\n", ref);
  std::printf("time ratio ours/smtplib: %.2f\n", ours / ref);
  return 0;
}
