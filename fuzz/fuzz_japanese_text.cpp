// Every Japanese text routine on arbitrary bytes; converted text never gains a CR or LF.
#include <cstddef>
#include <cstdint>
#include <string>

#include "text/JapaneseText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  const bool hasLineBreak = s.find_first_of("\r\n") != std::string::npos;
  if (!hasLineBreak && JapaneseText::sjisToJis(s).find_first_of("\r\n") != std::string::npos) __builtin_trap();
  JapaneseText::jisToSjis(s);
  JapaneseText::encodeHeader(s);
  JapaneseText::encodeWord(s);
  JapaneseText::cutAtInvalidChar(s);
  JapaneseText::base64(s);
  return 0;
}
