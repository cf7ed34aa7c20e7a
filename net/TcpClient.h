#pragma once
#include <string>

#include "net/TcpConnection.h"

// The connecting side: host, port, account, and connect.
class TcpClient : public TcpConnection {
 public:
  std::string host;
  int port = 0;
  std::string user;
  std::string password;
  // The limit of connect(-1); 0: none of our own.
  int connectTimeoutMs = 30000;

  // timeoutMs -1: connectTimeoutMs. A connect not done in time fails with
  // ConnectTimeoutError ("Connect timed out.").
  virtual void connect(int timeoutMs = -1);
  // TLS on the open connection, the certificate checked against host.
  void startTls();
};
