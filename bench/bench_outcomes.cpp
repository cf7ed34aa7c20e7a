// The send run with readers refused and deferred at RCPT against one where every mail
// is accepted, and the run with its send history against the run without, all on the
// same aiosmtpd server setup and the same 1,000 readers. What the history costs is
// mostly two synchronous page writes at each mail's commit (its row and its one index).
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/SendArm.h"
#include "core/Clock.h"
#include "core/Sjis.h"

namespace {

constexpr int kReaders = 1000;


// One arm of the comparison over the same 1,000 readers.
struct Arm : bench::SendArm {
  Arm(const std::string& name, const SmtpTestServer::Options& options, bool history, const std::string& pace = "")
      : SendArm("outcomes-" + name, options, kReaders, pace,
                Sjis::fromUtf8("##readername##様\r\n本文です。\r\n")) {
    run.setHistoryKept(history);
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  SmtpTestServer::Options mixed;
  for (int i = 1; i <= kReaders; ++i) {
    const std::string address = "reader" + std::to_string(i) + "@example.com";
    if (i % 10 == 3) mixed.recipientReplies.push_back(address + "=550 5.1.1 <" + address + ">: User unknown");
    if (i % 10 == 7) mixed.recipientReplies.push_back(address + "=450 4.2.1 Mailbox busy");
  }
  try {
    // A wait of 0 seconds still lasts to the next one-second tick: the waits pass at
    // once, so that the time is the run's own work. The arms take turns, a run of 100
    // readers each, so that the machine's changing load falls on all of them alike.
    Clock::setPausesSkipped(true);
    Arm accepted("accepted", {}, true);
    Arm outcomes("mixed", mixed, true);
    Arm bare("bare", {}, false);
    // Limits that are never reached and a window open all week: every mail is checked.
    Arm paced("paced", {}, true,
              "HourLimit=100000\r\nDayLimit=100000\r\nSendDays=1111111\r\nSkipHolidays=1\r\nSendHours=0000-2400\r\n");
    for (std::size_t from = 0; from < static_cast<std::size_t>(kReaders); from += 100)
      for (Arm* arm : {&accepted, &outcomes, &bare, &paced}) arm->serve(from, from + 100);
    const SendReport& r = outcomes.report;
    std::printf("%d due readers, wait 0\n", kReaders);
    std::printf("  all accepted:                 %6.2f ms per mail (sent %d)\n", accepted.perMail() * 1000,
                accepted.report.sent);
    std::printf("  10%% refused, 10%% deferred:    %6.2f ms per mail (sent %d, refused %d, deferred %d; served %d of %d)\n",
                outcomes.perMail() * 1000, r.sent, r.refused, r.deferred, r.sent + r.refused + r.deferred, kReaders);
    std::printf("  ratio mixed/accepted:         %6.2f (target <= 1.2)\n", outcomes.perMail() / accepted.perMail());
    std::printf("  without the send history:     %6.2f ms per mail\n", bare.perMail() * 1000);
    std::printf("  ratio with/without history:   %6.2f (target <= 1.1)\n", accepted.perMail() / bare.perMail());
    std::printf("  with limits and windows:      %6.2f ms per mail (sent %d)\n", paced.perMail() * 1000, paced.report.sent);
    std::printf("  ratio with/without them:      %6.2f (target <= 1.05)\n", paced.perMail() / accepted.perMail());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "failed: %s\n", e.what());
    return 1;
  }
  return 0;
}
