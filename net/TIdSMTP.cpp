#include "net/TIdSMTP.h"

#include <algorithm>
#include <cctype>

#include "net/IdException.h"
#include "net/MailEncoding.h"
#include "net/Socket.h"
#include "net/TIdMessage.h"

namespace {

std::string upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// Envelope addresses of every recipient, in the order To, Cc, Bcc.
std::vector<std::string> envelopeRecipients(const TIdMessage& message) {
  std::vector<std::string> all;
  for (const TIdEmailAddressList* list : {&message.Recipients, &message.CCList, &message.BccList})
    for (const TIdEmailAddressItem& item : list->Items) all.push_back(item.Address);
  return all;
}

}  // namespace

TIdSMTP::TIdSMTP() { Port = 25; }

void TIdSMTP::SetUseEhlo(bool value) {
  m_useEhlo = value;
  if (!value) m_authType = TAuthenticationType::atNone;
}

void TIdSMTP::SetAuthenticationType(TAuthenticationType value) {
  m_authType = value;
  if (value == TAuthenticationType::atLogin) m_useEhlo = true;
}

void TIdSMTP::Connect(int timeoutMs) {
  const std::string name = HeloName.empty() ? Socket::localHostName() : HeloName;
  if (name.find_first_of("\r\n") != std::string::npos) throw EIdUnsafeText("Command line contains CR or LF.");
  TIdTCPClient::Connect(timeoutMs);
  try {
    GetResponse({220});
    AuthSchemesSupported.clear();
    if (m_useEhlo && SendCommand("EHLO " + name) == 250) {
      collectAuthSchemes();
      return;
    }
    SendCommand("HELO " + name, {250});
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TIdSMTP::collectAuthSchemes() {
  for (const std::string& line : LastCmdResult.Text) {
    const std::string text = upper(line);
    if (text.compare(0, 5, "AUTH ") != 0 && text.compare(0, 5, "AUTH=") != 0) continue;
    std::string words = text.substr(5);
    std::replace(words.begin(), words.end(), '=', ' ');
    std::size_t start = 0;
    while (start < words.size()) {
      std::size_t end = words.find(' ', start);
      if (end == std::string::npos) end = words.size();
      const std::string word = words.substr(start, end - start);
      if (!word.empty() && std::find(AuthSchemesSupported.begin(), AuthSchemesSupported.end(), word) ==
                               AuthSchemesSupported.end())
        AuthSchemesSupported.push_back(word);
      start = end + 1;
    }
  }
}

std::vector<std::string> TIdSMTP::MessageLines(TIdMessage& message) {
  message.GenerateHeader();
  std::vector<std::string> lines = message.Headers.Lines();
  lines.emplace_back();
  for (const std::string& bodyLine : message.Body) {
    // A line break inside a body line is a line end, never a way out of DATA.
    for (const std::string& piece : splitTextLines(bodyLine)) {
      std::string line = mailEncoding::sjisToJis(piece);
      if (!line.empty() && line[0] == '.') line.insert(line.begin(), '.');
      lines.push_back(std::move(line));
    }
    if (bodyLine.empty()) lines.emplace_back();
  }
  return lines;
}

void TIdSMTP::Send(TIdMessage& message) {
  // Everything that goes on the wire is built and checked before the first command.
  message.ExtraHeaders.SetValue("X-Mailer", MailAgent);
  const std::vector<std::string> lines = MessageLines(message);
  const std::vector<std::string> recipients = envelopeRecipients(message);

  SendCommand("RSET");
  // AUTH LOGIN is not offered: the program never authenticates over SMTP.
  SendCommand("MAIL FROM:<" + message.From.Address + ">", {250});
  for (const std::string& address : recipients) SendCommand("RCPT TO:<" + address + ">", {250, 251});
  SendCommand("DATA", {354});
  std::string block;
  for (const std::string& line : lines) block.append(line).append("\r\n");
  block.append(".\r\n");
  if (!Connected()) throw EIdNotConnected();
  socket().sendAll(block.data(), block.size());
  GetResponse({250});
}

void TIdSMTP::Disconnect() {
  quitWithoutReply();
  m_didAuthenticate = false;
  TIdTCPClient::Disconnect();
}
