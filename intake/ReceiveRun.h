#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>

#include "intake/BackupRecord.h"
#include "intake/IntakeListener.h"
#include "intake/RunLog.h"

class FtpClient;
class Statement;
struct FtpSettings;
enum class ConnectionStatus : int;

// A receive run: first imports any backup whose import an earlier run did not complete
// (BackupRecord), then downloads "registdata.cgi" from the host folder into the local
// folder, checks its length against SIZE, keeps a dated backup of it, reads SIZE again
// (a file that grew meanwhile is downloaded again), only then replaces the server's copy
// with an empty file, and imports the download as new readers (RegistrationImport).
// Every stage is logged and reported to the listener; a failing stage closes the
// connection and skips the rest. A stop request ends any network wait; once the
// server's copy is gone the download is still imported.
class ReceiveRun {
 public:
  static constexpr const char* kDataFile = "registdata.cgi";
  static constexpr const char* kPlaceholder = "registdata.non";
  // How often a server file that grew after its download is downloaded again.
  static constexpr int kRedownloads = 3;

  ReceiveRun(Statement& query, IntakeListener& listener, const std::atomic<bool>& stop);
  ~ReceiveRun();

  // host folder + "/" + "registdata.cgi", without doubling a trailing "/".
  static std::string hostFileOf(const std::string& hostFolder);
  // local folder + "/" + name, as CP932 text.
  static std::string localFile(const std::string& folder, const std::string& name);
  // "<download without extension>_yyyymmdd_hhnnss.bak" for a 14-digit stamp.
  static std::string backupName(const std::string& download, const std::string& stamp);

  // The whole run with checked settings (the password filled in). Reports the end to
  // the listener's finished() too.
  IntakeReport run(const FtpSettings& settings);

  // FtpRcv.log and FtpRcv_Err.log; the owner sets their paths.
  RunLog& log() { return m_log; }
  // The client of the runs; an observer installed on its status event beforehand is
  // still called.
  FtpClient& ftpClient() { return *m_ftp; }
  // The moment of the backup's name, or of the run's end.
  const std::string& stamp() const { return m_stamp; }

  int port = 21;  // the standard port; tests point it elsewhere
  int changeDirWaitMs = 1000;  // pause before changing to the host folder

 private:
  bool runTransfers();
  bool createEmptyFile(const std::string& path);
  bool disconnect();
  bool connect();
  bool listHostFolder();
  bool changeToHostFolder();
  bool download();
  bool uploadPlaceholder();
  bool connectAndEnterFolder();
  void backupAndEmpty();
  // The SIZE stage; false (reported, the connection closed) when it fails.
  bool readSize(std::int64_t& size);
  // Imports the backups an earlier run left owed; adds their readers to the report.
  void importOwedBackups(IntakeReport& report);
  // Imports a file; entered in the record as backup (may be empty), removed once stored.
  void importRegistrations(const std::string& file, const std::string& backup, IntakeReport& report);
  bool lastReaderStored(const BackupRecord::Entry& entry);
  void reportStatus(ConnectionStatus status);
  void pauseUnlessStopped(int ms);

  void showAndLog(const std::string& text);
  // The error box, left out when the operator's stop ended the stage.
  void errorBox(const std::string& text);
  // Logs the error's own text and marks the run failed.
  void stageFailed(const std::exception& e);
  // A failed transfer: the error logged, the connection closed, the message shown,
  // logged and boxed; always false.
  bool transferFailed(const std::exception& e, const std::string& message);
  // Closes the control connection without a stage of its own.
  void dropConnection();

  Statement& m_query;
  IntakeListener& m_listener;
  const std::atomic<bool>& m_stop;
  std::unique_ptr<FtpClient> m_ftp;
  RunLog m_log;
  BackupRecord m_record;

  std::string m_hostFolder;
  std::string m_localFolder;
  std::string m_hostFile;
  std::string m_download;
  std::string m_placeholder;
  std::string m_stamp;
  std::string m_backup;  // this run's backup, once the server's copy is being emptied
  std::int64_t m_size = 0;
  bool m_succeeded = false;
  bool m_stopped = false;        // a stage ended by the operator's stop
  bool m_remoteEmptied = false;  // from then on the download is the only copy
};
