#include "settings/SettingsWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
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
  return c;
}

// "label [field] tail" on one line.
QHBoxLayout* inlineField(QWidget* parent, const QString& label, QWidget* field, const QString& tail) {
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(label, parent));
  row->addWidget(field);
  row->addWidget(new QLabel(tail, parent));
  row->addStretch(1);
  return row;
}

}  // namespace

// A field whose check is "not empty, then no double-byte characters".
struct SettingsWindow::TextCheck {
  enum class When { Always, FtpPasSave, PopBefore, PopBeforeAndPasSave };
  int code;
  NavigatingEdit* SettingsWindow::*field;
  When when;
  const char16_t* empty;
  const char16_t* wide;
};

SettingsWindow::SettingsWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent), m_paths(SettingsPaths::of(ctx)) {
  setWindowTitle(QStringLiteral("FTP、Mail 設定"));
  resize(640, 600);
  auto* layout = new QVBoxLayout(this);
  PageControl1 = new QTabWidget(this);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(PageControl1, 1);
  buildFtpPage();
  buildMailPage();

  // A static panel about the program in place of the maker's web page.
  vendorInfo = makeInformationPanel(this);
  vendorInfo->setObjectName(QStringLiteral("vendorInfo"));
  layout->addWidget(vendorInfo);
  buildButtonBar();

  const std::array<std::pair<NavigatingEdit*, int>, 10> enterChecks{{{EFTP_Host_ADR, 1},
                                                                {EFTP_USER, 2},
                                                                {EFTP_LOCAL_PATH, 4},
                                                                {EFTP_HOST_PATH, 5},
                                                                {ESmtp, 21},
                                                                {EMailAdress, 22},
                                                                {EMail1_Wait_Second, 23},
                                                                {EPop_Saver, 25},
                                                                {EPop_UsrName, 26},
                                                                {EPop_PasWord, 27}}};
  for (const auto& [edit, code] : enterChecks) {
    const int c = code;
    connect(edit, &NavigatingEdit::keyPressed, this, [this, c](int key) {
      if (key == 13) Chk_Part(c);
    });
  }
  connect(BFTP_LOCAL_PATH, &QPushButton::clicked, this, &SettingsWindow::BFTP_LOCAL_PATHClick);
  // Also when the load sets the box: its state then decides the group as a click does.
  connect(CB_POP_before_SMTP, &QCheckBox::toggled, this, &SettingsWindow::CB_POP_before_SMTPClick);
  CB_POP_before_SMTPClick();
}

void SettingsWindow::buildFtpPage() {
  TabSheet1 = new QWidget;
  PageControl1->addTab(TabSheet1, QStringLiteral("FTPの設定"));
  auto* page = new QVBoxLayout(TabSheet1);
  auto* group = new QGroupBox(QStringLiteral("FTPの設定"), TabSheet1);
  page->addWidget(group);
  page->addStretch(1);
  auto* grid = new QGridLayout(group);
  int row = 0;
  auto addRow = [&](const QString& label, QWidget* field) {
    grid->addWidget(new QLabel(label, group), row, 0);
    grid->addWidget(field, row++, 1);
  };
  auto addNote = [&](const QString& note) { grid->addWidget(new QLabel(note, group), row++, 1); };

  EFTP_Host_ADR = addEdit(group, "EFTP_Host_ADR", 0, true);
  addRow(QStringLiteral("ホスト名（アドレス）"), EFTP_Host_ADR);
  EFTP_USER = addEdit(group, "EFTP_USER", 0, true);
  addRow(QStringLiteral("ユーザ名"), EFTP_USER);
  EFTP_PAS = addPassword(group, "EFTP_PAS", 0);
  addRow(QStringLiteral("パスワード"), EFTP_PAS);
  CBFTP_PAS_SAVE = addCheck(group, "CBFTP_PAS_SAVE", QStringLiteral("パスワードを保存する"));
  grid->addWidget(CBFTP_PAS_SAVE, row++, 1);
  EFTP_HOST_PATH = addEdit(group, "EFTP_HOST_PATH", 0, false);
  addRow(QStringLiteral("ホストのフォルダ"), EFTP_HOST_PATH);
  addNote(QStringLiteral("（読者情報ファイルが設置されているフォルダ）"));

  EFTP_LOCAL_PATH = addEdit(group, "EFTP_LOCAL_PATH", 0, false);
  BFTP_LOCAL_PATH = new QPushButton(QStringLiteral("選択"), group);
  BFTP_LOCAL_PATH->setObjectName(QStringLiteral("BFTP_LOCAL_PATH"));
  BFTP_LOCAL_PATH->setAutoDefault(false);
  auto* local = new QWidget(group);
  auto* localRow = new QHBoxLayout(local);
  localRow->setContentsMargins(0, 0, 0, 0);
  localRow->addWidget(EFTP_LOCAL_PATH, 1);
  localRow->addWidget(BFTP_LOCAL_PATH);
  addRow(QStringLiteral("ローカルフォルダ"), local);
  addNote(QStringLiteral("（受信した読者情報ファイルを保存するフォルダ）"));

  CPasv = addCheck(group, "CPasv", QStringLiteral("PASVモードを使う"));
  CPasv->setChecked(true);
  grid->addWidget(CPasv, row++, 1);
  addNote(QStringLiteral("通信障害が頻繁に起こる場合はチェックを入れてください。"));
}

