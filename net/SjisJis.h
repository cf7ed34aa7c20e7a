#pragma once
#include <string>

// Shift-JIS character arithmetic shared by the mail writer and the Japanese converters;
// header-only so the converters' hot loops keep it inline.
namespace sjis {

inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
inline bool isTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }

// Appends the JIS X 0208 byte pair of the Shift-JIS character b1 b2.
inline void appendAsJis(std::string& out, unsigned char b1, unsigned char b2) {
  b1 = static_cast<unsigned char>((b1 - (b1 < 0xA0 ? 0x70 : 0xB0)) * 2);
  if (b2 < 0x9F) {
    b1 = static_cast<unsigned char>(b1 - 1);
    b2 = static_cast<unsigned char>(b2 - (b2 <= 0x7F ? 0x1F : 0x20));
  } else {
    b2 = static_cast<unsigned char>(b2 - 0x7E);
  }
  out.push_back(static_cast<char>(b1));
  out.push_back(static_cast<char>(b2));
}

}  // namespace sjis
