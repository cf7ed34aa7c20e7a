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
  resize(560, 520);  // the start question, centred, leaves the preview rows in sight

  auto* layout = new QVBoxLayout(this);
  layoutLabel = new QLabel(QStringLiteral("ファイルの形式: 1行に1人、「メールアドレス,名前」の順（Shift-JIS）。\n"
                                          "例: taro@example.jp,山田太郎\n"
                                          "1行目が見出しの時は読み飛ばします。「名前,メールアドレス」の順でも読めます。"),
                           this);
  layoutLabel->setObjectName(QStringLiteral("layoutLabel"));
  layout->addWidget(layoutLabel);
  previewLabel = new QLabel(this);
  previewLabel->setObjectName(QStringLiteral("previewLabel"));
  previewLabel->setTextFormat(Qt::PlainText);
  previewLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  // Room for the heading and five rows, kept while hidden: the window never resizes.
  previewLabel->setMinimumHeight(previewLabel->fontMetrics().lineSpacing() * 6 + 4);
  QSizePolicy keep = previewLabel->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  previewLabel->setSizePolicy(keep);
  previewLabel->hide();
  layout->addWidget(previewLabel);
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
  nothingLabel = makeResultLabel(QStringLiteral("登録できたデータはありません"), this);
  countsLabel = new QLabel(this);
  countsLabel->setObjectName(QStringLiteral("countsLabel"));
  countsLabel->setAlignment(Qt::AlignCenter);
  countsLabel->setMinimumHeight(countsLabel->fontMetrics().lineSpacing() + 4);
  countsLabel->setSizePolicy(keep);
  countsLabel->hide();
  layout->addWidget(successLabel);
  layout->addWidget(failureLabel);
  layout->addWidget(nothingLabel);
  layout->addWidget(countsLabel);
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
  nothingLabel->hide();
  countsLabel->hide();
  previewLabel->hide();
  countBox->clear();
}

void CsvImportWindow::startImport() {
  if (running()) return;
  countBox->clear();
  successLabel->hide();
  failureLabel->hide();
  nothingLabel->hide();
  countsLabel->hide();
  previewLabel->hide();
  startButton->setEnabled(false);
  const QString chosen = Dialogs::instance().openFile(QString(), QString(), kFilter);
  if (chosen.isEmpty() || !chooseLayout(pathOf(chosen)) ||
      !askYesNo(QStringLiteral("処理を開始してもよろしいですか？"), MsgIcon::Information)) {
    becomeReady();
    return;
  }
  m_report = IntakeReport();
  m_runThread->start([this, file = pathOf(chosen), layout = m_layout] { m_engine->run(file, layout); });
}

bool CsvImportWindow::chooseLayout(const std::filesystem::path& file) {
  constexpr std::size_t kSampleLines = 20;
  constexpr std::size_t kShownRows = 5;
  m_layout = CsvLayout();
  // A pipe or a device is read once, by the import itself.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return true;
  const std::vector<std::string> lines = CsvImport::firstLines(file, kSampleLines);
  m_layout = CsvImport::detectLayout(lines);
  if (m_layout.addressColumn == 1 &&
      !askYesNo(QStringLiteral("1列目にメールアドレスが無く、2列目にあります。\r"
                               "「名前,メールアドレス」の順として取り込みますか？"),
                MsgIcon::Question))
    m_layout.addressColumn = 0;
  const std::vector<CsvPreviewRow> rows = CsvImport::preview(lines, m_layout);
  QString text = QStringLiteral("登録する内容（先頭 %1 行）:").arg(std::min(rows.size(), kShownRows));
  if (m_layout.header) text += QStringLiteral("　1行目は見出しとして読み飛ばします。");
  for (std::size_t i = 0; i < rows.size() && i < kShownRows; ++i) {
    text += QStringLiteral("\n  ") + Sjis::toQ(rows[i].address) + QStringLiteral(" ／ ") +
            (rows[i].name.empty() ? QStringLiteral("（名前なし）") : Sjis::toQ(rows[i].name));
    if (!rows[i].refusal.empty()) text += QStringLiteral("　→ 登録しません: ") + Sjis::toQ(rows[i].refusal);
  }
  previewLabel->setText(text);
  previewLabel->show();
  return true;
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
      // A file of which nothing could be stored is no success, even read to its end.
      const bool completed = m_report.outcome == IntakeReport::Outcome::Completed;
      successLabel->setVisible(completed && m_report.registered > 0);
      nothingLabel->setVisible(completed && m_report.registered == 0);
      failureLabel->setVisible(m_report.outcome == IntakeReport::Outcome::Interrupted);
      countsLabel->setText(QStringLiteral("登録 %1 件、登録できなかった行 %2 件（うち登録済みのアドレス %3 件）")
                               .arg(m_report.registered)
                               .arg(m_report.refused)
                               .arg(m_report.duplicates));
      countsLabel->show();
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
