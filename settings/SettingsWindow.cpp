#include "settings/SettingsWindow.h"

#include "settings/SendPace.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <array>
#include <exception>
#include <filesystem>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/InformationPanel.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

namespace {

constexpr int kFtpPage = 0;
constexpr int kMailPage = 1;
constexpr int kPacePage = 2;

// The usual SMTP port of each security mode: plain, STARTTLS (submission), TLS from the first byte.
constexpr int kUsualSmtpPorts[] = {25, 587, 465};

std::string textOf(const NavigatingEdit* e) { return Sjis::fromQ(e->text()); }
void setTextOf(NavigatingEdit* e, const std::string& s) { e->setText(Sjis::toQ(s)); }

// Seconds and widths show right-aligned in three characters: "30" as " 30", "000" as "  0".
std::string threeDigits(const std::string& s) { return spaceFill(zeroSuppress(s), 3); }

bool isInteger(const std::string& s) { return toIntOr(s, 0) == toIntOr(s, 1); }

NavigatingEdit* addEdit(QWidget* parent, const char* name, int maxLength, bool latinOnly) {
  auto* e = new NavigatingEdit(parent);
  e->setObjectName(QString::fromLatin1(name));
  if (maxLength > 0) e->setMaxLength(maxLength);
  if (latinOnly) {
    e->setAttribute(Qt::WA_InputMethodEnabled, false);
    e->setInputMethodHints(Qt::ImhLatinOnly);
  }
  return e;
}

NavigatingEdit* addPassword(QWidget* parent, const char* name, int maxLength) {
  NavigatingEdit* e = addEdit(parent, name, maxLength, true);
  e->setEchoMode(QLineEdit::Password);
  e->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  return e;
}

NavigatingEdit* addDigits(QWidget* parent, const char* name) {
  NavigatingEdit* e = addEdit(parent, name, 3, true);
  e->digitsOnly = true;
  e->setAlignment(Qt::AlignRight);
  e->setFixedWidth(48);
  return e;
}

QCheckBox* addCheck(QWidget* parent, const char* name, const QString& caption) {
  auto* c = new QCheckBox(caption, parent);
  c->setObjectName(QString::fromLatin1(name));
  // The style marks a focused box only after Tab; Enter and clicks move the focus too.
  c->setStyleSheet(QStringLiteral("QCheckBox:focus { background-color: #cce4f7; }"));
  return c;
}

// "label [field] tail" on one line.
QHBoxLayout* inlineField(QWidget* parent, const QString& label, QWidget* field, const QString& tail) {
  auto* row = new QHBoxLayout;
  row->setSpacing(6);
  if (!label.isEmpty()) row->addWidget(new QLabel(label, parent));
  row->addWidget(field);
  row->addWidget(new QLabel(tail, parent));
  row->addStretch(1);
  return row;
}

}  // namespace

// A field whose check is "not empty, then no double-byte characters".
struct SettingsWindow::TextCheck {
  enum class When { Always, FtpUsed, FtpPasswordSaved, PopBefore, PopBeforeAndPasswordSaved, SmtpLogin, SmtpLoginAndPasswordSaved };
  SettingsCheck check;
  NavigatingEdit* SettingsWindow::*field;
  When when;
  const char16_t* empty;
  const char16_t* wide;
};

SettingsWindow::SettingsWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent), m_paths(SettingsPaths::of(ctx)) {
  setWindowTitle(QStringLiteral("FTP、Mail 設定"));
  auto* layout = new QVBoxLayout(this);
  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  pages = new QTabWidget(this);
  pages->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(pages, 1);
  buildFtpPage();
  buildMailPage();
  buildPacePage();
  buildFooterPage();
  buildBouncePage();

  // A static panel about the program in place of the maker's web page.
  informationPanel = makeInformationPanel(this);
  informationPanel->setObjectName(QStringLiteral("vendorInfo"));
  layout->addWidget(informationPanel);
  buildButtonBar();

  const std::array<std::pair<NavigatingEdit*, SettingsCheck>, 15> enterChecks{{{ftpHostEdit, SettingsCheck::FtpHost},
                                                                {ftpUserEdit, SettingsCheck::FtpUser},
                                                                {localFolderEdit, SettingsCheck::LocalFolder},
                                                                {ftpHostFolderEdit, SettingsCheck::HostFolder},
                                                                {smtpServerEdit, SettingsCheck::SmtpServer},
                                                                {senderAddressEdit, SettingsCheck::SenderAddress},
                                                                {senderNameEdit, SettingsCheck::SenderName},
                                                                {smtpPortEdit, SettingsCheck::SmtpPort},
                                                                {smtpUserEdit, SettingsCheck::SmtpUser},
                                                                {smtpPasswordEdit, SettingsCheck::SmtpPassword},
                                                                {waitSecondsEdit, SettingsCheck::WaitSeconds},
                                                                {popServerEdit, SettingsCheck::PopServer},
                                                                {popUserEdit, SettingsCheck::PopUser},
                                                                {popPasswordEdit, SettingsCheck::PopPassword},
                                                                {unsubscribeUrlEdit, SettingsCheck::UnsubscribeUrl}}};
  for (const auto& [edit, check] : enterChecks) {
    const SettingsCheck c = check;
    connect(edit, &NavigatingEdit::keyPressed, this, [this, c](int key) {
      if (key == 13) checkField(c);
    });
  }
  connect(chooseLocalFolderButton, &QPushButton::clicked, this, &SettingsWindow::chooseLocalFolder);
  connect(defaultFooterButton, &QPushButton::clicked, this, &SettingsWindow::restoreDefaultFooter);
  // Also when the load sets the box: its state then decides the group as a click does.
  connect(popBeforeSmtpBox, &QCheckBox::toggled, this, &SettingsWindow::popBeforeSmtpToggled);
  popBeforeSmtpToggled();
  connect(smtpLoginBox, &QCheckBox::toggled, this, &SettingsWindow::smtpLoginToggled);
  smtpLoginToggled();
  connect(smtpSecurityBox, qOverload<int>(&QComboBox::currentIndexChanged), this, &SettingsWindow::smtpSecurityChosen);
  // Typing only: a port the load or a security choice puts there proposes nothing.
  connect(smtpPortEdit, &QLineEdit::textEdited, this, &SettingsWindow::smtpPortTyped);
  connect(copySecretPathButton, &QPushButton::clicked, this, &SettingsWindow::copySecretPath);
}

