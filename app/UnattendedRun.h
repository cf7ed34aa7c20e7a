#pragma once
#include <atomic>

class DueList;
struct MailSettings;
#include <filesystem>
#include <optional>
#include <ostream>

class AppContext;

// The runs of the windows without any window, for a scheduler: `quormail receive`,
// `quormail send [--dry-run]` and `quormail receive-and-send`. One line per stage or
// mail goes to out, errors to err, both UTF-8 in the program's Japanese texts. Nothing
// is ever asked: what a window would ask (an unsaved password, settings that fail the
// start check) ends the command with the check's message.
class UnattendedRun {
 public:
  // Exit statuses of the commands.
  enum Status { kDone = 0, kRunFailed = 1, kSettingsError = 2, kDatabaseUnavailable = 3, kSendBusy = 4,
                kInterrupted = 5 };

  UnattendedRun(AppContext& ctx, std::ostream& out, std::ostream& err, const std::atomic<bool>& stop);

  int send(bool dryRun);
  int receive();
  int receiveAndSend();
  // `quormail bounces`: reads the bounce mailbox once, one line per reader a bounce was
  // about; 1 when the mailbox could not be read, 2 when it is not set up, 4 while a send
  // run holds the send lock.
  int bounces();
  // `quormail history`: the send history as CSV (a header line, then one line an
  // attempt, oldest first), of one reader and from a date (yyyymmdd) on when given.
  // Each reader's consent is a line of its own before the reader's first attempt; with
  // a reader given, it is the first line after the header, attempts or not.
  int history(std::optional<int> reader, std::optional<int> since);

  // Opens (and on a first start in a data folder, creates) the database; false after
  // the error was written.
  bool openDatabase(bool mayCreate);

 private:
  // The dry run: one line per reader the run would send to, and their number.
  int listPlannedMails(const DueList& list, const MailSettings& settings);
  void line(const std::string& cp932);
  void error(const std::string& cp932);

  AppContext& m_ctx;
  std::ostream& m_out;
  std::ostream& m_err;
  const std::atomic<bool>& m_stop;
};

// The entry of main() for the commands: chooses the data folder, installs the handler
// that turns SIGTERM, SIGINT and SIGHUP into a stop request, runs the command.
int runUnattended(int action, bool dryRun, const std::filesystem::path& programDir,
                  std::optional<int> historyReader = std::nullopt, std::optional<int> historySince = std::nullopt);
