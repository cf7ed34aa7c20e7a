#include "intake/CsvImportWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <filesystem>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/InformationPanel.h"
#include "core/RunThread.h"
#include "core/Sjis.h"
#include "intake/CsvImport.h"
#include "intake/ImportRules.h"
#include "intake/LatestValue.h"
#include "intake/ResultLabel.h"
#include "intake/WindowListener.h"

namespace {

const QString kFilter = QStringLiteral("テキストファイル (*.txt *.csv)");

std::filesystem::path pathOf(const QString& chosen) { return std::filesystem::path(chosen.toStdString()); }

}  // namespace

// The import's reports, carried to the user-interface thread; boxes wait for the operator.
class CsvImportWindow::Listener : public WindowListener {
 public:
  explicit Listener(CsvImportWindow& w)
      : WindowListener(*w.m_runThread),
        m_window(w),
        m_count(*w.m_runThread, [&w](const int& n) { w.countBox->setText(Sjis::toQ(ImportRules::countText(n))); }) {}

  void readerRegistered(int count) override { m_count.set(count); }
  void finished(const IntakeReport& report) override {
    m_thread.post([w = &m_window, report] { w->m_report = report; });
  }

 private:
  CsvImportWindow& m_window;
  LatestValue<int> m_count;
};

CsvImportWindow::CsvImportWindow(AppContext& ctx, QWidget* parent)
    : WindowBase(ctx, parent), m_runThread(new RunThread(this)) {
  setWindowTitle(QStringLiteral("クオル　ＣＳＶファイルから読者情報を登録"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  resize(560, 360);

  auto* layout = new QVBoxLayout(this);
  auto* countRow = new QHBoxLayout;
  countCaption = new QLabel(QStringLiteral("登録件数"), this);
  countBox = new NavigatingEdit(this);
  countBox->setObjectName(QStringLiteral("EOCnt"));
  countBox->setEnabled(false);
  countBox->setFixedWidth(80);
  countBox->setAlignment(Qt::AlignRight);
  countRow->addStretch(1);
  countRow->addWidget(countCaption);
  countRow->addWidget(countBox);
  countRow->addStretch(1);
  layout->addLayout(countRow);

  successLabel = makeResultLabel(QStringLiteral("正常終了"), this);
  failureLabel = makeResultLabel(QStringLiteral("エラー又は中断"), this);
  layout->addWidget(successLabel);
  layout->addWidget(failureLabel);
  layout->addWidget(makeInformationPanel(this), 1);

  auto* bar = new QHBoxLayout;
  startButton = new QPushButton(QStringLiteral("開 始 F-1"), this);
  endButton = new QPushButton(QStringLiteral(" 終 了 F-12"), this);
  startButton->setAutoDefault(false);
  endButton->setAutoDefault(false);
  bar->addWidget(startButton);
  bar->addStretch(1);
  bar->addWidget(endButton);
  layout->addLayout(bar);

  std::array<QPushButton*, 12> keys{};
  keys[0] = startButton;
  keys[11] = endButton;
  setFunctionButtons(keys);
  connect(startButton, &QPushButton::clicked, this, &CsvImportWindow::startImport);
  connect(endButton, &QPushButton::clicked, this, &CsvImportWindow::endClicked);

  m_listener = std::make_unique<Listener>(*this);
  m_engine = std::make_unique<CsvImport>(ctx.query, *m_listener, m_runThread->stopFlag());
  connect(m_runThread, &RunThread::finished, this, &CsvImportWindow::importFinished);
}

CsvImportWindow::~CsvImportWindow() {
  // The import still reports to this window's members: end it while they exist.
  m_runThread->stopAndWait(this);
}

bool CsvImportWindow::running() const { return m_runThread->running(); }

void CsvImportWindow::activate() {
  if (!takePendingInit()) return;
  m_closeAfterRun = false;
  successLabel->hide();
  failureLabel->hide();
  countBox->clear();
}

void CsvImportWindow::startImport() {
  if (running()) return;
  countBox->clear();
  successLabel->hide();
  failureLabel->hide();
  startButton->setEnabled(false);
  const QString chosen = Dialogs::instance().openFile(QString(), QString(), kFilter);
  if (chosen.isEmpty() || !askYesNo(QStringLiteral("処理を開始してもよろしいですか？"), MsgIcon::Information)) {
    becomeReady();
    return;
  }
  m_report = IntakeReport();
  m_runThread->start([this, file = pathOf(chosen)] { m_engine->run(file); });
}

void CsvImportWindow::importFinished(const QString& error) {
  if (!error.isEmpty()) {
    // A fault the import did not expect: boxed, and the window is ready for another try.
    showError(error);
    successLabel->hide();
    failureLabel->show();
  } else {
    offerRejected();
    if (m_report.outcome != IntakeReport::Outcome::NotStarted) {
      successLabel->setVisible(m_report.outcome == IntakeReport::Outcome::Completed);
      failureLabel->setVisible(m_report.outcome == IntakeReport::Outcome::Interrupted);
    }
  }
  becomeReady();
}

void CsvImportWindow::becomeReady() {
  startButton->setEnabled(true);
  m_ctx.query.close();
  if (m_closeAfterRun) {
    m_closeAfterRun = false;
    done(QDialog::Rejected);
  }
}

void CsvImportWindow::offerRejected() {
  const std::vector<std::string>& rejected = m_report.rejected;
  if (rejected.empty()) return;
  if (!askYesNo(QStringLiteral("メールアドレスに誤りがあった為、登録できなかったデータがあります。") + "\r" +
                    QStringLiteral("登録できなかったデータをファイルに保存しますか？"),
                MsgIcon::Warning))
    return;
  // Proposed in the data folder, where the operator finds the program's other files.
  QString target = Dialogs::instance().saveFile(QString(), QString::fromStdString(m_ctx.programDir().string()),
                                                QStringLiteral("メールアドレスエラー.csv"), kFilter);
  if (target.isEmpty()) return;
  if (QFileInfo(target).suffix().isEmpty()) target += QStringLiteral(".csv");
  // The operator relies on this file to correct the refused lines: say when it is not there.
  const std::string error = CsvImport::saveRejected(pathOf(target), rejected);
  if (!error.empty()) showError(target + "\r" + QString::fromLocal8Bit(error.c_str()));
}

void CsvImportWindow::endClicked() {
  if (!running()) {
    m_ctx.query.close();
    done(QDialog::Rejected);
    return;
  }
  if (askYesNo(QStringLiteral("処理を中止しますか?"), MsgIcon::Warning))
    m_runThread->requestStop();
  else
    m_closeAfterRun = true;
}

void CsvImportWindow::reject() {}

void CsvImportWindow::closeEvent(QCloseEvent* event) {
  // Only the end button closes (through done()); a close request from elsewhere is refused.
  event->ignore();
}