void SettingsWindow::buildMailPage() {
  TabSheet2 = new QWidget;
  PageControl1->addTab(TabSheet2, QStringLiteral("メール設定"));
  auto* page = new QVBoxLayout(TabSheet2);

  auto* smtp = new QGroupBox(QStringLiteral("SMTP設定(送信)"), TabSheet2);
  page->addWidget(smtp);
  auto* smtpGrid = new QGridLayout(smtp);
  ESmtp = addEdit(smtp, "ESmtp", 100, true);
  smtpGrid->addWidget(new QLabel(QStringLiteral("SMTPｻｰﾊﾞ名"), smtp), 0, 0);
  smtpGrid->addWidget(ESmtp, 0, 1);
  EMailAdress = addEdit(smtp, "EMailAdress", 100, true);
  smtpGrid->addWidget(new QLabel(QStringLiteral("ﾒｰﾙｱﾄﾞﾚｽ(差出人)"), smtp), 1, 0);
  smtpGrid->addWidget(EMailAdress, 1, 1);
  EMail1_Wait_Second = addDigits(smtp, "EMail1_Wait_Second");
  smtpGrid->addLayout(inlineField(smtp, QStringLiteral("１メール送ったら、"), EMail1_Wait_Second,
                                  QStringLiteral("秒待機する。")),
                      2, 0, 1, 2);

  CB_POP_before_SMTP = addCheck(TabSheet2, "CB_POP_before_SMTP",
                                QStringLiteral("POP before SMTPで、ユーザー認証を行ってからメール送信を行う。"));
  page->addWidget(CB_POP_before_SMTP);

  GPop_Inp = new QGroupBox(QStringLiteral("ＰＯＰ３の設定"), TabSheet2);
  GPop_Inp->setObjectName(QStringLiteral("GPop_Inp"));
  page->addWidget(GPop_Inp);
  auto* popGrid = new QGridLayout(GPop_Inp);
  EPop_Saver = addEdit(GPop_Inp, "EPop_Saver", 100, true);
  popGrid->addWidget(new QLabel(QStringLiteral("POP3ｻｰﾊﾞ名"), GPop_Inp), 0, 0);
  popGrid->addWidget(EPop_Saver, 0, 1);
  EPop_UsrName = addEdit(GPop_Inp, "EPop_UsrName", 100, true);
  popGrid->addWidget(new QLabel(QStringLiteral("POP3ﾕｰｻﾞ名"), GPop_Inp), 1, 0);
  popGrid->addWidget(EPop_UsrName, 1, 1);
  EPop_PasWord = addPassword(GPop_Inp, "EPop_PasWord", 100);
  popGrid->addWidget(new QLabel(QStringLiteral("POP3ﾊﾟｽﾜｰﾄﾞ"), GPop_Inp), 2, 0);
  popGrid->addWidget(EPop_PasWord, 2, 1);
  CB_Mail_PasSave = addCheck(GPop_Inp, "CB_Mail_PasSave", QStringLiteral("パスワードを保存する"));
  popGrid->addWidget(CB_Mail_PasSave, 3, 1);
  EPop_After_Snd_Second = addDigits(GPop_Inp, "EPop_After_Snd_Second");
  popGrid->addLayout(inlineField(GPop_Inp, QStringLiteral("POP before SMTPでﾕｰｻﾞｰ認証後"), EPop_After_Snd_Second,
                                 QStringLiteral("秒後にメール送信を行う。")),
                     4, 0, 1, 2);

  CBLogWrt = addCheck(TabSheet2, "CBLogWrt", QStringLiteral("ログを出力する。"));
  page->addWidget(CBLogWrt);

  auto* body = new QGroupBox(QStringLiteral("送信メールの設定"), TabSheet2);
  page->addWidget(body);
  auto* bodyLayout = new QVBoxLayout(body);
  EMax_Moji = addDigits(body, "EMax_Moji");
  bodyLayout->addLayout(
      inlineField(body, QStringLiteral("１行の文字数が、"), EMax_Moji, QStringLiteral("文字を超えたら改行する。")));
  bodyLayout->addWidget(new QLabel(QStringLiteral("(全角は２、半角は１と数えます。)"), body));
  bodyLayout->addWidget(new QLabel(QStringLiteral("メール送信時、ストーリーマスターの##readername##を、読者マスターの読者名に"), body));
  bodyLayout->addWidget(new QLabel(QStringLiteral("置き換えて送信する時、読者名が未登録の時に置き換える文字を設定して下さい。"), body));
  // Japanese input stays available here (the platform has no "hiragana on" switch).
  ENothing_UserName = addEdit(body, "ENothing_UserName", 60, false);
  bodyLayout->addWidget(ENothing_UserName);
  page->addStretch(1);
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
  B1 = buttons[0];
  B12 = buttons[11];
  B1->setText(QStringLiteral("登　録 F-1"));
  B12->setText(QStringLiteral(" キャンセル F-12"));
  static_cast<QVBoxLayout*>(layout())->addLayout(bar);
  setFunctionButtons(buttons);
  connect(B1, &QPushButton::clicked, this, &SettingsWindow::B1Click);
  connect(B12, &QPushButton::clicked, this, &SettingsWindow::B12Click);
}

