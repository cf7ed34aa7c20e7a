#pragma once

// Byte classes of code page 932 (Shift-JIS with the Microsoft extensions). Inline:
// every character loop of the program calls them.
namespace Cp932 {

// First byte of a double-byte character.
inline bool isLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
// A byte that may follow a lead byte.
inline bool isTrailByte(unsigned char c) { return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC); }
// A half-width katakana or punctuation byte ("｡" to "ﾟ"), a character alone.
inline bool isHalfWidthKana(unsigned char c) { return c >= 0xA1 && c <= 0xDF; }

}  // namespace Cp932
