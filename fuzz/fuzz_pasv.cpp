// The PASV reply parser on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/NetErrors.h"
#include "net/PassiveReply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    const PassiveAddress a = parsePassiveReply(std::string(reinterpret_cast<const char*>(data), size));
    if (a.port < 0 || a.port > 65535) __builtin_trap();
  } catch (const NetError&) {
  }
  return 0;
}
