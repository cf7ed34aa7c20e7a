#pragma once
#include <string>

// Japanese code conversion for mail: Shift-JIS (CP932) text to ISO-2022-JP for bodies,
// RFC 2047 encoded words for headers, detection of the encoding of a text, and the
// reverse conversions behind one detect-and-convert entry. Pure byte-string work:
// no state, no I/O, nothing raised.

// The numbers are part of the interface: callers pass 2 for JIS.
enum JapaneseCode : int {
  jcAscii = 0,
  jcBinary = 1,
  jcJis = 2,
  jcJisOld = 3,
  jcEuc = 4,
  jcSjis = 5,
  jcEucOrSjis = 6,
};

JapaneseCode DetectJapaneseCode(const std::string& s);
std::string ConvertJapaneseText(const std::string& s, int target);

std::string EncodeHeaderText(const std::string& s);
std::string EncodeHeaderWords(const std::string& s);
std::string CutAtInvalidChar(const std::string& s);
std::string Base64EncodeText(const std::string& s);

std::string SjisTextToJis(const std::string& s);
std::string EucTextToJis(const std::string& s);
std::string JisTextToSjis(const std::string& s);
std::string EucTextToSjis(const std::string& s);
std::string JisTextToEuc(const std::string& s);
std::string SjisTextToEuc(const std::string& s);

std::string SjisCharToJis(unsigned char b1, unsigned char b2);
std::string JisCharToSjis(unsigned char b1, unsigned char b2);

// i is a 0-based index of the kana byte (Shift-JIS) or of the 0x8E (EUC-JP); both
// advance it past what they consumed, merging a following voiced or semi-voiced mark.
std::string SjisHalfKanaToJis(const std::string& s, std::size_t& i);
std::string EucHalfKanaToJis(const std::string& s, std::size_t& i);
