#include "intake/ReceiveRun.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <system_error>

#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "intake/ReceiveHost.h"
#include "net/FtpClient.h"

namespace fs = std::filesystem;

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

void errorBox(const std::string& cp932) { showError(Sjis::toQ(cp932)); }

// The client wants the file system's own name of a CP932 path.
std::string nativeName(const std::string& cp932) { return Sjis::toPath(cp932).string(); }

}  // namespace

ReceiveRun::ReceiveRun(FtpClient& ftp, ReceiveHost& host, FtpTarget target)
    : m_ftp(ftp), m_host(host), m_target(std::move(target)) {
  m_hostFile = hostFileOf(m_target.hostFolder);
  m_download = localFile(m_target.localFolder, kDataFile);
  m_placeholder = localFile(m_target.localFolder, kPlaceholder);
}

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

void ReceiveRun::showAndLog(const std::string& t) {
  m_host.showMessage(t);
  m_host.LogWrite(t);
}

void ReceiveRun::stageFailed(const std::exception& e) {
  m_host.LogWrite(e.what());
  m_host.stopRunning();
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
    m_ftp.disconnect();
  } catch (const std::exception&) {
    // The closing Ftp_Setudan of the run reports a connection that will not close.
  }
}

bool ReceiveRun::Ftp_Main_Part() {
  m_remoteEmptied = false;
  try {
    if (fs::exists(Sjis::toPath(m_download))) {
      m_host.showMessage(text("ローカルファイル削除開始"));
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
  if (!File_Make(m_placeholder)) return false;

  if (connectAndEnterFolder() && Ftp_Get_Part() && Ftp_Dir_List_Part()) backupAndEmpty();
  Ftp_Setudan();
  return m_host.running();
}

bool ReceiveRun::connectAndEnterFolder() {
  return Ftp_Setudan() && Ftp_Setuzoku() && Ftp_Dir_List_Part() && Ftp_Chg_Dir_Part() && Ftp_Dir_List_Part();
}

void ReceiveRun::backupAndEmpty() {
  m_stamp = Clock::nowStamp();
  const std::string backup = backupName(m_download, m_stamp);
  auto fail = [this](const char* message) {
    showAndLog(text(message));
    errorBox(text(message));
    m_host.stopRunning();
  };
  std::error_code ec;
  if (!fs::exists(Sjis::toPath(m_download), ec)) {
    fail("FTP受信失敗　受信ファイルなし");
    return;
  }
  fs::copy_file(Sjis::toPath(m_download), Sjis::toPath(backup), fs::copy_options::overwrite_existing, ec);
  if (ec) {
    fail("FTP受信ファイルバックアップ失敗");
    return;
  }
  if (Ftp_Put_Part() && Ftp_Dir_List_Part() && Ftp_Dir_List_Part()) Ftp_Setudan();
}

bool ReceiveRun::File_Make(const std::string& path) {
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
  m_host.LogWrite(error);
  m_host.stopRunning();
  const std::string message = text(stage) + path;
  showAndLog(message);
  errorBox(message);
  return false;
}

bool ReceiveRun::Ftp_Setudan() {
  m_ftp.host = m_target.host;
  m_ftp.port = m_target.port;
  m_ftp.user = m_target.user;
  m_ftp.password = m_target.password;
  m_host.LogWrite(text("FTP切断開始"));
  try {
    m_ftp.disconnect();
  } catch (const std::exception& e) {
    stageFailed(e);
    errorBox(text("FTP切断失敗"));
    return false;
  }
  m_host.processEvents();
  m_host.LogWrite(text("FTP切断成功"));
  return true;
}

bool ReceiveRun::Ftp_Setuzoku() {
  showAndLog(text("FTP接続開始"));
  m_host.processEvents();
  try {
    m_ftp.connect(true, 50000);
  } catch (const std::exception& e) {
    stageFailed(e);
    showAndLog(text("FTP接続失敗"));
    errorBox(text("FTP接続失敗"));
    return false;
  }
  showAndLog(text("FTP接続成功"));
  return true;
}

bool ReceiveRun::Ftp_Dir_List_Part() {
  m_host.LogWrite(text("FTP List取得開始"));
  std::vector<std::string> lines;
  m_host.showListing(lines);
  try {
    m_ftp.list(lines, "*.*", true);
  } catch (const std::exception& e) {
    stageFailed(e);
    showAndLog(text("FTP List取得失敗"));
    dropConnection();
    return false;
  }
  m_host.showListing(lines);
  for (const std::string& line : lines) m_host.LogWrite(line);
  m_host.showMessage(text("FTP List取得成功"));
  return true;
}

bool ReceiveRun::Ftp_Chg_Dir_Part() {
  m_host.pause(changeDirWaitMs);
  m_host.LogWrite(text("FTP ChangeDir開始 ") + m_target.hostFolder);
  try {
    m_ftp.changeDir(m_target.hostFolder);
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

bool ReceiveRun::Ftp_Get_Part() {
  m_host.showMessage(text("ファイルSize取得開始"));
  try {
    m_size = m_ftp.size(m_hostFile);
  } catch (const std::exception& e) {
    stageFailed(e);
    dropConnection();
    const std::string message = text("ファイルSize取得Err -> ") + m_hostFile;
    m_host.showMessage(message);
    errorBox(message);
    return false;
  }
  if (m_size == -1) {
    m_host.stopRunning();
    dropConnection();
    const std::string message = text("ファイルSize取得失敗 -> ") + m_hostFile;
    showAndLog(message);
    errorBox(message);
    return false;
  }

  m_host.startProgress(m_size);
  m_host.showMessage(text("ファイルSize取得成功"));
  m_host.processEvents();
  m_host.showMessage(text("ファイル受信開始") + m_hostFile + " -> " + m_download);
  // Progress is the download's only: listings on the same client report their bytes too.
  m_ftp.onWork = [this](FtpClient&, WorkMode, std::int64_t count) { m_host.showProgress(count, m_size); };
  try {
    m_ftp.get(m_hostFile, nativeName(m_download), true, false);
  } catch (const std::exception& e) {
    m_ftp.onWork = nullptr;
    return transferFailed(e, text("ファイル受信失敗") + m_hostFile + " -> " + m_download);
  }
  m_ftp.onWork = nullptr;
  m_host.showMessage(text("ファイル受信成功"));
  m_host.showProgress(m_size, m_size);
  return true;
}

bool ReceiveRun::Ftp_Put_Part() {
  showAndLog(text("空ファイル送信開始") + m_placeholder + " -> " + m_hostFile);
  try {
    m_ftp.put(nativeName(m_placeholder), m_hostFile, false);
  } catch (const std::exception& e) {
    return transferFailed(e, text("空ファイル送信失敗") + m_placeholder + " -> " + m_hostFile);
  }
  m_remoteEmptied = true;
  showAndLog(text("空ファイル送信成功"));
  return true;
}
