#include "intake/LineReader.h"

#include <algorithm>

LineReader::LineReader(std::istream& in, bool dropCr) : m_in(in), m_dropCr(dropCr) {}

bool LineReader::readMore() {
  if (m_atEnd) return false;
  std::string piece;
  if (!std::getline(m_in, piece)) {
    m_atEnd = true;
    return false;
  }
  if (m_start > 0 && m_start * 2 > m_buffer.size()) {
    m_buffer.erase(0, m_start);
    m_start = 0;
  }
  m_buffer += piece;
  if (m_in.eof()) {
    m_atEnd = true;
  } else {
    m_buffer += '\n';
    m_sawLf = true;
  }
  if (!m_started) {
    m_started = true;
    if (m_buffer.compare(0, 3, "\xEF\xBB\xBF") == 0) m_start = 3;
  }
  return true;
}

bool LineReader::take(size_t end, std::string& line) {
  line.assign(m_buffer, m_start, end - m_start);
  m_start = std::min(end + 1, m_buffer.size());
  if (m_dropCr) line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
  return true;
}

bool LineReader::next(std::string& line) {
  for (;;) {
    if (m_sawLf) {
      const size_t lf = m_buffer.find('\n', m_start);
      if (lf != std::string::npos) return take(lf, line);
    } else if (m_atEnd) {
      const size_t cr = m_buffer.find('\r', m_start);
      if (cr != std::string::npos) return take(cr, line);
    }
    if (readMore()) continue;
    if (m_start >= m_buffer.size()) return false;
    return take(m_buffer.size(), line);
  }
}
