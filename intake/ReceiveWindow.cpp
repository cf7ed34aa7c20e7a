#include "intake/ReceiveWindow.h"
#include "intake/ReceiveSession.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <array>
#include <climits>
#include <utility>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/InformationPanel.h"
#include "core/RunThread.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "intake/ImportRules.h"
#include "intake/LatestValue.h"
#include "intake/ReceiveCheck.h"
#include "intake/ReceiveRun.h"
#include "intake/ResultLabel.h"
#include "intake/WindowListener.h"
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

// The run's reports, carried to the user-interface thread; boxes wait for the operator.
class ReceiveWindow::Listener : public WindowListener {
 public:
  explicit Listener(ReceiveWindow& w)
      : WindowListener(*w.m_runThread),
        m_window(w),
        m_message(*w.m_runThread, [&w](const std::string& t) { w.showMessageLine(t); }),
        m_transfer(*w.m_runThread,
                   [&w](const std::pair<std::int64_t, std::int64_t>& p) { w.showTransfer(p.first, p.second); }),
        m_count(*w.m_runThread,
                [&w](const int& n) { w.countBox->setText(Sjis::toQ(ImportRules::countText(n))); }) {}

  void messageLine(const std::string& t) override { m_message.set(t); }
  void transferStarted(std::int64_t size) override {
    m_thread.post([w = &m_window, size] { w->startTransferDisplay(size); });
  }
  void transferProgress(std::int64_t count, std::int64_t size) override { m_transfer.set({count, size}); }
  void readerRegistered(int count) override { m_count.set(count); }
  void finished(const IntakeReport& report) override {
    m_thread.post([w = &m_window, report] { w->m_report = report; });
  }

 private:
  ReceiveWindow& m_window;
  LatestValue<std::string> m_message;
  LatestValue<std::pair<std::int64_t, std::int64_t>> m_transfer;
  LatestValue<int> m_count;
};

ReceiveWindow::ReceiveWindow(AppContext& ctx, QWidget* parent)
    : WindowBase(ctx, parent), m_runThread(new RunThread(this)) {
  setWindowTitle(QStringLiteral("クオル　読者情報受信"));
  resize(560, 400);

  auto* root = new QVBoxLayout(this);
  // The lines of changing text take the window's width and never widen it; the parts
  // shown only during or after a run keep their room while hidden. So the window
  // keeps its size through a run.
  auto steady = [](QLabel* label) {
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
    return label;
  };
  messageLine = steady(new QLabel(this));
  messageLine->setMinimumHeight(24);
  root->addWidget(messageLine);
  statusLine = steady(new QLabel(this));
  root->addWidget(statusLine);

  auto* countRow = new QHBoxLayout;
  countRow->addStretch(1);
  countRow->addWidget(new QLabel(QStringLiteral("登録件数"), this));
  countBox = new NavigatingEdit(this);
  countBox->setObjectName(QStringLiteral("EOCnt"));
  countBox->setReadOnly(true);
  countBox->setFocusPolicy(Qt::NoFocus);
  countBox->setFixedWidth(80);
  countBox->setAlignment(Qt::AlignRight);
  countRow->addWidget(countBox);
  countRow->addStretch(1);
  root->addLayout(countRow);
  stoppedLine = new QLabel(this);
  stoppedLine->setObjectName(QStringLiteral("stoppedLine"));
  stoppedLine->setAlignment(Qt::AlignCenter);
  root->addWidget(stoppedLine);
  stoppedList = new QListWidget(this);
  stoppedList->setObjectName(QStringLiteral("stoppedList"));
  stoppedList->setFocusPolicy(Qt::NoFocus);
  stoppedList->setMaximumHeight(96);
  root->addWidget(stoppedList);

  transferCountLabel = steady(new QLabel(this));
  transferCountLabel->setAlignment(Qt::AlignCenter);
  root->addWidget(transferCountLabel);
  transferProgress = new QProgressBar(this);
  transferProgress->setTextVisible(false);
  QSizePolicy kept = transferProgress->sizePolicy();
  kept.setRetainSizeWhenHidden(true);
  transferProgress->setSizePolicy(kept);
  root->addWidget(transferProgress);
  successLabel = makeResultLabel(QStringLiteral("正常終了"), this, Qt::blue);
  failureLabel = makeResultLabel(QStringLiteral("エラーで終了しました。"), this, Qt::red);
  root->addWidget(successLabel);
  root->addWidget(failureLabel);
  root->addWidget(makeInformationPanel(this), 1);

  // The bar's two functions: F-1 starts, F-12 closes; the other keys have none.
  auto makeButton = [this](const QString& caption) {
    auto* b = new QPushButton(caption, this);
    b->setAutoDefault(false);
    b->setFocusPolicy(Qt::NoFocus);
    b->setEnabled(false);
    return b;
  };
  startButton = makeButton(QStringLiteral("開 始 F-1"));
  endButton = makeButton(QStringLiteral(" 終 了 F-12"));
  std::array<QPushButton*, 12> bar{};
  bar[0] = startButton;
  bar[11] = endButton;
  auto* barRow = new QHBoxLayout;
  barRow->addWidget(startButton);
  barRow->addStretch(1);
  barRow->addWidget(endButton);
  root->addLayout(barRow);
  setFunctionButtons(bar);
  connect(startButton, &QPushButton::clicked, this, &ReceiveWindow::startRun);
  connect(endButton, &QPushButton::clicked, this, &ReceiveWindow::close);

  chainTimer = new QTimer(this);
  chainTimer->setInterval(1000);
  connect(chainTimer, &QTimer::timeout, this, [this] {
    chainTimer->stop();
    close();
  });

  m_listener = std::make_unique<Listener>(*this);
  m_engine = std::make_unique<ReceiveRun>(ctx.query, *m_listener, m_runThread->stopFlag());
  m_policy = std::make_unique<Policy>(*this);
  connect(m_runThread, &RunThread::finished, this, &ReceiveWindow::runFinished);
}

