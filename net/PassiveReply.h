#pragma once
#include <string>

// The data address of a PASV reply: "(h1,h2,h3,h4,p1,p2)", or without brackets the
// last word of the text. Anything else raises NetError "Invalid PASV reply: ...".
struct PassiveAddress {
  std::string host;
  int port = 0;
};

PassiveAddress parsePassiveReply(const std::string& text);
