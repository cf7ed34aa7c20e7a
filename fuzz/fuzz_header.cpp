// The header writer on arbitrary names and subjects: no header line may hold CR or LF.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/MailMessage.h"
#include "net/NetErrors.h"
#include "net/Socket.h"

// The Message-ID takes its domain from the sender's address here; the socket layer
// stays out of the fuzz target.
std::string Socket::localHostName() { return "localhost"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  MailMessage m;
  m.from.address = "office@example.com";
  m.from.name = s;
  m.subject = s;
  m.recipients.setText("reader@example.org");
  try {
    m.generateHeader();
  } catch (const UnsafeTextError&) {
    return 0;  // refused before anything was written
  }
  for (const std::string& line : m.headers.lines())
    if (line.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  return 0;
}
