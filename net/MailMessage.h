#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "net/EmailAddress.h"
#include "net/EmailAddressList.h"
#include "net/HeaderList.h"

// One mail: its addresses, subject (CP932, encoded when the header is generated), body
// lines and extra header fields.
class MailMessage {
 public:
  EmailAddress from;
  // The envelope sender (MAIL FROM), where bounces go; empty: the From address.
  std::string envelopeSender;
  EmailAddressList recipients;
  std::string subject;
  std::vector<std::string> body;
  HeaderList extraHeaders;
  // Put before the unique part of the Message-ID (letters, digits and dots), so that a
  // bounce quoting it names the mail; empty: none.
  std::string messageIdTag;
  HeaderList headers;  // filled by generateHeader

  // Sets the body from one text, split into lines at CR LF, CR or LF.
  void setBodyText(const std::string& text);
  // From, Subject, To, MIME-Version: 1.0, Content-Type: text/plain; charset=ISO-2022-JP,
  // Content-Transfer-Encoding: 7bit, Date (now), a new Message-ID, X-Priority,
  // X-Mailer, then the extra headers.
  void generateHeader();
  // Raises UnsafeTextError when an address, name or header value holds CR or LF.
  void checkHeaderSafety() const;
};

// "<tag unique@domain>", the domain taken from the sender's address (the local host
// name when it has none); unique across calls and processes.
std::string newMessageId(const std::string& senderAddress, const std::string& tag = {});

// lines of a text split at CR LF, CR or LF; a final line end adds no empty line.
std::vector<std::string> splitTextLines(const std::string& text);

// "Tue, 5 Mar 2024 09:03:04 +0900" in local time.
std::string formatMailDate(std::time_t when);
