#include "intake/RunLog.h"

#include <system_error>

#include "core/Clock.h"
#include "core/PrivateFile.h"

namespace {
bool appendLine(const std::filesystem::path& path, const std::string& text) {
  return PrivateFile::append(path, RunLog::stampPrefix() + text + "\r\n");
}
}  // namespace

RunLog::RunLog(std::filesystem::path runLog, std::filesystem::path errorLog)
    : m_runLog(std::move(runLog)), m_errorLog(std::move(errorLog)) {}

void RunLog::setPaths(std::filesystem::path runLog, std::filesystem::path errorLog) {
  m_runLog = std::move(runLog);
  m_errorLog = std::move(errorLog);
}

std::string RunLog::stampPrefix() {
  const std::string s = Clock::nowStamp();  // yyyymmddhhnnss
  if (s.size() < 14) return "[] ";
  return "[" + s.substr(2, 6) + " " + s.substr(8, 2) + ":" + s.substr(10, 2) + ":" + s.substr(12, 2) + "] ";
}

void RunLog::write(const std::string& text) { appendLine(m_runLog, text); }

bool RunLog::writeError(const std::string& text) { return appendLine(m_errorLog, text); }

void RunLog::removeErrorLog() {
  std::error_code ec;
  std::filesystem::remove(m_errorLog, ec);
}
