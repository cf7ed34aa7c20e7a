#pragma once
#include <string>

// Personalising and wrapping of a story body (CP932 bytes).

// Puts the name in for every "##readername##", left to right; inserted text is not
// searched again.
std::string insertReaderName(const std::string& story, const std::string& name);

// Wraps one line to at most width bytes, never inside a double-byte character; every
// piece ends with CR LF.
std::string wrapLine(const std::string& line, int width);

// The whole body: name put in (defaultName when the reader's name is empty), lines
// split at CR LF and wrapped at width; every line of the result ends with CR LF.
std::string composeBody(const std::string& readerName, const std::string& defaultName,
                             const std::string& story, int width);
