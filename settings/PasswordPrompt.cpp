#include "settings/PasswordPrompt.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/NavigatingEdit.h"
#include "core/Dialogs.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

PasswordPrompt::PasswordPrompt(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("クオル"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(330, 130);

  auto* layout = new QVBoxLayout(this);
  Ltitle = new QLabel(this);
  Ltitle->setObjectName(QStringLiteral("Ltitle"));
  layout->addWidget(Ltitle);
  EPas = new NavigatingEdit(this);
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

  connect(EPas, &NavigatingEdit::keyPressed, this, &PasswordPrompt::EPasKeyPress);
  connect(Bcan, &QPushButton::clicked, this, &PasswordPrompt::BcanClick);
}

void PasswordPrompt::EPasKeyPress(int key) {
  if (key == 13) done(mrYes);
}

void PasswordPrompt::BcanClick() { done(mrNo); }

void PasswordPrompt::reject() { done(mrCancel); }

bool askSavedOrTypedPassword(std::string& password) {
  password = trim(password);
  if (password.empty()) {
    showMessage(QStringLiteral("パスワードを設定して下さい。"));
    return false;
  }
  if (!isHalfWidth(password)) {
    showMessage(QStringLiteral("パスワードに全角文字があります。\r\r半角文字で設定して下さい。"));
    return false;
  }
  return true;
}
