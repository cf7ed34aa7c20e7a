#include "intake/CsvImportWindow.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/NavigatingEdit.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "intake/CsvImport.h"
#include "intake/ImportRules.h"
#include "core/InformationPanel.h"
#include "intake/ResultLabel.h"

CsvImportWindow::CsvImportWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　ＣＳＶファイルから読者情報を登録"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
  resize(560, 360);

  auto* layout = new QVBoxLayout(this);
  auto* countRow = new QHBoxLayout;
  Label1 = new QLabel(QStringLiteral("登録件数"), this);
  EOCnt = new NavigatingEdit(this);
  EOCnt->setObjectName(QStringLiteral("EOCnt"));
  EOCnt->setEnabled(false);
  EOCnt->setFixedWidth(80);
  EOCnt->setAlignment(Qt::AlignRight);
  countRow->addStretch(1);
  countRow->addWidget(Label1);
  countRow->addWidget(EOCnt);
  countRow->addStretch(1);
  layout->addLayout(countRow);

  LSuccesuu = makeResultLabel(QStringLiteral("正常終了"), this);
  Lerror = makeResultLabel(QStringLiteral("エラー又は中断"), this);
  layout->addWidget(LSuccesuu);
  layout->addWidget(Lerror);
  layout->addWidget(makeInformationPanel(this), 1);

  auto* bar = new QHBoxLayout;
  B1 = new QPushButton(QStringLiteral("開 始 F-1"), this);
  B12 = new QPushButton(QStringLiteral(" 終 了 F-12"), this);
  B1->setAutoDefault(false);
  B12->setAutoDefault(false);
  bar->addWidget(B1);
  bar->addStretch(1);
  bar->addWidget(B12);
  layout->addLayout(bar);

  std::array<QPushButton*, 12> keys{};
  keys[0] = B1;
  keys[11] = B12;
  setFunctionButtons(keys);
  connect(B1, &QPushButton::clicked, this, &CsvImportWindow::B1Click);
  connect(B12, &QPushButton::clicked, this, &CsvImportWindow::B12Click);
}

void CsvImportWindow::activate() {
  if (!m_ctx.initCsvImport) return;
  m_ctx.initCsvImport = 0;
  m_running = false;
  m_closeAfterRun = false;
  LSuccesuu->hide();
  Lerror->hide();
  m_count = 0;
  EOCnt->clear();
}

void CsvImportWindow::B1Click() {
  m_count = 0;
  EOCnt->clear();
  LSuccesuu->hide();
  Lerror->hide();
  B1->setEnabled(false);
  m_running = true;
  CsvImport import(m_ctx.query, *this);
  const CsvImport::Outcome outcome = import.Csv_To_DB();
  if (outcome != CsvImport::Outcome::NotStarted) {
    LSuccesuu->setVisible(outcome == CsvImport::Outcome::Completed);
    Lerror->setVisible(outcome == CsvImport::Outcome::Stopped);
  }
  B1->setEnabled(true);
  m_ctx.query.close();
  m_running = false;
  if (m_closeAfterRun) {
    m_closeAfterRun = false;
    done(QDialog::Rejected);
  }
}

void CsvImportWindow::B12Click() {
  m_ctx.query.close();
  if (!m_running) {
    done(QDialog::Rejected);
    return;
  }
  if (askYesNo(QStringLiteral("処理を中止しますか?"), MsgIcon::Warning))
    m_running = false;
  else
    m_closeAfterRun = true;
}

void CsvImportWindow::reject() {}

void CsvImportWindow::closeEvent(QCloseEvent* event) {
  // Only B12 closes (through done()); a close request from elsewhere is refused.
  event->ignore();
}

void CsvImportWindow::readerRegistered() {
  ++m_count;
  EOCnt->setText(Sjis::toQ(ImportRules::countText(m_count)));
}

void CsvImportWindow::processEvents() { QCoreApplication::processEvents(); }