void SettingsWindow::buildFtpPage() {
  ftpPage = new QWidget;
  pages->addTab(ftpPage, QStringLiteral("FTPの設定"));
  auto* page = new QVBoxLayout(ftpPage);
  auto* group = new QGroupBox(QStringLiteral("FTPの設定"), ftpPage);
  page->addWidget(group);
  page->addStretch(1);
  auto* grid = new QGridLayout(group);
  int row = 0;
  auto addRow = [&](const QString& label, QWidget* field) {
    grid->addWidget(new QLabel(label, group), row, 0);
    grid->addWidget(field, row++, 1);
  };
  auto addNote = [&](const QString& note) { grid->addWidget(new QLabel(note, group), row++, 1); };

  ftpHostEdit = addEdit(group, "EFTP_Host_ADR", 0, true);
  addRow(QStringLiteral("ホスト名（アドレス）"), ftpHostEdit);
  ftpUserEdit = addEdit(group, "EFTP_USER", 0, true);
  addRow(QStringLiteral("ユーザ名"), ftpUserEdit);
  ftpPasswordEdit = addPassword(group, "EFTP_PAS", 0);
  addRow(QStringLiteral("パスワード"), ftpPasswordEdit);
  saveFtpPasswordBox = addCheck(group, "CBFTP_PAS_SAVE", QStringLiteral("パスワードを保存する"));
  grid->addWidget(saveFtpPasswordBox, row++, 1);
  ftpHostFolderEdit = addEdit(group, "EFTP_HOST_PATH", 0, false);
  addRow(QStringLiteral("ホストのフォルダ"), ftpHostFolderEdit);
  addNote(QStringLiteral("（読者情報ファイルが設置されているフォルダ）"));

  localFolderEdit = addEdit(group, "EFTP_LOCAL_PATH", 0, false);
  chooseLocalFolderButton = new QPushButton(QStringLiteral("選択"), group);
  chooseLocalFolderButton->setObjectName(QStringLiteral("BFTP_LOCAL_PATH"));
  chooseLocalFolderButton->setAutoDefault(false);
  auto* local = new QWidget(group);
  auto* localRow = new QHBoxLayout(local);
  localRow->setContentsMargins(0, 0, 0, 0);
  localRow->addWidget(localFolderEdit, 1);
  localRow->addWidget(chooseLocalFolderButton);
  addRow(QStringLiteral("ローカルフォルダ"), local);
  addNote(QStringLiteral("（受信した読者情報ファイルを保存するフォルダ）"));

  passiveBox = addCheck(group, "CPasv", QStringLiteral("PASVモードを使う"));
  passiveBox->setChecked(true);
  grid->addWidget(passiveBox, row++, 1);
  addNote(QStringLiteral("通信障害が頻繁に起こる場合はチェックを入れてください。"));
  ftpTlsBox = addCheck(group, "ftpTlsBox", QStringLiteral("TLSで暗号化する（制御・データとも）"));
  grid->addWidget(ftpTlsBox, row++, 1);
}

