#pragma once
#include <string>
#include <vector>

#include "net/EmailAddress.h"

// A list of mail addresses, as the To header and the RCPT commands use it.
class EmailAddressList {
 public:
  std::vector<EmailAddress> items;

  // Replaces the list with the addresses of text, separated by commas or semicolons
  // outside quotes and angle brackets.
  void setText(const std::string& text);
  EmailAddress& add();
  void clear() { items.clear(); }
  bool empty() const { return items.empty(); }
  // The items as written in a header, joined by ", ".
  std::string headerText() const;
};