void SettingsWindow::activate() {
  if (m_ctx.initSettings != 1) return;
  m_paths = SettingsPaths::of(m_ctx);
  m_ctx.initSettings = 0;
  try {
    readSettings();
  } catch (const std::exception& e) {  // a password file that cannot be read
    showError(Sjis::toQ(e.what()));
  }
  applyButtonMask("999999999999");
  PageControl1->setCurrentIndex(m_ctx.settingsPage == kMailPage ? kMailPage : kFtpPage);
  applyButtonMask("199999999991");
}

void SettingsWindow::readSettings() {
  const AllSettings s = ::readSettings(m_paths);
  setTextOf(EFTP_Host_ADR, s.ftp.FTP_HOST_ADR);
  setTextOf(EFTP_USER, s.ftp.FTP_USER);
  CBFTP_PAS_SAVE->setChecked(s.ftp.passwordSaved());
  setTextOf(EFTP_PAS, s.ftp.password);
  setTextOf(EFTP_LOCAL_PATH, s.ftp.FTP_LOCAL_PATH);
  setTextOf(EFTP_HOST_PATH, s.ftp.FTP_HOST_PATH);
  CPasv->setChecked(s.ftp.passive());

  // The box may move the focus into the mail page, so that page is showing first.
  PageControl1->setCurrentIndex(kMailPage);
  CB_POP_before_SMTP->setChecked(s.mail.popBeforeSmtp());
  setTextOf(EPop_Saver, s.mail.Pop_Saver);
  setTextOf(EPop_UsrName, s.mail.Pop_UsrName);
  CB_Mail_PasSave->setChecked(s.mail.passwordSaved());
  setTextOf(EPop_PasWord, s.mail.password);
  CBLogWrt->setChecked(s.mail.writeLog());
  setTextOf(EPop_After_Snd_Second, threeDigits(s.mail.Pop_After_Snd_Second));
  setTextOf(EMail1_Wait_Second, threeDigits(s.mail.Mail1_Wait_Second));
  setTextOf(ESmtp, s.mail.Smtp);
  setTextOf(EMailAdress, s.mail.MailAdress);
  setTextOf(EMax_Moji, threeDigits(s.mail.Max_Moji));
  setTextOf(ENothing_UserName, s.mail.Nothing_UserName);
}

