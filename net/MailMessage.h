#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "net/EmailAddress.h"
#include "net/EmailAddressList.h"
#include "net/HeaderList.h"

enum class MailPriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };
enum class MailEncodingKind { meMIME, meUU };

// One mail: its addresses, subject, body lines and header fields.
class MailMessage {
 public:
  EmailAddress From;
  EmailAddressList Recipients;
  EmailAddressList ccList;
  EmailAddressList bccList;
  std::string Subject;
  std::vector<std::string> Body;
  std::string contentType;
  std::string charSet;
  std::string contentTransferEncoding;
  MailPriority Priority = MailPriority::mpNormal;
  std::time_t Date = 0;  // 0: the moment the header is generated
  MailEncodingKind Encoding = MailEncodingKind::meMIME;
  HeaderList extraHeaders;
  HeaderList Headers;  // filled by generateHeader

  // Sets the body from one text, split into lines at CR LF, CR or LF.
  void setBodyText(const std::string& text);
  void generateHeader();
  // Raises UnsafeTextError when an address, name or header value holds CR or LF.
  void checkHeaderSafety() const;
};

// Lines of a text split at CR LF, CR or LF; a final line end adds no empty line.
std::vector<std::string> splitTextLines(const std::string& text);

// "Tue, 5 Mar 2024 09:03:04 +0900" in local time.
std::string formatMailDate(std::time_t when);
