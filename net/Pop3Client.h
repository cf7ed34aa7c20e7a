#pragma once
#include "net/TcpClient.h"

// POP3 client as far as POP before SMTP needs it: login and logout.
class Pop3Client : public TcpClient {
 public:
  enum ReplyCode { OK = 1, ERR = 2 };

  Pop3Client();

  // Opens the connection and logs in; on any failure the client disconnects itself.
  void connect(int timeoutMs = -1) override;
  // Sends QUIT without waiting for the answer, then closes.
  void disconnect() override;
  // Reads a reply and classifies "+OK" as 1 and "-ERR" as 2.
  void readReply() override;
};
