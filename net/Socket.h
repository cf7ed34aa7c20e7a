#pragma once
#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

class TlsSession;

// A TCP socket (IPv4) owned by this object, optionally carrying TLS. Every
// operating-system socket call of the program is in Socket.cpp, every TLS call in
// TlsSession.cpp. Failures raise SocketError with the system's error, ReadTimeoutError,
// ConnectTimeoutError, TlsError or CertificateError.
class Socket {
 public:
  Socket();
  ~Socket();
  Socket(Socket&& other) noexcept;
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;

  static bool isNumericAddress(const std::string& host);
  // Numeric IPv4 address of host; "Host not found." when it has none.
  static std::string resolve(const std::string& host);
  static std::string localHostName();

  bool isOpen() const { return m_fd >= 0; }
  // Every wait of this socket (connect, receive, send, accept) looks at the flag at
  // least every 200 ms and raises StoppedError once it is set; nullptr: no stop.
  void setStopFlag(const std::atomic<bool>* stop) { m_stop = stop; }
  const std::atomic<bool>* stopFlag() const { return m_stop; }
  // timeoutMs <= 0: no limit of our own.
  void connect(const std::string& address, int port, int timeoutMs);
  // TLS handshake as the client on the connected socket; from then on every send and
  // receive is encrypted. hostName is checked against the certificate. resumeFrom: a
  // TLS socket whose session is offered for resumption. timeoutMs <= 0: no limit.
  void startTls(const std::string& hostName, int timeoutMs, const Socket* resumeFrom = nullptr);
  bool isTls() const { return m_tls != nullptr; }
  void sendAll(const char* data, std::size_t size);
  // Waits up to timeoutMs (0: without limit) for data; 0 means the peer closed.
  std::size_t receive(char* buffer, std::size_t capacity, int timeoutMs);
  // Listening socket on address with a port the system chooses.
  void listenOn(const std::string& address, int backlog);
  Socket accept(int timeoutMs);
  std::string localAddress() const;
  // Numeric address of the connected peer.
  std::string peerAddress() const;
  int localPort() const;
  void shutdownWrite();
  // Ends the sending side (close_notify under TLS, then FIN) and reads until the peer
  // closes, at most timeoutMs, before closing: closing with unread bytes (a TLS 1.3
  // session ticket, say) would reset the connection and could cut what was sent.
  void closeAfterSending(int timeoutMs);
  void close();

 private:
  explicit Socket(int fd);
  bool waitFor(short events, int timeoutMs) const;
  // Waits as a TLS step asks, until deadline; false when the deadline passed.
  bool waitForTls(int step, int timeoutMs, std::chrono::steady_clock::time_point deadline) const;
  std::size_t receiveTls(char* buffer, std::size_t capacity, int timeoutMs);
  void sendAllTls(const char* data, std::size_t size);
  int m_fd = -1;
  const std::atomic<bool>* m_stop = nullptr;
  std::unique_ptr<TlsSession> m_tls;
};
