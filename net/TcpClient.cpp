#include "net/TcpClient.h"

#include "net/NetErrors.h"
#include "net/Socket.h"

void TcpClient::Connect(int timeoutMs) {
  if (Connected()) throw AlreadyConnectedError();
  if (!Socket::isNumericAddress(Host)) reportStatus(ConnectionStatus::Resolving, "Resolving hostname " + Host + ".");
  const std::string address = Socket::resolve(Host);
  reportStatus(ConnectionStatus::Connecting, "Connecting to " + address + ".");
  openSocket(address, Port, timeoutMs);
  reportStatus(ConnectionStatus::Connected, "Connected.");
  if (onConnected) onConnected(*this);
}
