#include "intake/ReceiveRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/Database.h"
#include "core/Tables.h"
#include "core/TextUtil.h"
#include "core/PrivateFile.h"
#include "intake/RegistrationImport.h"
#include "net/ConnectionStatus.h"
#include "net/FtpClient.h"
#include "net/NetErrors.h"
#include "settings/SettingsFiles.h"

namespace fs = std::filesystem;

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

// The client wants the file system's own name of a CP932 path.
std::string nativeName(const std::string& cp932) { return Sjis::toPath(cp932).string(); }

}  // namespace

ReceiveRun::ReceiveRun(Statement& query, IntakeListener& listener, const std::atomic<bool>& stop)
    : m_query(query), m_listener(listener), m_stop(stop), m_ftp(std::make_unique<FtpClient>()) {
  m_ftp->readTimeoutMs = 10000;
  m_ftp->onStatus = [this](TcpConnection&, ConnectionStatus status, const std::string&) { reportStatus(status); };
}

ReceiveRun::~ReceiveRun() = default;

std::string ReceiveRun::hostFileOf(const std::string& hostFolder) {
  if (!hostFolder.empty() && hostFolder.back() == '/') return hostFolder + kDataFile;
  return hostFolder + "/" + kDataFile;
}

std::string ReceiveRun::localFile(const std::string& folder, const std::string& name) {
  return folder + "/" + name;
}

std::string ReceiveRun::backupName(const std::string& download, const std::string& stamp) {
  // Without the extension: the last "." after the last separator.
  const size_t slash = download.find_last_of('/');
  const size_t dot = download.find_last_of('.');
  const std::string stem =
      dot != std::string::npos && (slash == std::string::npos || dot > slash) ? download.substr(0, dot) : download;
  return stem + "_" + stamp.substr(0, 8) + "_" + (stamp.size() >= 6 ? stamp.substr(stamp.size() - 6) : stamp) +
         ".bak";
}

IntakeReport ReceiveRun::run(const FtpSettings& settings) {
  m_succeeded = true;
  m_stopped = false;
  m_remoteEmptied = false;
  m_backup.clear();
  m_size = 0;
  m_log.removeErrorLog();
  m_stamp = Clock::nowStamp();
  m_log.write(text("開始"));

  m_hostFolder = settings.hostFolder;
  m_localFolder = settings.localFolder;
  m_hostFile = hostFileOf(settings.hostFolder);
  m_download = localFile(settings.localFolder, kDataFile);
  m_placeholder = localFile(settings.localFolder, kPlaceholder);
  m_ftp->host = settings.host;
  m_ftp->port = port;
  m_ftp->user = settings.user;
  m_ftp->password = settings.password;
  m_ftp->passive = settings.passive();
  m_ftp->useTls = settings.useTls();
  m_ftp->setStopFlag(&m_stop);

  m_record = BackupRecord(Sjis::toPath(settings.localFolder));

  IntakeReport report;
  importOwedBackups(report);
  const bool received = runTransfers();
  if (received || m_remoteEmptied) importRegistrations(m_download, m_backup, report);

  m_stamp = Clock::nowStamp();
  m_log.write(text("終了"));
  report.outcome = m_succeeded ? IntakeReport::Outcome::Completed : IntakeReport::Outcome::Interrupted;
  m_listener.finished(report);
  return report;
}

void ReceiveRun::importRegistrations(const std::string& file, const std::string& backup, IntakeReport& report) {
  RegistrationImport import(m_query, m_log, m_listener, m_stop);
  import.continueCount(report.registered);
  if (!backup.empty())
    import.beforeCommit = [&](const ReaderRow& last) { m_record.markCommitting(backup, last); };
  m_succeeded = import.importFile(Sjis::toPath(file), m_succeeded);
  report.registered = import.registeredCount();
  report.refusedLinesLogged = report.refusedLinesLogged || import.refusedLinesLogged();
  if (!import.complete() || backup.empty()) return;
  try {
    m_record.remove(backup);
  } catch (const std::exception& e) {
    // The entry holds the committed last reader: the next run finds it stored.
    m_log.write(e.what());
  }
}

