#include "intake/ReceiveWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Clock.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ReceiveRun.h"
#include "intake/ImportRules.h"
#include "intake/RegistrationImport.h"
#include "intake/ResultLabel.h"
#include "core/InformationPanel.h"
#include "net/ConnectionStatus.h"
#include "net/FtpClient.h"
#include "settings/PasswordPrompt.h"
#include "settings/SettingsDialogs.h"

namespace fs = std::filesystem;

namespace {

std::string text(const char* utf8) { return Sjis::fromUtf8(utf8); }

// A check message in the plain box; the check fails.
bool refuse(const char* utf8) {
  showMessage(QString::fromUtf8(utf8));
  return false;
}

}  // namespace

ReceiveWindow::ReceiveWindow(AppContext& ctx, QWidget* parent)
    : WindowBase(ctx, parent), IdFTP1(std::make_unique<FtpClient>()) {
  setWindowTitle(QStringLiteral("クオル　読者情報受信"));
  resize(560, 400);

  auto* root = new QVBoxLayout(this);
  LMSG = new QLabel(this);
  LMSG->setMinimumHeight(24);
  root->addWidget(LMSG);
  LStatus = new QLabel(this);
  root->addWidget(LStatus);

  auto* countRow = new QHBoxLayout;
  countRow->addStretch(1);
  countRow->addWidget(new QLabel(QStringLiteral("登録件数"), this));
  EOCnt = new NavigatingEdit(this);
  EOCnt->setObjectName(QStringLiteral("EOCnt"));
  EOCnt->setReadOnly(true);
  EOCnt->setFocusPolicy(Qt::NoFocus);
  EOCnt->setFixedWidth(80);
  EOCnt->setAlignment(Qt::AlignRight);
  countRow->addWidget(EOCnt);
  countRow->addStretch(1);
  root->addLayout(countRow);

  LCount = new QLabel(this);
  LCount->setAlignment(Qt::AlignCenter);
  root->addWidget(LCount);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setTextVisible(false);
  root->addWidget(ProgressBar1);
  LSuccesuu = makeResultLabel(QStringLiteral("正常終了"), this, Qt::blue);
  Lerror = makeResultLabel(QStringLiteral("エラー又は中断"), this, Qt::red);
  root->addWidget(LSuccesuu);
  root->addWidget(Lerror);
  root->addWidget(makeInformationPanel(this), 1);

  // Out of sight: the listing memo and the bar buttons without a function.
  auto* offstage = new QWidget(this);
  offstage->hide();
  Ftp_Dir_Memo = new QPlainTextEdit(offstage);

  auto* bar = new QHBoxLayout;
  for (int i = 0; i < 12; ++i) {
    const QString caption = i == 0    ? QStringLiteral("開 始 F-1")
                            : i == 11 ? QStringLiteral(" 終 了 F-12")
                                      : QStringLiteral("F-%1").arg(i + 1);
    auto* b = new QPushButton(caption, i == 0 || i == 11 ? static_cast<QWidget*>(this) : offstage);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->setEnabled(false);
    B[static_cast<size_t>(i)] = b;
  }
  bar->addWidget(B[0]);
  bar->addStretch(1);
  bar->addWidget(B[11]);
  root->addLayout(bar);
  setFunctionButtons(B);
  connect(B[0], &QPushButton::clicked, this, &ReceiveWindow::B1Click);
  connect(B[11], &QPushButton::clicked, this, &ReceiveWindow::B12Click);

  Timer1 = new QTimer(this);
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &ReceiveWindow::Timer1Timer);

  IdFTP1->readTimeoutMs = 10000;
  IdFTP1->passive = true;
  IdFTP1->onStatus = [this](TcpConnection&, ConnectionStatus status, const std::string&) { IdFTP1Status(status); };
  IdFTP1->onConnected = [this](TcpConnection&) { LMSG->repaint(); };
  IdFTP1->onDisconnected = [this](TcpConnection&) { LMSG->repaint(); };
}

ReceiveWindow::~ReceiveWindow() = default;

