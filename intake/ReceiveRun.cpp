#include "intake/ReceiveRun.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>
#include <thread>

#include <unistd.h>

#include "core/Clock.h"
#include "core/Sjis.h"
#include "core/Database.h"
#include "core/ReaderStore.h"
#include "core/TextUtil.h"
#include "core/PrivateFile.h"
#include "intake/CancelImport.h"
#include "intake/RegistrationImport.h"
#include "net/ConnectionStatus.h"
#include "net/FtpClient.h"
#include "net/NetErrors.h"
#include "settings/FailureText.h"
#include "settings/SettingsFiles.h"

namespace fs = std::filesystem;

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

// The client wants the file system's own name of a CP932 path.
std::string nativeName(const std::string& cp932) { return Sjis::toPath(cp932).string(); }

std::string leafOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// Once sent, a command that removes the server's copy is waited for (up to the read
// time-out): a stop in its middle would leave unknown whether the copy is gone.
class StopIgnored {
 public:
  explicit StopIgnored(FtpClient& ftp) : m_ftp(ftp), m_flag(ftp.stopFlag()) { ftp.setStopFlag(nullptr); }
  ~StopIgnored() { m_ftp.setStopFlag(m_flag); }
  StopIgnored(const StopIgnored&) = delete;
  StopIgnored& operator=(const StopIgnored&) = delete;

 private:
  FtpClient& m_ftp;
  const std::atomic<bool>* m_flag;
};

}  // namespace

ReceiveRun::ReceiveRun(Statement& query, IntakeListener& listener, const std::atomic<bool>& stop)
    : m_query(query), m_listener(listener), m_stop(stop), m_ftp(std::make_unique<FtpClient>()) {
  m_ftp->readTimeoutMs = 10000;
  m_ftp->onStatus = [this](TcpConnection&, ConnectionStatus status, const std::string&) { reportStatus(status); };
}

ReceiveRun::~ReceiveRun() = default;

std::string ReceiveRun::hostFileOf(const std::string& hostFolder, const std::string& name) {
  if (!hostFolder.empty() && hostFolder.back() == '/') return hostFolder + name;
  return hostFolder + "/" + name;
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
  m_failedStage.clear();
  m_log.removeErrorLog();
  m_stamp = Clock::nowStamp();
  m_log.write(text("開始"));

  m_hostFolder = settings.hostFolder;
  m_localFolder = settings.localFolder;
  const fs::path localFolder = Sjis::toPath(settings.localFolder);
  m_registrations = FetchedFile{hostFileOf(m_hostFolder), localFile(m_localFolder, kDataFile),
                                localFile(m_localFolder, kPlaceholder), BackupRecord(localFolder)};
  m_cancels = FetchedFile{hostFileOf(m_hostFolder, CancelImport::kDataFile),
                          localFile(m_localFolder, CancelImport::kDataFile), localFile(m_localFolder, kCancelPlaceholder),
                          BackupRecord(localFolder, BackupRecord::kCancelFileName)};
  m_ftp->host = settings.host;
  m_ftp->port = port;
  m_ftp->user = settings.user;
  m_ftp->password = settings.password;
  m_ftp->passive = settings.passive();
  m_ftp->useTls = settings.useTls();
  m_ftp->setStopFlag(&m_stop);

  IntakeReport report;
  importOwedBackups(report);
  const bool received = runTransfers();
  if (received || m_registrations.remoteEmptied)
    importRegistrations(m_registrations.download, m_registrations.backup, report);
  applyOwedCancels(report);

  m_stamp = Clock::nowStamp();
  m_log.write(text("終了"));
  report.outcome = m_succeeded ? IntakeReport::Outcome::Completed : IntakeReport::Outcome::Interrupted;
  report.failedStage = m_failedStage;
  report.stopped = m_stopped || m_stop.load();
  m_listener.finished(report);
  return report;
}

