#pragma once
#include <istream>
#include <string>

// Reads the lines of a registration or CSV file as they arrive (a pipe works too). A
// UTF-8 byte-order mark at the start is dropped. A line ends at LF; a file that holds
// no LF at all ends its lines at CR instead (known only at its end, so such a file is
// read whole first). With dropCr, every CR left inside a line is dropped. A last line
// without its end counts.
class LineReader {
 public:
  LineReader(std::istream& in, bool dropCr);

  bool next(std::string& line);

 private:
  // Appends the next piece of the stream (up to and with its LF); false at its end.
  bool readMore();
  bool take(size_t end, std::string& line);

  std::istream& m_in;
  bool m_dropCr;
  std::string m_buffer;
  size_t m_start = 0;
  bool m_atEnd = false;
  bool m_started = false;
  bool m_sawLf = false;
};
