#pragma once
#include <cstdint>
#include <string>

class FtpClient;
class ReceiveHost;

// Where a receive run fetches from and stores to; texts are CP932 as in the settings.
struct FtpTarget {
  std::string host;
  int port = 21;
  std::string user;
  std::string password;
  std::string localFolder;
  std::string hostFolder;
};

// The FTP part of a receive run: downloads "registdata.cgi" from the host folder into
// the local folder, keeps a dated backup of it and only then replaces the server's copy
// with an empty file. Every stage is shown and logged through the host; a failing stage
// clears the host's running flag, closes the connection and skips the rest.
class ReceiveRun {
 public:
  static constexpr const char* kDataFile = "registdata.cgi";
  static constexpr const char* kPlaceholder = "registdata.non";

  ReceiveRun(FtpClient& ftp, ReceiveHost& host, FtpTarget target);

  // host folder + "/" + "registdata.cgi", without doubling a trailing "/".
  static std::string hostFileOf(const std::string& hostFolder);
  // local folder + "/" + name, as CP932 text.
  static std::string localFile(const std::string& folder, const std::string& name);
  // "<download without extension>_yyyymmdd_hhnnss.bak" for a 14-digit stamp.
  static std::string backupName(const std::string& download, const std::string& stamp);

  // The whole FTP part; true when the running flag is still set at its end.
  bool Ftp_Main_Part();

  // Whether the server's copy was replaced by the empty file in this run: from then on
  // the download is the only copy of the registrations.
  bool remoteEmptied() const { return m_remoteEmptied; }
  const std::string& downloadPath() const { return m_download; }
  const std::string& Rcv_Stamp() const { return m_stamp; }
  std::int64_t fileSize() const { return m_size; }

  // Pause before changing to the host folder.
  int changeDirWaitMs = 1000;

 private:
  bool File_Make(const std::string& path);
  bool Ftp_Setudan();
  bool Ftp_Setuzoku();
  bool Ftp_Dir_List_Part();
  bool Ftp_Chg_Dir_Part();
  bool Ftp_Get_Part();
  bool Ftp_Put_Part();
  bool connectAndEnterFolder();
  void backupAndEmpty();

  void showAndLog(const std::string& text);
  // Logs the error's own text and clears the running flag.
  void stageFailed(const std::exception& e);
  // A failed transfer: the error logged, the connection closed, the message shown,
  // logged and boxed; always false.
  bool transferFailed(const std::exception& e, const std::string& message);
  // Closes the control connection without a stage of its own.
  void dropConnection();

  FtpClient& m_ftp;
  ReceiveHost& m_host;
  FtpTarget m_target;
  std::string m_hostFile;
  std::string m_download;
  std::string m_placeholder;
  std::string m_stamp;
  std::int64_t m_size = 0;
  bool m_remoteEmptied = false;
};
