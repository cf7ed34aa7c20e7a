// The send run with the legal footer against the same run without it: the same 1,000
// readers, story mail and unsubscribe links, each arm on its own aiosmtpd server. The
// footer costs a template fill, a wrap and some 300 bytes more per mail.
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"
#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/SendListener.h"
#include "sending/SendOptions.h"
#include "sending/SendRun.h"
#include "settings/SettingsFiles.h"
#include "tests/support/Servers.h"

namespace {

constexpr int kReaders = 1000;

// One arm: its own server, program folder, database and run, wait 0.
struct Arm {
  SmtpTestServer server;
  std::filesystem::path dir;
  AppContext ctx;
  SmtpClient smtp;
  Pop3Client pop3;
  SendRun run;
  double seconds = 0;
  int sent = 0;

  Arm(const std::string& name, bool footer)
      : dir(bench::freshProgramDir("footer-" + name)), ctx(dir), run(ctx.query, dir / "SndMail.log", smtp, pop3) {
    bench::writeFile(dir / "QuorMail.env",
                     "[Mail]\r\nSmtp=127.0.0.1\r\nMailAdress=office@example.com\r\nPOP_before_SMTP=0\r\nPasSave=2\r\n"
                     "Mail1_Wait_Second=0\r\nLogWrt=0\r\nSMTPPORT=" + std::to_string(server.port()) +
                         "\r\nSenderName=" + Sjis::fromUtf8("クオル商店") +
                         "\r\nUnsubscribeUrl=https://www.example.jp/mail/unsubscribe.php\r\nLegalFooter=" +
                         (footer ? "1" : "0") + "\r\nSenderPostalAddress=" +
                         Sjis::fromUtf8("東京都千代田区千代田1-1 クオルビル3階") + "\r\nSenderContact=03-1234-5678\r\n");
    ctx.openDatabase();
    bench::fillReaders(ctx.query, kReaders);
    std::string body = Sjis::fromUtf8("##readername##様\r\n\r\nステップメール第１回です。\r\n");
    for (int i = 0; i < 20; ++i) body += Sjis::fromUtf8("本日は商品のご案内をお届けします。よろしくお願いいたします。\r\n");
    StoryStore(ctx.query).save(Story{1, Sjis::fromUtf8("第１回 お知らせ"), body});
    const SettingsPaths paths = SettingsPaths::of(ctx);
    const MailSettings mail = loadMailSettings(paths);
    run.setOptions(SendOptions::of(mail, paths));
    run.setSettings(mail);
    run.listDueReaders();
  }
  ~Arm() {
    ctx.query.close();
    ctx.database.close();
    std::filesystem::remove_all(dir);
  }

  // One run over the readers from..to-1.
  void serve(std::size_t from, std::size_t to) {
    SendListener quiet;
    run.list().unmarkAll();
    for (std::size_t i = from; i < to; ++i) run.list().mark(i);
    const auto t = std::chrono::steady_clock::now();
    const SendReport r = run.run(quiet);
    seconds += bench::seconds(t);
    sent += r.sent;
  }
  double perMail() const { return seconds / kReaders; }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  try {
    // The waits pass at once, so the time is the run's own work; the arms take turns, a
    // run of 100 readers each, so the machine's changing load falls on both alike.
    Clock::setPausesSkipped(true);
    Arm with("with", true);
    Arm without("without", false);
    for (std::size_t from = 0; from < static_cast<std::size_t>(kReaders); from += 100)
      for (Arm* arm : {&with, &without}) arm->serve(from, from + 100);
    std::printf("%d due readers, wait 0\n", kReaders);
    std::printf("  with the legal footer:     %6.2f ms per mail (sent %d)\n", with.perMail() * 1000, with.sent);
    std::printf("  without it:                %6.2f ms per mail (sent %d)\n", without.perMail() * 1000, without.sent);
    std::printf("  ratio with/without:        %6.2f (target <= 1.05)\n", with.perMail() / without.perMail());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
