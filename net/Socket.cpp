#include "net/Socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "net/NetErrors.h"
#include "net/TlsSession.h"

namespace {

// Error numbers and descriptions as the operator knows them from Windows Sockets.
[[noreturn]] void throwSocketError(int err) {
  struct Known {
    int errnoValue;
    int code;
    const char* text;
  };
  static const Known known[] = {
      {ECONNREFUSED, 10061, "Connection refused."},
      {ETIMEDOUT, 10060, "Connection timed out."},
      {ECONNRESET, 10054, "Connection reset by peer."},
      {ECONNABORTED, 10053, "Software caused connection abort."},
      {EPIPE, 10058, "Cannot send after socket shutdown."},
      {ENETUNREACH, 10051, "Network is unreachable."},
      {EHOSTUNREACH, 10065, "No route to host."},
      {EADDRINUSE, 10048, "Address already in use."},
      {EADDRNOTAVAIL, 10049, "Cannot assign requested address."},
  };
  for (const Known& k : known)
    if (k.errnoValue == err) throw SocketError(k.code, k.text);
  throw SocketError(err, std::strerror(err));
}

sockaddr_in makeAddress(const std::string& address, int port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(static_cast<uint16_t>(port));
  if (inet_pton(AF_INET, address.c_str(), &sa.sin_addr) != 1) throw SocketError(11001, "Host not found.");
  return sa;
}

constexpr int kStopCheckMs = 200;

int newTcpSocket() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) throwSocketError(errno);
  return fd;
}

}  // namespace

Socket::Socket() = default;

Socket::Socket(int fd) : m_fd(fd) {}

Socket::~Socket() { close(); }

// Waits for the events; false when timeoutMs passed first (timeoutMs <= 0: no limit).
// The wait is cut into slices so that a stop request is seen within kStopCheckMs.
bool Socket::waitFor(short events, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd p{m_fd, events, 0};
  for (;;) {
    if (m_stop && m_stop->load()) throw StoppedError();
    int slice = kStopCheckMs;
    if (timeoutMs > 0) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return false;
      if (left < slice) slice = static_cast<int>(left);
    } else if (!m_stop) {
      slice = -1;
    }
    const int rc = ::poll(&p, 1, slice);
    if (rc > 0) return true;
    if (rc < 0 && errno != EINTR) throwSocketError(errno);
  }
}

Socket::Socket(Socket&& other) noexcept : m_fd(other.m_fd), m_stop(other.m_stop), m_tls(std::move(other.m_tls)) {
  other.m_fd = -1;
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    m_fd = other.m_fd;
    m_tls = std::move(other.m_tls);
    other.m_fd = -1;
  }
  return *this;
}

namespace {

// Milliseconds left until deadline for a wait of timeoutMs (<= 0: no limit, 0 returned);
// -1 once the deadline has passed.
int millisecondsLeft(int timeoutMs, std::chrono::steady_clock::time_point deadline) {
  if (timeoutMs <= 0) return 0;
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
  return left <= 0 ? -1 : static_cast<int>(left);
}

}  // namespace

bool Socket::waitForTls(int step, int timeoutMs, std::chrono::steady_clock::time_point deadline) const {
  const int left = millisecondsLeft(timeoutMs, deadline);
  if (left < 0) return false;
  const short events = step == static_cast<int>(TlsSession::Step::WantWrite) ? POLLOUT : POLLIN;
  return waitFor(events, left);
}

void Socket::startTls(const std::string& hostName, int timeoutMs, const Socket* resumeFrom) {
  if (m_fd < 0) throw NotConnectedError();
  ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
  m_tls = std::make_unique<TlsSession>(m_fd, hostName, resumeFrom ? resumeFrom->m_tls.get() : nullptr);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  try {
    for (;;) {
      const TlsSession::Step step = m_tls->handshake();
      if (step == TlsSession::Step::Done) return;
      if (!waitForTls(static_cast<int>(step), timeoutMs, deadline)) throw ReplyDeadlineError();
    }
  } catch (...) {
    // Nothing may go on in plain text after a failed handshake.
    m_tls.reset();
    close();
    throw;
  }
}

std::size_t Socket::receiveTls(char* buffer, std::size_t capacity, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  // Bytes OpenSSL already holds are read before any wait.
  for (;;) {
    if (m_stop && m_stop->load()) throw StoppedError();
    std::size_t got = 0;
    const TlsSession::Step step = m_tls->read(buffer, capacity, got);
    if (step == TlsSession::Step::Done) return got;
    if (step == TlsSession::Step::Closed) return 0;
    if (!waitForTls(static_cast<int>(step), timeoutMs, deadline)) throw ReadTimeoutError();
  }
}

void Socket::sendAllTls(const char* data, std::size_t size) {
  while (size > 0) {
    std::size_t sent = 0;
    const TlsSession::Step step = m_tls->write(data, size, sent);
    if (step == TlsSession::Step::Closed) throwSocketError(EPIPE);
    if (step == TlsSession::Step::Done) {
      data += sent;
      size -= sent;
      continue;
    }
    waitFor(step == TlsSession::Step::WantWrite ? POLLOUT : POLLIN, 0);
  }
}

