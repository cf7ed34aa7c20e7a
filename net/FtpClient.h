#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "net/TcpClient.h"

class Socket;

enum class FtpTransferType { ascii, binary };
enum class WorkMode { read, write };

// FTP client: login, directory, size, and file transfers over a passive or active
// data connection; with useTls, explicit TLS (AUTH TLS, PBSZ 0, PROT P) protects the
// control and every data connection.
class FtpClient : public TcpClient {
 public:
  using WorkEvent = std::function<void(FtpClient& sender, WorkMode mode, std::int64_t count)>;

  FtpClient();

  bool passive = true;
  // Explicit TLS: AUTH TLS before the login, then PBSZ 0 and PROT P; the server's
  // certificate is checked against host on the control and the data connections.
  bool useTls = false;
  FtpTransferType transferType = FtpTransferType::binary;
  std::string systemDescription;
  ServerReply greeting;
  WorkEvent onWork;
  // A listing larger than this fails with ListingTooLongError.
  std::size_t maxListingBytes = 16u << 20;

  // connect with auto-login; a connect slower than timeoutMs fails ("Connect timed out.").
  void connect(int timeoutMs = 50000) override;
  void connect(bool autoLogin, int timeoutMs);
  void login();
  // Closes the control connection; no QUIT is sent.
  void disconnect() override;
  // A control reply must be complete within replyTimeoutMs, or within readTimeoutMs
  // while replyTimeoutMs is 0.
  void readReply() override;

  void list(std::vector<std::string>& dest, const std::string& mask, bool details);
  void changeDir(const std::string& directory);
  // size in bytes from a 213 reply; -1 for any other reply.
  std::int64_t size(const std::string& fileName);
  void get(const std::string& remoteName, const std::string& localFile, bool canOverwrite, bool resume);
  void put(const std::string& localFile, const std::string& remoteName, bool append);
  bool canResume();
  // RNFR (350) then RNTO (250); another reply raises ProtocolReplyError with it.
  void rename(const std::string& from, const std::string& to);
  // DELE (250); another reply raises ProtocolReplyError with it.
  void deleteFile(const std::string& fileName);

 private:
  using DataHandler = std::function<void(Socket& data)>;
  void transfer(const std::string& command, std::initializer_list<int> passiveCodes,
                std::initializer_list<int> activeCodes, std::int64_t restartAt, const DataHandler& handler);
  // Reads the reply that ends the transfer of verb ("RETR", "LIST").
  void finishTransfer(const std::string& verb);
  std::string receiveAll(Socket& data);

  bool m_canResume = false;
  bool m_resumeTested = false;
};
