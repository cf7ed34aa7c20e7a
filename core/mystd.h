#pragma once
#include <string>

// Fixed-width digit texts, trimming and integer reading on CP932 byte strings.

// Removes the bytes 0x00-0x20 at both ends (full-width blanks stay).
std::string Trim(const std::string& s);
std::string TrimRight(const std::string& s);
std::string TrimLeft(const std::string& s);

// Reads an optional sign and decimal digits ("$" or "0x" after the sign: hex digits)
// fitting a signed 32-bit integer; anything else, the empty text included, gives def.
int StrToIntDef(const std::string& s, int def);
std::string IntToStr(long long v);

std::string Zero_Fill(const std::string& text, int width);
std::string Space_Fill(const std::string& text, int width);
std::string Zero_Suppress(const std::string& text, bool blankAll = false);

// Completes a typed date with today's date; "yyyymmdd" when valid, else empty.
std::string Date_Complete(const std::string& text);
bool IsValidDate(int year, int month, int day);
