#pragma once
#include <string>
#include <vector>

#include "net/EmailAddress.h"

// A list of mail addresses, as the To and Cc headers and the RCPT commands use it.
class EmailAddressList {
 public:
  std::vector<EmailAddress> Items;

  // Replaces the list with the addresses of text, separated by commas or semicolons
  // outside quotes and angle brackets.
  void SetText(const std::string& text);
  EmailAddress& Add();
  void Clear() { Items.clear(); }
  bool empty() const { return Items.empty(); }
  // The items as written in a header, joined by ", ".
  std::string headerText() const;
};