void ReceiveWindow::activate() {
  if (m_ctx.initReceive != 1) return;
  m_ctx.initReceive = 0;
  const SettingsPaths paths = SettingsPaths::of(m_ctx);
  log.setPaths(m_ctx.file("FtpRcv.log"), m_ctx.file("FtpRcv_Err.log"));
  LogWrite("Env_FileName->" + Sjis::fromPath(paths.env));
  Data_Clr();
  applyButtonMask("100000000001");
  if (m_ctx.receiveOnly == 0) B[0]->click();
}

void ReceiveWindow::Data_Clr() {
  Reg_Cnt = 0;
  EOCnt->setText(Sjis::toQ(ImportRules::countText(0)));
  LSuccesuu->hide();
  Lerror->hide();
  ProgressBar1->hide();
  LMSG->clear();
  LStatus->clear();
  LCount->clear();
}

void ReceiveWindow::B1Click() { Main_Part(); }

void ReceiveWindow::B12Click() { close(); }

void ReceiveWindow::Main_Part() {
  if (Run_Flg) return;
  try {
    settings = loadFtpSettings(SettingsPaths::of(m_ctx));
  } catch (const std::exception& e) {
    // An unreadable password file: nothing can be checked, the run does not start.
    showError(Sjis::toQ(e.what()));
    return;
  }
  IdFTP1->passive = settings.passive();
  if (!Chk_Part()) {
    openSettingsWindow(m_ctx, 0);
    m_ctx.initSettings = 0;
    return;
  }
  if (settings.passwordAsked()) {
    const std::optional<std::string> typed = askPassword(m_ctx, PasswordFor::Ftp);
    if (!typed) return;
    settings.password = *typed;
  }

  applyButtonMask("000000000001");
  Run_Flg = true;
  log.removeErrorLog();
  ErrLog_Flg = false;
  applyButtonMask("000000000000");

  Rcv_Stamp = Clock::nowStamp();
  LogWrite(text("開始"));
  ReceiveRun ftp(*IdFTP1, *this,
                 {settings.FTP_HOST_ADR, FtpPort, settings.FTP_USER, settings.password, settings.FTP_LOCAL_PATH,
                  settings.FTP_HOST_PATH});
  ftp.changeDirWaitMs = ChangeDirWaitMs;
  const bool received = ftp.Ftp_Main_Part();
  if (!ftp.Rcv_Stamp().empty()) Rcv_Stamp = ftp.Rcv_Stamp();
  // Once the server's copy is gone the download is the only one: it is imported even
  // when a later stage failed or the operator stopped the run (the run still counts as
  // failed), so that no registration is left behind in a backup.
  if (received || ftp.remoteEmptied())
    RegistrationImport(m_ctx.query, *this).DB_Insert_Main(Sjis::toPath(ftp.downloadPath()));

  Rcv_Stamp = Clock::nowStamp();
  LogWrite(text("終了"));
  LMSG->clear();
  LSuccesuu->setVisible(Run_Flg);
  Lerror->setVisible(!Run_Flg);
  if (ErrLog_Flg) {
    const std::string warning = text("ＤＢに登録できなっかたデータがあります。エラーログを確認して下さい。");
    showMessage(warning);
    LogWrite(warning);
    showError(Sjis::toQ(warning));
  }
  if (m_ctx.receiveOnly == 0)
    Timer1->start();
  else if (Reg_Cnt == 0)
    ::showMessage(QStringLiteral("登録データが、有りませんでした。"));
  Run_Flg = false;
  applyButtonMask("000000000001");
}