void SettingsWindow::buildMailPage() {
  mailPage = new QWidget;
  pages->addTab(mailPage, QStringLiteral("メール設定"));
  // Two columns, so the page fits a 1280x720 screen: the connection (SMTP, POP before SMTP)
  // on the left, the mail and the run on the right. Widgets are made in that order, which
  // is also the order Enter walks through them.
  auto* columns = new QHBoxLayout(mailPage);
  auto* left = new QVBoxLayout;
  auto* right = new QVBoxLayout;
  left->setSpacing(4);
  right->setSpacing(4);
  columns->addLayout(left, 1);
  columns->addLayout(right, 1);

  auto* smtp = new QGroupBox(QStringLiteral("SMTP設定(送信)"), mailPage);
  left->addWidget(smtp);
  auto* smtpGrid = new QGridLayout(smtp);
  smtpGrid->setVerticalSpacing(4);
  smtpServerEdit = addEdit(smtp, "ESmtp", 100, true);
  smtpGrid->addWidget(new QLabel(QStringLiteral("SMTPｻｰﾊﾞ名"), smtp), 0, 0);
  smtpGrid->addWidget(smtpServerEdit, 0, 1);
  senderAddressEdit = addEdit(smtp, "EMailAdress", 100, true);
  smtpGrid->addWidget(new QLabel(QStringLiteral("ﾒｰﾙｱﾄﾞﾚｽ(差出人)"), smtp), 1, 0);
  // The sender's name beside the address; Japanese input stays available for it.
  senderNameEdit = addEdit(smtp, "senderNameEdit", 60, false);
  auto* senderRow = new QHBoxLayout;
  senderRow->setSpacing(6);
  senderRow->addWidget(senderAddressEdit, 3);
  senderRow->addWidget(new QLabel(QStringLiteral("差出人名"), smtp));
  senderRow->addWidget(senderNameEdit, 2);
  smtpGrid->addLayout(senderRow, 1, 1);

  smtpPortEdit = addDigits(smtp, "smtpPortEdit");
  smtpPortEdit->setMaxLength(5);
  smtpPortEdit->setFixedWidth(64);
  smtpSecurityBox = new QComboBox(smtp);
  smtpSecurityBox->setObjectName(QStringLiteral("smtpSecurityBox"));
  smtpSecurityBox->addItems({QStringLiteral("なし"), QStringLiteral("STARTTLS"), QStringLiteral("SSL/TLS")});
  smtpLoginBox = addCheck(smtp, "smtpLoginBox", QStringLiteral("SMTP認証（ログイン）を行う"));
  auto* portRow = new QHBoxLayout;
  portRow->setSpacing(6);
  portRow->addWidget(smtpPortEdit);
  portRow->addSpacing(12);
  portRow->addWidget(new QLabel(QStringLiteral("暗号化"), smtp));
  portRow->addWidget(smtpSecurityBox);
  portRow->addSpacing(12);
  portRow->addWidget(smtpLoginBox);
  portRow->addStretch(1);
  smtpGrid->addWidget(new QLabel(QStringLiteral("ﾎﾟｰﾄ番号"), smtp), 2, 0);
  smtpGrid->addLayout(portRow, 2, 1);

  smtpUserEdit = addEdit(smtp, "smtpUserEdit", 100, true);
  smtpPasswordEdit = addPassword(smtp, "smtpPasswordEdit", 100);
  saveSmtpPasswordBox = addCheck(smtp, "saveSmtpPasswordBox", QStringLiteral("パスワードを保存する"));
  smtpPlainLoginBox = addCheck(smtp, "smtpPlainLoginBox", QStringLiteral("暗号化なしでログインする"));
  auto* loginRow = new QHBoxLayout;
  loginRow->setSpacing(6);
  loginRow->addWidget(smtpUserEdit, 1);
  loginRow->addWidget(new QLabel(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ"), smtp));
  loginRow->addWidget(smtpPasswordEdit, 1);
  loginRow->addWidget(saveSmtpPasswordBox);
  smtpGrid->addWidget(new QLabel(QStringLiteral("SMTPﾕｰｻﾞ名"), smtp), 3, 0);
  smtpGrid->addLayout(loginRow, 3, 1);
  smtpGrid->addWidget(smtpPlainLoginBox, 4, 1);

  waitSecondsEdit = addDigits(smtp, "EMail1_Wait_Second");
  smtpGrid->addLayout(inlineField(smtp, QStringLiteral("１メール送ったら、"), waitSecondsEdit,
                                  QStringLiteral("秒待機する。")),
                      5, 0, 1, 2);

  popBeforeSmtpBox = addCheck(mailPage, "CB_POP_before_SMTP",
                                QStringLiteral("POP before SMTPで、ユーザー認証を行ってからメール送信を行う。"));
  left->addWidget(popBeforeSmtpBox);

  popGroup = new QGroupBox(QStringLiteral("ＰＯＰ３の設定"), mailPage);
  popGroup->setObjectName(QStringLiteral("GPop_Inp"));
  left->addWidget(popGroup);
  auto* popGrid = new QGridLayout(popGroup);
  popGrid->setVerticalSpacing(4);
  popServerEdit = addEdit(popGroup, "EPop_Saver", 100, true);
  popGrid->addWidget(new QLabel(QStringLiteral("POP3ｻｰﾊﾞ名"), popGroup), 0, 0);
  popSecurityBox = new QComboBox(popGroup);
  popSecurityBox->setObjectName(QStringLiteral("popSecurityBox"));
  popSecurityBox->addItems({QStringLiteral("なし"), QStringLiteral("STLS"), QStringLiteral("SSL/TLS (995)")});
  auto* popServerRow = new QHBoxLayout;
  popServerRow->setSpacing(6);
  popServerRow->addWidget(popServerEdit, 1);
  popServerRow->addWidget(new QLabel(QStringLiteral("暗号化"), popGroup));
  popServerRow->addWidget(popSecurityBox);
  popGrid->addLayout(popServerRow, 0, 1);
  popUserEdit = addEdit(popGroup, "EPop_UsrName", 100, true);
  popGrid->addWidget(new QLabel(QStringLiteral("POP3ﾕｰｻﾞ名"), popGroup), 1, 0);
  popGrid->addWidget(popUserEdit, 1, 1);
  popPasswordEdit = addPassword(popGroup, "EPop_PasWord", 100);
  popGrid->addWidget(new QLabel(QStringLiteral("POP3ﾊﾟｽﾜｰﾄﾞ"), popGroup), 2, 0);
  savePopPasswordBox = addCheck(popGroup, "CB_Mail_PasSave", QStringLiteral("パスワードを保存する"));
  auto* popPasswordRow = new QHBoxLayout;
  popPasswordRow->setSpacing(6);
  popPasswordRow->addWidget(popPasswordEdit, 1);
  popPasswordRow->addWidget(savePopPasswordBox);
  popGrid->addLayout(popPasswordRow, 2, 1);
  popWaitSecondsEdit = addDigits(popGroup, "EPop_After_Snd_Second");
  popGrid->addLayout(inlineField(popGroup, QStringLiteral("POP before SMTPでﾕｰｻﾞｰ認証後"), popWaitSecondsEdit,
                                 QStringLiteral("秒後にメール送信を行う。")),
                     3, 0, 1, 2);
  left->addStretch(1);

  auto* body = new QGroupBox(QStringLiteral("送信メールの設定"), mailPage);
  right->addWidget(body);
  auto* bodyLayout = new QVBoxLayout(body);
  bodyLayout->setSpacing(4);
  lineWidthEdit = addDigits(body, "EMax_Moji");
  bodyLayout->addLayout(
      inlineField(body, QStringLiteral("１行の文字数が、"), lineWidthEdit, QStringLiteral("文字を超えたら改行する。")));
  bodyLayout->addWidget(new QLabel(QStringLiteral("(全角は２、半角は１と数えます。)"), body));
  bodyLayout->addWidget(new QLabel(QStringLiteral("メール送信時、ストーリーマスターの##readername##を、読者マスターの読者名に"), body));
  bodyLayout->addWidget(new QLabel(QStringLiteral("置き換えて送信する時、読者名が未登録の時に置き換える文字を設定して下さい。"), body));
  // Japanese input stays available here (the platform has no "hiragana on" switch).
  missingNameEdit = addEdit(body, "ENothing_UserName", 60, false);
  bodyLayout->addWidget(missingNameEdit);

  writeLogBox = addCheck(mailPage, "CBLogWrt", QStringLiteral("ログを出力する。"));
  right->addWidget(writeLogBox);
  onePerDayBox = addCheck(mailPage, "onePerDayBox", QStringLiteral("同じ読者には1日1通まで"));
  right->addWidget(onePerDayBox);

  auto* unsubscribe = new QGroupBox(QStringLiteral("配信停止"), mailPage);
  right->addWidget(unsubscribe);
  auto* unsubscribeLayout = new QVBoxLayout(unsubscribe);
  unsubscribeLayout->setSpacing(4);
  unsubscribeUrlEdit = addEdit(unsubscribe, "unsubscribeUrlEdit", 300, true);
  unsubscribeUrlEdit->setPlaceholderText(QStringLiteral("https://example.com/unsubscribe.php"));
  auto* urlRow = new QHBoxLayout;
  urlRow->setSpacing(6);
  urlRow->addWidget(new QLabel(QStringLiteral("配信停止URL"), unsubscribe));
  urlRow->addWidget(unsubscribeUrlEdit, 1);
  unsubscribeLayout->addLayout(urlRow);
  unsubscribeLayout->addWidget(new QLabel(QStringLiteral("(空欄の時は、メールでの配信停止だけを案内します。)"), unsubscribe));
  unsubscribeLayout->addWidget(new QLabel(
      QStringLiteral("データフォルダの QuorMailSecret.env を、\nサーバーの unsubscribe.php と同じフォルダにコピーして下さい。"),
      unsubscribe));
  secretPathLabel = new QLabel(unsubscribe);
  secretPathLabel->setObjectName(QStringLiteral("secretPathLabel"));
  secretPathLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  secretPathLabel->setWordWrap(true);
  secretPathLabel->setToolTip(QStringLiteral("配信停止URLを登録すると作成します。"));
  // A long path wraps inside the column instead of widening the page.
  secretPathLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  copySecretPathButton = new QPushButton(QStringLiteral("コピー"), unsubscribe);
  copySecretPathButton->setObjectName(QStringLiteral("copySecretPathButton"));
  copySecretPathButton->setAutoDefault(false);
  auto* secretRow = new QHBoxLayout;
  secretRow->setSpacing(6);
  secretRow->addWidget(secretPathLabel, 1);
  secretRow->addWidget(copySecretPathButton, 0, Qt::AlignTop);
  unsubscribeLayout->addLayout(secretRow);
  right->addStretch(1);
}

void SettingsWindow::buildBouncePage() {
  bouncePage = new QWidget;
  pages->addTab(bouncePage, QStringLiteral("エラーメール"));
  auto* page = new QVBoxLayout(bouncePage);
  page->setSpacing(6);
  auto* address = new QGroupBox(QStringLiteral("エラーメールの宛先（Return-Path）"), bouncePage);
  page->addWidget(address);
  auto* addressRow = new QHBoxLayout(address);
  bounceAddressEdit = addEdit(address, "bounceAddressEdit", 100, true);
  bounceAddressEdit->setPlaceholderText(QStringLiteral("空欄: 差出人アドレス"));
  addressRow->addWidget(new QLabel(QStringLiteral("エラーメールの宛先"), address));
  addressRow->addWidget(bounceAddressEdit, 1);

  readBouncesBox = addCheck(bouncePage, "readBouncesBox",
                            QStringLiteral("送信の前にエラーメールの受信箱を読み、宛先不明の読者を停止する"));
  page->addWidget(readBouncesBox);
  auto* mailbox = new QGroupBox(QStringLiteral("エラーメールの受信箱（POP3）"), bouncePage);
  page->addWidget(mailbox);
  auto* grid = new QGridLayout(mailbox);
  grid->setVerticalSpacing(4);
  bounceServerEdit = addEdit(mailbox, "bounceServerEdit", 100, true);
  bounceSecurityBox = new QComboBox(mailbox);
  bounceSecurityBox->setObjectName(QStringLiteral("bounceSecurityBox"));
  bounceSecurityBox->addItems({QStringLiteral("なし"), QStringLiteral("STLS"), QStringLiteral("SSL/TLS (995)")});
  bouncePortEdit = addDigits(mailbox, "bouncePortEdit");
  bouncePortEdit->setMaxLength(5);
  bouncePortEdit->setFixedWidth(64);
  auto* serverRow = new QHBoxLayout;
  serverRow->setSpacing(6);
  serverRow->addWidget(bounceServerEdit, 1);
  serverRow->addWidget(new QLabel(QStringLiteral("ﾎﾟｰﾄ番号"), mailbox));
  serverRow->addWidget(bouncePortEdit);
  serverRow->addWidget(new QLabel(QStringLiteral("暗号化"), mailbox));
  serverRow->addWidget(bounceSecurityBox);
  grid->addWidget(new QLabel(QStringLiteral("POP3ｻｰﾊﾞ名"), mailbox), 0, 0);
  grid->addLayout(serverRow, 0, 1);
  bounceUserEdit = addEdit(mailbox, "bounceUserEdit", 100, true);
  grid->addWidget(new QLabel(QStringLiteral("POP3ﾕｰｻﾞ名"), mailbox), 1, 0);
  grid->addWidget(bounceUserEdit, 1, 1);
  bouncePasswordEdit = addPassword(mailbox, "bouncePasswordEdit", 100);
  grid->addWidget(new QLabel(QStringLiteral("POP3ﾊﾟｽﾜｰﾄﾞ"), mailbox), 2, 0);
  grid->addWidget(bouncePasswordEdit, 2, 1);
  page->addWidget(new QLabel(
      QStringLiteral("パスワードは暗号化してデータフォルダの QuorMail4.env に保存します（自動の送信でも読めるように）。\n"
                     "宛先不明のエラーメールは読者を停止してから受信箱から削除します。\n"
                     "エラーメールでないメール、どの読者のものか分からないメールは受信箱に残します。"),
      bouncePage));
  page->addStretch(1);
  // The usual port of the chosen security, unless another port was typed.
  connect(bounceSecurityBox, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int mode) {
    const std::string port = trim(textOf(bouncePortEdit));
    if (port.empty() || port == "110" || port == "995") setTextOf(bouncePortEdit, mode == 2 ? "995" : "110");
  });
}

void SettingsWindow::buildPacePage() {
  pacePage = new QWidget;
  pages->addTab(pacePage, QStringLiteral("送信ペース"));
  auto* page = new QVBoxLayout(pacePage);
  auto* group = new QGroupBox(QStringLiteral("プロバイダの送信制限に合わせる"), pacePage);
  page->addWidget(group);
  page->addStretch(1);
  auto* grid = new QGridLayout(group);
  grid->setVerticalSpacing(8);
  const auto limitEdit = [&](const char* name) {
    NavigatingEdit* e = addDigits(group, name);
    e->setMaxLength(6);
    e->setFixedWidth(72);
    return e;
  };
  hourLimitEdit = limitEdit("hourLimitEdit");
  dayLimitEdit = limitEdit("dayLimitEdit");
  grid->addWidget(new QLabel(QStringLiteral("1時間あたりの送信上限"), group), 0, 0);
  grid->addLayout(inlineField(group, QString(), hourLimitEdit, QStringLiteral("通（0: 上限なし）")), 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("1日あたりの送信上限"), group), 1, 0);
  grid->addLayout(inlineField(group, QString(), dayLimitEdit, QStringLiteral("通（0: 上限なし）")), 1, 1);
  auto* days = new QHBoxLayout;
  days->setSpacing(6);
  const char* const names[7] = {"月", "火", "水", "木", "金", "土", "日"};
  for (int d = 0; d < 7; ++d) {
    sendDayBoxes[d] = addCheck(group, "sendDayBox", QString::fromUtf8(names[d]));
    days->addWidget(sendDayBoxes[d]);
  }
  days->addSpacing(12);
  skipHolidaysBox = addCheck(group, "skipHolidaysBox", QStringLiteral("祝日は送信しない"));
  days->addWidget(skipHolidaysBox);
  days->addStretch(1);
  grid->addWidget(new QLabel(QStringLiteral("送信する曜日"), group), 2, 0);
  grid->addLayout(days, 2, 1);
  const auto timeEdit = [&](const char* name) {
    NavigatingEdit* e = addDigits(group, name);
    e->setMaxLength(4);
    e->setPlaceholderText(QStringLiteral("HHMM"));
    e->setFixedWidth(64);
    return e;
  };
  sendFromEdit = timeEdit("sendFromEdit");
  sendUntilEdit = timeEdit("sendUntilEdit");
  auto* hours = new QHBoxLayout;
  hours->setSpacing(6);
  hours->addWidget(sendFromEdit);
  hours->addWidget(new QLabel(QStringLiteral("～"), group));
  hours->addWidget(sendUntilEdit);
  hours->addWidget(new QLabel(QStringLiteral("（例: 0800 ～ 2100。空欄: 終日）"), group));
  hours->addStretch(1);
  grid->addWidget(new QLabel(QStringLiteral("送信する時間帯"), group), 3, 0);
  grid->addLayout(hours, 3, 1);
  mailsPerConnectionEdit = limitEdit("mailsPerConnectionEdit");
  mailsPerConnectionEdit->setMaxLength(3);
  grid->addWidget(new QLabel(QStringLiteral("1回の接続で送るメール数"), group), 4, 0);
  grid->addLayout(inlineField(group, QString(), mailsPerConnectionEdit, QStringLiteral("通（1: メールごとに接続）")), 4, 1);
  grid->addWidget(new QLabel(QStringLiteral("上限に達した時や時間帯を過ぎた時は送信を終え、残りの読者には次回送信します。\n"
                                            "1時間あたりの上限がある時は、メールの間隔を均等に空けます。"),
                             group),
                  5, 0, 1, 2);
}

