#pragma once
// One arm of a send-run benchmark: its own aiosmtpd server (or one the arms share), its
// program folder, database and run over a number of due readers, wait 0. Each serve() is
// one timed run.
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>

#include "bench/BenchSupport.h"
#include "core/Sjis.h"
#include "core/StoryStore.h"
#include "net/Pop3Client.h"
#include "net/SmtpClient.h"
#include "sending/SendListener.h"
#include "sending/SendOptions.h"
#include "sending/SendRun.h"
#include "settings/SettingsFiles.h"
#include "tests/support/Servers.h"

namespace bench {

struct SendArm {
  std::unique_ptr<SmtpTestServer> ownServer;  // none when the arm uses a shared one
  std::filesystem::path dir;
  AppContext ctx;
  SmtpClient smtp;
  Pop3Client pop3;
  SendRun run;
  int readers;
  double seconds = 0;
  SendReport report;  // every run's counts added up

  // mailSettings: lines of the Mail section beyond the common ones, each ended by CR LF.
  // With its own server, started with the options.
  SendArm(const std::string& name, const SmtpTestServer::Options& options, int readerCount,
          const std::string& mailSettings, const std::string& storyBody)
      : SendArm(name, std::make_unique<SmtpTestServer>(options), "127.0.0.1", 0, readerCount, mailSettings,
                storyBody) {}
  // With a server the arms share, at the given host (the name its certificate holds) and port.
  SendArm(const std::string& name, const std::string& host, int port, int readerCount,
          const std::string& mailSettings, const std::string& storyBody)
      : SendArm(name, nullptr, host, port, readerCount, mailSettings, storyBody) {}

 private:
  SendArm(const std::string& name, std::unique_ptr<SmtpTestServer> server, const std::string& host, int port,
          int readerCount, const std::string& mailSettings, const std::string& storyBody)
      : ownServer(std::move(server)), dir(freshProgramDir(name)), ctx(dir),
        run(ctx.query, dir / "SndMail.log", smtp, pop3), readers(readerCount) {
    writeFile(dir / "QuorMail.env",
              "[Mail]\r\nSmtp=" + host + "\r\nMailAdress=office@example.com\r\nPOP_before_SMTP=0\r\nPasSave=2\r\n"
              "Mail1_Wait_Second=0\r\nLogWrt=0\r\nSMTPPORT=" + std::to_string(ownServer ? ownServer->port() : port) +
                  "\r\n" + mailSettings);
    ctx.openDatabase();
    fillReaders(ctx.query, readers);
    StoryStore(ctx.query).save(Story{1, Sjis::fromUtf8("第１回 お知らせ"), storyBody});
    const SettingsPaths paths = SettingsPaths::of(ctx);
    const MailSettings mail = loadMailSettings(paths);
    run.setOptions(SendOptions::of(mail, paths));
    run.setSettings(mail);
    run.listDueReaders();
  }

 public:
  ~SendArm() {
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
    report.sent += r.sent;
    report.refused += r.refused;
    report.deferred += r.deferred;
    report.skipped += r.skipped;
  }
  double perMail() const { return seconds / readers; }
};

}  // namespace bench
