#pragma once
#include <cstddef>
#include <vector>

#include "net/TcpClient.h"

// How the POP3 connection is protected; the numbers are those of the PopSecurity setting.
enum class Pop3Security : int { None = 0, Stls = 1, ImplicitTls = 2 };

// POP3 client for POP before SMTP (login and logout) and the bounce mailbox (list,
// retrieve, delete), in plain text, after STLS (RFC 2595) or over TLS from the first
// byte, the certificate checked as for SMTP.
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
  // A message of the mailbox: its number in this session and its size in octets.
  struct Listing {
    int number = 0;
    std::size_t size = 0;
  };
  // LIST: every message of the mailbox.
  std::vector<Listing> list();
  // RETR: the whole message, lines ending in CR LF; a message over maxBytes fails.
  std::string retrieve(int number, std::size_t maxBytes);
  // DELE: marks the message; the server deletes it at a QUIT it answers.
  void remove(int number);
  // QUIT, waiting for the answer (the deletions are done when it is +OK), then closes.
  void quit();
  // Reads a reply and classifies "+OK" as 1 and "-ERR" as 2.
  void readReply() override;
};
