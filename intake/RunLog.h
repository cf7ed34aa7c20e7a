#pragma once
#include <filesystem>
#include <string>

// The two logs of a receive run: the run log, which grows across runs, and the error
// log of refused registrations, which each run starts afresh. Every line starts with
// the moment "[yymmdd hh:nn:ss] " and ends with CR LF. Both are the owner's alone
// (they hold readers' addresses). A line that cannot be written
// is lost without a word: logging never stops a run.
class RunLog {
 public:
  RunLog() = default;
  RunLog(std::filesystem::path runLog, std::filesystem::path errorLog);

  void setPaths(std::filesystem::path runLog, std::filesystem::path errorLog);
  const std::filesystem::path& runLogPath() const { return m_runLog; }
  const std::filesystem::path& errorLogPath() const { return m_errorLog; }

  // "[yymmdd hh:nn:ss] " for the current moment of the program's clock.
  static std::string stampPrefix();

  void write(const std::string& text);
  // True only when the line reached the file: only then does the run warn about it.
  bool writeError(const std::string& text);
  // Deletes the error log when it exists; a failure is ignored.
  void removeErrorLog();

 private:
  std::filesystem::path m_runLog;
  std::filesystem::path m_errorLog;
};
