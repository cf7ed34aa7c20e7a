#pragma once
#include <atomic>
#include <filesystem>
#include <istream>
#include <string>

class IntakeListener;
class RunLog;
class Statement;

// Adds the registrations of the downloaded "registdata.cgi" as new readers: one line
// "name TAB address TAB yyyy/mm/dd hh:nn:ss" per registration, numbered on from the
// largest reader number. Refused lines go to the error log, every stage to the run log.
// Each insert commits on its own: readers inserted before a failure or a stop stay.
// The file is read to its end even after a stop: by then the server's copy is gone.
class RegistrationImport {
 public:
  RegistrationImport(Statement& query, RunLog& log, IntakeListener& listener, const std::atomic<bool>& stop);

  // Imports the file. runSucceeded is the receive run's outcome so far: a failure or a
  // stop clears it, and readers are counted only while it holds. Answers succeeded().
  bool importFile(const std::filesystem::path& file, bool runSucceeded = true);

  bool succeeded() const { return m_succeeded; }
  int registeredCount() const { return m_registered; }
  // Whether a refused line reached the error log.
  bool refusedLinesLogged() const { return m_refusedLinesLogged; }

 private:
  void importLines(std::istream& in);
  void refuseLine(const std::string& text);
  void showAndLog(const std::string& text);
  // Marks the run failed and shows the text on the message line, in the log and boxed.
  void fail(const std::string& text);

  Statement& m_query;
  RunLog& m_log;
  IntakeListener& m_listener;
  const std::atomic<bool>& m_stop;
  bool m_succeeded = true;
  int m_registered = 0;
  bool m_refusedLinesLogged = false;
};