void ReceiveRun::importRegistrations(const std::string& file, const std::string& backup, IntakeReport& report) {
  RegistrationImport import(m_query, m_log, m_listener, m_stop);
  import.continueCount(report.registered);
  if (!backup.empty())
    import.beforeCommit = [&](const Reader& last) { m_registrations.record.markCommitting(backup, last); };
  m_succeeded = import.importFile(Sjis::toPath(file), m_succeeded);
  if (!m_succeeded && m_failedStage.empty()) m_failedStage = text("DB登録失敗");
  report.registered = import.registeredCount();
  report.refusedLinesLogged = report.refusedLinesLogged || import.refusedLinesLogged();
  if (!import.complete() || backup.empty()) return;
  try {
    m_registrations.record.remove(backup);
  } catch (const std::exception& e) {
    // The entry holds the committed last reader: the next run finds it stored.
    m_log.write(e.what());
  }
}

void ReceiveRun::applyOwedCancels(IntakeReport& report) {
  const std::vector<BackupRecord::Entry> owed = m_cancels.record.owed();
  if (owed.empty()) return;
  // A request may name a registration fetched with it: only once every registration
  // fetched so far is stored can an unknown address be told from one still to come.
  if (!m_registrations.remoteEmptied || !m_registrations.record.owed().empty()) {
    m_log.write(text("配信停止データは次回の受信で反映します"));
    return;
  }
  for (const BackupRecord::Entry& entry : owed) {
    const std::string path = localFile(m_localFolder, entry.backup);
    showAndLog(text("配信停止データ反映開始 -> ") + path);
    if (backupMissing(path, m_cancels.record, entry.backup)) continue;
    try {
      // Applying a request twice changes nothing: a kill before the removal below
      // only makes the next run apply it again.
      CancelImport cancels(m_query, m_log);
      report.cancelled += cancels.importFile(Sjis::toPath(path));
      report.stoppedReaders.insert(report.stoppedReaders.end(), cancels.stoppedReaders().begin(),
                                   cancels.stoppedReaders().end());
    } catch (const std::exception& e) {
      m_query.close();
      m_log.write(e.what());
      m_succeeded = false;
      const std::string message = text("配信停止データ反映失敗 -> ") + path;
      showAndLog(message);
      errorBox(message, e);
      return;
    }
    showAndLog(text("配信停止データ反映成功"));
    try {
      m_cancels.record.remove(entry.backup);
    } catch (const std::exception& e) {
      m_log.write(e.what());
    }
  }
}

bool ReceiveRun::backupMissing(const std::string& path, BackupRecord& record, const std::string& backup) {
  std::error_code ec;
  if (fs::exists(Sjis::toPath(path), ec)) return false;
  // Nothing is left to import: the run fails and the record forgets the backup.
  const std::string message = text("バックアップファイルがありません -> ") + path;
  showAndLog(message);
  errorBox(message);
  m_succeeded = false;
  record.remove(backup);
  return true;
}

bool ReceiveRun::lastReaderStored(const BackupRecord::Entry& entry) {
  const std::optional<Reader> r = ReaderStore(m_query).find(toIntOr(entry.id, 0));
  return r && trim(r->address) == entry.mail && r->registered.dateText() == entry.date &&
         r->registered.timeText() == entry.time;
}

void ReceiveRun::importOwedBackups(IntakeReport& report) {
  for (const BackupRecord::Entry& entry : m_registrations.record.owed()) {
    const std::string path = localFile(m_localFolder, entry.backup);
    try {
      if (!entry.id.empty() && lastReaderStored(entry)) {
        // Committed just before a kill: only the record was left behind.
        m_log.write(text("バックアップは登録済みです -> ") + path);
        m_registrations.record.remove(entry.backup);
        continue;
      }
    } catch (const std::exception& e) {
      // The database will say the same to the import below.
      m_log.write(e.what());
    }
    showAndLog(text("前回登録が完了していないバックアップを登録します -> ") + path);
    if (backupMissing(path, m_registrations.record, entry.backup)) continue;
    importRegistrations(path, entry.backup, report);
  }
}

void ReceiveRun::showAndLog(const std::string& t) {
  m_listener.messageLine(t);
  m_log.write(t);
}

void ReceiveRun::errorBox(const std::string& t, const std::string& reason) {
  if (m_failedStage.empty()) m_failedStage = t;
  if (m_stopped) return;
  // The error's own text (a server's reply may end in CR LF) on the lines below.
  std::string why;
  for (char c : reason)
    if (c != '\r') why += c;
  why = trim(why);
  m_listener.showBox(OperatorBox::Error, why.empty() ? t : t + "\n" + why);
}

