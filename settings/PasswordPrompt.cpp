#include "settings/PasswordPrompt.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "controls/NavigatingEdit.h"
#include "core/Dialogs.h"
#include "core/Sjis.h"
#include "settings/PasswordRules.h"
#include "core/SjisText.h"
#include "core/TextUtil.h"

PasswordPrompt::PasswordPrompt(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("クオル"));
  setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(330, 130);

  auto* layout = new QVBoxLayout(this);
  // Object names stay the controls' established names: tools that drive the windows look
  // controls up by them.
  promptLabel = new QLabel(this);
  promptLabel->setObjectName(QStringLiteral("Ltitle"));
  layout->addWidget(promptLabel);
  passwordEdit = new NavigatingEdit(this);
  passwordEdit->setObjectName(QStringLiteral("EPas"));
  passwordEdit->setEchoMode(QLineEdit::Password);
  passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42"));
  passwordEdit->setMaxLength(100);
  layout->addWidget(passwordEdit);
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  // Confirms as Enter in the field does.
  okButton = new QPushButton(QStringLiteral("OK"), this);
  okButton->setObjectName(QStringLiteral("Bok"));
  okButton->setAutoDefault(false);
  row->addWidget(okButton);
  cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
  cancelButton->setObjectName(QStringLiteral("Bcan"));
  cancelButton->setAutoDefault(false);
  row->addWidget(cancelButton);
  layout->addLayout(row);
  passwordEdit->setFocus();

  connect(passwordEdit, &NavigatingEdit::keyPressed, this, &PasswordPrompt::passwordKeyPressed);
  connect(okButton, &QPushButton::clicked, this, [this] { done(kConfirmed); });
  connect(cancelButton, &QPushButton::clicked, this, &PasswordPrompt::cancel);
}

void PasswordPrompt::passwordKeyPressed(int key) {
  if (key == 13) done(kConfirmed);
}

void PasswordPrompt::cancel() { done(kCancelled); }

void PasswordPrompt::reject() { done(kClosed); }

bool askSavedOrTypedPassword(std::string& password) {
  const std::string problem = passwordProblem(password);
  if (problem.empty()) return true;
  showMessage(Sjis::toQ(problem));
  return false;
}
