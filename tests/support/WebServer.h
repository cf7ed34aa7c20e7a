#pragma once
#include <string>

#include "tests/support/Servers.h"

// PHP's built-in web server (Debian php-cli) serving a copy of contrib/web from its
// own folder, with the router that stands in for the .htaccess.
class PhpTestServer : public ServerProcess {
 public:
  // docroot: the folder the scripts are copied to and run in (where they write their
  // data files); empty: a folder of the server's own.
  // fileSizeBlocks: when not 0, the server's files cannot grow past that many 512-byte
  // blocks (ulimit -f, SIGXFSZ ignored), as a full disk refuses a write part way.
  explicit PhpTestServer(const std::string& docroot = "", int fileSizeBlocks = 0);
  const std::string& docroot() const { return m_docroot; }
  std::string url(const std::string& path) const;
  // POSTs the fields (already URL-encoded "a=b&c=d") and returns the body; status gets
  // the HTTP status.
  std::string post(const std::string& path, const std::string& form, int* status = nullptr) const;
  std::string get(const std::string& path, int* status = nullptr) const;

 private:
  std::string m_docroot;
};