bool Socket::isNumericAddress(const std::string& host) {
  in_addr a{};
  return inet_pton(AF_INET, host.c_str(), &a) == 1;
}

std::string Socket::resolve(const std::string& host) {
  if (isNumericAddress(host)) return host;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (host.empty() || ::getaddrinfo(host.c_str(), nullptr, &hints, &found) != 0 || !found)
    throw SocketError(11001, "Host not found.");
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &reinterpret_cast<sockaddr_in*>(found->ai_addr)->sin_addr, text, sizeof text);
  ::freeaddrinfo(found);
  return text;
}

std::string Socket::localHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

void Socket::connect(const std::string& address, int port, int timeoutMs) {
  close();
  const sockaddr_in sa = makeAddress(address, port);
  m_fd = newTcpSocket();
  const int flags = ::fcntl(m_fd, F_GETFL);
  ::fcntl(m_fd, F_SETFL, flags | O_NONBLOCK);
  if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0) {
    const int err = errno;
    if (err != EINPROGRESS) {
      close();
      throwSocketError(err);
    }
    if (!waitFor(POLLOUT, timeoutMs)) {
      close();
      throw ConnectTimeoutError();
    }
    int soError = 0;
    socklen_t len = sizeof soError;
    ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &soError, &len);
    if (soError != 0) {
      close();
      throwSocketError(soError);
    }
  }
  ::fcntl(m_fd, F_SETFL, flags & ~O_NONBLOCK);
  const int one = 1;
  ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

void Socket::sendAll(const char* data, std::size_t size) {
  if (m_tls) return sendAllTls(data, size);
  while (size > 0) {
    const ssize_t sent = ::send(m_fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0) {
      if (errno == EINTR) continue;
      // A peer that does not read: wait until it does, or until a stop request.
      if (errno == EAGAIN || errno == EWOULDBLOCK) {
        waitFor(POLLOUT, 0);
        continue;
      }
      throwSocketError(errno);
    }
    data += sent;
    size -= static_cast<std::size_t>(sent);
  }
}

std::size_t Socket::receive(char* buffer, std::size_t capacity, int timeoutMs) {
  if (m_tls) return receiveTls(buffer, capacity, timeoutMs);
  if (!waitFor(POLLIN, timeoutMs)) throw ReadTimeoutError();
  for (;;) {
    const ssize_t got = ::recv(m_fd, buffer, capacity, 0);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throwSocketError(errno);
  }
}

void Socket::listenOn(const std::string& address, int backlog) {
  close();
  const sockaddr_in sa = makeAddress(address, 0);
  m_fd = newTcpSocket();
  if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&sa), sizeof sa) != 0 || ::listen(m_fd, backlog) != 0) {
    const int err = errno;
    close();
    throwSocketError(err);
  }
}

Socket Socket::accept(int timeoutMs) {
  if (!waitFor(POLLIN, timeoutMs)) throw ReadTimeoutError();
  const int fd = ::accept4(m_fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) throwSocketError(errno);
  return Socket(fd);
}

std::string Socket::localAddress() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text);
  return text;
}

std::string Socket::peerAddress() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  if (::getpeername(m_fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0) throwSocketError(errno);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &sa.sin_addr, text, sizeof text);
  return text;
}

int Socket::localPort() const {
  sockaddr_in sa{};
  socklen_t len = sizeof sa;
  ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&sa), &len);
  return ntohs(sa.sin_port);
}

void Socket::shutdownWrite() {
  if (m_fd >= 0) ::shutdown(m_fd, SHUT_WR);
}

void Socket::closeAfterSending(int timeoutMs) {
  if (m_fd < 0) return;
  if (m_tls) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (TlsSession::Step step; (step = m_tls->shutdown()) == TlsSession::Step::WantWrite;)
      if (!waitForTls(static_cast<int>(step), timeoutMs, deadline)) break;
    m_tls.reset();
  }
  ::shutdown(m_fd, SHUT_WR);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  char buffer[4096];
  for (;;) {
    const int left = millisecondsLeft(timeoutMs, deadline);
    if (left < 0 || !waitFor(POLLIN, left)) break;
    const ssize_t got = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
  }
  close();
}

void Socket::close() {
  if (m_tls) {
    // close_notify, so that the peer can tell a complete upload from a cut one; a
    // full send buffer is waited for a short moment only.
    try {
      TlsSession::Step step = m_tls->shutdown();
      for (int tries = 0; step == TlsSession::Step::WantWrite && tries < 10; ++tries) {
        pollfd p{m_fd, POLLOUT, 0};
        if (::poll(&p, 1, 200) <= 0) break;
        step = m_tls->shutdown();
      }
    } catch (const NetError&) {
    }
    m_tls.reset();
  }
  if (m_fd >= 0) {
    ::close(m_fd);
    m_fd = -1;
  }
}
