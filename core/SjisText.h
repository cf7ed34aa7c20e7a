#pragma once
#include <string>

#include "text/Cp932.h"

// Character-aware routines for CP932 byte strings: a lead byte and the byte after it
// form one character and are never split.

using Cp932::isLeadByte;

std::string fitWidth(const std::string& text, int width);
int charCount(const std::string& text);
std::string charCopy(const std::string& text, int first, int count);
std::string trimFullWidth(const std::string& text);
// Position is 1-based; outside 1..length throws std::out_of_range("Illegal Index").
bool isTrailByte(const std::string& text, int position);

// True when the text holds no double-byte character.
inline bool isHalfWidth(const std::string& text) { return charCount(text) == static_cast<int>(text.size()); }