void SettingsWindow::buildFooterPage() {
  footerPage = new QWidget;
  pages->addTab(footerPage, QStringLiteral("法定表示"));
  auto* page = new QVBoxLayout(footerPage);
  page->setSpacing(4);
  legalFooterBox = addCheck(footerPage, "legalFooterBox", QStringLiteral("本文の末尾に法定表示を付ける"));
  page->addWidget(legalFooterBox);
  auto* grid = new QGridLayout;
  grid->setVerticalSpacing(4);
  // Japanese input stays available in both fields.
  postalAddressEdit = addEdit(footerPage, "postalAddressEdit", 200, false);
  contactEdit = addEdit(footerPage, "contactEdit", 200, false);
  contactEdit->setPlaceholderText(QStringLiteral("電話番号、メールアドレス、又は、URL"));
  grid->addWidget(new QLabel(QStringLiteral("住所"), footerPage), 0, 0);
  grid->addWidget(postalAddressEdit, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("お問い合わせ先"), footerPage), 1, 0);
  grid->addWidget(contactEdit, 1, 1);
  page->addLayout(grid);
  auto* templateRow = new QHBoxLayout;
  templateRow->addWidget(new QLabel(QStringLiteral("法定表示の文面（") + QString::fromLatin1(LegalFooter::kFile) +
                                        QStringLiteral("）"),
                                    footerPage));
  templateRow->addStretch(1);
  defaultFooterButton = new QPushButton(QStringLiteral("既定に戻す"), footerPage);
  defaultFooterButton->setObjectName(QStringLiteral("defaultFooterButton"));
  defaultFooterButton->setAutoDefault(false);
  templateRow->addWidget(defaultFooterButton);
  page->addLayout(templateRow);
  footerTemplateEdit = new QPlainTextEdit(footerPage);
  footerTemplateEdit->setObjectName(QStringLiteral("footerTemplateEdit"));
  footerTemplateEdit->setTabChangesFocus(true);
  footerTemplateEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
  page->addWidget(footerTemplateEdit, 1);
  page->addWidget(new QLabel(QStringLiteral("##sendername## は差出人名（メール設定のページ）、##postaladdress## は住所、"
                                            "##contact## はお問い合わせ先、\n##unsubscribe## は読者ごとの配信停止のリンク"
                                            "（配信停止URL、空欄の時は配信停止のメールアドレス）に置き換えます。"),
                             footerPage));
}