bool ReceiveRun::lastReaderStored(const BackupRecord::Entry& entry) {
  m_query.close();
  m_query.setCommandText(Sql::readerById(entry.id));
  m_query.open();
  const bool stored = !m_query.eof() && trim(m_query.fieldByName("MAILADDRESS")) == entry.mail &&
                      m_query.fieldByName("TOUROKUDATE") == entry.date &&
                      m_query.fieldByName("TOUROKUTIME") == entry.time;
  m_query.close();
  return stored;
}

void ReceiveRun::importOwedBackups(IntakeReport& report) {
  for (const BackupRecord::Entry& entry : m_record.owed()) {
    const std::string path = localFile(m_localFolder, entry.backup);
    try {
      if (!entry.id.empty() && lastReaderStored(entry)) {
        // Committed just before a kill: only the record was left behind.
        m_log.write(text("バックアップは登録済みです -> ") + path);
        m_record.remove(entry.backup);
        continue;
      }
    } catch (const std::exception& e) {
      // The database will say the same to the import below.
      m_log.write(e.what());
    }
    showAndLog(text("前回登録が完了していないバックアップを登録します -> ") + path);
    std::error_code ec;
    if (!fs::exists(Sjis::toPath(path), ec)) {
      const std::string message = text("バックアップファイルがありません -> ") + path;
      showAndLog(message);
      errorBox(message);
      m_succeeded = false;
      m_record.remove(entry.backup);
      continue;
    }
    importRegistrations(path, entry.backup, report);
  }
}

void ReceiveRun::showAndLog(const std::string& t) {
  m_listener.messageLine(t);
  m_log.write(t);
}

void ReceiveRun::errorBox(const std::string& t) {
  if (!m_stopped) m_listener.showBox(OperatorBox::Error, t);
}

void ReceiveRun::stageFailed(const std::exception& e) {
  m_log.write(e.what());
  m_succeeded = false;
  if (dynamic_cast<const StoppedError*>(&e)) m_stopped = true;
}

bool ReceiveRun::transferFailed(const std::exception& e, const std::string& message) {
  stageFailed(e);
  dropConnection();
  showAndLog(message);
  errorBox(message);
  return false;
}

void ReceiveRun::dropConnection() {
  try {
    m_ftp->disconnect();
  } catch (const std::exception&) {
    // The closing disconnect stage of the run reports a connection that will not close.
  }
}

void ReceiveRun::reportStatus(ConnectionStatus status) {
  static const char* const kTexts[] = {"Status  Resolving",  "Status  Connecting",   "Status  Connected",
                                       "Status  Disconnecting", nullptr,            "Status  StatusText",
                                       "Status  ftpTransfert", "Status  ftpReady",  "Status  ftpAborted"};
  const int n = static_cast<int>(status);
  if (n < 0 || n > 8 || !kTexts[n]) return;
  showAndLog(kTexts[n]);
}

void ReceiveRun::pauseUnlessStopped(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!m_stop.load() && std::chrono::steady_clock::now() < end)
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
        std::chrono::milliseconds(50), end - std::chrono::steady_clock::now()));
}

bool ReceiveRun::runTransfers() {
  try {
    if (fs::exists(Sjis::toPath(m_download))) {
      m_listener.messageLine(text("ローカルファイル削除開始"));
      std::error_code ignored;  // a file that stays is overwritten by the download
      fs::remove(Sjis::toPath(m_download), ignored);
    }
  } catch (const std::exception& e) {
    stageFailed(e);
    const std::string message = text("ローカルファイル削除失敗 -> ") + m_download;
    showAndLog(message);
    errorBox(message);
    return false;
  }
  if (!createEmptyFile(m_placeholder)) return false;

  if (connectAndEnterFolder() && download() && listHostFolder()) backupAndEmpty();
  disconnect();
  return m_succeeded;
}

bool ReceiveRun::connectAndEnterFolder() {
  return disconnect() && connect() && listHostFolder() && changeToHostFolder() && listHostFolder();
}

