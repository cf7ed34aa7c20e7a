#pragma once
#include <string>
#include <vector>

#include "net/TcpClient.h"

class MailMessage;

enum class AuthenticationType { none, login };

// How the connection is protected; the numbers are those of the SmtpSecurity setting.
enum class SmtpSecurity : int { None = 0, StartTls = 1, ImplicitTls = 2 };

// SMTP client: greeting and EHLO (HELO as fall-back), optionally TLS (STARTTLS or from
// the first byte) and SMTP AUTH, one message per send, QUIT on disconnect without
// waiting for the answer.
class SmtpClient : public TcpClient {
 public:
  SmtpClient();

  std::string heloName;   // empty: the local host name
  std::string mailAgent;  // empty: no extra X-Mailer line
  std::vector<std::string> authSchemes;
  // The overall limit of the reply to the final "." of DATA (other replies:
  // replyTimeoutMs, 60 s).
  int dataReplyTimeoutMs = 300000;
  // StartTls: a server that does not offer STARTTLS is refused
  // (MissingServerFeatureError), never used in plain text; EHLO is sent again over
  // TLS (RFC 3207).
  SmtpSecurity security = SmtpSecurity::None;
  // Without TLS the login is refused before any password goes out
  // (MissingServerFeatureError) unless this is set.
  bool loginWithoutTls = false;

  bool useEhlo() const { return m_useEhlo; }
  void setUseEhlo(bool value);
  AuthenticationType authenticationType() const { return m_authType; }
  // login: SMTP AUTH with user and password after EHLO, PLAIN when the server offers
  // it, else LOGIN (MissingServerFeatureError when neither). A refused login raises
  // ProtocolReplyError for "AUTH" with the server's reply.
  // The password is never part of a status text.
  void setAuthenticationType(AuthenticationType value);
  bool didAuthenticate() const { return m_didAuthenticate; }

  // Connects, greets, protects and logs in as set; on any failure it disconnects.
  void connect(int timeoutMs = -1) override;
  // Sends the message; an unsafe address or header is refused before any command.
  // A refusal raises ProtocolReplyError with the command it answered. Should anything
  // else end it, pendingCommand() tells how far the mail got: "DATA" while its lines go
  // out, "." once the final "." has gone out and its reply is still awaited (the server
  // may have taken the mail).
  void send(MailMessage& message);
  void disconnect() override;

  // The DATA section of a message: header lines, an empty line, dot-stuffed body lines.
  static std::vector<std::string> messageLines(MailMessage& message);

 private:
  void collectAuthSchemes();
  // EHLO (HELO when EHLO is refused and nothing needs it); keeps the extensions.
  void greet(const std::string& name);
  bool offers(const std::string& extension) const;
  void authenticate();

  std::vector<std::string> m_extensions;

  bool m_useEhlo = true;
  AuthenticationType m_authType = AuthenticationType::none;
  bool m_didAuthenticate = false;
};
