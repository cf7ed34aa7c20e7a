#pragma once
#include <atomic>
#include <chrono>
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

  int readTimeoutMs = 0;  // one wait for data, in milliseconds; 0 waits without limit
  // One whole reply, however slowly it trickles in; 0: no overall limit. Past it the
  // read fails with ReplyDeadlineError ("Read timed out.").
  int replyTimeoutMs = 0;
  int maxLineLength = 16384;
  // A reply of more lines or bytes fails with ReplyTooLongError.
  std::size_t maxReplyLines = 1000;
  std::size_t maxReplyBytes = 1024 * 1024;
  ServerReply lastReply;
  StatusEvent onStatus;
  NotifyEvent onConnected;
  NotifyEvent onDisconnected;

  bool connected() const;
  bool isTls() const;
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
  // The same with its own overall limit for this one reply (0: none).
  int getResponseWithin(int timeoutMs, std::initializer_list<int> expected);
  // Sends text and reads its reply, which answers text's first word ("USER", "PASV").
  int sendCommand(const std::string& text, std::initializer_list<int> expected = {});
  // The same for a command named otherwise ("MAIL FROM") or whose line must not be
  // kept (the lines of a login).
  int sendCommand(const std::string& command, const std::string& text, std::initializer_list<int> expected);
  // The command whose reply has not been read yet ("connect" while the greeting is
  // awaited), empty between replies: where a lost connection, a time-out or a stop
  // struck.
  const std::string& pendingCommand() const { return m_pending; }

  void reportStatus(ConnectionStatus status, const std::string& text);

 protected:
  Socket& socket() { return *m_socket; }
  void openSocket(const std::string& address, int port, int timeoutMs);
  // Reads one reply within timeoutMs overall (0: no overall limit), and within the
  // line and byte limits.
  void readReplyWithin(int timeoutMs);
  // Reads the lines of a multi-line answer up to the line of a single dot, undoing the
  // dot-stuffing, each line ended by CR LF; within timeoutMs overall (0: no limit) and
  // maxBytes (else NetError, the rest left unread).
  std::string readDotTerminated(int timeoutMs, std::size_t maxBytes);
  // Raises ProtocolReplyError unless lastReply's code is expected (empty: any).
  int checkReplyCode(std::initializer_list<int> expected) const;
  // The next reply read answers command.
  void awaitReplyTo(std::string command) { m_pending = std::move(command); }
  // Replies may start their text with an RFC 3463 code, which errors then carry (SMTP).
  bool m_enhancedCodes = false;
  // Client side of TLS on the open connection, hostName checked against the
  // certificate. Refused while received bytes are still unread: they came before the
  // handshake and must not be taken as protected.
  void startTlsSession(const std::string& hostName);
  // The limit of a TLS handshake: the reply limit, else the read time-out.
  int handshakeTimeoutMs() const { return replyTimeoutMs > 0 ? replyTimeoutMs : readTimeoutMs; }
  void closeSocket();
  // Writes QUIT when connected, without reading the answer; a failing write is
  // ignored because the caller closes the connection next.
  void quitWithoutReply();

 private:
  std::size_t receiveSome(char* buffer, std::size_t capacity);
  // The overall limit of one reply (0: none), from its construction to its end.
  class ReplyDeadline {
   public:
    ReplyDeadline(TcpConnection& connection, int timeoutMs);
    ~ReplyDeadline();

   private:
    TcpConnection& m_connection;
  };

  std::unique_ptr<Socket> m_socket;
  const std::atomic<bool>* m_stop = nullptr;
  std::string m_in;
  std::size_t m_inPos = 0;
  // The overall limit of the reply being read, if any.
  bool m_deadlineActive = false;
  int m_deadlineMs = 0;
  std::chrono::steady_clock::time_point m_deadline;
  bool m_replyStarted = false;  // a byte of the current reply has arrived
  std::string m_pending;        // what the reply being awaited answers
  std::string m_answered;       // what lastReply answered
};
