#pragma once
#include <string>
#include <vector>

#include "core/WindowBase.h"
#include "settings/SettingsFiles.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QTabWidget;
class QWidget;
class NavigatingEdit;

// The field checks in the order a save runs them; All runs every one. The FTP fields are
// checked only once one of them holds something: FTP serves the web registrations alone.
enum class SettingsCheck {
  FtpHost,
  FtpUser,
  FtpPassword,
  LocalFolder,
  HostFolder,
  SmtpServer,
  SenderAddress,
  SenderName,
  SmtpPort,
  SmtpUser,
  SmtpPassword,
  WaitSeconds,
  PopServer,
  PopUser,
  PopPassword,
  PopWaitSeconds,
  LineWidth,
  UnsubscribeUrl,
  Pace,
  All
};

// The settings window: FTP and mail settings, the provider's pace and the legal footer on
// four pages, checked field by field and saved to the settings files. Each opening puts
// the focus in the shown page's first field.
class SettingsWindow : public WindowBase {
  Q_OBJECT
 public:
  explicit SettingsWindow(AppContext& ctx, QWidget* parent = nullptr);

  // The page the window opens on.
  enum class Page { ftp, mail };
  void prepare(Page page) {
    m_page = page;
    WindowBase::prepare();
  }
  int openModal(Page page) {
    prepare(page);
    return exec();
  }
  // Loads the settings and shows the page it was opened on, once after an opening.
  void activate() override;

  // Checks one field or all in order. One field: shows its failure. All: shows every
  // failure in one box, a line each, then switches to the first one's page and focuses it.
  bool checkField(SettingsCheck which);
  // The settings files into the fields, and the fields into the files.
  void loadFields();
  void saveFields();

  QTabWidget* pages;
  QWidget* ftpPage;  // FTP page
  QWidget* mailPage;  // mail page

  NavigatingEdit* ftpHostEdit;
  NavigatingEdit* ftpUserEdit;
  NavigatingEdit* ftpPasswordEdit;
  QCheckBox* saveFtpPasswordBox;
  NavigatingEdit* ftpHostFolderEdit;
  NavigatingEdit* localFolderEdit;
  QPushButton* chooseLocalFolderButton;
  QCheckBox* passiveBox;
  QCheckBox* ftpTlsBox;

  NavigatingEdit* smtpServerEdit;
  NavigatingEdit* senderAddressEdit;
  NavigatingEdit* senderNameEdit;
  NavigatingEdit* smtpPortEdit;
  QComboBox* smtpSecurityBox;  // 0 none, 1 STARTTLS, 2 SSL/TLS
  QCheckBox* smtpLoginBox;
  QCheckBox* smtpPlainLoginBox;
  QComboBox* popSecurityBox;
  // Bounces (fifth page): the envelope sender and the mailbox read before each run.
  QWidget* bouncePage;
  NavigatingEdit* bounceAddressEdit;
  QCheckBox* readBouncesBox;
  NavigatingEdit* bounceServerEdit;
  NavigatingEdit* bouncePortEdit;
  QComboBox* bounceSecurityBox;
  NavigatingEdit* bounceUserEdit;
  NavigatingEdit* bouncePasswordEdit;
  // The provider's pace (third page).
  QWidget* pacePage;
  NavigatingEdit* hourLimitEdit;
  NavigatingEdit* dayLimitEdit;
  QCheckBox* sendDayBoxes[7];
  QCheckBox* skipHolidaysBox;
  NavigatingEdit* sendFromEdit;
  NavigatingEdit* sendUntilEdit;
  NavigatingEdit* mailsPerConnectionEdit;
  // The legal footer (fourth page).
  QWidget* footerPage;
  QCheckBox* legalFooterBox;
  NavigatingEdit* postalAddressEdit;
  NavigatingEdit* contactEdit;
  QPlainTextEdit* footerTemplateEdit;
  QPushButton* defaultFooterButton;
  NavigatingEdit* smtpUserEdit;
  NavigatingEdit* smtpPasswordEdit;
  QCheckBox* saveSmtpPasswordBox;
  NavigatingEdit* waitSecondsEdit;
  QCheckBox* popBeforeSmtpBox;
  QGroupBox* popGroup;
  NavigatingEdit* popServerEdit;
  NavigatingEdit* popUserEdit;
  NavigatingEdit* popPasswordEdit;
  QCheckBox* savePopPasswordBox;
  NavigatingEdit* popWaitSecondsEdit;
  QCheckBox* writeLogBox;
  NavigatingEdit* lineWidthEdit;
  NavigatingEdit* missingNameEdit;
  QCheckBox* onePerDayBox;
  NavigatingEdit* unsubscribeUrlEdit;
  // The full path of the links' secret, for uploading it beside the script.
  QLabel* secretPathLabel;
  QPushButton* copySecretPathButton;

  QLabel* informationPanel;
  QPushButton* saveButton;
  QPushButton* cancelButton;

 public slots:
  void save();
  void cancel();
  void chooseLocalFolder();
  void popBeforeSmtpToggled();
  void smtpLoginToggled();
  // Puts the usual port of the chosen mode in the port field when it still holds
  // another mode's usual port (or nothing).
  void smtpSecurityChosen(int mode);
  // A port the operator types that implies a security proposes it with the login:
  // 587 STARTTLS, 465 SSL/TLS.
  void smtpPortTyped();
  // The secret's path onto the clipboard.
  void copySecretPath();
  // The built-in footer into the template field.
  void restoreDefaultFooter();

 protected:
  // Enter on a check box or the security choice moves on to the next field, as in the edits.
  bool handleKey(QKeyEvent* event) override;

 private:
  Page m_page = Page::ftp;
  struct TextCheck;
  bool checkText(const TextCheck& check);
  bool checkLocalFolder();
  bool checkSeconds(NavigatingEdit* field, bool formatFirst);
  bool checkLineWidth();
  bool checkSmtpPort();
  bool checkSenderName();
  bool checkUnsubscribeUrlField();
  bool checkPace();
  // Whether any FTP field holds something: then the FTP page must be complete.
  bool ftpUsed() const;
  void showSecretPath();
  bool fail(NavigatingEdit* field, const QString& message);
  // While a full check runs, the failures are gathered here instead of shown one by one.
  struct Failure {
    NavigatingEdit* field;
    QString message;
  };
  std::vector<Failure>* m_failures = nullptr;

  void buildFtpPage();
  void buildMailPage();
  void buildPacePage();
  void buildBouncePage();
  void buildFooterPage();
  // The pace page's fields into the settings, as the keys hold them.
  void paceOf(MailSettings& m) const;
  void buildButtonBar();

  SettingsPaths m_paths;
};