void ReceiveRun::errorBox(const std::string& t, const std::exception& e) {
  if (m_failedStage.empty()) m_failedStage = t;
  if (m_stopped) return;
  m_listener.showBox(OperatorBox::Error, failureText(e, FailedLink::ftp, t));
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
  errorBox(message, e);
  return false;
}

bool ReceiveRun::listingFailed(const std::exception& e) {
  stageFailed(e);
  showAndLog(text("FTP List取得失敗"));
  if (m_failedStage.empty()) m_failedStage = text("FTP List取得失敗");  // logged, not boxed
  dropConnection();
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

bool ReceiveRun::removeLocalFile(const std::string& path) {
  try {
    if (fs::exists(Sjis::toPath(path))) {
      m_listener.messageLine(text("ローカルファイル削除開始"));
      std::error_code ignored;  // a file that stays is overwritten by the download
      fs::remove(Sjis::toPath(path), ignored);
    }
  } catch (const std::exception& e) {
    stageFailed(e);
    const std::string message = text("ローカルファイル削除失敗 -> ") + path;
    showAndLog(message);
    errorBox(message, e);
    return false;
  }
  return true;
}

bool ReceiveRun::runTransfers() {
  if (!removeLocalFile(m_registrations.download) || !removeLocalFile(m_cancels.download)) return false;
  if (!createEmptyFile(m_registrations.placeholder) || !createEmptyFile(m_cancels.placeholder)) return false;

  if (connectAndEnterFolder() && findLeftovers() && fetchCancels() && fetch(m_registrations) && listHostFolder() &&
      listHostFolder())
    disconnect();
  disconnect();
  return m_succeeded;
}

bool ReceiveRun::connectAndEnterFolder() {
  return disconnect() && connect() && listHostFolder() && changeToHostFolder() && listHostFolder();
}

bool ReceiveRun::fetchCancels() {
  if (!fetch(m_cancels, true)) {
    if (!m_cancels.missing) return false;
    // No unsubscribe script on the site, or no request yet: nothing to do.
    showAndLog(text("配信停止データはサーバーにありません -> ") + m_cancels.hostFile);
    return true;
  }
  return m_succeeded;
}

bool ReceiveRun::findLeftovers() {
  m_registrations.leftovers.clear();
  m_cancels.leftovers.clear();
  m_log.write(text("FTP NameList取得開始"));
  std::vector<std::string> names;
  try {
    m_ftp->list(names, "", false);
  } catch (const ProtocolReplyError& e) {
    // Some servers answer an empty folder's NLST with an error: nothing is left over.
    m_log.write(e.what());
    return true;
  } catch (const std::exception& e) {
    return listingFailed(e);
  }
  // The stamp in the names sorts them oldest first.
  std::sort(names.begin(), names.end());
  for (FetchedFile* file : {&m_cancels, &m_registrations}) {
    const std::string prefix = leafOf(file->hostFile) + kTakingInfix;
    for (const std::string& name : names) {
      const std::string leaf = leafOf(name);
      if (leaf.compare(0, prefix.size(), prefix) != 0) continue;
      file->leftovers.push_back(hostFileOf(m_hostFolder, leaf));
      showAndLog(text("前回の受信で取り出したファイルを受信します -> ") + file->leftovers.back());
    }
  }
  return true;
}

bool ReceiveRun::fetch(FetchedFile& file, bool missingAllowed) {
  if (!readSize(file, file.size, missingAllowed) && !file.missing) return false;
  std::vector<std::string> taken = file.leftovers;
  if (!file.missing) {
    // A name of the run's own: a rename onto a file left over would replace it.
    const std::string base = file.hostFile + kTakingInfix + m_stamp + "-" + std::to_string(::getpid());
    std::string name = base;
    for (int n = 2; std::find(taken.begin(), taken.end(), name) != taken.end(); ++n)
      name = base + "-" + std::to_string(n);
    switch (takeByRename(file, name)) {
      case RenameOutcome::failed:
        return false;
      case RenameOutcome::refused:
        // Leftovers wait for a server that renames again; they are not lost.
        return receive(file.hostFile, file.download, file.size) &&
               (&file != &m_registrations || listHostFolder()) && backupAndEmpty(file);
      case RenameOutcome::renamed:
        taken.push_back(name);
        break;
    }
  }
  if (taken.empty()) return false;  // no such file and nothing left over
  file.missing = false;
  return receiveTaken(file, taken) && backupAndDelete(file, taken);
}

ReceiveRun::RenameOutcome ReceiveRun::takeByRename(FetchedFile& file, const std::string& taken) {
  m_log.write(text("FTP Rename開始 ") + file.hostFile + " -> " + taken);
  try {
    m_ftp->rename(file.hostFile, taken);
  } catch (const ProtocolReplyError& e) {
    if (e.replyCode() / 100 == 5) {
      m_log.write(e.what());
      showAndLog(text("FTP Renameが拒否されたため、空ファイル送信で受信します -> ") + file.hostFile);
      return RenameOutcome::refused;
    }
    transferFailed(e, text("FTP Rename失敗 -> ") + file.hostFile);
    return RenameOutcome::failed;
  } catch (const std::exception& e) {
    // Renamed or not, nothing is lost: a taken file left over is taken by the next run.
    transferFailed(e, text("FTP Rename失敗 -> ") + file.hostFile);
    return RenameOutcome::failed;
  }
  showAndLog(text("FTP Rename正常終了"));
  appendEmptyFile(file);
  return RenameOutcome::renamed;
}

void ReceiveRun::appendEmptyFile(FetchedFile& file) {
  // Appending nothing creates the file when no line came since the rename and never
  // shortens one the script has started: the next run finds the file as before.
  m_log.write(text("空ファイル追記開始") + file.placeholder + " -> " + file.hostFile);
  try {
    m_ftp->put(nativeName(file.placeholder), file.hostFile, true);
  } catch (const std::exception& e) {
    // The script creates the file with its next line.
    m_log.write(e.what());
    m_log.write(text("空ファイル追記失敗"));
    return;
  }
  m_log.write(text("空ファイル追記成功"));
}

bool ReceiveRun::receiveTaken(FetchedFile& file, const std::vector<std::string>& taken) {
  // The first file straight into the download, any further one appended to it.
  const std::string part = file.download + ".part";
  file.size = 0;
  for (size_t i = 0; i < taken.size(); ++i) {
    std::int64_t size = 0;
    const std::string local = i == 0 ? file.download : part;
    if (!readSize(file, taken[i], size, false) || !receive(taken[i], local, size)) return false;
    file.size += size;
    if (i == 0) continue;
    std::ifstream in(Sjis::toPath(part), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in || !PrivateFile::append(Sjis::toPath(file.download), bytes))
      return transferFailed(std::runtime_error("Cannot append " + part),
                            text("ファイル受信失敗") + taken[i] + " -> " + file.download);
  }
  std::error_code ignored;
  fs::remove(Sjis::toPath(part), ignored);
  return true;
}

bool ReceiveRun::backupAndDelete(FetchedFile& file, const std::vector<std::string>& taken) {
  auto fail = [this](const std::exception& e) {
    m_log.write(e.what());
    dropConnection();
    showAndLog(text("FTP受信ファイルバックアップ失敗"));
    errorBox(text("FTP受信ファイルバックアップ失敗"), e);
    m_succeeded = false;
    return false;
  };
  m_stamp = Clock::nowStamp();
  const std::string backup = backupName(file.download, m_stamp);
  const std::string leaf = Sjis::fromPath(Sjis::toPath(backup).filename());
  try {
    PrivateFile::copyDurably(Sjis::toPath(file.download), Sjis::toPath(backup));
    // From here the server's copies may go: the backup owes its import until stored.
    file.record.markOwed(leaf);
  } catch (const std::exception& e) {
    return fail(e);
  }
  file.backup = leaf;
  const StopIgnored ignored(*m_ftp);
  bool deletedAny = false;
  for (const std::string& remote : taken) {
    m_log.write(text("FTP Delete開始 ") + remote);
    try {
      m_ftp->deleteFile(remote);
    } catch (const std::exception& e) {
      // A file the server says it kept is taken again by the next run; while one may be
      // gone the backup is imported now (a file taken twice: its addresses are refused
      // as already registered).
      if (!deletedAny && dynamic_cast<const ProtocolReplyError*>(&e)) {
        try {
          file.record.remove(leaf);
          file.backup.clear();
        } catch (const std::exception& removal) {
          m_log.write(removal.what());
        }
      } else {
        file.remoteEmptied = true;
      }
      return transferFailed(e, text("FTP Delete失敗 -> ") + remote);
    }
    deletedAny = true;
    m_log.write(text("FTP Delete正常終了"));
  }
  file.remoteEmptied = true;
  return true;
}

bool ReceiveRun::backupAndEmpty(FetchedFile& file) {
  auto fail = [this](const std::string& message) {
    showAndLog(message);
    errorBox(message);
    m_succeeded = false;
    return false;
  };
  auto failWith = [this](const std::string& message, const std::exception& e) {
    showAndLog(message);
    errorBox(message, e);
    m_succeeded = false;
    return false;
  };
  std::string backup;
  for (int redownloads = 0;; ++redownloads) {
    m_stamp = Clock::nowStamp();
    backup = backupName(file.download, m_stamp);
    std::error_code ec;
    if (!fs::exists(Sjis::toPath(file.download), ec)) return fail(text("FTP受信失敗　受信ファイルなし"));
    try {
      PrivateFile::copyDurably(Sjis::toPath(file.download), Sjis::toPath(backup));
    } catch (const std::exception& e) {
      m_log.write(e.what());
      return failWith(text("FTP受信ファイルバックアップ失敗"), e);
    }
    // A line added since the download must not vanish with the emptying.
    std::int64_t now = -1;
    if (!readSize(file, now)) return false;
    if (now == file.size) break;
    if (redownloads == kRedownloads) {
      dropConnection();
      return fail(text("受信中に登録データが追加され続けたため、サーバーのファイルを空にしませんでした -> ") +
                  file.hostFile);
    }
    showAndLog(text("受信中に登録データが追加されました。再受信します -> ") + file.hostFile);
    if (!download(file)) return false;
  }

  // From here the server's copy may be gone: the backup owes its import until stored.
  const std::string leaf = Sjis::fromPath(Sjis::toPath(backup).filename());
  try {
    file.record.markOwed(leaf);
  } catch (const std::exception& e) {
    m_log.write(e.what());
    dropConnection();
    return failWith(text("FTP受信ファイルバックアップ失敗"), e);
  }
  file.backup = leaf;
  if (uploadPlaceholder(file)) return true;
  // The server refused the upload: its copy holds the lines still.
  try {
    file.record.remove(leaf);
    file.backup.clear();
  } catch (const std::exception& e) {
    m_log.write(e.what());
  }
  return false;
}

bool ReceiveRun::readSize(FetchedFile& file, std::int64_t& size, bool missingAllowed) {
  return readSize(file, file.hostFile, size, missingAllowed);
}

bool ReceiveRun::readSize(FetchedFile& file, const std::string& remote, std::int64_t& size, bool missingAllowed) {
  m_listener.messageLine(text("ファイルSize取得開始"));
  file.missing = false;
  try {
    size = m_ftp->size(remote);
  } catch (const std::exception& e) {
    stageFailed(e);
    dropConnection();
    const std::string message = text("ファイルSize取得Err -> ") + remote;
    m_listener.messageLine(message);
    errorBox(message, e);
    return false;
  }
  if (size == -1 && missingAllowed) {
    m_log.write(m_ftp->lastReply.firstLine);
    file.missing = true;
    return false;
  }
  if (size == -1) {
    const std::string reply = m_ftp->lastReply.firstLine;
    m_log.write(reply);
    m_succeeded = false;
    dropConnection();
    const std::string message = text("ファイルSize取得失敗 -> ") + remote;
    showAndLog(message);
    errorBox(message, ProtocolReplyError("SIZE", m_ftp->lastReply));
    return false;
  }
  return true;
}

bool ReceiveRun::createEmptyFile(const std::string& path) {
  showAndLog(text("ファイル作成開始 -> ") + path);
  try {
    const std::string name = nativeName(path);
    std::FILE* f = std::fopen(name.c_str(), "wb");
    if (!f || std::fclose(f) != 0) throw std::system_error(errno, std::generic_category(), path);
  } catch (const std::exception& e) {
    m_log.write(e.what());
    m_succeeded = false;
    const std::string message = text("ファイル作成失敗 -> ") + path;
    showAndLog(message);
    errorBox(message, e);
    return false;
  }
  return true;
}

bool ReceiveRun::disconnect() {
  m_log.write(text("FTP切断開始"));
  try {
    m_ftp->disconnect();
  } catch (const std::exception& e) {
    stageFailed(e);
    errorBox(text("FTP切断失敗"), e);
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
    // The client logs in as part of connecting: a refused login is its own stage.
    const std::string stage =
        text(failureKind(e, FailedLink::ftp) == FailureKind::loginRefused ? "FTPログイン失敗" : "FTP接続失敗");
    showAndLog(stage);
    errorBox(stage, e);
    return false;
  }
  showAndLog(text("FTP接続成功"));
  return true;
}

bool ReceiveRun::listHostFolder() {
  m_log.write(text("FTP List取得開始"));
  std::vector<std::string> lines;
  try {
    try {
      m_ftp->list(lines, "*.*", true);
    } catch (const ProtocolReplyError& e) {
      // Some servers (pyftpdlib) refuse a mask in LIST: the whole folder will do.
      m_log.write(e.what());
      m_ftp->list(lines, "", true);
    }
  } catch (const std::exception& e) {
    return listingFailed(e);
  }
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
    errorBox(text("FTP ChangeDir失敗"), e);
    dropConnection();
    return false;
  }
  showAndLog(text("FTP ChangeDir正常終了"));
  return true;
}

