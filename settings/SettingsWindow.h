#pragma once
#include <string>

#include "core/WindowBase.h"
#include "settings/SettingsFiles.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QTabWidget;
class QWidget;
class NavigatingEdit;

// The settings window: FTP and mail settings on two pages, checked field by field and
// saved to the settings files.
class SettingsWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit SettingsWindow(AppContext& ctx, QWidget* parent = nullptr);

  // Loads the settings and shows the page settingsPage while initSettings is 1.
  void activate() override;

  // Checks one field (its code) or all in order (99); shows the first failure's message,
  // switches to its page and focuses it.
  bool Chk_Part(int code);
  void readSettings();
  void writeSettings();

  QTabWidget* PageControl1;
  QWidget* TabSheet1;  // FTP page
  QWidget* TabSheet2;  // mail page

  NavigatingEdit* EFTP_Host_ADR;
  NavigatingEdit* EFTP_USER;
  NavigatingEdit* EFTP_PAS;
  QCheckBox* CBFTP_PAS_SAVE;
  NavigatingEdit* EFTP_HOST_PATH;
  NavigatingEdit* EFTP_LOCAL_PATH;
  QPushButton* BFTP_LOCAL_PATH;
  QCheckBox* CPasv;

  NavigatingEdit* ESmtp;
  NavigatingEdit* EMailAdress;
  NavigatingEdit* EMail1_Wait_Second;
  QCheckBox* CB_POP_before_SMTP;
  QGroupBox* GPop_Inp;
  NavigatingEdit* EPop_Saver;
  NavigatingEdit* EPop_UsrName;
  NavigatingEdit* EPop_PasWord;
  QCheckBox* CB_Mail_PasSave;
  NavigatingEdit* EPop_After_Snd_Second;
  QCheckBox* CBLogWrt;
  NavigatingEdit* EMax_Moji;
  NavigatingEdit* ENothing_UserName;

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
  bool checkSeconds(NavigatingEdit* field, bool formatFirst);
  bool checkMaxMoji();
  bool fail(NavigatingEdit* field, const QString& message);

  void buildFtpPage();
  void buildMailPage();
  void buildButtonBar();

  SettingsPaths m_paths;
};
