#pragma once
#include <string>

#include "tests/support/Servers.h"

// PHP's built-in web server (Debian php-cli) serving a copy of contrib/web from its
// own folder, with the router that stands in for the .htaccess.
class PhpTestServer : public ServerProcess {
 public:
  PhpTestServer();
  // The folder the scripts run in, where they write their data files.
  std::string docroot() const { return folder() + "/web"; }
  std::string url(const std::string& path) const;
  // POSTs the fields (already URL-encoded "a=b&c=d") and returns the body; status gets
  // the HTTP status.
  std::string post(const std::string& path, const std::string& form, int* status = nullptr) const;
  std::string get(const std::string& path, int* status = nullptr) const;
};
