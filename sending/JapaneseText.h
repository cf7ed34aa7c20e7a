#pragma once
#include <string>

// Japanese code conversion for mail: Shift-JIS (CP932) text to ISO-2022-JP for bodies,
// RFC 2047 encoded words for headers, detection of the encoding of a text, and the
// reverse conversions behind one detect-and-convert entry. Pure byte-string work:
// no state, no I/O, nothing raised.

// The numbers are part of the interface: convertJapaneseText takes 2 for JIS, 4 for
// EUC-JP and 5 for Shift-JIS.
enum class JapaneseCode : int {
  ascii = 0,
  binary = 1,
  jis = 2,
  jisOld = 3,
  euc = 4,
  sjis = 5,
  eucOrSjis = 6,
};

JapaneseCode detectJapaneseCode(const std::string& s);
std::string convertJapaneseText(const std::string& s, int target);

std::string encodeHeaderText(const std::string& s);
std::string encodeHeaderWords(const std::string& s);
std::string cutAtInvalidChar(const std::string& s);
std::string base64EncodeText(const std::string& s);

std::string sjisTextToJis(const std::string& s);
std::string eucTextToJis(const std::string& s);
std::string jisTextToSjis(const std::string& s);
std::string eucTextToSjis(const std::string& s);
std::string jisTextToEuc(const std::string& s);
std::string sjisTextToEuc(const std::string& s);

std::string sjisCharToJis(unsigned char b1, unsigned char b2);
std::string jisCharToSjis(unsigned char b1, unsigned char b2);

// i is a 0-based index of the kana byte (Shift-JIS) or of the 0x8E (EUC-JP); both
// advance it past what they consumed, merging a following voiced or semi-voiced mark.
std::string sjisHalfKanaToJis(const std::string& s, std::size_t& i);
std::string eucHalfKanaToJis(const std::string& s, std::size_t& i);
