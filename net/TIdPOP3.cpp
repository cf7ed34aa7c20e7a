#include "net/TIdPOP3.h"

#include "net/IdException.h"

TIdPOP3::TIdPOP3() { Port = 110; }

void TIdPOP3::ReadReply() {
  TIdTCPClient::ReadReply();
  if (LastCmdResult.TextCode == "+OK") {
    LastCmdResult.NumericCode = OK;
  } else if (LastCmdResult.TextCode == "-ERR") {
    LastCmdResult.NumericCode = ERR;
  } else {
    throw EIdException("Unrecognized POP3 Response Header:\n\"" + LastCmdResult.FirstLine + "\"");
  }
}

void TIdPOP3::Connect(int timeoutMs) {
  TIdTCPClient::Connect(timeoutMs);
  try {
    GetResponse({OK});
    SendCommand("USER " + Username, {OK});
    SendCommand("PASS " + Password, {OK});
  } catch (...) {
    Disconnect();
    throw;
  }
}

void TIdPOP3::Disconnect() {
  quitWithoutReply();
  TIdTCPClient::Disconnect();
}