void ReceiveRun::backupAndEmpty() {
  auto fail = [this](const std::string& message) {
    showAndLog(message);
    errorBox(message);
    m_succeeded = false;
  };
  std::string backup;
  for (int redownloads = 0;; ++redownloads) {
    m_stamp = Clock::nowStamp();
    backup = backupName(m_download, m_stamp);
    std::error_code ec;
    if (!fs::exists(Sjis::toPath(m_download), ec)) {
      fail(text("FTP受信失敗　受信ファイルなし"));
      return;
    }
    try {
      PrivateFile::copyDurably(Sjis::toPath(m_download), Sjis::toPath(backup));
    } catch (const std::exception& e) {
      m_log.write(e.what());
      fail(text("FTP受信ファイルバックアップ失敗"));
      return;
    }
    // A registration added since the download must not vanish with the emptying.
    std::int64_t now = -1;
    if (!readSize(now)) return;
    if (now == m_size) break;
    if (redownloads == kRedownloads) {
      dropConnection();
      fail(text("受信中に登録データが追加され続けたため、サーバーのファイルを空にしませんでした -> ") + m_hostFile);
      return;
    }
    showAndLog(text("受信中に登録データが追加されました。再受信します -> ") + m_hostFile);
    if (!download()) return;
  }

  // From here the server's copy may be gone: the backup owes its import until stored.
  const std::string leaf = Sjis::fromPath(Sjis::toPath(backup).filename());
  try {
    m_record.markOwed(leaf);
  } catch (const std::exception& e) {
    m_log.write(e.what());
    dropConnection();
    fail(text("FTP受信ファイルバックアップ失敗"));
    return;
  }
  m_backup = leaf;
  const bool emptied = uploadPlaceholder();
  if (!emptied) {
    // The server refused the upload: its copy holds the registrations still.
    try {
      m_record.remove(leaf);
      m_backup.clear();
    } catch (const std::exception& e) {
      m_log.write(e.what());
    }
    return;
  }
  if (listHostFolder() && listHostFolder()) disconnect();
}

bool ReceiveRun::readSize(std::int64_t& size) {
  m_listener.messageLine(text("ファイルSize取得開始"));
  try {
    size = m_ftp->size(m_hostFile);
  } catch (const std::exception& e) {
    stageFailed(e);
    dropConnection();
    const std::string message = text("ファイルSize取得Err -> ") + m_hostFile;
    m_listener.messageLine(message);
    errorBox(message);
    return false;
  }
  if (size == -1) {
    m_succeeded = false;
    dropConnection();
    const std::string message = text("ファイルSize取得失敗 -> ") + m_hostFile;
    showAndLog(message);
    errorBox(message);
    return false;
  }
  return true;
}

bool ReceiveRun::createEmptyFile(const std::string& path) {
  showAndLog(text("ファイル作成開始 -> ") + path);
  const char* stage = nullptr;
  std::string error;
  std::FILE* f = nullptr;
  try {
    const std::string name = nativeName(path);
    f = std::fopen(name.c_str(), "wb");
    if (!f) {
      stage = "ファイル作成失敗(ReWrite) -> ";
      error = std::strerror(errno);
    } else if (std::fclose(f) != 0) {
      stage = "ファイル作成失敗(CloseFile) -> ";
      error = std::strerror(errno);
    }
  } catch (const std::exception& e) {
    stage = "ファイル作成失敗(AssignFile)  -> ";
    error = e.what();
  }
  if (!stage) return true;
  m_log.write(error);
  m_succeeded = false;
  const std::string message = text(stage) + path;
  showAndLog(message);
  errorBox(message);
  return false;
}

bool ReceiveRun::disconnect() {
  m_log.write(text("FTP切断開始"));
  try {
    m_ftp->disconnect();
  } catch (const std::exception& e) {
    stageFailed(e);
    errorBox(text("FTP切断失敗"));
    return false;
  }
  m_log.write(text("FTP切断成功"));
  return true;
}

