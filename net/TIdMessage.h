#pragma once
#include <ctime>
#include <string>
#include <vector>

#include "net/TIdEmailAddressItem.h"
#include "net/TIdEmailAddressList.h"
#include "net/TIdHeaderList.h"

enum class TIdMessagePriority { mpHighest, mpHigh, mpNormal, mpLow, mpLowest };
enum class TIdMessageEncoding { meMIME, meUU };

// One mail: its addresses, subject, body lines and header fields.
class TIdMessage {
 public:
  TIdEmailAddressItem From;
  TIdEmailAddressList Recipients;
  TIdEmailAddressList CCList;
  TIdEmailAddressList BccList;
  std::string Subject;
  std::vector<std::string> Body;
  std::string ContentType;
  std::string CharSet;
  std::string ContentTransferEncoding;
  TIdMessagePriority Priority = TIdMessagePriority::mpNormal;
  std::time_t Date = 0;  // 0: the moment the header is generated
  TIdMessageEncoding Encoding = TIdMessageEncoding::meMIME;
  TIdHeaderList ExtraHeaders;
  TIdHeaderList Headers;  // filled by GenerateHeader

  // Sets the body from one text, split into lines at CR LF, CR or LF.
  void SetBodyText(const std::string& text);
  void GenerateHeader();
  // Raises EIdUnsafeText when an address, name or header value holds CR or LF.
  void CheckHeaderSafety() const;
};

// Lines of a text split at CR LF, CR or LF; a final line end adds no empty line.
std::vector<std::string> splitTextLines(const std::string& text);

// "Tue, 5 Mar 2024 09:03:04 +0900" in local time.
std::string formatMailDate(std::time_t when);