void SettingsWindow::restoreDefaultFooter() {
  footerTemplateEdit->setPlainText(Sjis::toQ(LegalFooter::defaultTemplate()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void SettingsWindow::buildButtonBar() {
  auto* bar = new QHBoxLayout;
  std::array<QPushButton*, 12> buttons{};
  for (int i = 0; i < 12; ++i) {
    auto* b = new QPushButton(QStringLiteral("F-%1").arg(i + 1), this);
    b->setObjectName(QStringLiteral("B%1").arg(i + 1));
    b->setAutoDefault(false);
    b->setEnabled(false);
    b->setVisible(false);
    bar->addWidget(b);
    buttons[static_cast<size_t>(i)] = b;
  }
  saveButton = buttons[0];
  cancelButton = buttons[11];
  saveButton->setText(QStringLiteral("登　録 F-1"));
  cancelButton->setText(QStringLiteral(" キャンセル F-12"));
  static_cast<QVBoxLayout*>(layout())->addLayout(bar);
  setFunctionButtons(buttons);
  connect(saveButton, &QPushButton::clicked, this, &SettingsWindow::save);
  connect(cancelButton, &QPushButton::clicked, this, &SettingsWindow::cancel);
}

void SettingsWindow::activate() {
  if (!takePendingInit()) return;
  m_paths = SettingsPaths::of(m_ctx);
  try {
    loadFields();
  } catch (const std::exception& e) {  // a password file that cannot be read
    showError(Sjis::toQ(e.what()));
  }
  applyButtonMask("999999999999");
  const bool mail = m_page == Page::mail;
  pages->setCurrentIndex(mail ? kMailPage : kFtpPage);
  // Also over the focus the load or an earlier opening left elsewhere.
  (mail ? smtpServerEdit : ftpHostEdit)->setFocus(Qt::OtherFocusReason);
  showSecretPath();
  applyButtonMask("199999999991");
}

void SettingsWindow::showSecretPath() {
  secretPathLabel->setText(Sjis::toQ(Sjis::fromPath(m_paths.unsubscribeSecret())));
}

void SettingsWindow::copySecretPath() {
  QGuiApplication::clipboard()->setText(Sjis::toQ(Sjis::fromPath(m_paths.unsubscribeSecret())));
}

bool SettingsWindow::handleKey(QKeyEvent* event) {
  const int key = event->key();
  if (key == Qt::Key_Return || key == Qt::Key_Enter) {
    QWidget* focused = focusWidget();
    if (qobject_cast<QCheckBox*>(focused) || qobject_cast<QComboBox*>(focused)) {
      focusNextChild();
      return true;
    }
  }
  return WindowBase::handleKey(event);
}

void SettingsWindow::loadFields() {
  const AllSettings s = ::readSettings(m_paths);
  setTextOf(ftpHostEdit, s.ftp.host);
  setTextOf(ftpUserEdit, s.ftp.user);
  saveFtpPasswordBox->setChecked(s.ftp.passwordSaved());
  setTextOf(ftpPasswordEdit, s.ftp.password);
  setTextOf(localFolderEdit, s.ftp.localFolder);
  setTextOf(ftpHostFolderEdit, s.ftp.hostFolder);
  passiveBox->setChecked(s.ftp.passive());
  ftpTlsBox->setChecked(s.ftp.useTls());

  // The box may move the focus into the mail page, so that page is showing first.
  pages->setCurrentIndex(kMailPage);
  popBeforeSmtpBox->setChecked(s.mail.popBeforeSmtp());
  setTextOf(popServerEdit, s.mail.popServer);
  setTextOf(popUserEdit, s.mail.popUser);
  savePopPasswordBox->setChecked(s.mail.passwordSaved());
  setTextOf(popPasswordEdit, s.mail.password);
  writeLogBox->setChecked(s.mail.writeLog());
  setTextOf(popWaitSecondsEdit, threeDigits(s.mail.popWaitSeconds));
  setTextOf(waitSecondsEdit, threeDigits(s.mail.waitSeconds));
  setTextOf(smtpServerEdit, s.mail.smtpServer);
  setTextOf(senderAddressEdit, s.mail.senderAddress);
  setTextOf(lineWidthEdit, threeDigits(s.mail.lineWidth));
  setTextOf(missingNameEdit, s.mail.defaultReaderName);
  setTextOf(senderNameEdit, s.mail.senderName);
  // The mode first: choosing it may propose a port, which the stored port then replaces.
  smtpSecurityBox->setCurrentIndex(s.mail.smtpSecurity >= 0 && s.mail.smtpSecurity <= 2 ? s.mail.smtpSecurity : 0);
  setTextOf(smtpPortEdit, std::to_string(s.mail.smtpPort));
  smtpLoginBox->setChecked(s.mail.smtpLogin());
  smtpPlainLoginBox->setChecked(s.mail.smtpPlainLogin());
  setTextOf(smtpUserEdit, s.mail.smtpUser);
  saveSmtpPasswordBox->setChecked(s.mail.smtpPasswordSaved());
  setTextOf(smtpPasswordEdit, s.mail.smtpPassword);
  onePerDayBox->setChecked(s.mail.onePerDay());
  setTextOf(unsubscribeUrlEdit, s.mail.unsubscribeUrl);
  setTextOf(hourLimitEdit, s.mail.hourLimit);
  setTextOf(dayLimitEdit, s.mail.dayLimit);
  for (int d = 0; d < 7; ++d)
    sendDayBoxes[d]->setChecked(s.mail.sendDays.size() != 7 || s.mail.sendDays[static_cast<std::size_t>(d)] != '0');
  skipHolidaysBox->setChecked(s.mail.skipHolidaysMode == 1);
  popSecurityBox->setCurrentIndex(s.mail.popSecurity >= 0 && s.mail.popSecurity <= 2 ? s.mail.popSecurity : 0);
  setTextOf(bounceAddressEdit, s.mail.bounceAddress);
  readBouncesBox->setChecked(s.mail.readBounces());
  setTextOf(bounceServerEdit, s.mail.bouncePopServer);
  bounceSecurityBox->setCurrentIndex(
      s.mail.bouncePopSecurity >= 0 && s.mail.bouncePopSecurity <= 2 ? s.mail.bouncePopSecurity : 0);
  setTextOf(bouncePortEdit, std::to_string(s.mail.bouncePopPort));
  setTextOf(bounceUserEdit, s.mail.bouncePopUser);
  setTextOf(bouncePasswordEdit, s.mail.bouncePopPassword);
  setTextOf(mailsPerConnectionEdit, std::to_string(std::max(s.mail.mailsPerConnection, 1)));
  const std::size_t dash = s.mail.sendHours.find('-');
  setTextOf(sendFromEdit, dash == std::string::npos ? std::string() : s.mail.sendHours.substr(0, dash));
  setTextOf(sendUntilEdit, dash == std::string::npos ? std::string() : s.mail.sendHours.substr(dash + 1));
  legalFooterBox->setChecked(s.mail.legalFooter());
  setTextOf(postalAddressEdit, s.mail.senderPostalAddress);
  setTextOf(contactEdit, s.mail.senderContact);
  footerTemplateEdit->setPlainText(Sjis::toQ(s.mail.footerTemplate).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
}

void SettingsWindow::saveFields() {
  AllSettings s;
  s.ftp.host = textOf(ftpHostEdit);
  s.ftp.user = textOf(ftpUserEdit);
  s.ftp.passwordMode = saveFtpPasswordBox->isChecked() ? 1 : 0;
  s.ftp.password = textOf(ftpPasswordEdit);
  s.ftp.hostFolder = textOf(ftpHostFolderEdit);
  s.ftp.localFolder = textOf(localFolderEdit);
  s.ftp.passiveMode = passiveBox->isChecked() ? 1 : 0;
  s.ftp.tlsMode = ftpTlsBox->isChecked() ? 1 : 0;
  s.mail.smtpServer = textOf(smtpServerEdit);
  s.mail.senderAddress = textOf(senderAddressEdit);
  s.mail.waitSeconds = textOf(waitSecondsEdit);
  s.mail.popPasswordMode = savePopPasswordBox->isChecked() ? 1 : 0;
  s.mail.password = textOf(popPasswordEdit);
  s.mail.popBeforeSmtpMode = popBeforeSmtpBox->isChecked() ? 1 : 0;
  s.mail.popServer = textOf(popServerEdit);
  s.mail.popUser = textOf(popUserEdit);
  s.mail.popWaitSeconds = textOf(popWaitSecondsEdit);
  s.mail.popSecurity = popSecurityBox->currentIndex();
  s.mail.bounceAddress = textOf(bounceAddressEdit);
  s.mail.bouncePopMode = readBouncesBox->isChecked() ? 1 : 0;
  s.mail.bouncePopServer = textOf(bounceServerEdit);
  s.mail.bouncePopSecurity = bounceSecurityBox->currentIndex();
  s.mail.bouncePopPort = toIntOr(trim(textOf(bouncePortEdit)), 0);
  s.mail.bouncePopUser = textOf(bounceUserEdit);
  s.mail.bouncePopPassword = textOf(bouncePasswordEdit);
  s.mail.logMode = writeLogBox->isChecked() ? 1 : 0;
  s.mail.lineWidth = textOf(lineWidthEdit);
  s.mail.defaultReaderName = textOf(missingNameEdit);
  s.mail.smtpPort = toIntOr(trim(textOf(smtpPortEdit)), 25);
  s.mail.smtpSecurity = smtpSecurityBox->currentIndex();
  s.mail.smtpAuthMode = smtpLoginBox->isChecked() ? 1 : 0;
  s.mail.smtpPlainLoginMode = smtpPlainLoginBox->isChecked() ? 1 : 0;
  s.mail.smtpUser = textOf(smtpUserEdit);
  s.mail.smtpPasswordMode = saveSmtpPasswordBox->isChecked() ? 1 : 0;
  s.mail.smtpPassword = textOf(smtpPasswordEdit);
  s.mail.senderName = textOf(senderNameEdit);
  s.mail.onePerDayMode = onePerDayBox->isChecked() ? 1 : 0;
  s.mail.unsubscribeUrl = textOf(unsubscribeUrlEdit);
  paceOf(s.mail);
  s.mail.legalFooterMode = legalFooterBox->isChecked() ? 1 : 0;
  s.mail.senderPostalAddress = textOf(postalAddressEdit);
  s.mail.senderContact = textOf(contactEdit);
  // The file keeps CR LF line ends, as the mail does.
  s.mail.footerTemplate = Sjis::fromQ(footerTemplateEdit->toPlainText().replace(QStringLiteral("\n"), QStringLiteral("\r\n")));
  ::writeSettings(m_paths, s);
  setTextOf(missingNameEdit, s.mail.defaultReaderName);
  setTextOf(senderNameEdit, s.mail.senderName);
  setTextOf(unsubscribeUrlEdit, s.mail.unsubscribeUrl);
  setTextOf(postalAddressEdit, s.mail.senderPostalAddress);
  setTextOf(contactEdit, s.mail.senderContact);
  showSecretPath();
}

void SettingsWindow::paceOf(MailSettings& m) const {
  m.hourLimit = trim(textOf(hourLimitEdit));
  m.dayLimit = trim(textOf(dayLimitEdit));
  if (m.hourLimit.empty()) m.hourLimit = "0";
  if (m.dayLimit.empty()) m.dayLimit = "0";
  m.sendDays.clear();
  for (QCheckBox* box : sendDayBoxes) m.sendDays += box->isChecked() ? '1' : '0';
  m.skipHolidaysMode = skipHolidaysBox->isChecked() ? 1 : 0;
  const std::string from = trim(textOf(sendFromEdit));
  const std::string until = trim(textOf(sendUntilEdit));
  m.sendHours = from.empty() && until.empty() ? std::string() : from + "-" + until;
  m.mailsPerConnection = std::max(toIntOr(trim(textOf(mailsPerConnectionEdit)), 1), 1);
}

void SettingsWindow::save() {
  if (!checkField(SettingsCheck::All)) return;
  applyButtonMask("000000000000");
  try {
    saveFields();
  } catch (const std::exception& e) {
    // The window stays open with every button disabled; its close box still works.
    showError(Sjis::toQ(e.what()));
    return;
  }
  accept();
}

void SettingsWindow::cancel() { reject(); }

void SettingsWindow::chooseLocalFolder() {
  const std::string typed = trim(textOf(localFolderEdit));
  const QString start = typed.empty() ? Sjis::toQ(Sjis::fromPath(m_ctx.programDir())) : Sjis::toQ(typed);
  const QString chosen = Dialogs::instance().chooseFolder(QStringLiteral("ローカルフォルダの選択"), start);
  if (chosen.isEmpty()) return;
  localFolderEdit->setText(QDir::toNativeSeparators(chosen));
  checkField(SettingsCheck::LocalFolder);
}

void SettingsWindow::popBeforeSmtpToggled() {
  const bool on = popBeforeSmtpBox->isChecked();
  popGroup->setEnabled(on);
  for (NavigatingEdit* e : {popServerEdit, popUserEdit, popPasswordEdit, popWaitSecondsEdit}) e->setEnabled(on);
  if (on) popServerEdit->setFocus();
}

void SettingsWindow::smtpLoginToggled() {
  const bool on = smtpLoginBox->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{smtpUserEdit, smtpPasswordEdit, saveSmtpPasswordBox, smtpPlainLoginBox})
    w->setEnabled(on);
}

void SettingsWindow::smtpSecurityChosen(int mode) {
  if (mode < 0 || mode > 2) return;
  const std::string typed = trim(textOf(smtpPortEdit));
  const int port = toIntOr(typed, -1);
  const bool usualOfAnother = std::find(std::begin(kUsualSmtpPorts), std::end(kUsualSmtpPorts), port) != std::end(kUsualSmtpPorts);
  if (typed.empty() || usualOfAnother) setTextOf(smtpPortEdit, std::to_string(kUsualSmtpPorts[mode]));
}

void SettingsWindow::smtpPortTyped() {
  const int port = toIntOr(trim(textOf(smtpPortEdit)), -1);
  const int mode = port == kUsualSmtpPorts[1] ? 1 : port == kUsualSmtpPorts[2] ? 2 : -1;
  if (mode < 0) return;
  // The choice proposes this same port back, so the field stays as typed.
  smtpSecurityBox->setCurrentIndex(mode);
  smtpLoginBox->setChecked(true);
}

bool SettingsWindow::ftpUsed() const {
  for (const NavigatingEdit* e : {ftpHostEdit, ftpUserEdit, ftpHostFolderEdit, localFolderEdit})
    if (!trim(textOf(e)).empty()) return true;
  return false;
}

bool SettingsWindow::fail(NavigatingEdit* field, const QString& message) {
  if (m_failures) {
    m_failures->push_back({field, message});
    return false;
  }
  if (!message.isEmpty()) showMessage(message);
  pages->setCurrentIndex(ftpPage->isAncestorOf(field) ? kFtpPage : pacePage->isAncestorOf(field) ? kPacePage : kMailPage);
  field->setFocus();
  return false;
}

bool SettingsWindow::checkText(const TextCheck& check) {
  using When = TextCheck::When;
  const bool pop = popBeforeSmtpBox->isChecked();
  const bool applies = check.when == When::Always || (check.when == When::FtpUsed && ftpUsed()) ||
                       (check.when == When::FtpPasswordSaved && ftpUsed() && saveFtpPasswordBox->isChecked()) ||
                       (check.when == When::PopBefore && pop) ||
                       (check.when == When::PopBeforeAndPasswordSaved && pop && savePopPasswordBox->isChecked()) ||
                       (check.when == When::SmtpLogin && smtpLoginBox->isChecked()) ||
                       (check.when == When::SmtpLoginAndPasswordSaved && smtpLoginBox->isChecked() &&
                        saveSmtpPasswordBox->isChecked());
  if (!applies) return true;
  NavigatingEdit* field = this->*check.field;
  const std::string text = trim(textOf(field));
  setTextOf(field, text);
  if (text.empty()) return fail(field, QString::fromUtf16(check.empty));
  if (!isHalfWidth(text)) return fail(field, QString::fromUtf16(check.wide));
  return true;
}

bool SettingsWindow::checkLocalFolder() {
  const std::string text = trim(textOf(localFolderEdit));
  setTextOf(localFolderEdit, text);
  if (text.empty() && !ftpUsed()) return true;
  if (text.empty()) return fail(localFolderEdit, QStringLiteral("ローカルフォルダ名を入力して下さい。"));
  const std::filesystem::path folder = Sjis::toPath(text);
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return true;
  if (!askYesNo(QStringLiteral("指定されたローカルフォルダが存在しません。作成しますか？")))
    return fail(localFolderEdit, QString());
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec))
    return fail(localFolderEdit, QStringLiteral("フォルダの作成に失敗しました。"));
  return true;
}

// The wait after each mail (always; formatted before it is tested) and the wait after
// the POP3 login (only with POP before SMTP; formatted after it passed).
bool SettingsWindow::checkSeconds(NavigatingEdit* field, bool formatFirst) {
  const QString empty = QStringLiteral("秒数を入力して下さい。");
  if (formatFirst) {
    setTextOf(field, threeDigits(textOf(field)));
    const std::string t = trim(textOf(field));
    if (t.empty()) return fail(field, empty);
    if (!isInteger(t)) return fail(field, QStringLiteral("秒数に誤りがあります。"));
    return true;
  }
  if (!popBeforeSmtpBox->isChecked()) return true;
  if (trim(textOf(field)).empty()) {
    field->clear();
    return fail(field, empty);
  }
  setTextOf(field, threeDigits(textOf(field)));
  return true;
}

bool SettingsWindow::checkLineWidth() {
  const std::string t = trim(textOf(lineWidthEdit));
  if (t.empty() || toIntOr(t, 0) == 0) {
    lineWidthEdit->clear();
    return fail(lineWidthEdit, t.empty() ? QStringLiteral("文字数を入力して下さい。") : QStringLiteral("文字数に誤りがあります。"));
  }
  setTextOf(lineWidthEdit, threeDigits(textOf(lineWidthEdit)));
  return true;
}

bool SettingsWindow::checkSmtpPort() {
  const std::string t = trim(textOf(smtpPortEdit));
  setTextOf(smtpPortEdit, t);
  if (t.empty()) return fail(smtpPortEdit, QStringLiteral("SMTPポート番号を入力して下さい。"));
  const int port = toIntOr(t, 0);
  if (!isInteger(t) || port < 1 || port > 65535) return fail(smtpPortEdit, QStringLiteral("SMTPポート番号に誤りがあります。"));
  setTextOf(smtpPortEdit, std::to_string(port));
  return true;
}

// The name goes into the From line as ISO-2022-JP, which has no half-width kana.
bool SettingsWindow::checkSenderName() {
  const std::string t = trim(textOf(senderNameEdit));
  setTextOf(senderNameEdit, t);
  for (std::size_t i = 0; i < t.size(); ++i) {
    const auto c = static_cast<unsigned char>(t[i]);
    if (isLeadByte(c))
      ++i;
    else if (c >= 0x80)
      return fail(senderNameEdit, QStringLiteral("差出人名に半角カナがあります。\r\r全角文字で入力して下さい。"));
  }
  return true;
}

// Empty is allowed: mails then offer unsubscribing by mail only.
bool SettingsWindow::checkUnsubscribeUrlField() {
  const std::string t = trim(textOf(unsubscribeUrlEdit));
  setTextOf(unsubscribeUrlEdit, t);
  switch (checkUnsubscribeUrl(t)) {
    case UnsubscribeUrlProblem::None:
    case UnsubscribeUrlProblem::Empty: return true;
    case UnsubscribeUrlProblem::NotHttps:
      return fail(unsubscribeUrlEdit, QStringLiteral("配信停止URLはhttps://で始まるアドレスを入力して下さい。"));
    case UnsubscribeUrlProblem::BlankOrControl:
      return fail(unsubscribeUrlEdit, QStringLiteral("配信停止URLに空白や使えない文字（制御文字、<、>、\"）があります。\r\r取り除いて入力して下さい。"));
    case UnsubscribeUrlProblem::NotAscii:
      return fail(unsubscribeUrlEdit, QStringLiteral("配信停止URLに全角文字があります。\r\r半角文字で入力して下さい。"));
  }
  return true;
}

bool SettingsWindow::checkPace() {
  MailSettings pace;
  paceOf(pace);
  const std::string problem = SendPace(pace).problem();
  return problem.empty() || fail(hourLimitEdit, Sjis::toQ(problem));
}

bool SettingsWindow::checkField(SettingsCheck which) {
  using When = TextCheck::When;
  static const TextCheck kTextChecks[] = {
      {SettingsCheck::FtpHost, &SettingsWindow::ftpHostEdit, When::FtpUsed, u"ホスト名、又は、アドレスを入力して下さい。",
       u"全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::FtpUser, &SettingsWindow::ftpUserEdit, When::FtpUsed, u"ユーザ名を入力して下さい。",
       u"ユーザ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::FtpPassword, &SettingsWindow::ftpPasswordEdit, When::FtpPasswordSaved, u"パスワードを入力して下さい。",
       u"パスワードに全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::HostFolder, &SettingsWindow::ftpHostFolderEdit, When::FtpUsed, u"ホストのフォルダ名を入力して下さい。",
       u"ホストのフォルダ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::SmtpServer, &SettingsWindow::smtpServerEdit, When::Always, u"SMTPｻｰﾊﾞ名を入力して下さい。",
       u"SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::SenderAddress, &SettingsWindow::senderAddressEdit, When::Always, u"メールアドレスを入力して下さい。",
       u"メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::SmtpUser, &SettingsWindow::smtpUserEdit, When::SmtpLogin, u"SMTPユーザ名を設定して下さい。",
       u"SMTPユーザ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::SmtpPassword, &SettingsWindow::smtpPasswordEdit, When::SmtpLoginAndPasswordSaved,
       u"SMTPパスワードを入力して下さい。", u"SMTPパスワードに全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::PopServer, &SettingsWindow::popServerEdit, When::PopBefore, u"POP3ｻｰﾊﾞ名を入力して下さい。",
       u"POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::PopUser, &SettingsWindow::popUserEdit, When::PopBefore, u"POP3ﾕｰｻﾞ名を入力して下さい。",
       u"POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {SettingsCheck::PopPassword, &SettingsWindow::popPasswordEdit, When::PopBeforeAndPasswordSaved, u"パスワードを入力して下さい。",
       u"パスワードに全角文字があります。\r\r半角文字で入力して下さい。"},
  };
  if (which == SettingsCheck::All) {
    std::vector<Failure> failures;
    m_failures = &failures;
    for (int c = 0; c < static_cast<int>(SettingsCheck::All); ++c) checkField(static_cast<SettingsCheck>(c));
    m_failures = nullptr;
    if (failures.empty()) return true;
    QStringList lines;
    for (const Failure& f : failures)
      if (!f.message.isEmpty()) lines << f.message;
    // One failure keeps its message as it is; in a list each takes one line.
    if (lines.size() == 1)
      showMessage(lines.front());
    else if (!lines.isEmpty())
      showMessage(lines.replaceInStrings(QStringLiteral("\r\r"), QString()).join(QLatin1Char('\n')));
    return fail(failures.front().field, QString());
  }
  switch (which) {
    case SettingsCheck::LocalFolder: return checkLocalFolder();
    case SettingsCheck::WaitSeconds: return checkSeconds(waitSecondsEdit, true);
    case SettingsCheck::PopWaitSeconds: return checkSeconds(popWaitSecondsEdit, false);
    case SettingsCheck::LineWidth: return checkLineWidth();
    case SettingsCheck::SmtpPort: return checkSmtpPort();
    case SettingsCheck::SenderName: return checkSenderName();
    case SettingsCheck::UnsubscribeUrl: return checkUnsubscribeUrlField();
    case SettingsCheck::Pace: return checkPace();
    default: break;
  }
  for (const TextCheck& c : kTextChecks)
    if (c.check == which) return checkText(c);
  return true;
}
