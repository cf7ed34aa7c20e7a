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

  // timeoutMs -1: the default, no limit of our own.
  virtual void connect(int timeoutMs = -1);
};
