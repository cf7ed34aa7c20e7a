#pragma once
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "net/TIdTCPClient.h"

class Socket;

enum class TIdFTPTransferType { ftASCII, ftBinary };
enum class TWorkMode { wmRead, wmWrite };

// FTP client: login, directory, size, and file transfers over a passive or active
// data connection.
class TIdFTP : public TIdTCPClient {
 public:
  using WorkEvent = std::function<void(TIdFTP& sender, TWorkMode mode, std::int64_t count)>;

  TIdFTP();

  bool Passive = true;
  TIdFTPTransferType TransferType = TIdFTPTransferType::ftBinary;
  std::string SystemDesc;
  TIdRFCReply Greeting;
  WorkEvent OnWork;

  // Connect with auto-login; a connect slower than timeoutMs fails ("Connect timed out.").
  void Connect(int timeoutMs = 50000) override;
  void Connect(bool autoLogin, int timeoutMs);
  void Login();
  // Closes the control connection; no QUIT is sent.
  void Disconnect() override;

  void List(std::vector<std::string>& dest, const std::string& mask, bool details);
  void ChangeDir(const std::string& directory);
  // Size in bytes from a 213 reply; -1 for any other reply.
  std::int64_t Size(const std::string& fileName);
  void Get(const std::string& remoteName, const std::string& localFile, bool canOverwrite, bool resume);
  void Put(const std::string& localFile, const std::string& remoteName, bool append);
  bool CanResume();

 private:
  using DataHandler = std::function<void(Socket& data)>;
  void transfer(const std::string& command, std::initializer_list<int> passiveCodes,
                std::initializer_list<int> activeCodes, std::int64_t restartAt, const DataHandler& handler);
  void finishTransfer();
  std::string receiveAll(Socket& data);

  bool m_canResume = false;
  bool m_resumeTested = false;
};
