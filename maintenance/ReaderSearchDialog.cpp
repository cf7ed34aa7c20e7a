#include "maintenance/ReaderSearchDialog.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "controls/NavigatingEdit.h"
#include "controls/StripedGrid.h"
#include "core/AppContext.h"
#include "core/Sjis.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"
#include "maintenance/WindowParts.h"
#include "core/ReaderStore.h"
#include "maintenance/SearchGrid.h"

ReaderSearchDialog::ReaderSearchDialog(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル 読者マスターメンテナンス 検索"));
  resize(760, 600);
  auto* layout = new QVBoxLayout(this);

  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  auto* top = new QHBoxLayout;
  searchByGroup = new QGroupBox(QStringLiteral("検索条件"), this);
  searchByGroup->setObjectName(QStringLiteral("RKenKbn"));
  auto* radios = new QHBoxLayout(searchByGroup);
  byNameRadio = new QRadioButton(QStringLiteral("名前"), searchByGroup);
  byAddressRadio = new QRadioButton(QStringLiteral("メールアドレス"), searchByGroup);
  radios->addWidget(byNameRadio);
  radios->addWidget(byAddressRadio);
  byNameRadio->setChecked(true);
  NavigatingEdit::letEnterMoveOn(byNameRadio);
  NavigatingEdit::letEnterMoveOn(byAddressRadio);
  top->addWidget(searchByGroup);

  conditionEdit = new NavigatingEdit(this);
  conditionEdit->setObjectName(QStringLiteral("EJyouKen"));
  conditionEdit->setMaxLength(60);
  WindowParts::setInputMethodOpen(conditionEdit, true);
  top->addWidget(conditionEdit, 1);
  hitCountLabel = new QLabel(this);
  hitCountLabel->setObjectName(QStringLiteral("Lhit"));
  hitCountLabel->setMinimumWidth(90);
  top->addWidget(hitCountLabel);
  layout->addLayout(top);

  resultGrid = new StripedGrid(this);
  resultGrid->setObjectName(QStringLiteral("SG1"));
  const QString wide = QString(QChar(0x3000));
  setupSearchGrid(resultGrid, {{QStringLiteral("読者ID"), Qt::AlignHCenter, 60},
                        {wide.repeated(14) + QStringLiteral("読　者　名"), Qt::AlignLeft, 286},
                        {wide.repeated(4) + QStringLiteral("メールアドレス"), Qt::AlignLeft, 254},
                        {QStringLiteral("登録日"), Qt::AlignLeft, 90}});
  resultGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(resultGrid, 1);

  auto* buttons = new QHBoxLayout;
  chooseButton = new QPushButton(QStringLiteral("選択　F-1"), this);
  chooseButton->setObjectName(QStringLiteral("Bok"));
  clearButton = new QPushButton(QStringLiteral("クリア　F-6"), this);
  clearButton->setObjectName(QStringLiteral("BClr"));
  cancelButton = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ F-12"), this);
  cancelButton->setObjectName(QStringLiteral("BEnd"));
  buttons->addStretch(1);
  for (QPushButton* b : {chooseButton, clearButton, cancelButton}) {
    b->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(b);
  }
  layout->addLayout(buttons);

  setFunctionButtons(
      {chooseButton, nullptr, nullptr, nullptr, nullptr, clearButton, nullptr, nullptr, nullptr, nullptr, nullptr, cancelButton});
  connect(chooseButton, &QPushButton::clicked, this, &ReaderSearchDialog::choose);
  connect(clearButton, &QPushButton::clicked, this, &ReaderSearchDialog::clearScreen);
  connect(cancelButton, &QPushButton::clicked, this, &ReaderSearchDialog::cancel);
  connect(resultGrid, &QAbstractItemView::doubleClicked, this, &ReaderSearchDialog::choose);
  connect(byNameRadio, &QRadioButton::toggled, this, &ReaderSearchDialog::searchByChanged);
  connect(conditionEdit, &NavigatingEdit::keyPressed, this, [this](int ch) {
    if (ch == 13) WindowParts::runGuarded([this] { search(); });
  });
  clearResults();
}

