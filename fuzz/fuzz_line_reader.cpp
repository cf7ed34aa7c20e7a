// The line reader of the registration and CSV files on arbitrary bytes, in both of its
// modes (registrations drop every CR inside a line, CSV keeps them): the lines read,
// put back together with their ends, give the file without its byte-order mark.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "intake/LineReader.h"

namespace {

void check(const std::string& file, bool dropCr) {
  std::istringstream in(file);
  LineReader reader(in, dropCr);
  std::string body = file.compare(0, 3, "\xEF\xBB\xBF") == 0 ? file.substr(3) : file;
  const bool byLf = body.find('\n') != std::string::npos;
  const char end = byLf ? '\n' : '\r';
  std::string joined;
  bool first = true;
  for (std::string line; reader.next(line); first = false) {
    if (line.find('\n') != std::string::npos) __builtin_trap();
    if ((dropCr || !byLf) && line.find('\r') != std::string::npos) __builtin_trap();
    if (!first) joined += end;
    joined += line;
  }
  if (!body.empty() && body.back() == end) joined += end;
  if (byLf && dropCr) {
    std::string kept;
    for (char c : body)
      if (c != '\r') kept += c;
    body = kept;
  }
  if (joined != body) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string file(reinterpret_cast<const char*>(data), size);
  check(file, true);
  check(file, false);
  return 0;
}