void SettingsWindow::writeSettings() {
  AllSettings s;
  s.ftp.FTP_HOST_ADR = textOf(EFTP_Host_ADR);
  s.ftp.FTP_USER = textOf(EFTP_USER);
  s.ftp.FTP_PAS = CBFTP_PAS_SAVE->isChecked() ? 1 : 0;
  s.ftp.password = textOf(EFTP_PAS);
  s.ftp.FTP_HOST_PATH = textOf(EFTP_HOST_PATH);
  s.ftp.FTP_LOCAL_PATH = textOf(EFTP_LOCAL_PATH);
  s.ftp.FTP_PASV = CPasv->isChecked() ? 1 : 0;
  s.mail.Smtp = textOf(ESmtp);
  s.mail.MailAdress = textOf(EMailAdress);
  s.mail.Mail1_Wait_Second = textOf(EMail1_Wait_Second);
  s.mail.PasSave = CB_Mail_PasSave->isChecked() ? 1 : 0;
  s.mail.password = textOf(EPop_PasWord);
  s.mail.POP_before_SMTP = CB_POP_before_SMTP->isChecked() ? 1 : 0;
  s.mail.Pop_Saver = textOf(EPop_Saver);
  s.mail.Pop_UsrName = textOf(EPop_UsrName);
  s.mail.Pop_After_Snd_Second = textOf(EPop_After_Snd_Second);
  s.mail.LogWrt = CBLogWrt->isChecked() ? 1 : 0;
  s.mail.Max_Moji = textOf(EMax_Moji);
  s.mail.Nothing_UserName = textOf(ENothing_UserName);
  ::writeSettings(m_paths, s);
  setTextOf(ENothing_UserName, s.mail.Nothing_UserName);
}

void SettingsWindow::B1Click() {
  if (!Chk_Part(99)) return;
  applyButtonMask("000000000000");
  try {
    writeSettings();
  } catch (const std::exception& e) {
    // The window stays open with every button disabled; its close box still works.
    showError(Sjis::toQ(e.what()));
    return;
  }
  accept();
}

void SettingsWindow::B12Click() { reject(); }

void SettingsWindow::BFTP_LOCAL_PATHClick() {
  const std::string typed = trim(textOf(EFTP_LOCAL_PATH));
  const QString start = typed.empty() ? Sjis::toQ(Sjis::fromPath(m_ctx.programDir())) : Sjis::toQ(typed);
  const QString chosen = Dialogs::instance().chooseFolder(QStringLiteral("ローカルフォルダの選択"), start);
  if (chosen.isEmpty()) return;
  EFTP_LOCAL_PATH->setText(QDir::toNativeSeparators(chosen));
  Chk_Part(4);
}

void SettingsWindow::CB_POP_before_SMTPClick() {
  const bool on = CB_POP_before_SMTP->isChecked();
  GPop_Inp->setEnabled(on);
  for (NavigatingEdit* e : {EPop_Saver, EPop_UsrName, EPop_PasWord, EPop_After_Snd_Second}) e->setEnabled(on);
  if (on) EPop_Saver->setFocus();
}

bool SettingsWindow::fail(NavigatingEdit* field, const QString& message) {
  if (!message.isEmpty()) showMessage(message);
  PageControl1->setCurrentIndex(TabSheet1->isAncestorOf(field) ? kFtpPage : kMailPage);
  field->setFocus();
  return false;
}

bool SettingsWindow::checkText(const TextCheck& check) {
  using When = TextCheck::When;
  const bool pop = CB_POP_before_SMTP->isChecked();
  const bool applies = check.when == When::Always || (check.when == When::FtpPasSave && CBFTP_PAS_SAVE->isChecked()) ||
                       (check.when == When::PopBefore && pop) ||
                       (check.when == When::PopBeforeAndPasSave && pop && CB_Mail_PasSave->isChecked());
  if (!applies) return true;
  NavigatingEdit* field = this->*check.field;
  const std::string text = trim(textOf(field));
  setTextOf(field, text);
  if (text.empty()) return fail(field, QString::fromUtf16(check.empty));
  if (!isHalfWidth(text)) return fail(field, QString::fromUtf16(check.wide));
  return true;
}

