#include "net/TIdTCPConnection.h"

#include <algorithm>

#include "net/IdException.h"
#include "net/Socket.h"

TIdTCPConnection::TIdTCPConnection() : m_socket(std::make_unique<Socket>()) {}

TIdTCPConnection::~TIdTCPConnection() = default;

bool TIdTCPConnection::Connected() const { return m_socket->isOpen(); }

void TIdTCPConnection::Disconnect() {
  DoStatus(TIdStatus::hsDisconnecting, "Disconnecting.");
  closeSocket();
  if (OnDisconnected) OnDisconnected(*this);
  DoStatus(TIdStatus::hsDisconnected, "Disconnected.");
}

void TIdTCPConnection::WriteLine(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos)
    throw EIdUnsafeText("Command line contains CR or LF.");
  if (!Connected()) throw EIdNotConnected();
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  m_socket->sendAll(line.data(), line.size());
}

std::string TIdTCPConnection::ReadLn() {
  if (!Connected()) throw EIdNotConnected();
  const std::size_t limit = static_cast<std::size_t>(std::max(MaxLineLength, 0));
  std::size_t searchFrom = m_inPos;
  for (;;) {
    const std::size_t lf = m_in.find('\n', searchFrom);
    if (lf != std::string::npos) {
      std::size_t end = lf;
      if (end > m_inPos && m_in[end - 1] == '\r') --end;
      if (end - m_inPos > limit) throw EIdMaxLineLengthExceeded();
      std::string line = m_in.substr(m_inPos, end - m_inPos);
      m_inPos = lf + 1;
      return line;
    }
    // A line already longer than allowed is refused without waiting for its end.
    if (m_in.size() - m_inPos > limit + 1) throw EIdMaxLineLengthExceeded();
    if (m_inPos > 0) {
      m_in.erase(0, m_inPos);
      m_inPos = 0;
    }
    searchFrom = m_in.size();
    char buffer[8192];
    const std::size_t got = m_socket->receive(buffer, sizeof buffer, ReadTimeout);
    if (got == 0) {
      closeSocket();
      throw EIdConnClosedGracefully();
    }
    m_in.append(buffer, got);
  }
}

void TIdTCPConnection::ReadReply() {
  LastCmdResult.ReadFrom([this] { return ReadLn(); });
}

int TIdTCPConnection::GetResponse(std::initializer_list<int> expected) {
  ReadReply();
  const int code = LastCmdResult.NumericCode;
  if (expected.size() > 0 && std::find(expected.begin(), expected.end(), code) == expected.end())
    throw EIdProtocolReplyError(code, LastCmdResult.TextWithLineEnds());
  return code;
}

int TIdTCPConnection::SendCommand(const std::string& text, std::initializer_list<int> expected) {
  WriteLine(text);
  return GetResponse(expected);
}

void TIdTCPConnection::DoStatus(TIdStatus status, const std::string& text) {
  if (OnStatus) OnStatus(*this, status, text);
}

void TIdTCPConnection::openSocket(const std::string& address, int port, int timeoutMs) {
  m_in.clear();
  m_inPos = 0;
  m_socket->connect(address, port, timeoutMs);
}

void TIdTCPConnection::closeSocket() {
  m_socket->close();
  m_in.clear();
  m_inPos = 0;
}

void TIdTCPConnection::quitWithoutReply() {
  if (!Connected()) return;
  try {
    WriteLine("QUIT");
  } catch (const EIdException&) {
  }
}
