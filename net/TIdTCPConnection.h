#pragma once
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "net/IdStatus.h"
#include "net/TIdRFCReply.h"

class Socket;

// A line-oriented connection with numbered replies: the base of the SMTP, POP3 and
// FTP clients.
class TIdTCPConnection {
 public:
  using StatusEvent = std::function<void(TIdTCPConnection& sender, TIdStatus status, const std::string& text)>;
  using NotifyEvent = std::function<void(TIdTCPConnection& sender)>;

  TIdTCPConnection();
  virtual ~TIdTCPConnection();
  TIdTCPConnection(const TIdTCPConnection&) = delete;
  TIdTCPConnection& operator=(const TIdTCPConnection&) = delete;

  int ReadTimeout = 0;  // milliseconds; 0 waits without limit
  int MaxLineLength = 16384;
  TIdRFCReply LastCmdResult;
  StatusEvent OnStatus;
  NotifyEvent OnConnected;
  NotifyEvent OnDisconnected;

  bool Connected() const;
  virtual void Disconnect();

  // Sends text and CR LF; text holding CR or LF is refused before anything is sent.
  void WriteLine(const std::string& text);
  std::string ReadLn();
  virtual void ReadReply();
  // Reads a reply and checks its code; an empty list accepts any code.
  int GetResponse(std::initializer_list<int> expected);
  int SendCommand(const std::string& text, std::initializer_list<int> expected = {});

  void DoStatus(TIdStatus status, const std::string& text);

 protected:
  Socket& socket() { return *m_socket; }
  void openSocket(const std::string& address, int port, int timeoutMs);
  void closeSocket();
  // Writes QUIT when connected, without reading the answer; a failing write is
  // ignored because the caller closes the connection next.
  void quitWithoutReply();

 private:
  std::unique_ptr<Socket> m_socket;
  std::string m_in;
  std::size_t m_inPos = 0;
};
