#pragma once
#include <string>

// Fixed-width digit texts, trimming and integer reading on CP932 byte strings.

// Removes the bytes 0x00-0x20 at both ends (full-width blanks stay).
std::string trim(const std::string& s);
std::string trimRight(const std::string& s);
std::string trimLeft(const std::string& s);

// Reads an optional sign and decimal digits ("$" or "0x" after the sign: hex digits)
// fitting a signed 32-bit integer; anything else, the empty text included, gives def.
int toIntOr(const std::string& s, int def);
std::string toText(long long v);

std::string zeroFill(const std::string& text, int width);
std::string spaceFill(const std::string& text, int width);
std::string zeroSuppress(const std::string& text, bool blankAll = false);

// Completes a typed date with today's date; "yyyymmdd" when valid, else empty.
std::string completeDate(const std::string& text);
bool isValidDate(int year, int month, int day);
