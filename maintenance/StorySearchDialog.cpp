#include "maintenance/StorySearchDialog.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/StripedGrid.h"
#include "core/AppContext.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "maintenance/WindowParts.h"
#include "maintenance/SearchGrid.h"
#include "maintenance/StoryBook.h"

StorySearchDialog::StorySearchDialog(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　ストーリ検索"));
  resize(600, 520);
  auto* layout = new QVBoxLayout(this);

  SG1 = new StripedGrid(this);
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
  connect(Bok, &QPushButton::clicked, this, &StorySearchDialog::BokClick);
  connect(BEnd, &QPushButton::clicked, this, &StorySearchDialog::BEndClick);
  connect(SG1, &QAbstractItemView::doubleClicked, this, &StorySearchDialog::SG1DblClick);
}

void StorySearchDialog::showEvent(QShowEvent* event) {
  WindowBase::showEvent(event);
  FormParts::runGuarded([this] { FormShow(); });
}

void StorySearchDialog::FormShow() {
  resetSearchGrid(SG1);
  const std::string from = m_numberField ? Sjis::fromQ(m_numberField->text()) : std::string();
  const std::vector<StoryRow> rows = StoryBook(m_ctx.query).listFrom(from);
  SG1->beginUpdate();
  int n = 1;
  for (const StoryRow& s : rows) {
    if (n > SG1->rowCount() - 1) SG1->setRowCount(SG1->rowCount() + 1);
    SG1->setRow(n, {Sjis::toQ(s.STORYNO), Sjis::toQ(s.SUBJECT)});
    ++n;
  }
  SG1->endUpdate();
  SG1->setRow(1);
  SG1->setFocus();
  if (rows.empty()) showMessage(QStringLiteral("データが登録されていません。"));
}

void StorySearchDialog::BokClick() {
  const int row = SG1->currentRow();
  if (row < 1) return;
  const QString no = SG1->cell(0, row);
  if (no.trimmed().isEmpty()) return;
  if (m_numberField) m_numberField->setText(no.left(5));
  done(QMessageBox::Yes);
}

void StorySearchDialog::BEndClick() { done(QMessageBox::No); }

bool StorySearchDialog::handleKey(QKeyEvent* event) {
  if (FormParts::isEnterIn(event, SG1)) {
    BokClick();
    return true;
  }
  return WindowBase::handleKey(event);
}
