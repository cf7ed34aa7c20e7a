// 500 mails, each on a fresh connection, to a local aiosmtpd: SmtpClient against Python's
// smtplib doing the same against the same server in the same run.
#include <chrono>
#include <cstdio>
#include <string>

#include "core/Sjis.h"
#include "net/MailMessage.h"
#include "net/SmtpClient.h"
#include "sending/JapaneseText.h"
#include "tests/support/Servers.h"

namespace {

constexpr int kMails = 500;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

}  // namespace

int main() {
  SmtpTestServer server;
  const std::string body = convertJapaneseText(
      Sjis::fromUtf8("山田太郎様\r\n\r\nステップメール第１回です。\r\nよろしくお願いします。\r\n"), 2);
  const std::string subject = cutAtInvalidChar(encodeHeaderText(Sjis::fromUtf8("第１回 お知らせ")));

  TempDir dir;
  writeFileBytes(dir.file("body.txt"), body);
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
      smtp.host = "127.0.0.1";
      smtp.port = server.port();
      smtp.connect(-1);
      smtp.send(m);
      smtp.disconnect();
    }
    ours += seconds(t0);
    const std::string out = runCommand(std::string(kPython) + " " + dir.file("ref.py") + " " +
                                       std::to_string(server.port()) + " " + dir.file("body.txt") + " " +
                                       std::to_string(kPerBatch));
    ref += std::stod(out);
  }
  const bool all = server.waitForMessages(2 * kMails);

  std::printf("messages stored: %zu of %d%s\n", server.messages().size(), 2 * kMails, all ? "" : " (MISSING)");
  std::printf("ours    (SmtpClient, %d mails, fresh connection each): %8.3f s\n", kMails, ours);
  std::printf("smtplib (Python, same server, same mails):          %8.3f s\n", ref);
  std::printf("time ratio ours/smtplib: %.2f\n", ours / ref);
  return 0;
}
