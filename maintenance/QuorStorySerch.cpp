#include "maintenance/QuorStorySerch.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/StringGridEx.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "maintenance/FormParts.h"
#include "maintenance/SearchGrid.h"
#include "maintenance/StoryBook.h"

TForm3::TForm3(AppContext& ctx, QWidget* parent) : FormBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　ストーリ検索"));
  resize(600, 520);
  auto* layout = new QVBoxLayout(this);

  SG1 = new TStringGridEx(this);
  SG1->setObjectName(QStringLiteral("SG1"));
  setupSearchGrid(
      SG1, {{QStringLiteral("ｽﾄｰﾘｰ番号"), Qt::AlignHCenter, 79}, {QStringLiteral("subject"), Qt::AlignLeft, 486}});
  layout->addWidget(SG1, 1);

  auto* buttons = new QHBoxLayout;
  Bok = new QPushButton(QStringLiteral("選　択 F-1"), this);
  Bok->setObjectName(QStringLiteral("Bok"));
  BEnd = new QPushButton(QStringLiteral("中　止 F-12"), this);
  BEnd->setObjectName(QStringLiteral("BEnd"));
  buttons->addStretch(1);
  buttons->addWidget(Bok);
  buttons->addWidget(BEnd);
  layout->addLayout(buttons);

  setFunctionButtons(
      {Bok, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, BEnd});
  connect(Bok, &QPushButton::clicked, this, &TForm3::BokClick);
  connect(BEnd, &QPushButton::clicked, this, &TForm3::BEndClick);
  connect(SG1, &QAbstractItemView::doubleClicked, this, &TForm3::SG1DblClick);
}

void TForm3::showEvent(QShowEvent* event) {
  FormBase::showEvent(event);
  FormParts::runGuarded([this] { FormShow(); });
}

void TForm3::FormShow() {
  resetSearchGrid(SG1);
  const std::string from = m_numberField ? Sjis::fromQ(m_numberField->text()) : std::string();
  const std::vector<StoryRow> rows = StoryBook(m_ctx.SQLDataSet1).listFrom(from);
  SG1->BeginUpdate();
  int n = 1;
  for (const StoryRow& s : rows) {
    if (n > SG1->RowCount() - 1) SG1->setRowCount(SG1->RowCount() + 1);
    SG1->setRow(n, {Sjis::toQ(s.STORYNO), Sjis::toQ(s.SUBJECT)});
    ++n;
  }
  SG1->EndUpdate();
  SG1->setRow(1);
  SG1->setFocus();
  if (rows.empty()) ShowMessage(QStringLiteral("データが登録されていません。"));
}

void TForm3::BokClick() {
  const int row = SG1->Row();
  if (row < 1) return;
  const QString no = SG1->Cells(0, row);
  if (no.trimmed().isEmpty()) return;
  if (m_numberField) m_numberField->setText(no.left(5));
  done(QMessageBox::Yes);
}

void TForm3::BEndClick() { done(QMessageBox::No); }

bool TForm3::FormKeyDown(QKeyEvent* event) {
  if (FormParts::isEnterIn(event, SG1)) {
    BokClick();
    return true;
  }
  return FormBase::FormKeyDown(event);
}
