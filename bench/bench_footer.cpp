// The send run with the legal footer against the same run without it: the same 1,000
// readers, story mail and unsubscribe links, each arm on its own aiosmtpd server. The
// footer costs a template fill, a wrap and some 300 bytes more per mail.
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <string>

#include "bench/SendArm.h"
#include "core/Clock.h"
#include "core/Sjis.h"

namespace {

constexpr int kReaders = 1000;

// One arm over the same 1,000 readers, story mail and unsubscribe links.
struct Arm : bench::SendArm {
  Arm(const std::string& name, bool footer)
      : SendArm("footer-" + name, {}, kReaders,
                "SenderName=" + Sjis::fromUtf8("クオル商店") +
                    "\r\nUnsubscribeUrl=https://www.example.jp/mail/unsubscribe.php\r\nLegalFooter=" +
                    (footer ? "1" : "0") + "\r\nSenderPostalAddress=" +
                    Sjis::fromUtf8("東京都千代田区千代田1-1 クオルビル3階") + "\r\nSenderContact=03-1234-5678\r\n",
                body()) {}

  static std::string body() {
    std::string text = Sjis::fromUtf8("##readername##様\r\n\r\nステップメール第１回です。\r\n");
    for (int i = 0; i < 20; ++i) text += Sjis::fromUtf8("本日は商品のご案内をお届けします。よろしくお願いいたします。\r\n");
    return text;
  }
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
    std::printf("  with the legal footer:     %6.2f ms per mail (sent %d)\n", with.perMail() * 1000, with.report.sent);
    std::printf("  without it:                %6.2f ms per mail (sent %d)\n", without.perMail() * 1000, without.report.sent);
    std::printf("  ratio with/without:        %6.2f (target <= 1.05)\n", with.perMail() / without.perMail());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
