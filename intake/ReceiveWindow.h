#pragma once
#include <array>
#include <memory>
#include <string>

#include "core/WindowBase.h"
#include "intake/ReceiveHost.h"
#include "intake/RunLog.h"
#include "settings/SettingsFiles.h"

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class NavigatingEdit;
class FtpClient;
enum class ConnectionStatus : int;

// "クオル　読者情報受信": fetches the registration file by FTP (ReceiveRun) and adds its
// lines as new readers (RegistrationImport). Opened for the receive-then-send chain it starts
// by itself and closes one second after the run.
class ReceiveWindow : public WindowBase, private ReceiveHost {
  Q_OBJECT
 public:
  explicit ReceiveWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~ReceiveWindow() override;

  void activate() override;
  void Data_Clr();
  void Main_Part();
  // Checks the loaded settings; shows the first failure's message.
  bool Chk_Part();
  void IdFTP1Status(ConnectionStatus status);

  // The "FTP" settings of the run, trimmed by the check.
  FtpSettings settings;
  std::string Host_File;
  std::string Rcv_Stamp;
  bool Run_Flg = false;
  bool ErrLog_Flg = false;
  int Reg_Cnt = 0;
  RunLog log;
  int FtpPort = 21;  // the standard port; tests point it elsewhere
  int ChangeDirWaitMs = 1000;

  QLabel* LMSG;
  QLabel* LStatus;
  NavigatingEdit* EOCnt;
  QLabel* LCount;
  QProgressBar* ProgressBar1;
  QLabel* LSuccesuu;
  QLabel* Lerror;
  QPlainTextEdit* Ftp_Dir_Memo;
  std::array<QPushButton*, 12> B{};  // B1 .. B12 at B[0] .. B[11]
  QTimer* Timer1;
  std::unique_ptr<FtpClient> IdFTP1;

 public slots:
  void B1Click();
  void B12Click();
  void Timer1Timer();
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  // The close question while a run goes on; true when the window may close.
  bool closeAllowed();

  bool running() const override { return Run_Flg; }
  void stopRunning() override { Run_Flg = false; }
  void readerRegistered() override;
  void processEvents() override;
  void showMessage(const std::string& text) override;
  void LogWrite(const std::string& text) override;
  void ErrLogWrite(const std::string& text) override;
  void startProgress(std::int64_t size) override;
  void showProgress(std::int64_t count, std::int64_t size) override;
  void showListing(const std::vector<std::string>& lines) override;
  void pause(int ms) override;

  int m_progressShift = 0;  // sizes past the bar's int range are shown scaled down
};
