#pragma once
#include <string>
#include <vector>

#include "net/TIdTCPClient.h"

class TIdMessage;

enum class TAuthenticationType { atNone, atLogin };

// SMTP client: greeting and EHLO (HELO as fall-back), one message per Send, QUIT on
// Disconnect without waiting for the answer.
class TIdSMTP : public TIdTCPClient {
 public:
  TIdSMTP();

  std::string HeloName;   // empty: the local host name
  std::string MailAgent;  // empty: no extra X-Mailer line
  std::vector<std::string> AuthSchemesSupported;

  bool UseEhlo() const { return m_useEhlo; }
  void SetUseEhlo(bool value);
  TAuthenticationType AuthenticationType() const { return m_authType; }
  void SetAuthenticationType(TAuthenticationType value);

  void Connect(int timeoutMs = -1) override;
  // Sends the message; an unsafe address or header is refused before any command.
  void Send(TIdMessage& message);
  void Disconnect() override;

  // The DATA section of a message: header lines, an empty line, dot-stuffed body lines.
  static std::vector<std::string> MessageLines(TIdMessage& message);

 private:
  void collectAuthSchemes();

  bool m_useEhlo = true;
  TAuthenticationType m_authType = TAuthenticationType::atNone;
  bool m_didAuthenticate = false;
};
