#include "net/SmtpClient.h"

#include <algorithm>
#include <cctype>

#include "net/NetErrors.h"
#include "net/Socket.h"
#include "net/MailMessage.h"
#include "text/JapaneseText.h"

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Envelope addresses of every recipient.
std::vector<std::string> envelopeRecipients(const MailMessage& message) {
  std::vector<std::string> all;
  for (const EmailAddress& item : message.recipients.items) all.push_back(item.address);
  return all;
}

}  // namespace

SmtpClient::SmtpClient() {
  port = 25;
  replyTimeoutMs = 60000;
  m_enhancedCodes = true;
}

void SmtpClient::setUseEhlo(bool value) {
  m_useEhlo = value;
  if (!value) m_authType = AuthenticationType::none;
}

void SmtpClient::setAuthenticationType(AuthenticationType value) {
  m_authType = value;
  if (value == AuthenticationType::login) m_useEhlo = true;
}

void SmtpClient::connect(int timeoutMs) {
  const std::string name = heloName.empty() ? Socket::localHostName() : heloName;
  if (name.find_first_of("\r\n") != std::string::npos) throw UnsafeTextError("Command line contains CR or LF.");
  m_didAuthenticate = false;
  TcpClient::connect(timeoutMs);
  try {
    if (security == SmtpSecurity::ImplicitTls) startTls();
    getResponse({220});
    greet(name);
    if (security == SmtpSecurity::StartTls) {
      if (!offers("STARTTLS")) throw MissingServerFeatureError("The server does not offer STARTTLS.");
      sendCommand("STARTTLS", {220});
      startTls();
      greet(name);
    }
    if (m_authType == AuthenticationType::login) {
      if (security == SmtpSecurity::None && !loginWithoutTls)
        throw MissingServerFeatureError(offers("STARTTLS")
                                            ? "The password is not sent without encryption; the server offers STARTTLS."
                                            : "The password is not sent without encryption.",
                                        MissingServerFeatureError::Feature::plainLogin);
      authenticate();
    }
  } catch (...) {
    disconnect();
    throw;
  }
}

void SmtpClient::greet(const std::string& name) {
  authSchemes.clear();
  m_extensions.clear();
  const bool needsEhlo = security == SmtpSecurity::StartTls || m_authType == AuthenticationType::login;
  if (m_useEhlo || needsEhlo) {
    if (sendCommand("EHLO " + name) == 250) {
      m_extensions = lastReply.lines;
      collectAuthSchemes();
      return;
    }
    if (needsEhlo) checkReplyCode({250});
  }
  sendCommand("HELO " + name, {250});
}

bool SmtpClient::offers(const std::string& extension) const {
  for (const std::string& line : m_extensions) {
    const std::string word = upper(line.substr(0, line.find(' ')));
    if (word == extension) return true;
  }
  return false;
}

void SmtpClient::authenticate() {
  const auto offered = [this](const char* scheme) {
    return std::find(authSchemes.begin(), authSchemes.end(), scheme) != authSchemes.end();
  };
  if (offered("PLAIN")) {
    sendCommand("AUTH", "AUTH PLAIN " + JapaneseText::base64(std::string(1, '\0') + user + '\0' + password), {235});
  } else if (offered("LOGIN")) {
    sendCommand("AUTH", "AUTH LOGIN", {334});
    sendCommand("AUTH", JapaneseText::base64(user), {334});
    sendCommand("AUTH", JapaneseText::base64(password), {235});
  } else {
    throw MissingServerFeatureError("The server does not offer SMTP AUTH PLAIN or LOGIN.",
                                    MissingServerFeatureError::Feature::loginMechanism);
  }
  m_didAuthenticate = true;
}

void SmtpClient::collectAuthSchemes() {
  for (const std::string& line : lastReply.lines) {
    const std::string text = upper(line);
    if (text.compare(0, 5, "AUTH ") != 0 && text.compare(0, 5, "AUTH=") != 0) continue;
    std::string words = text.substr(5);
    std::replace(words.begin(), words.end(), '=', ' ');
    std::size_t start = 0;
    while (start < words.size()) {
      std::size_t end = words.find(' ', start);
      if (end == std::string::npos) end = words.size();
      const std::string word = words.substr(start, end - start);
      if (!word.empty() && std::find(authSchemes.begin(), authSchemes.end(), word) ==
                               authSchemes.end())
        authSchemes.push_back(word);
      start = end + 1;
    }
  }
}

std::vector<std::string> SmtpClient::messageLines(MailMessage& message) {
  message.generateHeader();
  std::vector<std::string> lines = message.headers.lines();
  lines.emplace_back();
  for (const std::string& bodyLine : message.body) {
    // A line break inside a body line is a line end, never a way out of DATA.
    for (const std::string& piece : splitTextLines(bodyLine)) {
      std::string line = JapaneseText::sjisToJis(piece);
      if (!line.empty() && line[0] == '.') line.insert(line.begin(), '.');
      lines.push_back(std::move(line));
    }
    if (bodyLine.empty()) lines.emplace_back();
  }
  return lines;
}

void SmtpClient::send(MailMessage& message) {
  awaitReplyTo(std::string());  // nothing of this mail is on the wire yet
  // Everything that goes on the wire is built and checked before the first command.
  message.extraHeaders.setValue("X-Mailer", mailAgent);
  const std::vector<std::string> lines = messageLines(message);
  const std::vector<std::string> recipients = envelopeRecipients(message);

  const std::string& sender = message.envelopeSender.empty() ? message.from.address : message.envelopeSender;
  if (sender.find_first_of("\r\n<>") != std::string::npos) throw UnsafeTextError("The envelope sender contains CR, LF or an angle bracket.");
  sendCommand("RSET");
  sendCommand("MAIL FROM", "MAIL FROM:<" + sender + ">", {250});
  for (const std::string& address : recipients) sendCommand("RCPT TO", "RCPT TO:<" + address + ">", {250, 251});
  sendCommand("DATA", {354});
  std::string block;
  for (const std::string& line : lines) block.append(line).append("\r\n");
  block.append(".\r\n");
  if (!connected()) throw NotConnectedError();
  awaitReplyTo("DATA");
  socket().sendAll(block.data(), block.size());
  // From here on the server may have taken the mail whatever befalls its reply.
  awaitReplyTo(".");
  getResponseWithin(dataReplyTimeoutMs, {250});
}

void SmtpClient::disconnect() {
  quitWithoutReply();
  m_didAuthenticate = false;
  TcpClient::disconnect();
}
