#pragma once
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "intake/BackupRecord.h"
#include "intake/IntakeListener.h"
#include "intake/RunLog.h"

class FtpClient;
class Statement;
struct FtpSettings;
enum class ConnectionStatus : int;

// A receive run: first imports any backup whose import an earlier run did not complete
// (BackupRecord), then fetches two files from the host folder into the local folder:
// "canceldata.cgi" (unsubscribe requests; absent on a site without the unsubscribe
// script, which is only logged), then "registdata.cgi". Each is taken the same way:
// renamed on the server to a name of the run's own ("<name>.taking-<stamp>-<pid>"),
// so that the web script starts a new file with the next line, an empty file appended
// under the old name (which creates it when the script has not yet), the renamed file
// downloaded, a dated backup kept and owed its import, and only then the renamed file
// deleted. Renamed files an earlier run left behind are taken with it, before it. A
// server that refuses the rename gets the older way: downloaded, a dated backup kept,
// SIZE read again (a file that grew meanwhile is downloaded again), and only then the
// server's copy replaced with an empty file. The registrations are imported as new readers
// (RegistrationImport), after them the unsubscribe requests applied (CancelImport).
// The requests are fetched first and applied last so that a reader who registers and
// unsubscribes between two runs is stopped: the registration of every request fetched
// is on hand by then. Requests whose registrations could not be fetched this run stay
// owed to the next run. Every stage is logged and reported to the listener; a failing
// stage closes the connection and skips the rest. A stop request ends any network
// wait; once the server's copy is gone the download is still imported.
class ReceiveRun {
 public:
  static constexpr const char* kDataFile = "registdata.cgi";
  static constexpr const char* kPlaceholder = "registdata.non";
  static constexpr const char* kCancelPlaceholder = "canceldata.non";
  // Between a data file's name and the run's stamp in the name it is taken under.
  static constexpr const char* kTakingInfix = ".taking-";
  // How often a server file that grew after its download is downloaded again.
  static constexpr int kRedownloads = 3;

  ReceiveRun(Statement& query, IntakeListener& listener, const std::atomic<bool>& stop);
  ~ReceiveRun();

  // host folder + "/" + name ("registdata.cgi" by default), without doubling a trailing "/".
  static std::string hostFileOf(const std::string& hostFolder, const std::string& name = kDataFile);
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
  // One file fetched from the host folder and the state of its fetch.
  struct FetchedFile {
    FetchedFile() = default;
    FetchedFile(std::string host, std::string local, std::string empty, BackupRecord backups)
        : hostFile(std::move(host)), download(std::move(local)), placeholder(std::move(empty)),
          record(std::move(backups)) {}

    std::string hostFile;
    std::string download;
    std::string placeholder;
    BackupRecord record;
    std::string backup;  // this run's backup, once the server's copy is being emptied
    std::int64_t size = 0;
    bool missing = false;        // SIZE found no such file (allowed for the requests only)
    bool remoteEmptied = false;  // from then on the download is the only copy
    std::vector<std::string> leftovers;  // taken by an earlier run and still on the server
  };
  enum class RenameOutcome { renamed, refused, failed };

  bool runTransfers();
  bool removeLocalFile(const std::string& path);
  bool createEmptyFile(const std::string& path);
  bool disconnect();
  bool connect();
  bool listHostFolder();
  bool changeToHostFolder();
  // The download stage; with missingAllowed a file the server does not have is only
  // logged (file.missing) and the answer is false without failing the run.
  bool download(FetchedFile& file, bool missingAllowed = false);
  // Downloads remote into local; more bytes than size announced are kept (size grows).
  bool receive(const std::string& remote, const std::string& local, std::int64_t& size);
  // Takes the file by rename where the server allows it, else the older way.
  bool fetch(FetchedFile& file, bool missingAllowed = false);
  // Lists the host folder's names; the taken files of an earlier run become leftovers.
  bool findLeftovers();
  RenameOutcome takeByRename(FetchedFile& file, const std::string& taken);
  // Downloads the taken files one after the other into the download.
  bool receiveTaken(FetchedFile& file, const std::vector<std::string>& taken);
  // Backs the download up, owes its import, then deletes the taken files on the server.
  bool backupAndDelete(FetchedFile& file, const std::vector<std::string>& taken);
  void appendEmptyFile(FetchedFile& file);
  bool uploadPlaceholder(FetchedFile& file);
  bool connectAndEnterFolder();
  // Fetches the unsubscribe requests; false when the run must not go on.
  bool fetchCancels();
  // Backs the download up and empties the server's copy; true once it is emptied.
  bool backupAndEmpty(FetchedFile& file);
  // The SIZE stage; false (reported, the connection closed) when it fails.
  bool readSize(FetchedFile& file, std::int64_t& size, bool missingAllowed = false);
  bool readSize(FetchedFile& file, const std::string& remote, std::int64_t& size, bool missingAllowed);
  // Imports the backups an earlier run left owed; adds their readers to the report.
  void importOwedBackups(IntakeReport& report);
  // Imports a file; entered in the record as backup (may be empty), removed once stored.
  void importRegistrations(const std::string& file, const std::string& backup, IntakeReport& report);
  // Applies every owed backup of unsubscribe requests once the registrations are in.
  void applyOwedCancels(IntakeReport& report);
  // A backup owed an import that is gone: said, and dropped from its record.
  bool backupMissing(const std::string& path, BackupRecord& record, const std::string& backup);
  bool lastReaderStored(const BackupRecord::Entry& entry);
  void reportStatus(ConnectionStatus status);
  void pauseUnlessStopped(int ms);

  void showAndLog(const std::string& text);
  // The error box of a failed stage: its text, then the error's own text (the reason)
  // on the next line. Left out when the operator's stop ended the stage. The first
  // failed stage's text is kept for the report.
  void errorBox(const std::string& text, const std::string& reason = std::string());
  // The same for a failure caught: what happened and what to check in the settings
  // (text when the failure is of no known kind), then the failure's own text.
  void errorBox(const std::string& text, const std::exception& failure);
  // Logs the error's own text and marks the run failed.
  void stageFailed(const std::exception& e);
  // A failed transfer: the error logged, the connection closed, the message shown,
  // logged and boxed; always false.
  bool transferFailed(const std::exception& e, const std::string& message);
  // A failed listing: logged and shown (not boxed), the connection closed; always false.
  bool listingFailed(const std::exception& e);
  // Closes the control connection without a stage of its own.
  void dropConnection();

  Statement& m_query;
  IntakeListener& m_listener;
  const std::atomic<bool>& m_stop;
  std::unique_ptr<FtpClient> m_ftp;
  RunLog m_log;

  std::string m_hostFolder;
  std::string m_localFolder;
  FetchedFile m_registrations;
  FetchedFile m_cancels;
  std::string m_stamp;
  bool m_succeeded = false;
  bool m_stopped = false;  // a stage ended by the operator's stop
  std::string m_failedStage;
};
