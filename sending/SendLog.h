#pragma once
#include <filesystem>
#include <string>
#include <vector>

// The send log of the latest run (SndMail.log): a header of the list captions, then
// one line per handled reader, cells joined by "," exactly as shown. Write failures
// are ignored: the run must not stop for its log.
class SendLog {
 public:
  explicit SendLog(std::filesystem::path path = {}) : m_path(std::move(path)) {}
  void setPath(std::filesystem::path path) { m_path = std::move(path); }
  const std::filesystem::path& path() const { return m_path; }

  // Starts a run: the file is deleted and the next row writes the header first.
  void startRun();
  // Writes the header when due, then the row (CP932 cells).
  void writeRow(const std::vector<std::string>& header, const std::vector<std::string>& cells);
  // Appends one line with CR LF; false when the file could not be written.
  bool appendLine(const std::string& text);

 private:
  std::filesystem::path m_path;
  bool m_headerDue = true;
};

std::string joinCells(const std::vector<std::string>& cells);
