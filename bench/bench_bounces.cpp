// 1,000 bounces (delivery status notifications, each naming a reader) in a local dovecot
// over TLS from the first byte: the bounce reading of a send run (list, retrieve, parse,
// stop each reader with its history entry, commit, delete) against Python's poplib +
// email merely downloading and parsing the same mails from another mailbox of the same
// server. The arms take turns, 100 mails each, so that the machine's changing load falls
// on both alike; each arm's time runs from the connection to the QUIT.
#include <QCoreApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "bench/BenchSupport.h"
#include "core/Clock.h"
#include "core/Reader.h"
#include "core/TextUtil.h"
#include "net/Pop3Client.h"
#include "sending/BounceRun.h"
#include "settings/SettingsFiles.h"
#include "tests/support/Servers.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestCertificates.h"
#include "tests/support/TestProgram.h"

namespace {

constexpr int kMails = 1000;
constexpr int kTurn = 100;

const char* const kReference = R"(import email, poplib, ssl, sys, time
context = ssl.create_default_context(cafile=sys.argv[3])
start = time.perf_counter()
pop = poplib.POP3_SSL("localhost", int(sys.argv[1]), context=context)
pop.user(sys.argv[2])
pop.pass_("pw")
for number in range(1, len(pop.list()[1]) + 1):
    message = email.message_from_bytes(b"\r\n".join(pop.retr(number)[1]))
    for part in message.walk():
        part.get_content_type()
pop.quit()
print(time.perf_counter() - start)
)";

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const TestCertificates& certs = TestCertificates::get();
  Pop3TestServer ours("bounce", "pw", certs.localhost.cert, certs.localhost.key, true);
  Pop3TestServer theirs("bounce", "pw", certs.localhost.cert, certs.localhost.key, true);
  TempDir scratch;
  bench::writeFile(scratch.file("ref.py"), kReference);

  const std::filesystem::path dir = bench::freshProgramDir("bounces");
  AppContext ctx(dir);
  ctx.openDatabase();
  bench::fillReaders(ctx.query, kMails);
  Clock::setFixedStamp("20261209120000");
  MailSettings settings;
  settings.bouncePopMode = 1;
  settings.bouncePopServer = "localhost";
  settings.bouncePopPort = ours.port();
  settings.bouncePopSecurity = 2;
  settings.bouncePopUser = "bounce";
  settings.bouncePopPassword = "pw";
  Pop3Client pop;
  BounceRun run(ctx.query, settings, pop);
  HistoryRun historyRun = HistoryRun::start();

  const std::string sample = TestProgram::readFile(QUORMAIL_SOURCE_DIR "/tests/sending/bounces/gmail-5.1.1.eml");
  double oursSeconds = 0;
  double theirsSeconds = 0;
  int stopped = 0;
  for (int first = 1; first <= kMails; first += kTurn) {
    for (int i = first; i < first + kTurn; ++i) {
      std::string mail = std::regex_replace(sample, std::regex("reader00001@gmail.com"),
                                            "reader" + std::to_string(i) + "@example.com");
      mail = std::regex_replace(mail, std::regex("qm\\.00001\\."), "qm." + idText(i) + ".");
      ours.deliver(mail);
      theirs.deliver(mail);
    }
    auto t = std::chrono::steady_clock::now();
    const BounceReport report = run.run(historyRun);
    oursSeconds += bench::seconds(t);
    if (report.failed()) {
      std::fprintf(stderr, "%s\n", report.error.c_str());
      return 1;
    }
    for (const BounceOutcome& o : report.outcomes) stopped += o.stopped ? 1 : 0;
    int status = 0;
    theirsSeconds += std::atof(runCommand(std::string(kPython) + " " + scratch.file("ref.py") + " " +
                                              std::to_string(theirs.port()) + " bounce " + certs.authority,
                                          &status)
                                   .c_str());
    if (status != 0) return 1;
    // The reference only reads: its mailbox is emptied for the next turn.
    for (const char* sub : {"/home/Maildir/new", "/home/Maildir/cur"})
      for (const auto& f : std::filesystem::directory_iterator(theirs.folder() + sub)) std::filesystem::remove(f.path());
  }
  std::printf("bounces read and applied: %d readers stopped, %zu mails left in our mailbox\n", stopped,
              ours.mails().size());
  std::printf("ours (read, parse, stop, commit, delete): %.3f s  (%.2f ms per bounce)\n", oursSeconds,
              1000 * oursSeconds / kMails);
  std::printf("poplib + email (read and parse only):     %.3f s  (%.2f ms per bounce)\n", theirsSeconds,
              1000 * theirsSeconds / kMails);
  std::printf("ratio ours / reference: %.2f (target <= 1.5)\n", oursSeconds / theirsSeconds);
  ctx.query.close();
  ctx.database.close();
  std::filesystem::remove_all(dir);
  return 0;
}
