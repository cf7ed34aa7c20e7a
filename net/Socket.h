#pragma once
#include <atomic>
#include <cstddef>
#include <string>

// A TCP socket (IPv4) owned by this object. Every operating-system socket call of the
// program is in Socket.cpp. Failures raise SocketError with the system's error,
// ReadTimeoutError or ConnectTimeoutError.
class Socket {
 public:
  Socket() = default;
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
  void close();

 private:
  explicit Socket(int fd) : m_fd(fd) {}
  bool waitFor(short events, int timeoutMs) const;
  int m_fd = -1;
  const std::atomic<bool>* m_stop = nullptr;
};
