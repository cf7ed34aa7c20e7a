#pragma once
#include <string>

#include "tests/support/TempDir.h"

// A certificate authority and server certificates made with the openssl command line,
// once per test program. The authority is handed to the clients through SSL_CERT_FILE
// (set by get()), as an operator's system store would be.
class TestCertificates {
 public:
  struct Pair {
    std::string cert;
    std::string key;
  };
  static const TestCertificates& get();

  std::string authority;  // the CA certificate (PEM)
  Pair localhost;         // for "localhost" and 127.0.0.1
  Pair wrongHost;         // for "other.example" only
  Pair expired;           // for "localhost", expired yesterday

 private:
  TestCertificates();
  TempDir m_dir;
};
