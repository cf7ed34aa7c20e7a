#pragma once
#include "net/TcpClient.h"

// How the POP3 connection is protected; the numbers are those of the PopSecurity setting.
enum class Pop3Security : int { None = 0, Stls = 1, ImplicitTls = 2 };

// POP3 client as far as POP before SMTP needs it: login and logout, in plain text, after
// STLS (RFC 2595) or over TLS from the first byte, the certificate checked as for SMTP.
class Pop3Client : public TcpClient {
 public:
  enum ReplyCode { OK = 1, ERR = 2 };

  Pop3Client();

  // Stls: a server that refuses STLS is refused (MissingServerFeatureError) and the
  // password never goes out in plain text.
  Pop3Security security = Pop3Security::None;

  // Opens the connection and logs in; on any failure the client disconnects itself.
  void connect(int timeoutMs = -1) override;
  // Sends QUIT without waiting for the answer, then closes.
  void disconnect() override;
  // Reads a reply and classifies "+OK" as 1 and "-ERR" as 2.
  void readReply() override;
};
