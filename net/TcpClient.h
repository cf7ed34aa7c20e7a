#pragma once
#include <string>

#include "net/TcpConnection.h"

// The connecting side: host, port, account, and Connect.
class TcpClient : public TcpConnection {
 public:
  std::string Host;
  int Port = 0;
  std::string Username;
  std::string Password;

  // timeoutMs -1: the default, no limit of our own.
  virtual void Connect(int timeoutMs = -1);
};
