#include "intake/RegistrationFormWindow.h"

#include <QClipboard>
#include <QLabel>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/AppContext.h"
#include "core/Sjis.h"
#include "intake/RegistrationForm.h"
#include "core/InformationPanel.h"

namespace {

QPlainTextEdit* snippetBox(const std::string& snippet, QWidget* parent) {
  auto* box = new QPlainTextEdit(parent);
  box->setMinimumHeight(80);
  box->setReadOnly(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  box->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  box->setPlainText(Sjis::toQ(snippet).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
  return box;
}

// Selects the whole snippet on screen and puts it on the clipboard as it is: the text
// box would hand out LF line ends, the web page wants the snippet's CR LF.
void copySnippet(QPlainTextEdit* box, const std::string& snippet) {
  box->setFocus();
  box->selectAll();
  QGuiApplication::clipboard()->setText(Sjis::toQ(snippet));
}

}  // namespace

RegistrationFormWindow::RegistrationFormWindow(AppContext& ctx, QWidget* parent) : WindowBase(ctx, parent) {
  setWindowTitle(QStringLiteral("クオル　読者登録フォーム出力"));
  // Fits a 1366x768 screen, and 1920x1080 at 150 %, with the back button in sight.
  resize(700, 600);
  auto* layout = new QVBoxLayout(this);
  nameAndAddressView = snippetBox(RegistrationForm::nameAndAddress(), this);
  copyNameAndAddressButton = new QPushButton(QStringLiteral("名前とメールアドレス入力フォームをクリップボードにコピー"), this);
  addressOnlyView = snippetBox(RegistrationForm::addressOnly(), this);
  copyAddressOnlyButton = new QPushButton(QStringLiteral("メールアドレス入力フォームをクリップボードにコピー"), this);
  cancelFormView = snippetBox(RegistrationForm::cancelForm(), this);
  copyCancelFormButton = new QPushButton(QStringLiteral("配信停止フォームをクリップボードにコピー"), this);
  backButton = new QPushButton(QStringLiteral("メニューへ戻る"), this);
  for (QPushButton* b : {copyNameAndAddressButton, copyAddressOnlyButton, copyCancelFormButton, backButton})
    b->setAutoDefault(false);
  layout->addWidget(nameAndAddressView, 1);
  layout->addWidget(copyNameAndAddressButton);
  layout->addWidget(addressOnlyView, 1);
  layout->addWidget(copyAddressOnlyButton);
  layout->addWidget(cancelFormView, 1);
  layout->addWidget(copyCancelFormButton);
  copyStatusLabel = new QLabel(this);
  copyStatusLabel->setObjectName(QStringLiteral("copyStatusLabel"));
  // The status, the back button and the information panel share the last row.
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(copyStatusLabel, 1);
  bottom->addWidget(backButton);
  bottom->addWidget(makeInformationPanel(this));
  layout->addLayout(bottom);
  connect(copyNameAndAddressButton, &QPushButton::clicked, this, &RegistrationFormWindow::copyNameAndAddress);
  connect(copyAddressOnlyButton, &QPushButton::clicked, this, &RegistrationFormWindow::copyAddressOnly);
  connect(copyCancelFormButton, &QPushButton::clicked, this, &RegistrationFormWindow::copyCancelForm);
  connect(backButton, &QPushButton::clicked, this, &RegistrationFormWindow::backToMenu);
  setClosesOnEscape(true);
}

void RegistrationFormWindow::activate() {
  if (!takePendingInit()) return;
  copyStatusLabel->clear();
}

void RegistrationFormWindow::copyNameAndAddress() {
  copySnippet(nameAndAddressView, RegistrationForm::nameAndAddress());
  copyStatusLabel->setText(QStringLiteral("コピーしました"));
}

void RegistrationFormWindow::copyAddressOnly() {
  copySnippet(addressOnlyView, RegistrationForm::addressOnly());
  copyStatusLabel->setText(QStringLiteral("コピーしました"));
}

void RegistrationFormWindow::copyCancelForm() {
  copySnippet(cancelFormView, RegistrationForm::cancelForm());
  copyStatusLabel->setText(QStringLiteral("コピーしました"));
}

void RegistrationFormWindow::backToMenu() { close(); }
