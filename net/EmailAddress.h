#pragma once
#include <string>

// A mail address with an optional display name.
class EmailAddress {
 public:
  std::string name;
  std::string address;

  // Parses "name <address>" (the name may be quoted) or a bare address. An "@" in the
  // name part raises AddressParseError "@ Outside address".
  void setText(const std::string& text);
  // The item as written in a header: the address alone, "\"name\" <address>" for a
  // printable name, or the encoded name and "<address>".
  std::string headerText() const;
};
