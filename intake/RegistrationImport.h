#pragma once
#include <atomic>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

class IntakeListener;
class RunLog;
class Statement;
class Transaction;
struct Reader;

// Adds the registrations of the downloaded "registdata.cgi" as new readers: one line
// "name TAB address TAB yyyy/mm/dd hh:nn:ss [TAB form's address]" per registration,
// numbered on from the largest reader number. Each reader added records its consent:
// the web form at the line's time, with the form's address (or that it is unknown, for
// lines written before the scripts gave it). An address that a reader already has (letter case aside), or
// that an earlier line of the file brought, is refused: an import only adds readers and
// never touches one that exists, so a reader who unsubscribed stays so. Refused lines
// go to the error log, every stage to the run log.
// The whole file is one transaction, each line a savepoint in it: a refused or failed
// line is undone alone, and the readers of a file are stored all together or not at
// all (a kill mid-import leaves none). A number that a concurrent import took first is
// replaced by the next free one. The file is read to its end even after a stop: by
// then the server's copy is gone.
class RegistrationImport {
 public:
  // How often a line takes a fresh number after a key conflict before it is refused.

  RegistrationImport(Statement& query, RunLog& log, IntakeListener& listener, const std::atomic<bool>& stop);

  // Imports the file. runSucceeded is the receive run's outcome so far: a failure or a
  // stop clears it, and readers are counted only while it holds. Answers succeeded().
  bool importFile(const std::filesystem::path& file, bool runSucceeded = true);

  // Counts on from a total of earlier imports of the same run.
  void continueCount(int registered) { m_registered = registered; }

  // Whether known addresses are refused; off only to measure what the check costs.
  bool refuseKnownAddresses = true;

  // Called with the last reader inserted just before the file's transaction commits.
  std::function<void(const Reader& last)> beforeCommit;

  bool succeeded() const { return m_succeeded; }
  // Whether the file was read through and its readers are stored for good.
  bool complete() const { return m_complete; }
  int registeredCount() const { return m_registered; }
  // Whether a refused line reached the error log.
  bool refusedLinesLogged() const { return m_refusedLinesLogged; }

 private:
  // false when no line after this one can be numbered either.
  bool importLine(const std::string& line, int& last, Transaction& transaction, Reader& inserted);
  void refuseLine(const std::string& text);
  void showAndLog(const std::string& text);
  // Marks the run failed and shows the text on the message line, in the log and boxed.
  void fail(const std::string& text);
  // A database failure: its text logged, the box with what to do and the text.
  void databaseFailed(const std::exception& e);

  Statement& m_query;
  RunLog& m_log;
  IntakeListener& m_listener;
  const std::atomic<bool>& m_stop;
  bool m_succeeded = true;
  bool m_complete = false;
  int m_registered = 0;
  int m_inserted = 0;
  bool m_refusedLinesLogged = false;
  std::unordered_set<std::string> m_knownAddresses;  // addressKey of each
};