ReceiveWindow::~ReceiveWindow() {
  // The run still reports to this window's members: end it while they exist.
  m_runThread->stopAndWait(this);
}

bool ReceiveWindow::running() const { return m_runThread->running(); }

void ReceiveWindow::activate() {
  if (!takePendingInit()) return;
  const SettingsPaths paths = SettingsPaths::of(m_ctx);
  m_engine->log().setPaths(m_ctx.file("FtpRcv.log"), m_ctx.file("FtpRcv_Err.log"));
  m_engine->log().write("Env_FileName->" + Sjis::fromPath(paths.env));
  clearDisplay();
  applyButtonMask("100000000001");
  if (m_mode == Mode::beforeSend) startButton->click();
}

void ReceiveWindow::clearDisplay() {
  countBox->setText(Sjis::toQ(ImportRules::countText(0)));
  successLabel->hide();
  failureLabel->hide();
  stoppedLine->hide();
  stoppedList->clear();
  stoppedList->hide();
  transferProgress->hide();
  messageLine->clear();
  statusLine->clear();
  transferCountLabel->clear();
}

class ReceiveWindow::Policy : public ReceivePolicy {
 public:
  explicit Policy(ReceiveWindow& window) : m_window(window) {}
  // An unreadable password file: nothing can be checked, the run does not start.
  void unreadable(const std::string& reason) override { showError(Sjis::toQ(reason)); }
  // The one problem the window can mend on the spot: the folder is made on request.
  bool makeLocalFolder(const std::string& folder) override {
    if (!askYesNo(QStringLiteral("指定されたローカルフォルダが存在しません。作成しますか？"))) {
      m_told = true;
      return false;
    }
    std::error_code ec;
    const fs::path local = Sjis::toPath(folder);
    fs::create_directories(local, ec);
    if (fs::is_directory(local, ec)) return true;
    m_told = !::refuse("フォルダの作成に失敗しました。");
    return false;
  }
  void refuse(const ReceiveCheck& check) override {
    if (!m_told) showMessage(Sjis::toQ(check.message));
    m_told = false;
    openSettingsWindow(m_window.m_ctx, SettingsWindow::Page::ftp);
  }
  bool obtainPassword(FtpSettings& settings) override {
    if (!settings.passwordAsked()) return true;
    const std::optional<std::string> typed = askPassword(m_window.m_ctx, PasswordFor::Ftp);
    if (!typed) return false;
    settings.password = *typed;
    return true;
  }

