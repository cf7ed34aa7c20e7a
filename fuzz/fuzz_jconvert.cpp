// Every converter of jconvert on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "sending/jconvert.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string s(reinterpret_cast<const char*>(data), size);
  DetectJapaneseCode(s);
  for (int target : {2, 4, 5}) ConvertJapaneseText(s, target);
  SjisTextToJis(s);
  EucTextToJis(s);
  JisTextToSjis(s);
  EucTextToSjis(s);
  JisTextToEuc(s);
  SjisTextToEuc(s);
  EncodeHeaderText(s);
  CutAtInvalidChar(s);
  Base64EncodeText(s);
  for (std::size_t i = 0; i < s.size();) {
    std::size_t before = i;
    SjisHalfKanaToJis(s, i);
    if (i == before) ++i;
  }
  for (std::size_t i = 0; i < s.size();) {
    std::size_t before = i;
    EucHalfKanaToJis(s, i);
    if (i == before) ++i;
  }
  return 0;
}