bool ReceiveRun::download(FetchedFile& file, bool missingAllowed) {
  return readSize(file, file.size, missingAllowed) && receive(file.hostFile, file.download, file.size);
}

bool ReceiveRun::receive(const std::string& remote, const std::string& local, std::int64_t& size) {
  m_listener.transferStarted(size);
  m_listener.messageLine(text("ファイルSize取得成功"));
  m_listener.messageLine(text("ファイル受信開始") + remote + " -> " + local);
  // Progress is the download's only: listings on the same client report their bytes too.
  m_ftp->onWork = [this, size](FtpClient&, WorkMode, std::int64_t count) {
    m_listener.transferProgress(count, std::max(count, size));
  };
  try {
    PrivateFile::create(Sjis::toPath(local));  // the owner's alone before a byte arrives
    m_ftp->get(remote, nativeName(local), true, false);
    // A transfer cut short may still end with 226: at least the announced length
    // counts. Lines the script added after SIZE are kept: the server's copy is emptied
    // only when SIZE then agrees with what arrived.
    const auto got = static_cast<std::int64_t>(fs::file_size(Sjis::toPath(local)));
    if (got < size)
      throw std::runtime_error("Received " + std::to_string(got) + " of " + std::to_string(size) + " bytes.");
    size = got;
  } catch (const std::exception& e) {
    m_ftp->onWork = nullptr;
    return transferFailed(e, text("ファイル受信失敗") + remote + " -> " + local);
  }
  m_ftp->onWork = nullptr;
  m_listener.messageLine(text("ファイル受信成功"));
  m_listener.transferProgress(size, size);
  return true;
}

bool ReceiveRun::uploadPlaceholder(FetchedFile& file) {
  showAndLog(text("空ファイル送信開始") + file.placeholder + " -> " + file.hostFile);
  try {
    if (m_stop.load()) throw StoppedError();
    const StopIgnored ignored(*m_ftp);
    m_ftp->put(nativeName(file.placeholder), file.hostFile, false);
  } catch (const std::exception& e) {
    return transferFailed(e, text("空ファイル送信失敗") + file.placeholder + " -> " + file.hostFile);
  }
  file.remoteEmptied = true;
  showAndLog(text("空ファイル送信成功"));
  return true;
}
