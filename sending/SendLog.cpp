#include "sending/SendLog.h"

#include <exception>

#include "core/PrivateFile.h"

void SendLog::startRun() {
  m_headerDue = true;
  std::error_code ec;
  std::filesystem::remove(m_path, ec);
}

std::string joinCells(const std::vector<std::string>& cells) {
  std::string line;
  for (size_t i = 0; i < cells.size(); ++i) {
    if (i) line += ',';
    line += cells[i];
  }
  return line;
}

void SendLog::writeRow(const std::vector<std::string>& header, const std::vector<std::string>& cells) {
  if (m_headerDue) {
    m_headerDue = false;
    appendLine(joinCells(header));
  }
  appendLine(joinCells(cells));
}

bool SendLog::appendLine(const std::string& text) {
  // The log lists readers' names and addresses: the owner's alone.
  return PrivateFile::append(m_path, text + "\r\n");
}
