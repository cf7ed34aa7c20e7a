// The numbered-reply reader and the header folding on arbitrary lines.
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#include "net/HeaderList.h"
#include "net/ServerReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  std::size_t pos = 0;
  ServerReply reply;
  try {
    reply.readFrom([&]() -> std::string {
      if (pos >= s.size()) throw std::out_of_range("end of input");
      std::size_t lf = s.find('\n', pos);
      if (lf == std::string::npos) lf = s.size();
      std::string line = s.substr(pos, lf - pos);
      pos = lf + 1;
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return line;
    });
    reply.textWithLineEnds();
    reply.enhancedCode();
  } catch (const std::out_of_range&) {
  }
  foldHeaderLine(s);
  return 0;
}
