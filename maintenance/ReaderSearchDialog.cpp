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
#include "maintenance/ReaderBook.h"
#include "maintenance/SearchGrid.h"

ReaderSearchDialog::ReaderSearchDialog(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル 読者マスターメンテナンス 検索"));
  resize(660, 600);
  auto* layout = new QVBoxLayout(this);

  auto* top = new QHBoxLayout;
  RKenKbn = new QGroupBox(QStringLiteral("検索条件"), this);
  RKenKbn->setObjectName(QStringLiteral("RKenKbn"));
  auto* radios = new QHBoxLayout(RKenKbn);
  RName = new QRadioButton(QStringLiteral("名前"), RKenKbn);
  RAddress = new QRadioButton(QStringLiteral("メールアドレス"), RKenKbn);
  radios->addWidget(RName);
  radios->addWidget(RAddress);
  RName->setChecked(true);
  top->addWidget(RKenKbn);

  EJyouKen = new NavigatingEdit(this);
  EJyouKen->setObjectName(QStringLiteral("EJyouKen"));
  EJyouKen->setMaxLength(60);
  FormParts::setInputMethodOpen(EJyouKen, true);
  top->addWidget(EJyouKen, 1);
  Lhit = new QLabel(this);
  Lhit->setObjectName(QStringLiteral("Lhit"));
  Lhit->setMinimumWidth(90);
  top->addWidget(Lhit);
  layout->addLayout(top);

  SG1 = new StripedGrid(this);
  SG1->setObjectName(QStringLiteral("SG1"));
  const QString wide = QString(QChar(0x3000));
  setupSearchGrid(SG1, {{QStringLiteral("読者ID"), Qt::AlignHCenter, 60},
                        {wide.repeated(14) + QStringLiteral("読　者　名"), Qt::AlignLeft, 286},
                        {wide.repeated(4) + QStringLiteral("メールアドレス"), Qt::AlignLeft, 254}});
  SG1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  layout->addWidget(SG1, 1);

  auto* buttons = new QHBoxLayout;
  Bok = new QPushButton(QStringLiteral("選択　F-1"), this);
  Bok->setObjectName(QStringLiteral("Bok"));
  BClr = new QPushButton(QStringLiteral("クリア　F-6"), this);
  BClr->setObjectName(QStringLiteral("BClr"));
  BEnd = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ F-12"), this);
  BEnd->setObjectName(QStringLiteral("BEnd"));
  buttons->addStretch(1);
  for (QPushButton* b : {Bok, BClr, BEnd}) {
    b->setFocusPolicy(Qt::NoFocus);
    buttons->addWidget(b);
  }
  layout->addLayout(buttons);

  setFunctionButtons(
      {Bok, nullptr, nullptr, nullptr, nullptr, BClr, nullptr, nullptr, nullptr, nullptr, nullptr, BEnd});
  connect(Bok, &QPushButton::clicked, this, &ReaderSearchDialog::BokClick);
  connect(BClr, &QPushButton::clicked, this, &ReaderSearchDialog::BClrClick);
  connect(BEnd, &QPushButton::clicked, this, &ReaderSearchDialog::BEndClick);
  connect(SG1, &QAbstractItemView::doubleClicked, this, &ReaderSearchDialog::BokClick);
  connect(RName, &QRadioButton::toggled, this, &ReaderSearchDialog::RKenKbnClick);
  connect(EJyouKen, &NavigatingEdit::keyPressed, this, [this](int ch) {
    if (ch == 13) FormParts::runGuarded([this] { kensaku(); });
  });
  SG_Clr();
}

int ReaderSearchDialog::ItemIndex() const { return RAddress->isChecked() ? 1 : 0; }

void ReaderSearchDialog::setItemIndex(int index) { (index == 1 ? RAddress : RName)->setChecked(true); }

void ReaderSearchDialog::RKenKbnClick() { FormParts::setInputMethodOpen(EJyouKen, ItemIndex() == 0); }

void ReaderSearchDialog::activate() {
  if (!Init_Flg) return;
  Init_Flg = 0;
  EJyouKen->setFocus();
}

void ReaderSearchDialog::SG_Clr() {
  EJyouKen->setEnabled(true);
  RKenKbn->setEnabled(true);
  Bok->setEnabled(false);
  Lhit->clear();
  emptySearchGrid(SG1);
}

void ReaderSearchDialog::kensaku() {
  SG_Clr();
  if (trim(Sjis::fromQ(EJyouKen->text())).empty()) EJyouKen->setFocus();
  const std::string condition = trimFullWidth(trim(Sjis::fromQ(EJyouKen->text())));
  EJyouKen->setText(Sjis::toQ(condition));

  SG1->beginUpdate();
  int k = 0;
  int row = 0;
  try {
    k = ReaderBook(m_ctx.query)
            .search(ItemIndex() == 0 ? ReaderSearchBy::Name : ReaderSearchBy::Address, condition,
                    [&](const std::string& id, const std::string& name, const std::string& address) {
                      if (++row > SG1->rowCount() - 1) SG1->setRowCount(row + 1);
                      SG1->setRow(row, {Sjis::toQ(id), Sjis::toQ(name), Sjis::toQ(address)});
                    });
  } catch (...) {
    SG1->endUpdate();
    throw;
  }
  SG1->endUpdate();

  if (k > 0) {
    SG1->setRow(1);
    SG1->setFocus();
    Lhit->setText(QStringLiteral("対象 ") + QString::number(k) + QStringLiteral("件"));
    Bok->setEnabled(true);
    EJyouKen->setEnabled(false);
    RKenKbn->setEnabled(false);
  } else {
    Lhit->clear();
    EJyouKen->selectAll();
    EJyouKen->setFocus();
    Bok->setEnabled(false);
  }
}

void ReaderSearchDialog::BokClick() {
  const int row = SG1->currentRow();
  if (row < 1) return;
  const QString id = SG1->cell(0, row);
  if (id.trimmed().isEmpty()) return;
  if (m_idField) m_idField->setText(id.left(5));
  done(QMessageBox::Yes);
}

void ReaderSearchDialog::BClrClick() {
  EJyouKen->setEnabled(true);
  RKenKbn->setEnabled(true);
  EJyouKen->clear();
  EJyouKen->setFocus();
  SG_Clr();
}

void ReaderSearchDialog::BEndClick() { done(QMessageBox::No); }

bool ReaderSearchDialog::handleKey(QKeyEvent* event) {
  if (FormParts::isEnterIn(event, SG1)) {
    BokClick();
    return true;
  }
  return WindowBase::handleKey(event);
}
