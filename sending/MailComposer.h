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

// What the legal footer's placeholders stand for (CP932).
struct FooterItems {
  std::string senderName;
  std::string postalAddress;
  std::string contact;
  std::string unsubscribeLink;
};

// The legal footer: the template's placeholders filled line by line and each line
// wrapped at width as the body is; every line ends with CR LF. The unsubscribe link is
// never broken: a link cut by a line break no longer works in the reader's program, so
// it stands whole on a line of its own when its line is too long.
std::string composeFooter(const std::string& footerTemplate, const FooterItems& items, int width);
