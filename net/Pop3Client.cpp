#include "net/Pop3Client.h"

#include "net/NetErrors.h"

Pop3Client::Pop3Client() {
  port = 110;
  replyTimeoutMs = 60000;
}

void Pop3Client::readReply() {
  TcpClient::readReply();
  if (lastReply.codeText == "+OK") {
    lastReply.code = OK;
  } else if (lastReply.codeText == "-ERR") {
    lastReply.code = ERR;
  } else {
    throw NetError("Unrecognized POP3 Response Header:\n\"" + lastReply.firstLine + "\"");
  }
}

void Pop3Client::connect(int timeoutMs) {
  TcpClient::connect(timeoutMs);
  try {
    if (security == Pop3Security::ImplicitTls) startTls();
    getResponse({OK});
    if (security == Pop3Security::Stls) {
      if (sendCommand("STLS") != OK) throw MissingServerFeatureError("The server does not offer STLS.");
      startTls();
    }
    sendCommand("USER " + user, {OK});
    sendCommand("PASS", "PASS " + password, {OK});
  } catch (...) {
    disconnect();
    throw;
  }
}

void Pop3Client::disconnect() {
  quitWithoutReply();
  TcpClient::disconnect();
}
