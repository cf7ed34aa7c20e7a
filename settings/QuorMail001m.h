#pragma once
#include <string>

#include "core/FormBase.h"
#include "settings/EnvFiles.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QTabWidget;
class QWidget;
class TCBEditEx;

// The settings window: FTP and mail settings on two pages, checked field by field and
// saved to the settings files.
class TFormEnvSet : public FormBase {
  Q_OBJECT
 public:
  explicit TFormEnvSet(AppContext& ctx, QWidget* parent = nullptr);

  // Loads the settings and shows the page Env_Page_No while Env_Init_Flg is 1.
  void FormActivate() override;

  // Checks one field (its code) or all in order (99); shows the first failure's message,
  // switches to its page and focuses it.
  bool Chk_Part(int code);
  void Env_Set();
  void Env_Write();

  QTabWidget* PageControl1;
  QWidget* TabSheet1;  // FTP page
  QWidget* TabSheet2;  // mail page

  TCBEditEx* EFTP_Host_ADR;
  TCBEditEx* EFTP_USER;
  TCBEditEx* EFTP_PAS;
  QCheckBox* CBFTP_PAS_SAVE;
  TCBEditEx* EFTP_HOST_PATH;
  TCBEditEx* EFTP_LOCAL_PATH;
  QPushButton* BFTP_LOCAL_PATH;
  QCheckBox* CPasv;

  TCBEditEx* ESmtp;
  TCBEditEx* EMailAdress;
  TCBEditEx* EMail1_Wait_Second;
  QCheckBox* CB_POP_before_SMTP;
  QGroupBox* GPop_Inp;
  TCBEditEx* EPop_Saver;
  TCBEditEx* EPop_UsrName;
  TCBEditEx* EPop_PasWord;
  QCheckBox* CB_Mail_PasSave;
  TCBEditEx* EPop_After_Snd_Second;
  QCheckBox* CBLogWrt;
  TCBEditEx* EMax_Moji;
  TCBEditEx* ENothing_UserName;

  QLabel* vendorInfo;
  QPushButton* B1;
  QPushButton* B12;

 public slots:
  void B1Click();
  void B12Click();
  void BFTP_LOCAL_PATHClick();
  void CB_POP_before_SMTPClick();

 private:
  struct TextCheck;
  bool checkText(const TextCheck& check);
  bool checkLocalFolder();
  bool checkSeconds(TCBEditEx* field, bool formatFirst);
  bool checkMaxMoji();
  bool fail(TCBEditEx* field, const QString& message);

  void buildFtpPage();
  void buildMailPage();
  void buildButtonBar();

  EnvPaths m_paths;
};