bool ReceiveWindow::Chk_Part() {
  FtpSettings& s = settings;
  s.FTP_HOST_ADR = trim(s.FTP_HOST_ADR);
  if (s.FTP_HOST_ADR.empty()) return refuse("ホスト名、又は、アドレスが登録されていません。");
  if (!isHalfWidth(s.FTP_HOST_ADR)) return refuse("全角文字があります。\r\r半角文字で登録して下さい。");
  s.FTP_USER = trim(s.FTP_USER);
  if (s.FTP_USER.empty()) return refuse("ユーザ名を登録して下さい。");
  if (!isHalfWidth(s.FTP_USER)) return refuse("ユーザ名に全角文字があります。\r\r半角文字で登録して下さい。");
  if (s.passwordSaved() && !askSavedOrTypedPassword(s.password)) return false;
  s.FTP_LOCAL_PATH = trim(s.FTP_LOCAL_PATH);
  if (s.FTP_LOCAL_PATH.empty()) return refuse("ローカルフォルダ名を登録して下さい。");
  const fs::path local = Sjis::toPath(s.FTP_LOCAL_PATH);
  std::error_code ec;
  if (!fs::is_directory(local, ec)) {
    if (!askYesNo(QStringLiteral("指定されたローカルフォルダが存在しません。作成しますか？"))) return false;
    fs::create_directories(local, ec);
    if (!fs::is_directory(local, ec)) return refuse("フォルダの作成に失敗しました。");
  }
  s.FTP_HOST_PATH = trim(s.FTP_HOST_PATH);
  if (s.FTP_HOST_PATH.empty()) return refuse("ホストのフォルダ名を登録して下さい。");
  if (!isHalfWidth(s.FTP_HOST_PATH))
    return refuse("ホストのフォルダ名に全角文字があります。\r\r半角文字で登録して下さい。");
  Host_File = ReceiveRun::hostFileOf(s.FTP_HOST_PATH);
  return true;
}

void ReceiveWindow::IdFTP1Status(ConnectionStatus status) {
  static const char* const kTexts[] = {"Status  Resolving",  "Status  Connecting",   "Status  Connected",
                                       "Status  Disconnecting", nullptr,            "Status  StatusText",
                                       "Status  ftpTransfert", "Status  ftpReady",  "Status  ftpAborted"};
  const int n = static_cast<int>(status);
  if (n < 0 || n > 8 || !kTexts[n]) return;
  showMessage(kTexts[n]);
  LogWrite(kTexts[n]);
}

void ReceiveWindow::Timer1Timer() {
  Timer1->stop();
  close();
}

bool ReceiveWindow::closeAllowed() {
  if (!Run_Flg) return true;
  if (askYesNo(QStringLiteral("本当に処理を中止しますか?"), MsgIcon::Warning)) Run_Flg = false;
  return false;
}

void ReceiveWindow::reject() {
  if (closeAllowed()) WindowBase::reject();
}

void ReceiveWindow::closeEvent(QCloseEvent* event) {
  if (!closeAllowed()) {
    event->ignore();
    return;
  }
  WindowBase::closeEvent(event);
}

// ---- what the FTP part and the import see of the window ------------------------------

void ReceiveWindow::readerRegistered() {
  // Readers inserted after the run was marked failed are not counted.
  if (!Run_Flg) return;
  ++Reg_Cnt;
  EOCnt->setText(Sjis::toQ(ImportRules::countText(Reg_Cnt)));
}

void ReceiveWindow::processEvents() { QCoreApplication::processEvents(); }

void ReceiveWindow::showMessage(const std::string& t) {
  LMSG->setText(Sjis::toQ(t));
  LMSG->repaint();
}

void ReceiveWindow::LogWrite(const std::string& t) { log.LogWrite(t); }

void ReceiveWindow::ErrLogWrite(const std::string& t) {
  if (log.ErrLogWrite(t)) ErrLog_Flg = true;
}

void ReceiveWindow::startProgress(std::int64_t size) {
  m_progressShift = 0;
  while ((size >> m_progressShift) > INT_MAX) ++m_progressShift;
  LCount->setText(QStringLiteral("0 of %1").arg(size));
  ProgressBar1->setRange(0, static_cast<int>(size >> m_progressShift));
  ProgressBar1->setValue(0);
  ProgressBar1->show();
}

void ReceiveWindow::showProgress(std::int64_t count, std::int64_t size) {
  QCoreApplication::processEvents();
  LCount->setText(QStringLiteral("%1 of %2").arg(count).arg(size));
  LCount->repaint();
  ProgressBar1->setValue(static_cast<int>(count >> m_progressShift));
}

void ReceiveWindow::showListing(const std::vector<std::string>& lines) {
  QString all;
  for (const std::string& l : lines) all += Sjis::toQ(l) + QLatin1Char('\n');
  Ftp_Dir_Memo->setPlainText(all);
}

void ReceiveWindow::pause(int ms) {
  if (ms <= 0) return;
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}
