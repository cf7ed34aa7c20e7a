#include "net/TcpClient.h"

#include "net/NetErrors.h"
#include "net/Socket.h"

void TcpClient::connect(int timeoutMs) {
  if (connected()) throw AlreadyConnectedError();
  awaitReplyTo("connect");  // the greeting
  if (!Socket::isNumericAddress(host)) reportStatus(ConnectionStatus::Resolving, "Resolving hostname " + host + ".");
  const std::string address = Socket::resolve(host);
  reportStatus(ConnectionStatus::Connecting, "Connecting to " + address + ".");
  openSocket(address, port, timeoutMs < 0 ? connectTimeoutMs : timeoutMs);
  reportStatus(ConnectionStatus::connected, "Connected.");
  if (onConnected) onConnected(*this);
}

void TcpClient::startTls() {
  reportStatus(ConnectionStatus::StatusText, "Starting TLS.");
  startTlsSession(host);
}
