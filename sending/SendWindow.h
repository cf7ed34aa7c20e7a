#pragma once
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/WindowBase.h"
#include "settings/SettingsFiles.h"
#include "sending/SendLog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class StripedGrid;
class SmtpClient;
class Pop3Client;
class TcpConnection;
enum class ConnectionStatus : int;

// The send window: lists the readers due a story mail, lets the operator mark them,
// and sends each marked reader its next story mail, one SMTP connection per mail.
class SendWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit SendWindow(AppContext& ctx, QWidget* parent = nullptr);
  ~SendWindow() override;

  void activate() override;

  // Filling the list.
  bool Last_Story_No_Get();
  void SG_User_Set();
  void Snd_kbn_hantei(int row);

  // Marking.
  void markKey(int row, QChar key);
  void BKaSelClick();
  void BoffClick();

  // Start check, start and run.
  bool Chk_Part();
  void Main_Part();
  void RunStart();
  void Snd_Part();
  bool Pop3_Snd();
  bool Snd_Mail(int row);
  void SG_User_Update(int row);
  void Delay(int ms);
  void Wait_Second_TimmerTimer();
  void Nokori_Msg_Clear();
  void BEndClick();

  // For the POP3 status display.
  void IdPOP31Status(ConnectionStatus status, const std::string& text);

  // The "Mail" settings, loaded at each initialisation; the POP3 password held for the
  // run is settings.password.
  MailSettings settings;
  int Run_Flg = 0;
  int Sel_Cnt = 0;
  int Snd_Cnt = 0;
  bool Env_Err_Flg = false;
  int Wait_End_Flg = 0;
  int Wait_Cnt = 0;
  int Wait_Len = 0;
  int Wait_Kind = 0;
  SendLog sendLog;
  int Pop3Port = 110;  // POP before SMTP always uses the standard port; tests point it elsewhere

  // Controls.
  StripedGrid* SG_USER;
  QLineEdit* ELast_StoryNo;
  QLineEdit* EMaxCnt;
  QLabel* LMail_Cnt;
  QLabel* LStatus;
  QLabel* LStatus_Msg;
  QLabel* LSyoriIng1;
  QLabel* LSyoriIng2;
  QLabel* LNokoriByo;
  QLabel* LSuccesuu;
  QLabel* Lerror;
  QPushButton* BOk;
  QPushButton* BKaSel;
  QPushButton* Boff;
  QPushButton* BEnd;
  QTimer* Wait_Second_Timmer;
  QTimer* End_Timer;
  std::unique_ptr<SmtpClient> IdSMTP1;
  std::unique_ptr<Pop3Client> IdPOP31;

  // Cell text of the grid as CP932 bytes.
  std::string cell(int col, int row) const;
  void setCell(int col, int row, const std::string& text);

  static const std::array<const char*, 15> kCaptions;

 protected:
  bool handleKey(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void waitSeconds(int kind, int seconds);
  void logRow(int row);
  std::vector<std::string> headerCells() const;
  void drawCell(class QPainter* p, int col, int row, const QRect& rect, bool selected);
  bool m_closeAfterRun = false;
};