 private:
  ReceiveWindow& m_window;
  bool m_told = false;  // the operator has been told why already
};

void ReceiveWindow::startRun() {
  if (running()) return;
  const SettingsPaths paths = SettingsPaths::of(m_ctx);
  if (!ReceiveSession(paths, *m_policy).prepare(m_settings)) return;

  applyButtonMask("000000000001");
  applyButtonMask("000000000000");
  m_report = IntakeReport();
  m_engine->port = ftpPort;
  m_engine->changeDirWaitMs = changeDirWaitMs;
  m_runThread->start([this, settings = m_settings] { m_engine->run(settings); });
}

void ReceiveWindow::runFinished(const QString& error) {
  // A failed stage stays in sight; after a run that went through the line is cleared.
  const bool completed = error.isEmpty() && m_report.outcome == IntakeReport::Outcome::Completed;
  if (completed || m_report.failedStage.empty())
    messageLine->clear();
  else
    showMessageLine(m_report.failedStage);
  if (!error.isEmpty()) {
    // A fault the run did not expect: boxed, and the window is ready for another try.
    showError(error);
    successLabel->hide();
    failureLabel->setText(QStringLiteral("エラーで終了しました。"));
    failureLabel->show();
    applyButtonMask("100000000001");
    if (m_mode == Mode::beforeSend) chainTimer->start();
    return;
  }
  successLabel->setVisible(completed);
  // The operator's stop is told apart from an error.
  failureLabel->setText(m_report.stopped ? QStringLiteral("中断しました。") : QStringLiteral("エラーで終了しました。"));
  failureLabel->setVisible(!completed);
  if (m_report.cancelled > 0) {
    stoppedLine->setText(QStringLiteral("配信停止 %1 名").arg(m_report.cancelled));
    stoppedLine->show();
    for (const std::string& reader : m_report.stoppedReaders) stoppedList->addItem(Sjis::toQ(reader));
    stoppedList->show();
  }
  if (m_report.refusedLinesLogged) {
    const std::string warning = text("ＤＢに登録できなかったデータがあります。エラーログを確認して下さい。");
    showMessageLine(warning);
    m_engine->log().write(warning);
    // Which file to look at, in full.
    showError(Sjis::toQ(warning + "\n" + Sjis::fromPath(m_engine->log().errorLogPath())));
  }
  if (m_mode == Mode::beforeSend)
    chainTimer->start();
  else if (completed && m_report.registered == 0)
    ::showMessage(QStringLiteral("登録データが、有りませんでした。"));
  applyButtonMask("000000000001");
}


bool ReceiveWindow::closeAllowed() {
  if (!running()) return true;
  if (askYesNo(QStringLiteral("本当に処理を中止しますか?"), MsgIcon::Warning)) m_runThread->requestStop();
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

void ReceiveWindow::showMessageLine(const std::string& t) { messageLine->setText(Sjis::toQ(t)); }

void ReceiveWindow::startTransferDisplay(std::int64_t size) {
  m_progressShift = 0;
  while ((size >> m_progressShift) > INT_MAX) ++m_progressShift;
  transferCountLabel->setText(QStringLiteral("0 / %1 バイト").arg(size));
  transferProgress->setRange(0, static_cast<int>(size >> m_progressShift));
  transferProgress->setValue(0);
  transferProgress->show();
}

void ReceiveWindow::showTransfer(std::int64_t count, std::int64_t size) {
  transferCountLabel->setText(QStringLiteral("%1 / %2 バイト").arg(count).arg(size));
  transferProgress->setValue(static_cast<int>(count >> m_progressShift));
}
