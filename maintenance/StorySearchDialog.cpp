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
#include "core/Reader.h"
#include "core/StoryStore.h"
#include "core/TextUtil.h"

StorySearchDialog::StorySearchDialog(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　ストーリ検索"));
  resize(660, 520);
  auto* layout = new QVBoxLayout(this);

  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  listGrid = new StripedGrid(this);
  listGrid->setObjectName(QStringLiteral("SG1"));
  setupSearchGrid(
      listGrid, {{QStringLiteral("ｽﾄｰﾘｰ番号"), Qt::AlignHCenter, 79},
                 {QStringLiteral("件名"), Qt::AlignLeft, 456},
                 {QStringLiteral("送信間隔"), Qt::AlignLeft, 96}});
  layout->addWidget(listGrid, 1);

  auto* buttons = new QHBoxLayout;
  chooseButton = new QPushButton(QStringLiteral("選　択 F-1"), this);
  chooseButton->setObjectName(QStringLiteral("Bok"));
  cancelButton = new QPushButton(QStringLiteral("中　止 F-12"), this);
  cancelButton->setObjectName(QStringLiteral("BEnd"));
  buttons->addStretch(1);
  buttons->addWidget(chooseButton);
  buttons->addWidget(cancelButton);
  layout->addLayout(buttons);

  setFunctionButtons(
      {chooseButton, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, cancelButton});
  connect(chooseButton, &QPushButton::clicked, this, &StorySearchDialog::choose);
  connect(cancelButton, &QPushButton::clicked, this, &StorySearchDialog::cancel);
  connect(listGrid, &QAbstractItemView::doubleClicked, this, &StorySearchDialog::choose);
}

void StorySearchDialog::showEvent(QShowEvent* event) {
  WindowBase::showEvent(event);
  WindowParts::runGuarded([this] { fillList(); });
}

void StorySearchDialog::fillList() {
  resetSearchGrid(listGrid);
  const std::string from = m_numberField ? Sjis::fromQ(m_numberField->text()) : std::string();
  const std::vector<Story> rows = StoryStore(m_ctx.query).listFrom(toIntOr(trim(from), 0));
  listGrid->beginUpdate();
  int n = 1;
  for (const Story& s : rows) {
    if (n > listGrid->rowCount() - 1) listGrid->setRowCount(listGrid->rowCount() + 1);
    listGrid->setRow(n, {Sjis::toQ(idText(s.number)), Sjis::toQ(s.subject), QStringLiteral("%1 日後").arg(s.intervalDays)});
    ++n;
  }
  listGrid->endUpdate();
  listGrid->setRow(1);
  listGrid->setFocus();
  if (rows.empty()) showMessage(QStringLiteral("データが登録されていません。"));
}

void StorySearchDialog::choose() {
  const int row = listGrid->currentRow();
  if (row < 1) return;
  const QString no = listGrid->cell(0, row);
  if (no.trimmed().isEmpty()) return;
  if (m_numberField) m_numberField->setText(no.left(5));
  done(QMessageBox::Yes);
}

void StorySearchDialog::cancel() { done(QMessageBox::No); }

bool StorySearchDialog::handleKey(QKeyEvent* event) {
  if (WindowParts::isEnterIn(event, listGrid)) {
    choose();
    return true;
  }
  return WindowBase::handleKey(event);
}