bool ReceiveRun::connect() {
  showAndLog(text("FTP接続開始"));
  try {
    m_ftp->connect(true, 50000);
  } catch (const std::exception& e) {
    stageFailed(e);
    showAndLog(text("FTP接続失敗"));
    errorBox(text("FTP接続失敗"));
    return false;
  }
  showAndLog(text("FTP接続成功"));
  return true;
}

bool ReceiveRun::listHostFolder() {
  m_log.write(text("FTP List取得開始"));
  std::vector<std::string> lines;
  m_listener.listing(lines);
  try {
    try {
      m_ftp->list(lines, "*.*", true);
    } catch (const ProtocolReplyError& e) {
      // Some servers (pyftpdlib) refuse a mask in LIST: the whole folder will do.
      m_log.write(e.what());
      m_ftp->list(lines, "", true);
    }
  } catch (const std::exception& e) {
    stageFailed(e);
    showAndLog(text("FTP List取得失敗"));
    dropConnection();
    return false;
  }
  m_listener.listing(lines);
  for (const std::string& line : lines) m_log.write(line);
  m_listener.messageLine(text("FTP List取得成功"));
  return true;
}

bool ReceiveRun::changeToHostFolder() {
  pauseUnlessStopped(changeDirWaitMs);
  m_log.write(text("FTP ChangeDir開始 ") + m_hostFolder);
  try {
    m_ftp->changeDir(m_hostFolder);
  } catch (const std::exception& e) {
    stageFailed(e);
    showAndLog(text("FTP ChangeDir失敗"));
    errorBox(text("FTP ChangeDir失敗"));
    dropConnection();
    return false;
  }
  showAndLog(text("FTP ChangeDir正常終了"));
  return true;
}

bool ReceiveRun::download() {
  if (!readSize(m_size)) return false;

  m_listener.transferStarted(m_size);
  m_listener.messageLine(text("ファイルSize取得成功"));
  m_listener.messageLine(text("ファイル受信開始") + m_hostFile + " -> " + m_download);
  // Progress is the download's only: listings on the same client report their bytes too.
  m_ftp->onWork = [this](FtpClient&, WorkMode, std::int64_t count) { m_listener.transferProgress(count, m_size); };
  try {
    PrivateFile::create(Sjis::toPath(m_download));  // the owner's alone before a byte arrives
    m_ftp->get(m_hostFile, nativeName(m_download), true, false);
    // A transfer cut short may still end with 226: only the full length counts.
    const auto got = static_cast<std::int64_t>(fs::file_size(Sjis::toPath(m_download)));
    if (got != m_size)
      throw std::runtime_error("Received " + std::to_string(got) + " of " + std::to_string(m_size) + " bytes.");
  } catch (const std::exception& e) {
    m_ftp->onWork = nullptr;
    return transferFailed(e, text("ファイル受信失敗") + m_hostFile + " -> " + m_download);
  }
  m_ftp->onWork = nullptr;
  m_listener.messageLine(text("ファイル受信成功"));
  m_listener.transferProgress(m_size, m_size);
  return true;
}

bool ReceiveRun::uploadPlaceholder() {
  showAndLog(text("空ファイル送信開始") + m_placeholder + " -> " + m_hostFile);
  try {
    if (m_stop.load()) throw StoppedError();
    // Once under way the upload is waited for (up to the read time-out): a stop in its
    // middle would leave unknown whether the server's copy is gone.
    struct StopIgnored {
      FtpClient& ftp;
      const std::atomic<bool>* flag;
      ~StopIgnored() { ftp.setStopFlag(flag); }
    } ignored{*m_ftp, m_ftp->stopFlag()};
    m_ftp->setStopFlag(nullptr);
    m_ftp->put(nativeName(m_placeholder), m_hostFile, false);
  } catch (const std::exception& e) {
    return transferFailed(e, text("空ファイル送信失敗") + m_placeholder + " -> " + m_hostFile);
  }
  m_remoteEmptied = true;
  showAndLog(text("空ファイル送信成功"));
  return true;
}
