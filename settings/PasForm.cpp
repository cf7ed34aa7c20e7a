#include "settings/PasForm.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/CBEditEx.h"
#include "core/Dialogs.h"
#include "core/jstrm.h"
#include "core/mystd.h"

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("クオル"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(330, 130);

  auto* layout = new QVBoxLayout(this);
  Ltitle = new QLabel(this);
  Ltitle->setObjectName(QStringLiteral("Ltitle"));
  layout->addWidget(Ltitle);
  EPas = new TCBEditEx(this);
  EPas->setObjectName(QStringLiteral("EPas"));
  EPas->setEchoMode(QLineEdit::Password);
  EPas->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  EPas->setMaxLength(100);
  layout->addWidget(EPas);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  Bcan = new QPushButton(QStringLiteral("キャンセル"), this);
  Bcan->setObjectName(QStringLiteral("Bcan"));
  Bcan->setAutoDefault(false);
  row->addWidget(Bcan);
  layout->addLayout(row);
  EPas->setFocus();

  connect(EPas, &TCBEditEx::keyPressed, this, &TForm2::EPasKeyPress);
  connect(Bcan, &QPushButton::clicked, this, &TForm2::BcanClick);
}

void TForm2::EPasKeyPress(int key) {
  if (key == 13) done(mrYes);
}

void TForm2::BcanClick() { done(mrNo); }

void TForm2::reject() { done(mrCancel); }

bool Pas_Chk(std::string& password) {
  password = Trim(password);
  if (password.empty()) {
    ShowMessage(QStringLiteral("パスワードを設定して下さい。"));
    return false;
  }
  if (!IsHalfWidth(password)) {
    ShowMessage(QStringLiteral("パスワードに全角文字があります。\r\r半角文字で設定して下さい。"));
    return false;
  }
  return true;
}
