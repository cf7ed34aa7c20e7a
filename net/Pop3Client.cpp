#include "net/Pop3Client.h"

#include "net/NetErrors.h"

Pop3Client::Pop3Client() { Port = 110; }

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

void Pop3Client::Connect(int timeoutMs) {
  TcpClient::Connect(timeoutMs);
  try {
    getResponse({OK});
    sendCommand("USER " + Username, {OK});
    sendCommand("PASS " + Password, {OK});
  } catch (...) {
    Disconnect();
    throw;
  }
}

void Pop3Client::Disconnect() {
  quitWithoutReply();
  TcpClient::Disconnect();
}
