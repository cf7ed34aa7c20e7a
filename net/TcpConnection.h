#pragma once
#include <atomic>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/ConnectionStatus.h"
#include "net/ServerReply.h"

class Socket;

// A line-oriented connection with numbered replies: the base of the SMTP, POP3 and
// FTP clients.
class TcpConnection {
 public:
  using StatusEvent = std::function<void(TcpConnection& sender, ConnectionStatus status, const std::string& text)>;
  using NotifyEvent = std::function<void(TcpConnection& sender)>;

  TcpConnection();
  virtual ~TcpConnection();
  TcpConnection(const TcpConnection&) = delete;
  TcpConnection& operator=(const TcpConnection&) = delete;

  int readTimeoutMs = 0;  // milliseconds; 0 waits without limit
  int maxLineLength = 16384;
  ServerReply lastReply;
  StatusEvent onStatus;
  NotifyEvent onConnected;
  NotifyEvent onDisconnected;

  bool connected() const;
  // A stop request (the operator's "中 断") ends any wait of this connection, and of
  // the data connections it opens, with StoppedError within a fraction of a second.
  void setStopFlag(const std::atomic<bool>* stop);
  const std::atomic<bool>* stopFlag() const { return m_stop; }
  virtual void disconnect();

  // Sends text and CR LF; text holding CR or LF is refused before anything is sent.
  void writeLine(const std::string& text);
  std::string readLine();
  virtual void readReply();
  // Reads a reply and checks its code; an empty list accepts any code.
  int getResponse(std::initializer_list<int> expected);
  int sendCommand(const std::string& text, std::initializer_list<int> expected = {});

  void reportStatus(ConnectionStatus status, const std::string& text);

 protected:
  Socket& socket() { return *m_socket; }
  void openSocket(const std::string& address, int port, int timeoutMs);
  void closeSocket();
  // Writes QUIT when connected, without reading the answer; a failing write is
  // ignored because the caller closes the connection next.
  void quitWithoutReply();

 private:
  std::unique_ptr<Socket> m_socket;
  const std::atomic<bool>* m_stop = nullptr;
  std::string m_in;
  std::size_t m_inPos = 0;
};
