#pragma once
#include <string>

// Character-aware routines for CP932 byte strings: a lead byte (0x81-0x9F, 0xE0-0xFC)
// and the byte after it form one character and are never split.

inline bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

std::string Fit_Width(const std::string& text, int width);
int Char_Count(const std::string& text);
std::string Char_Copy(const std::string& text, int first, int count);
std::string Zen_Trim(const std::string& text);
// Position is 1-based; outside 1..length throws std::out_of_range("Illegal Index").
bool Is_Trail_Byte(const std::string& text, int position);

// True when the text holds no double-byte character.
inline bool IsHalfWidth(const std::string& text) { return Char_Count(text) == static_cast<int>(text.size()); }
