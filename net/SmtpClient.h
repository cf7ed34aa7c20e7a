#pragma once
#include <string>
#include <vector>

#include "net/TcpClient.h"

class MailMessage;

enum class AuthenticationType { atNone, atLogin };

// SMTP client: greeting and EHLO (HELO as fall-back), one message per send, QUIT on
// disconnect without waiting for the answer.
class SmtpClient : public TcpClient {
 public:
  SmtpClient();

  std::string heloName;   // empty: the local host name
  std::string mailAgent;  // empty: no extra X-Mailer line
  std::vector<std::string> authSchemes;
  // The overall limit of the reply to the final "." of DATA (other replies:
  // replyTimeoutMs, 60 s).
  int dataReplyTimeoutMs = 300000;

  bool useEhlo() const { return m_useEhlo; }
  void setUseEhlo(bool value);
  AuthenticationType authenticationType() const { return m_authType; }
  void setAuthenticationType(AuthenticationType value);

  void connect(int timeoutMs = -1) override;
  // Sends the message; an unsafe address or header is refused before any command.
  void send(MailMessage& message);
  void disconnect() override;

  // The DATA section of a message: header lines, an empty line, dot-stuffed body lines.
  static std::vector<std::string> messageLines(MailMessage& message);

 private:
  void collectAuthSchemes();

  bool m_useEhlo = true;
  AuthenticationType m_authType = AuthenticationType::atNone;
  bool m_didAuthenticate = false;
};