ReaderSearchBy ReaderSearchDialog::searchBy() const {
  return byAddressRadio->isChecked() ? ReaderSearchBy::Address : ReaderSearchBy::Name;
}

void ReaderSearchDialog::setSearchBy(ReaderSearchBy by) {
  (by == ReaderSearchBy::Address ? byAddressRadio : byNameRadio)->setChecked(true);
}

void ReaderSearchDialog::searchByChanged() {
  WindowParts::setInputMethodOpen(conditionEdit, searchBy() == ReaderSearchBy::Name);
}

void ReaderSearchDialog::chooseInto(QLineEdit* idField) {
  m_initPending = true;
  conditionEdit->clear();
  clearResults();
  m_idField = idField;
  WindowParts::runGuarded([this] { listNewest(); });
  exec();
  m_initPending = false;
}

void ReaderSearchDialog::activate() {
  if (!m_initPending) return;
  m_initPending = false;
  conditionEdit->setFocus();
}

void ReaderSearchDialog::clearResults() {
  conditionEdit->setEnabled(true);
  searchByGroup->setEnabled(true);
  chooseButton->setEnabled(false);
  hitCountLabel->clear();
  emptySearchGrid(resultGrid);
}

void ReaderSearchDialog::search() {
  clearResults();
  if (trim(Sjis::fromQ(conditionEdit->text())).empty()) conditionEdit->setFocus();
  const std::string condition = trimFullWidth(trim(Sjis::fromQ(conditionEdit->text())));
  conditionEdit->setText(Sjis::toQ(condition));

  const int hits = fill([&](const std::function<void(const Reader&)>& row) {
    return ReaderStore(m_ctx.query).search(searchBy(), condition, row);
  });

  if (hits > 0) {
    resultGrid->setRow(1);
    resultGrid->setFocus();
    hitCountLabel->setText(QStringLiteral("対象 ") + QString::number(hits) + QStringLiteral("件"));
    chooseButton->setEnabled(true);
    conditionEdit->setEnabled(false);
    searchByGroup->setEnabled(false);
  } else {
    hitCountLabel->clear();
    conditionEdit->selectAll();
    conditionEdit->setFocus();
    chooseButton->setEnabled(false);
  }
}

int ReaderSearchDialog::fill(const std::function<int(const std::function<void(const Reader&)>&)>& query) {
  resultGrid->beginUpdate();
  int row = 0;
  int hits = 0;
  try {
    hits = query([&](const Reader& r) {
      if (++row > resultGrid->rowCount() - 1) resultGrid->setRowCount(row + 1);
      resultGrid->setRow(row, {Sjis::toQ(idText(r.id)), Sjis::toQ(r.name), Sjis::toQ(r.address),
                               Sjis::toQ(r.registered.shownDate())});
    });
  } catch (...) {
    resultGrid->endUpdate();
    throw;
  }
  resultGrid->endUpdate();
  return hits;
}

void ReaderSearchDialog::listNewest() {
  const int listed = fill([&](const std::function<void(const Reader&)>& row) {
    int n = 0;
    ReaderStore(m_ctx.query).newest([&](const Reader& r) {
      row(r);
      ++n;
    });
    return n;
  });
  if (listed == 0) return;
  // The condition stays open for a search; the list can be chosen from at once.
  resultGrid->setRow(1);
  hitCountLabel->setText(QStringLiteral("最近の登録 %1件").arg(listed));
  chooseButton->setEnabled(true);
}

void ReaderSearchDialog::choose() {
  const int row = resultGrid->currentRow();
  if (row < 1) return;
  const QString id = resultGrid->cell(0, row);
  if (id.trimmed().isEmpty()) return;
  if (m_idField) m_idField->setText(id.left(5));
  done(QMessageBox::Yes);
}

void ReaderSearchDialog::clearScreen() {
  conditionEdit->setEnabled(true);
  searchByGroup->setEnabled(true);
  conditionEdit->clear();
  conditionEdit->setFocus();
  clearResults();
}

void ReaderSearchDialog::cancel() { done(QMessageBox::No); }

bool ReaderSearchDialog::handleKey(QKeyEvent* event) {
  if (WindowParts::isEnterIn(event, resultGrid)) {
    choose();
    return true;
  }
  return WindowBase::handleKey(event);
}
