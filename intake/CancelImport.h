#pragma once
#include <filesystem>
#include <string>
#include <vector>

class Statement;
class RunLog;

// Stops mail to the readers named in the downloaded "canceldata.cgi", which the
// unsubscribe script on the web site writes: one line per request, the reader's number
// and registration moment "nnnnn-yyyymmddhhnnss" (from a mail's unsubscribe link) or a
// mail address (from the cancel form), a TAB and the moment of the request. Each named
// reader's send status becomes "00" (不可). A number names a reader only together with
// that reader's registration moment: after a deletion the number may belong to a new
// reader, whom an old mail's link must not stop. (A number alone, as scripts before the
// moment was added wrote it, is taken as it is.) Every change and every name that
// matches no reader is written to the run log. Nothing here is an error of the run: an
// unknown name is only logged.
class CancelImport {
 public:
  static constexpr const char* kDataFile = "canceldata.cgi";

  CancelImport(Statement& query, RunLog& log);

  // Applies every line of the file; the number of readers whose status changed.
  int importFile(const std::filesystem::path& file);
  // The readers this import stopped, in the order of the requests: "number address".
  const std::vector<std::string>& stoppedReaders() const { return m_stopped; }

 private:
  int cancel(const std::string& what);

  Statement& m_query;
  RunLog& m_log;
  std::vector<std::string> m_stopped;
};
