// 1,000 mails over STARTTLS with login to a local aiosmtpd: 50 mails over one SMTP
// session against a session for each mail, and Python's smtplib sending 50 messages over
// each connection (starttls + login + sendmail) to the same server in the same run.
// Twice: the delivery alone (the SMTP session as the send run drives it, mails built
// beforehand), and the whole send run with wait 0 (each mail also read, composed and
// committed to the database, whose forced writes cost a synchronous write per mail).
// The arms take turns, 100 mails each, so that the machine's changing load falls on all
// of them alike.
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/BenchSupport.h"
#include "bench/SendArm.h"
#include "bench/SmtpBench.h"
#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "net/MailMessage.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/Delivery.h"
#include "sending/SendListener.h"
#include "sending/SendRun.h"
#include "settings/SettingsFiles.h"
#include "tests/support/Servers.h"
#include "tests/support/TestCertificates.h"

namespace {

constexpr int kMails = 1000;
constexpr int kTurn = 100;

// One send run over its own program folder and 1,000 due readers, on the shared server.
struct Arm : bench::SendArm {
  Arm(const std::string& name, int port, int mailsPerConnection)
      : SendArm("connections-" + name, "localhost", port, kMails,
                "SmtpSecurity=1\r\nSmtpAuth=1\r\nSmtpUser=bench\r\nMailsPerConnection=" +
                    std::to_string(mailsPerConnection) + "\r\n",
                Sjis::fromUtf8("##readername##様\r\n本文です。\r\n")) {
    run.settings().smtpPassword = "bench-pass";
  }
};

// The delivery alone over its own clients, mails built beforehand.
struct DeliveryArm {
  SmtpClient smtp;
  Pop3Client pop3;
  Delivery delivery{smtp, pop3};
  MailSettings settings;
  double seconds = 0;
  int sent = 0;

  DeliveryArm(int port, int mailsPerConnection) {
    settings.smtpServer = "localhost";
    settings.smtpPort = port;
    settings.smtpSecurity = 1;
    settings.smtpAuthMode = 1;
    settings.smtpUser = "bench";
    settings.smtpPassword = "bench-pass";
    settings.mailsPerConnection = mailsPerConnection;
  }

  void serve(int from, int to, const bench::SampleMail& sample) {
    std::vector<MailMessage> mails(static_cast<std::size_t>(to - from));
    for (int i = from; i < to; ++i) {
      MailMessage& m = mails[static_cast<std::size_t>(i - from)];
      m.from.setText("office@example.com");
      m.recipients.setText("reader" + std::to_string(i) + "@example.com");
      m.subject = sample.subject;
      m.setBodyText(sample.body);
    }
    SendListener quiet;
    const auto t = std::chrono::steady_clock::now();
    for (MailMessage& m : mails) sent += delivery.deliver(m, m.recipients.items[0].address, settings, quiet).accepted;
    delivery.endSession();
    seconds += bench::seconds(t);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    const TestCertificates& certs = TestCertificates::get();
    SmtpTestServer server(SmtpTestServer::tlsLogin(certs.localhost.cert, certs.localhost.key, "bench", "bench-pass"));

    TempDir scratch;
    // The reference times itself, so its interpreter start-up is not counted.
    bench::writeFile(scratch.file("ref.py"),
                     "import smtplib,ssl,sys,time\n"
                     "port,count,per,ca=int(sys.argv[1]),int(sys.argv[2]),int(sys.argv[3]),sys.argv[4]\n"
                     "ctx=ssl.create_default_context(cafile=ca)\n"
                     "msg=(b'From: office@example.com\\r\\nTo: reader@example.com\\r\\nSubject: Dai 1 kai oshirase\\r\\nMIME-Version: 1.0\\r\\nContent-Type: text/plain; charset=ISO-2022-JP\\r\\n\\r\\n"
                     "Reader 1 sama\\r\\nhonbun desu.\\r\\n')\n"
                     "t=time.perf_counter()\n"
                     "for i in range(0,count,per):\n"
                     "    s=smtplib.SMTP('localhost',port)\n"
                     "    s.starttls(context=ctx)\n"
                     "    s.login('bench','bench-pass')\n"
                     "    for j in range(i,min(count,i+per)):\n"
                     "        s.sendmail('office@example.com',['reader%d@example.com'%j],msg)\n"
                     "    s.quit()\n"
                     "print(time.perf_counter()-t)\n");
    const std::string reference = std::string(kPython) + " " + scratch.file("ref.py") + " " +
                                  std::to_string(server.port()) + " " + std::to_string(kTurn) + " 50 " + certs.authority;

    // A wait of 0 seconds still lasts to the next one-second tick: the waits pass at once,
    // so that the time is the run's own work.
    Clock::setPausesSkipped(true);
    const bench::SampleMail sample;
    DeliveryArm fifty(server.port(), 50);
    DeliveryArm one(server.port(), 1);
    Arm shared("fifty", server.port(), 50);
    Arm single("one", server.port(), 1);
    double smtplib = 0;
    for (int from = 0; from < kMails; from += kTurn) {
      fifty.serve(from, from + kTurn, sample);
      one.serve(from, from + kTurn, sample);
      shared.serve(static_cast<std::size_t>(from), static_cast<std::size_t>(from + kTurn));
      single.serve(static_cast<std::size_t>(from), static_cast<std::size_t>(from + kTurn));
      int status = 0;
      smtplib += std::atof(runCommand(reference, &status).c_str());
      if (status != 0) throw std::runtime_error("smtplib reference failed");
    }
    const bool all = server.waitForMessages(5 * kMails);
    const auto line = [](const char* what, double seconds, int sent) {
      std::printf("  %-34s %7.3f s  %6.2f ms/mail (sent %d)\n", what, seconds, 1000 * seconds / kMails, sent);
    };
    std::printf("%d mails each, STARTTLS + login, wait 0 (messages stored: %zu of %d%s)\n", kMails,
                server.messages().size(), 5 * kMails, all ? "" : ", MISSING");
    line("delivery, 50 per connection:", fifty.seconds, fifty.sent);
    line("delivery, 1 per connection:", one.seconds, one.sent);
    line("smtplib, 50 per connection:", smtplib, kMails);
    line("send run, 50 per connection:", shared.seconds, shared.report.sent);
    line("send run, 1 per connection:", single.seconds, single.report.sent);
    std::printf("  delivery, 1 per / 50 per connection: %5.2f (target >= 3)\n", one.seconds / fifty.seconds);
    std::printf("  delivery 50 per / smtplib 50 per:    %5.2f (target <= 1.3)\n", fifty.seconds / smtplib);
    std::printf("  send run, 1 per / 50 per connection: %5.2f\n", single.seconds / shared.seconds);
    std::printf("  send run 50 per / smtplib 50 per:    %5.2f\n", shared.seconds / smtplib);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