bool SettingsWindow::checkLocalFolder() {
  const std::string text = trim(textOf(EFTP_LOCAL_PATH));
  setTextOf(EFTP_LOCAL_PATH, text);
  if (text.empty()) return fail(EFTP_LOCAL_PATH, QStringLiteral("ローカルフォルダ名を入力して下さい。"));
  const std::filesystem::path folder = Sjis::toPath(text);
  std::error_code ec;
  if (std::filesystem::is_directory(folder, ec)) return true;
  if (!askYesNo(QStringLiteral("指定されたローカルフォルダが存在しません。作成しますか？")))
    return fail(EFTP_LOCAL_PATH, QString());
  std::filesystem::create_directories(folder, ec);
  if (!std::filesystem::is_directory(folder, ec))
    return fail(EFTP_LOCAL_PATH, QStringLiteral("フォルダの作成に失敗しました。"));
  return true;
}

// Check 23 (always; formatted before it is tested) and 29 (only with POP before SMTP;
// formatted after it passed).
bool SettingsWindow::checkSeconds(NavigatingEdit* field, bool formatFirst) {
  const QString empty = QStringLiteral("秒数を入力して下さい。");
  if (formatFirst) {
    setTextOf(field, threeDigits(textOf(field)));
    const std::string t = trim(textOf(field));
    if (t.empty()) return fail(field, empty);
    if (!isInteger(t)) return fail(field, QStringLiteral("秒数に誤りがあります。"));
    return true;
  }
  if (!CB_POP_before_SMTP->isChecked()) return true;
  if (trim(textOf(field)).empty()) {
    field->clear();
    return fail(field, empty);
  }
  setTextOf(field, threeDigits(textOf(field)));
  return true;
}

bool SettingsWindow::checkMaxMoji() {
  const std::string t = trim(textOf(EMax_Moji));
  if (t.empty() || toIntOr(t, 0) == 0) {
    EMax_Moji->clear();
    return fail(EMax_Moji, t.empty() ? QStringLiteral("文字数を入力して下さい。") : QStringLiteral("文字数に誤りがあります。"));
  }
  setTextOf(EMax_Moji, threeDigits(textOf(EMax_Moji)));
  return true;
}

bool SettingsWindow::Chk_Part(int code) {
  using When = TextCheck::When;
  static const TextCheck kTextChecks[] = {
      {1, &SettingsWindow::EFTP_Host_ADR, When::Always, u"ホスト名、又は、アドレスを入力して下さい。",
       u"全角文字があります。\r\r半角文字で入力して下さい。"},
      {2, &SettingsWindow::EFTP_USER, When::Always, u"ユーザ名を入力して下さい。",
       u"ユーザ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {3, &SettingsWindow::EFTP_PAS, When::FtpPasSave, u"パスワードを入力して下さい。",
       u"パスワードに全角文字があります。\r\r半角文字で入力して下さい。"},
      {5, &SettingsWindow::EFTP_HOST_PATH, When::Always, u"ホストのフォルダ名を入力して下さい。",
       u"ホストのフォルダ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {21, &SettingsWindow::ESmtp, When::Always, u"SMTPｻｰﾊﾞ名を入力して下さい。",
       u"SMTPｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {22, &SettingsWindow::EMailAdress, When::Always, u"メールアドレスを入力して下さい。",
       u"メールアドレスに全角文字があります。\r\r半角文字で入力して下さい。"},
      {25, &SettingsWindow::EPop_Saver, When::PopBefore, u"POP3ｻｰﾊﾞ名を入力して下さい。",
       u"POP3ｻｰﾊﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {26, &SettingsWindow::EPop_UsrName, When::PopBefore, u"POP3ﾕｰｻﾞ名を入力して下さい。",
       u"POP3ﾕｰｻﾞ名に全角文字があります。\r\r半角文字で入力して下さい。"},
      {27, &SettingsWindow::EPop_PasWord, When::PopBeforeAndPasSave, u"パスワードを入力して下さい。",
       u"パスワードに全角文字があります。\r\r半角文字で入力して下さい。"},
  };
  if (code == 99) {
    for (int c : {1, 2, 3, 4, 5, 21, 22, 23, 25, 26, 27, 29, 33})
      if (!Chk_Part(c)) return false;
    return true;
  }
  switch (code) {
    case 4: return checkLocalFolder();
    case 23: return checkSeconds(EMail1_Wait_Second, true);
    case 29: return checkSeconds(EPop_After_Snd_Second, false);
    case 33: return checkMaxMoji();
    default: break;
  }
  for (const TextCheck& c : kTextChecks)
    if (c.code == code) return checkText(c);
  return true;
}
