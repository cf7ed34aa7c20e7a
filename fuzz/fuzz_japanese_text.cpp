// Every Japanese text converter on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sending/JapaneseText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  detectJapaneseCode(s);
  for (int target : {2, 4, 5}) convertJapaneseText(s, target);
  sjisTextToJis(s);
  eucTextToJis(s);
  jisTextToSjis(s);
  eucTextToSjis(s);
  jisTextToEuc(s);
  sjisTextToEuc(s);
  encodeHeaderText(s);
  cutAtInvalidChar(s);
  base64EncodeText(s);
  for (std::size_t i = 0; i < s.size();) {
    std::size_t before = i;
    sjisHalfKanaToJis(s, i);
    if (i == before) ++i;
  }
  for (std::size_t i = 0; i < s.size();) {
    std::size_t before = i;
    eucHalfKanaToJis(s, i);
    if (i == before) ++i;
  }
  return 0;
}
