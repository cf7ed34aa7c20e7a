#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "net/EmailAddress.h"
#include "net/EmailAddressList.h"
#include "net/HeaderList.h"

enum class MailPriority { highest, high, normal, low, lowest };
enum class MailEncodingKind { mime, uuencode };

// One mail: its addresses, subject, body lines and header fields.
class MailMessage {
 public:
  EmailAddress from;
  EmailAddressList recipients;
  EmailAddressList ccList;
  EmailAddressList bccList;
  std::string subject;
  std::vector<std::string> body;
  std::string contentType;
  std::string charSet;
  std::string contentTransferEncoding;
  MailPriority priority = MailPriority::normal;
  std::time_t date = 0;  // 0: the moment the header is generated
  MailEncodingKind encoding = MailEncodingKind::mime;
  HeaderList extraHeaders;
  HeaderList headers;  // filled by generateHeader
  // Adds what mail servers and strict readers expect: MIME-Version: 1.0,
  // Content-Type: text/plain; charset=ISO-2022-JP, Content-Transfer-Encoding: 7bit and a
  // Message-ID; contentType, charSet and contentTransferEncoding are then not used.
  // Off (the default): the headers as they have always been.
  bool standardHeaders = false;
  // The Message-ID with its angle brackets; empty: a new one at each generateHeader.
  std::string messageId;

  // Sets the body from one text, split into lines at CR LF, CR or LF.
  void setBodyText(const std::string& text);
  void generateHeader();
  // Raises UnsafeTextError when an address, name or header value holds CR or LF.
  void checkHeaderSafety() const;
};

// "<unique@domain>", the domain taken from the sender's address (the local host name
// when it has none); unique across calls and processes.
std::string newMessageId(const std::string& senderAddress);

// lines of a text split at CR LF, CR or LF; a final line end adds no empty line.
std::vector<std::string> splitTextLines(const std::string& text);

// "Tue, 5 Mar 2024 09:03:04 +0900" in local time.
std::string formatMailDate(std::time_t when);
