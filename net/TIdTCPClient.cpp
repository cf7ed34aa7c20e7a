#include "net/TIdTCPClient.h"

#include "net/IdException.h"
#include "net/Socket.h"

void TIdTCPClient::Connect(int timeoutMs) {
  if (Connected()) throw EIdAlreadyConnected();
  if (!Socket::isNumericAddress(Host)) DoStatus(TIdStatus::hsResolving, "Resolving hostname " + Host + ".");
  const std::string address = Socket::resolve(Host);
  DoStatus(TIdStatus::hsConnecting, "Connecting to " + address + ".");
  openSocket(address, Port, timeoutMs);
  DoStatus(TIdStatus::hsConnected, "Connected.");
  if (OnConnected) OnConnected(*this);
}
