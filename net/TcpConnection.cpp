#include "net/TcpConnection.h"

#include <algorithm>

#include "net/NetErrors.h"
#include "net/Socket.h"

TcpConnection::TcpConnection() : m_socket(std::make_unique<Socket>()) {}

TcpConnection::~TcpConnection() = default;

bool TcpConnection::connected() const { return m_socket->isOpen(); }

bool TcpConnection::isTls() const { return m_socket->isTls(); }

void TcpConnection::setStopFlag(const std::atomic<bool>* stop) {
  m_stop = stop;
  m_socket->setStopFlag(stop);
}

void TcpConnection::disconnect() {
  reportStatus(ConnectionStatus::Disconnecting, "Disconnecting.");
  closeSocket();
  if (onDisconnected) onDisconnected(*this);
  reportStatus(ConnectionStatus::Disconnected, "Disconnected.");
}

void TcpConnection::writeLine(const std::string& text) {
  if (text.find_first_of("\r\n") != std::string::npos)
    throw UnsafeTextError("Command line contains CR or LF.");
  if (!connected()) throw NotConnectedError();
  std::string line;
  line.reserve(text.size() + 2);
  line.append(text).append("\r\n");
  m_socket->sendAll(line.data(), line.size());
}

std::string TcpConnection::readLine() {
  if (!connected()) throw NotConnectedError();
  const std::size_t limit = static_cast<std::size_t>(std::max(maxLineLength, 0));
  std::size_t searchFrom = m_inPos;
  for (;;) {
    const std::size_t lf = m_in.find('\n', searchFrom);
    if (lf != std::string::npos) {
      std::size_t end = lf;
      if (end > m_inPos && m_in[end - 1] == '\r') --end;
      if (end - m_inPos > limit) throw LineTooLongError();
      std::string line = m_in.substr(m_inPos, end - m_inPos);
      m_inPos = lf + 1;
      return line;
    }
    // A line already longer than allowed is refused without waiting for its end.
    if (m_in.size() - m_inPos > limit + 1) throw LineTooLongError();
    if (m_inPos > 0) {
      m_in.erase(0, m_inPos);
      m_inPos = 0;
    }
    searchFrom = m_in.size();
    char buffer[8192];
    const std::size_t got = receiveSome(buffer, sizeof buffer);
    if (got == 0) {
      closeSocket();
      throw ConnectionClosedError();
    }
    m_in.append(buffer, got);
  }
}

// One wait for data, bounded by the read time-out and by what is left of the reply's
// overall limit. A reply of which nothing at all arrived within the read time-out is
// a read time-out as before ("Read Timeout"); otherwise the overall limit ends it.
std::size_t TcpConnection::receiveSome(char* buffer, std::size_t capacity) {
  int wait = readTimeoutMs > 0 ? readTimeoutMs : 0;
  bool deadlineBinds = false;
  if (m_deadlineActive) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(m_deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) throw ReplyDeadlineError();
    if (wait == 0 || left < wait) {
      wait = static_cast<int>(left);
      deadlineBinds = true;
    }
  }
  try {
    const std::size_t got = m_socket->receive(buffer, capacity, wait);
    if (got > 0) m_replyStarted = true;
    return got;
  } catch (const ReadTimeoutError&) {
    const bool silentForReadTimeout = !m_replyStarted && readTimeoutMs > 0 && m_deadlineMs >= readTimeoutMs;
    if (deadlineBinds && !silentForReadTimeout) throw ReplyDeadlineError();
    throw;
  }
}

TcpConnection::ReplyDeadline::ReplyDeadline(TcpConnection& c, int timeoutMs) : m_connection(c) {
  c.m_deadlineActive = timeoutMs > 0;
  c.m_deadlineMs = timeoutMs;
  c.m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  c.m_replyStarted = c.m_inPos < c.m_in.size();
}

TcpConnection::ReplyDeadline::~ReplyDeadline() { m_connection.m_deadlineActive = false; }

void TcpConnection::readReply() { readReplyWithin(replyTimeoutMs); }

void TcpConnection::readReplyWithin(int timeoutMs) {
  const ReplyDeadline deadline(*this, timeoutMs);
  std::size_t lineCount = 0;
  std::size_t byteCount = 0;
  // Every line counts, the empty ones the reply reader skips included.
  lastReply.readFrom([&] {
    std::string line = readLine();
    byteCount += line.size() + 2;
    if (++lineCount > maxReplyLines || byteCount > maxReplyBytes) throw ReplyTooLongError(maxReplyLines, maxReplyBytes);
    return line;
  });
  m_answered = std::move(m_pending);
  m_pending.clear();
}

std::string TcpConnection::readDotTerminated(int timeoutMs, std::size_t maxBytes) {
  const ReplyDeadline deadline(*this, timeoutMs);
  std::string text;
  for (;;) {
    const std::string line = readLine();
    if (line == ".") return text;
    const std::size_t skip = !line.empty() && line[0] == '.' ? 1 : 0;
    if (text.size() + line.size() + 2 > maxBytes)
      throw NetError("Message too long (more than " + std::to_string(maxBytes) + " bytes).");
    text.append(line, skip, std::string::npos).append("\r\n");
  }
}

int TcpConnection::checkReplyCode(std::initializer_list<int> expected) const {
  const int code = lastReply.code;
  if (expected.size() > 0 && std::find(expected.begin(), expected.end(), code) == expected.end())
    throw ProtocolReplyError(m_answered, lastReply, m_enhancedCodes ? lastReply.enhancedCode() : std::string());
  return code;
}

int TcpConnection::getResponse(std::initializer_list<int> expected) {
  readReply();
  return checkReplyCode(expected);
}

int TcpConnection::getResponseWithin(int timeoutMs, std::initializer_list<int> expected) {
  readReplyWithin(timeoutMs);
  return checkReplyCode(expected);
}

int TcpConnection::sendCommand(const std::string& text, std::initializer_list<int> expected) {
  return sendCommand(text.substr(0, text.find(' ')), text, expected);
}

int TcpConnection::sendCommand(const std::string& command, const std::string& text,
                               std::initializer_list<int> expected) {
  awaitReplyTo(command);
  writeLine(text);
  return getResponse(expected);
}

void TcpConnection::reportStatus(ConnectionStatus status, const std::string& text) {
  if (onStatus) onStatus(*this, status, text);
}

void TcpConnection::openSocket(const std::string& address, int port, int timeoutMs) {
  m_in.clear();
  m_inPos = 0;
  m_socket->connect(address, port, timeoutMs);
}

void TcpConnection::startTlsSession(const std::string& hostName) {
  if (!connected()) throw NotConnectedError();
  if (m_inPos < m_in.size()) {
    closeSocket();
    throw TlsError("Unexpected data before the TLS handshake.");
  }
  m_in.clear();
  m_inPos = 0;
  m_socket->startTls(hostName, handshakeTimeoutMs());
}

void TcpConnection::closeSocket() {
  m_socket->close();
  m_in.clear();
  m_inPos = 0;
}

void TcpConnection::quitWithoutReply() {
  if (!connected()) return;
  try {
    writeLine("QUIT");
  } catch (const NetError&) {
  }
}
